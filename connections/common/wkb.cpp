#include "connections/common/wkb.h"

#include <QtEndian>

namespace tavrex {

namespace {

// Collections inside collections deeper than this are refused rather than
// followed (a hostile value could otherwise exhaust the stack).
constexpr int kMaxDepth = 32;

enum Base { Point = 1, LineString, Polygon, MultiPoint, MultiLineString, MultiPolygon, Collection };

const char *baseName(int base)
{
    static const char *const names[] = {"", "point", "linestring", "polygon", "multipoint", "multilinestring",
                                        "multipolygon", "geometrycollection"};
    return base >= 1 && base <= 7 ? names[base] : "geometry";
}

// One pass over a WKB, checking it and, when out is given, writing it in
// little-endian form.
class Walker {
public:
    Walker(QByteArrayView wkb, QByteArray *out) : p_(reinterpret_cast<const uchar *>(wkb.data())), n_(wkb.size()), out_(out)
    {
    }

    QString problem;
    qint32 unknownType = 0;
    bool unknown = false;

    bool whole()
    {
        if (!geometry(0, 0))
            return false;
        if (at_ != n_)
            return fail(QStringLiteral("the WKB holds %1 bytes after its geometry").arg(n_ - at_));
        return true;
    }

private:
    bool fail(QString text)
    {
        if (problem.isEmpty())
            problem = std::move(text);
        return false;
    }
    bool ended() { return fail(QStringLiteral("the WKB ends at byte %1 before its geometry does").arg(n_)); }

    // A 32-bit number in the current byte order, written little endian.
    bool count(quint32 *value)
    {
        if (n_ - at_ < 4)
            return ended();
        *value = bigEndian_ ? qFromBigEndian<quint32>(p_ + at_) : qFromLittleEndian<quint32>(p_ + at_);
        at_ += 4;
        if (out_) {
            uchar le[4];
            qToLittleEndian<quint32>(*value, le);
            out_->append(reinterpret_cast<const char *>(le), 4);
        }
        return true;
    }

    // n doubles in the current byte order, written little endian.
    bool numbers(quint64 n)
    {
        if (n > quint64(n_ - at_) / 8)
            return ended();
        if (out_) {
            for (quint64 i = 0; i < n; ++i) {
                const quint64 bits =
                    bigEndian_ ? qFromBigEndian<quint64>(p_ + at_ + i * 8) : qFromLittleEndian<quint64>(p_ + at_ + i * 8);
                uchar le[8];
                qToLittleEndian<quint64>(bits, le);
                out_->append(reinterpret_cast<const char *>(le), 8);
            }
        }
        at_ += qsizetype(n * 8);
        return true;
    }

    // Points of `dims` numbers each, after their count.
    bool points(int dims)
    {
        quint32 n = 0;
        return count(&n) && numbers(quint64(n) * quint64(dims));
    }

    // One geometry: its byte order, its type (of base `expected` when not
    // 0), its body.
    bool geometry(int expected, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("the WKB nests more than %1 collections").arg(kMaxDepth));
        if (at_ >= n_)
            return ended();
        const uchar order = p_[at_];
        if (order > 1)
            return fail(QStringLiteral("byte %1 of the WKB is %2, which is no byte order").arg(at_).arg(order));
        bigEndian_ = order == 0;
        ++at_;
        if (out_)
            out_->append(char(1));
        quint32 type = 0;
        if (!count(&type))
            return false;
        const quint32 base = type % 1000;
        const quint32 variant = type / 1000;
        if (base < 1 || base > 7 || variant > 3) {
            unknown = true;
            unknownType = qint32(type);
            return fail(QStringLiteral("Unknown WKB label: %1").arg(qint32(type)));
        }
        if (expected != 0 && int(base) != expected)
            return fail(QStringLiteral("a %1 in the WKB holds a %2").arg(QLatin1String(baseName(expected + 3)),
                                                                       QLatin1String(baseName(int(base)))));
        const int dims = variant == 0 ? 2 : variant == 3 ? 4 : 3;
        switch (base) {
        case Point: return numbers(quint64(dims));
        case LineString: return points(dims);
        case Polygon: {
            quint32 rings = 0;
            if (!count(&rings))
                return false;
            for (quint32 r = 0; r < rings; ++r) {
                if (!points(dims))
                    return false;
            }
            return true;
        }
        default: {
            quint32 parts = 0;
            if (!count(&parts))
                return false;
            // Each part takes at least the 5 bytes of its order and type.
            if (parts > quint64(n_ - at_) / 5)
                return ended();
            const int part = base == Collection ? 0 : int(base) - 3;
            const bool order = bigEndian_;
            for (quint32 i = 0; i < parts; ++i) {
                if (!geometry(part, depth + 1))
                    return false;
            }
            bigEndian_ = order;
            return true;
        }
        }
    }

    const uchar *p_;
    qsizetype n_;
    qsizetype at_ = 0;
    bool bigEndian_ = false;
    QByteArray *out_;
};

} // namespace

QString wkbProblem(QByteArrayView wkb, qint32 *unknownType)
{
    Walker w(wkb, nullptr);
    if (w.whole())
        return QString();
    if (w.unknown && unknownType)
        *unknownType = w.unknownType;
    return w.problem;
}

QByteArray littleEndianWkb(QByteArrayView wkb)
{
    QByteArray out;
    out.reserve(wkb.size());
    Walker w(wkb, &out);
    if (!w.whole())
        return QByteArray();
    return out;
}

bool splitMySqlGeometry(QByteArrayView stored, quint32 *srid, QByteArray *wkb)
{
    if (stored.size() < 4)
        return false;
    *srid = qFromLittleEndian<quint32>(stored.data());
    *wkb = stored.sliced(4).toByteArray();
    return true;
}

} // namespace tavrex
