#include "connections/verify.h"

#include "connections/oracleworker.h"
#include "connections/rowbuffer.h"
#include "connections/rowcopy.h"
#include "connections/common/wkb.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"

#include <QHash>
#include <QtEndian>

#include <xxhash.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

namespace tavrex {

namespace {

constexpr qint64 kPumpPeriod = 100;
constexpr int kMaxKeys = 10;

struct RowHash {
    quint64 lo = 0;
    quint64 hi = 0;
    bool operator==(const RowHash &o) const { return lo == o.lo && hi == o.hi; }
};

size_t qHash(const RowHash &h, size_t seed = 0)
{
    return ::qHash(h.lo ^ (h.hi * 0x9E3779B97F4A7C15ULL), seed);
}

// A multiset of row hashes in constant memory: 128-bit sum, xor, count.
struct Multiset {
    qint64 count = 0;
    quint64 sumLo = 0, sumHi = 0, xorLo = 0, xorHi = 0;

    void add(const RowHash &h)
    {
        ++count;
        const quint64 lo = sumLo + h.lo;
        sumHi += h.hi + (lo < sumLo ? 1 : 0);
        sumLo = lo;
        xorLo ^= h.lo;
        xorHi ^= h.hi;
    }
    bool operator==(const Multiset &o) const
    {
        return count == o.count && sumLo == o.sumLo && sumHi == o.sumHi && xorLo == o.xorLo && xorHi == o.xorHi;
    }
};

// What a target column holds, for the canonical form.
enum class Holds { Number, Text, Char, Date, Bytes, Interval, BinaryFloat, BinaryDouble, Geometry, Other };

Holds holdsOf(const OracleColumn &c)
{
    // The canonical form of what the copy wrote into the column's kind.
    switch (c.kind()) {
    case OracleColumnKind::Number:
    case OracleColumnKind::Float: return Holds::Number;
    case OracleColumnKind::Char:
    case OracleColumnKind::NChar: return Holds::Char;
    case OracleColumnKind::Varchar2:
    case OracleColumnKind::NVarchar2:
    case OracleColumnKind::Clob:
    case OracleColumnKind::NClob:
    case OracleColumnKind::Long: return Holds::Text;
    case OracleColumnKind::Date:
    case OracleColumnKind::Timestamp:
    case OracleColumnKind::ZonedTimestamp: return Holds::Date;
    case OracleColumnKind::Blob:
    case OracleColumnKind::Raw:
    case OracleColumnKind::LongRaw: return Holds::Bytes;
    case OracleColumnKind::IntervalDayToSecond: return Holds::Interval;
    case OracleColumnKind::BinaryFloat: return Holds::BinaryFloat;
    case OracleColumnKind::BinaryDouble: return Holds::BinaryDouble;
    case OracleColumnKind::Geometry: return Holds::Geometry;
    case OracleColumnKind::Other: break;
    }
    return Holds::Other;
}

// A fraction of a second without its trailing zeros, and none when it is zero.
QString withoutTrailingZeros(QString text)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return text;
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// A duration as its sign, whole seconds and fraction: "-3020399.5".
QByteArray durationText(bool negative, qint64 seconds, const QString &fraction)
{
    QString text = QString::number(seconds);
    if (!fraction.isEmpty())
        text = withoutTrailingZeros(text + QLatin1Char('.') + fraction);
    if (negative && text != QLatin1String("0"))
        text.prepend(QLatin1Char('-'));
    return text.toUtf8();
}

// A binary float or double by its value, read from decimal text.
QByteArray binaryNumberKey(const QString &text, bool single)
{
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        return text.toUtf8();
    return single ? QByteArray::number(double(float(d)), 'g', 9) : QByteArray::number(d, 'g', 17);
}

// Room a normalised number needs beyond its text's length: "E", "-" and
// the exponent's digits.
constexpr size_t kNumberSlack = 24;

template <typename C>
char *writeNormalised(const C *p, qsizetype n, char *out);

// One row's hash over its tagged values, each a tag byte, its length (8
// bytes, little-endian) and its bytes. The values are gathered in one buffer
// that every row reuses and hashed at once with XXH3's 128 bits: the hash has
// to tell rows apart against accidental differences, not to resist an
// attacker. A row with a large value (a LOB) is hashed piece by piece
// instead, so that its value is not copied; the choice depends on the
// canonical bytes alone, so equal rows make the same choice.
class RowHasher {
public:
    static constexpr size_t kHead = 9;
    static constexpr qsizetype kLarge = 1 << 20;

    RowHasher() = default;
    RowHasher(const RowHasher &) = delete;
    RowHasher &operator=(const RowHasher &) = delete;
    ~RowHasher() { XXH3_freeState(state_); }

    void begin()
    {
        used_ = 0;
        streaming_ = false;
    }
    void null()
    {
        char *head = room(kHead);
        keep('N', head, head + kHead);
    }
    void add(char tag, QByteArrayView bytes)
    {
        if (bytes.size() >= kLarge) {
            addLarge(tag, bytes);
            return;
        }
        char *head = room(kHead + size_t(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(head + kHead, bytes.data(), size_t(bytes.size()));
        keep(tag, head, head + kHead + bytes.size());  // '' is NULL
    }
    // A number in its normalised form, written in place; false (and nothing
    // written) when the text is not a number.
    bool addNumber(QByteArrayView text)
    {
        char *head = room(kHead + size_t(text.size()) + kNumberSlack);
        char *end = writeNormalised(text.data(), text.size(), head + kHead);
        if (!end)
            return false;
        keep('D', head, end);
        return true;
    }
    // A value written in place: room() gives the place of its head followed
    // by room for n bytes in all, valid until the next room(); keep() writes
    // the head of the value written from head + kHead to end (an empty value
    // becomes NULL) and keeps it.
    char *room(size_t n)
    {
        if (used_ + n > buffer_.size())
            buffer_.resize(std::max(buffer_.size() * 2, used_ + n));
        return buffer_.data() + used_;
    }
    void keep(char tag, char *head, char *end)
    {
        const quint64 length = quint64(end - head) - kHead;
        head[0] = length == 0 ? 'N' : tag;
        qToLittleEndian<quint64>(length, head + 1);
        used_ = size_t(end - buffer_.data());
    }
    RowHash finish()
    {
        XXH128_hash_t h;
        if (streaming_) {
            XXH3_128bits_update(state_, buffer_.data(), used_);
            h = XXH3_128bits_digest(state_);
        } else {
            h = XXH3_128bits(buffer_.data(), used_);
        }
        return RowHash{h.low64, h.high64};
    }

private:
    // The row so far and the value's head go into the state, the value's
    // bytes straight after them.
    void addLarge(char tag, QByteArrayView bytes)
    {
        if (!state_ && !(state_ = XXH3_createState()))
            throw std::bad_alloc();
        if (!streaming_) {
            XXH3_128bits_reset(state_);
            streaming_ = true;
        }
        char *head = room(kHead);
        head[0] = tag;
        qToLittleEndian<quint64>(quint64(bytes.size()), head + 1);
        XXH3_128bits_update(state_, buffer_.data(), used_ + kHead);
        XXH3_128bits_update(state_, bytes.data(), size_t(bytes.size()));
        used_ = 0;
    }

    std::vector<char> buffer_ = std::vector<char>(4096);
    size_t used_ = 0;
    XXH3_state_t *state_ = nullptr;
    bool streaming_ = false;
};

// A geometry in the form both sides share: the SRID in 4 bytes, little
// endian, then the WKB in little-endian order (or as it is, when it is not
// WKB the reader understands: then it can equal only the same bytes).
void addGeometry(RowHasher &h, quint32 srid, QByteArrayView wkb)
{
    const QByteArray le = littleEndianWkb(wkb);
    QByteArray form(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(srid, form.data());
    form += le.isEmpty() ? wkb.toByteArray() : le;
    h.add('G', form);
}

QByteArray trimmedBlanks(QByteArray text)
{
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

// "YYYY-MM-DD hh:mm:ss" parts of MySQL's texts.
struct DateParts {
    int year = 0, month = 0, day = 0;
};

bool readInt(QStringView t, qsizetype from, qsizetype n, int *out)
{
    if (from + n > t.size())
        return false;
    bool ok = false;
    *out = t.mid(from, n).toInt(&ok);
    return ok;
}

// NULL for the dates the copy reports instead of writing.
bool isReportedDate(const DateParts &d)
{
    if (d.year == 0 || d.month == 0 || d.day == 0)
        return true;
    return d.year == 1582 && d.month == 10 && d.day >= 5 && d.day <= 14;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A MySQL DATE ("YYYY-MM-DD") or DATETIME ("YYYY-MM-DD hh:mm:ss[.ffffff]")
// into a DATE column, read by position from the server's bytes, in the form
// addSource gives it; false when the text is not of that form (addSource
// reads it then).
bool addMySqlDate(RowHasher &h, QByteArrayView t, bool dateOnly)
{
    if (t.size() < 10 || t[4] != '-' || t[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(t[i]))
            return false;
    auto number = [&t](int from, int n) {
        int v = 0;
        for (int i = from; i < from + n; ++i)
            v = v * 10 + (t[i] - '0');
        return v;
    };
    if (isReportedDate(DateParts{number(0, 4), number(5, 2), number(8, 2)})) {
        h.null();
        return true;
    }
    if (dateOnly) {
        if (t.size() != 10)
            return false;
    } else {
        for (qsizetype i = 10; i < t.size(); ++i)
            if (static_cast<unsigned char>(t[i]) >= 0x80)
                return false;  // not the server's ASCII: addSource decodes it
    }
    char *const head = h.room(RowHasher::kHead + 19 + size_t(t.size()));
    char *const first = head + RowHasher::kHead;
    char *o = first;
    std::memcpy(o, t.data(), 10);
    o += 10;
    *o++ = ' ';
    if (dateOnly) {
        std::memcpy(o, "00:00:00", 8);
        o += 8;
    } else if (t.size() > 11) {
        std::memcpy(o, t.data() + 11, size_t(t.size() - 11));
        o += t.size() - 11;
    }
    // A fraction of zero is no fraction.
    if (std::find(first, o, '.') != o) {
        while (o[-1] == '0')
            --o;
        if (o[-1] == '.')
            --o;
    }
    h.keep('T', head, o);
    return true;
}

// A value's text as UTF-8: text the result kept as the server's UTF-8 bytes
// is taken as it is.
QByteArray utf8Of(const MySqlValue &v)
{
    return v.isUtf8Text() ? v.utf8 : v.text.toUtf8();
}

void addSource(RowHasher &h, const MySqlValue &v, Holds holds)
{
    if (v.isNull()) {
        h.null();
        return;
    }
    switch (holds) {
    case Holds::Number: {
        QByteArray n;
        switch (v.type) {
        case MySqlValue::Type::Integer: n = QByteArray::number(qint64(v.integer)); break;
        case MySqlValue::Type::Unsigned: n = QByteArray::number(quint64(v.unsignedInteger)); break;
        case MySqlValue::Type::Boolean: n = v.boolean ? "1" : "0"; break;
        case MySqlValue::Type::Decimal:
        case MySqlValue::Type::Float:
        case MySqlValue::Type::Text: n = utf8Of(v); break;
        case MySqlValue::Type::Bytes:
            // A bit value wider than one bit: its bytes, most significant
            // first, are the unsigned number the copy writes.
            if (!v.bytes.isEmpty() && v.bytes.size() <= 8) {
                quint64 bits = 0;
                for (const char byte : v.bytes)
                    bits = (bits << 8) | quint8(byte);
                n = QByteArray::number(bits);
            }
            break;
        default: break;
        }
        const QByteArray norm = normalisedNumber(QByteArrayView(n));
        if (norm.isEmpty())
            h.add('S', n.isEmpty() ? utf8Of(v) : n);  // not a number: differs from any number
        else
            h.add('D', norm);
        return;
    }
    case Holds::Text:
    case Holds::Char: {
        QByteArray text;
        switch (v.type) {
        case MySqlValue::Type::Integer: text = QByteArray::number(qint64(v.integer)); break;
        case MySqlValue::Type::Unsigned: text = QByteArray::number(quint64(v.unsignedInteger)); break;
        case MySqlValue::Type::Boolean: text = v.boolean ? "1" : "0"; break;
        case MySqlValue::Type::Bytes: text = v.bytes; break;
        default: text = utf8Of(v); break;
        }
        h.add('S', holds == Holds::Char ? trimmedBlanks(text) : text);
        return;
    }
    case Holds::Date: {
        const QStringView t = v.text;
        if (v.type == MySqlValue::Type::Time) {
            // [-]hhh:mm:ss[.ffffff] on the base day; a TIME outside one day
            // is reported by the copy.
            const qsizetype colon = t.indexOf(QLatin1Char(':'));
            int hours = 0;
            if (t.startsWith(QLatin1Char('-')) || colon < 0 || !readInt(t, 0, colon, &hours) || hours > 23) {
                h.null();
                return;
            }
            h.add('T', QStringLiteral("1900-01-01 %1%2")
                           .arg(hours, 2, 10, QLatin1Char('0'))
                           .arg(t.mid(colon))
                           .toUtf8());
            return;
        }
        DateParts d;
        if ((v.type != MySqlValue::Type::Date && v.type != MySqlValue::Type::DateTime) ||
            !readInt(t, 0, 4, &d.year) || !readInt(t, 5, 2, &d.month) || !readInt(t, 8, 2, &d.day)) {
            h.add('S', utf8Of(v));
            return;
        }
        if (isReportedDate(d)) {
            h.null();
            return;
        }
        QString text = t.left(10).toString() + QLatin1Char(' ') +
                       (v.type == MySqlValue::Type::Date ? QStringLiteral("00:00:00") : t.mid(11).toString());
        // A fraction of zero is no fraction.
        text = withoutTrailingZeros(text);
        h.add('T', text.toUtf8());
        return;
    }
    case Holds::Bytes:
        h.add('B', v.type == MySqlValue::Type::Bytes ? v.bytes : utf8Of(v));
        return;
    case Holds::Interval: {
        // A TIME as a signed duration.
        const QStringView t = v.text;
        const bool negative = t.startsWith(QLatin1Char('-'));
        const QStringView body = negative ? t.mid(1) : t;
        const qsizetype colon = body.indexOf(QLatin1Char(':'));
        int hours = 0, minutes = 0, seconds = 0;
        if (v.type != MySqlValue::Type::Time || colon < 0 || !readInt(body, 0, colon, &hours) ||
            !readInt(body, colon + 1, 2, &minutes) || !readInt(body, colon + 4, 2, &seconds)) {
            h.add('S', utf8Of(v));
            return;
        }
        const qsizetype dot = body.indexOf(QLatin1Char('.'));
        h.add('I', durationText(negative, qint64(hours) * 3600 + minutes * 60 + seconds,
                                dot < 0 ? QString() : body.mid(dot + 1).toString()));
        return;
    }
    case Holds::BinaryFloat:
    case Holds::BinaryDouble:
        h.add('F', binaryNumberKey(v.type == MySqlValue::Type::Integer    ? QString::number(v.integer)
                                   : v.type == MySqlValue::Type::Unsigned ? QString::number(v.unsignedInteger)
                                                                          : v.textValue(),
                                   holds == Holds::BinaryFloat));
        return;
    case Holds::Geometry: {
        // MySQL's stored form: the SRID, then the WKB.
        quint32 srid = 0;
        QByteArray wkb;
        if (v.type == MySqlValue::Type::Bytes && splitMySqlGeometry(v.bytes, &srid, &wkb))
            addGeometry(h, srid, wkb);
        else
            h.add('S', v.type == MySqlValue::Type::Bytes ? v.bytes : utf8Of(v));
        return;
    }
    case Holds::Other: h.add('S', v.type == MySqlValue::Type::Bytes ? v.bytes : utf8Of(v)); return;
    }
}

void addTarget(RowHasher &h, const OracleValue &v, Holds holds)
{
    switch (v.kind()) {
    case OracleValue::Kind::Null: h.null(); return;
    case OracleValue::Kind::Number: {
        const QByteArray norm = normalisedNumber(v.textValue());
        h.add(norm.isEmpty() ? 'S' : 'D', norm.isEmpty() ? v.textValue().toUtf8() : norm);
        return;
    }
    case OracleValue::Kind::Text: {
        const QByteArray text = v.isUtf8() ? v.utf8Value() : v.textValue().toUtf8();
        h.add('S', holds == Holds::Char ? trimmedBlanks(text) : text);
        return;
    }
    case OracleValue::Kind::Date: {
        const OracleDate &d = v.dateValue();
        // "[-]YYYY-MM-DD HH:MM:SS", written digit by digit.
        char text[24];
        char *o = text;
        if (d.year < 0)
            *o++ = '-';
        auto put = [&o](int value, int width) {
            for (int i = width - 1; i >= 0; --i) {
                o[i] = char('0' + value % 10);
                value /= 10;
            }
            o += width;
        };
        put(std::abs(d.year) % 10000, 4);
        *o++ = '-';
        put(d.month, 2);
        *o++ = '-';
        put(d.day, 2);
        *o++ = ' ';
        put(d.hour, 2);
        *o++ = ':';
        put(d.minute, 2);
        *o++ = ':';
        put(d.second, 2);
        h.add('T', QByteArray(text, int(o - text)));
        return;
    }
    case OracleValue::Kind::Bytes: h.add('B', v.bytesValue()); return;
    case OracleValue::Kind::Timestamp: {
        const OracleTimestamp &t = v.timestampValue();
        const OracleDate &d = t.date;
        const QString text = QStringLiteral("%1%2-%3-%4 %5:%6:%7.%8")
                                 .arg(d.year < 0 ? QStringLiteral("-") : QString())
                                 .arg(std::abs(d.year), 4, 10, QLatin1Char('0'))
                                 .arg(d.month, 2, 10, QLatin1Char('0'))
                                 .arg(d.day, 2, 10, QLatin1Char('0'))
                                 .arg(d.hour, 2, 10, QLatin1Char('0'))
                                 .arg(d.minute, 2, 10, QLatin1Char('0'))
                                 .arg(d.second, 2, 10, QLatin1Char('0'))
                                 .arg(t.nanosecond, 9, 10, QLatin1Char('0'));
        h.add('T', withoutTrailingZeros(text).toUtf8());
        return;
    }
    case OracleValue::Kind::Interval: {
        const OracleInterval &i = v.intervalValue();
        h.add('I', durationText(i.negative, qint64(i.days) * 86400 + i.hours * 3600 + i.minutes * 60 + i.seconds,
                                QStringLiteral("%1").arg(i.nanosecond, 9, 10, QLatin1Char('0'))));
        return;
    }
    case OracleValue::Kind::BinaryNumber:
        h.add('F', binaryNumberKey(v.textValue(), holds == Holds::BinaryFloat));
        return;
    case OracleValue::Kind::Geometry: addGeometry(h, v.sridValue(), v.wkbValue()); return;
    }
}

// One side's rows, read afresh for each pass.
class Side {
public:
    virtual ~Side() = default;
    virtual bool next() = 0;
    virtual RowHash hash() = 0;
};

class SourceSide final : public Side {
public:
    SourceSide(MySqlConnection &data, const QString &listedName, const QVector<OracleColumn> &target,
               const QStringList &keyColumns, RunControl &control, bool uppercaseNames)
    {
        result_ = data.query(sourceRowsStatement(listedName));
        result_->keepUtf8Text();
        result_->serveWaits([&control] { control.keepResponsive(); });
        utf8_ = result_->textIsUtf8();
        // Each target column reads the field the copy wrote into it.
        QStringList fieldNames, columnNames;
        for (int f = 0; f < result_->fieldCount(); ++f)
            fieldNames << result_->fieldName(f);
        for (const OracleColumn &c : target)
            columnNames << c.name;
        const std::vector<int> match = matchTargetColumns(fieldNames, uppercaseNames, columnNames);
        for (int column = 0; column < target.size(); ++column) {
            const OracleColumn &c = target.at(column);
            const auto written = std::find(match.begin(), match.end(), column);
            const int found = written == match.end() ? -1 : int(written - match.begin());
            fields_.push_back(found);
            holds_.push_back(holdsOf(c));
            reads_.push_back(found < 0 ? Read::Missing : readOf(result_->fieldType(found), holds_.back()));
        }
        for (const QString &k : keyColumns) {
            const int f = result_->fieldIndex(k);
            if (f < 0)
                throw DatabaseError(QStringLiteral("The key column %1 is not a column of %2").arg(k, listedName));
            keys_.push_back(f);
        }
    }
    bool next() override { return result_->next(); }
    RowHash hash() override
    {
        h_.begin();
        for (size_t c = 0; c < fields_.size(); ++c) {
            const int f = fields_[c];
            // A NULL is a null view, an empty value an empty one.
            const QByteArrayView raw = f < 0 ? QByteArrayView() : result_->rawView(f);
            if (raw.isNull()) {
                h_.null();
                continue;
            }
            // The common cases straight from the server's bytes, in the forms
            // addSource gives them.
            switch (reads_[c]) {
            case Read::Number:
                if (h_.addNumber(raw))
                    continue;
                break;
            case Read::Text: h_.add('S', raw); continue;
            case Read::Char: h_.add('S', trimmedBlanks(raw)); continue;
            case Read::Bytes: h_.add('B', raw); continue;
            case Read::TextBytes:
                // Text into BLOB: its UTF-8 bytes, unless the text is not
                // UTF-8 (which addSource decodes).
                if (result_->isUtf8Text(f)) {
                    h_.add('B', raw);
                    continue;
                }
                break;
            case Read::Date:
            case Read::DateTime:
                if (addMySqlDate(h_, raw, reads_[c] == Read::Date))
                    continue;
                break;
            case Read::Missing:
            case Read::Value: break;
            }
            addSource(h_, result_->value(f), holds_[c]);
        }
        return h_.finish();
    }
    QString key() const
    {
        QStringList parts;
        for (int f : keys_)
            parts.append(result_->isNull(f) ? QStringLiteral("NULL") : result_->text(f));
        return parts.join(QLatin1String(", "));
    }

private:
    // How a column's values are read, decided once per column: from the
    // server's bytes, or as a MySqlValue.
    enum class Read { Missing, Number, Text, Char, Bytes, TextBytes, Date, DateTime, Value };
    Read readOf(MySqlValue::Type type, Holds holds) const
    {
        using T = MySqlValue::Type;
        switch (holds) {
        case Holds::Number:
            return type == T::Integer || type == T::Unsigned || type == T::Decimal || type == T::Float ? Read::Number
                                                                                                        : Read::Value;
        case Holds::Text: return type == T::Text && utf8_ ? Read::Text : Read::Value;
        case Holds::Char: return type == T::Text && utf8_ ? Read::Char : Read::Value;
        case Holds::Bytes: return type == T::Bytes ? Read::Bytes : type == T::Text ? Read::TextBytes : Read::Value;
        case Holds::Date: return type == T::Date ? Read::Date : type == T::DateTime ? Read::DateTime : Read::Value;
        default: return Read::Value;
        }
    }

    std::unique_ptr<MySqlResult> result_;
    std::vector<int> fields_;
    std::vector<Holds> holds_;
    std::vector<Read> reads_;
    std::vector<int> keys_;
    bool utf8_ = false;
    RowHasher h_;
};

class TargetSide final : public Side {
public:
    TargetSide(OracleSession &oracle, const QString &targetName)
    {
        // The table's columns first: a geometry is read in two parts.
        columns_ = oracle.describe(describeStatement(targetName));
        reader_ = oracle.query(verifyReadStatement(targetName, columns_));
        int at = 0;
        for (const OracleColumn &c : columns_) {
            holds_.push_back(holdsOf(c));
            first_.push_back(at);
            at += holds_.back() == Holds::Geometry ? 2 : 1;
        }
        if (reader_->columns().size() != at)
            throw DatabaseError(QStringLiteral("The verification read %1 columns of %2, which has %3")
                                    .arg(reader_->columns().size())
                                    .arg(targetName)
                                    .arg(at));
    }
    const QVector<OracleColumn> &columns() const { return columns_; }
    bool next() override { return reader_->next(); }
    RowHash hash() override
    {
        h_.begin();
        for (size_t i = 0; i < holds_.size(); ++i) {
            const int c = first_[i];
            if (holds_[i] == Holds::Geometry) {
                addTargetGeometry(c);
                continue;
            }
            // The reader's own bytes where it has them, in the forms
            // addTarget gives them.
            OracleRowReader::View view;
            if (reader_->valueView(int(c), &view)) {
                switch (view.kind) {
                case OracleValue::Kind::Null: h_.null(); continue;
                case OracleValue::Kind::Number:
                    if (h_.addNumber(view.bytes))
                        continue;
                    break;
                case OracleValue::Kind::Text:
                    h_.add('S', holds_[i] == Holds::Char ? trimmedBlanks(view.bytes) : view.bytes);
                    continue;
                case OracleValue::Kind::Bytes: h_.add('B', view.bytes); continue;
                case OracleValue::Kind::Date: h_.add('T', view.bytes); continue;
                default: break;
                }
            }
            addTarget(h_, reader_->value(int(c)), holds_[i]);
        }
        return h_.finish();
    }

private:
    // A geometry read as its WKB (column c) and its SRID (column c + 1).
    void addTargetGeometry(int c)
    {
        const OracleValue &wkb = reader_->value(c);
        const OracleValue &srid = reader_->value(c + 1);
        if (wkb.isNull()) {
            h_.null();
            return;
        }
        bool ok = true;
        const qint64 n = srid.isNull() ? 0 : srid.textValue().toLongLong(&ok);
        if (!ok || n < 0 || n > qint64(0xFFFFFFFFu))
            h_.add('S', srid.textValue().toUtf8());  // an SRID MySQL cannot have
        else
            addGeometry(h_, quint32(n), wkb.bytesValue());
    }

    QVector<OracleColumn> columns_;
    std::unique_ptr<OracleRowReader> reader_;
    std::vector<Holds> holds_;
    std::vector<int> first_;  // the reader's first column of each table column
    RowHasher h_;
};

// Counts a row and pumps every 100; true when a stop was requested there.
bool tick(qint64 &rows, RunControl &control)
{
    ++rows;
    if (rows % kPumpPeriod != 0)
        return false;
    control.pump();
    return control.StopRequested();
}

} // namespace

namespace {

// Appends the normal form of a decimal text in characters of type C (see
// normalisedNumber in verify.h) to out, in one pass; false, with out as it
// was, when the text is not a number.
// Writes the normal form of a decimal text in characters of type C (see
// normalisedNumber in verify.h) to out, which has room for n + kNumberSlack
// bytes, in one pass; returns its end, or null when the text is not a number.
template <typename C>
char *writeNormalised(const C *p, qsizetype n, char *out)
{
    auto blank = [](C c) { return c == C(' ') || c == C('\t'); };
    while (n > 0 && blank(p[0])) {
        ++p;
        --n;
    }
    while (n > 0 && blank(p[n - 1]))
        --n;
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (p[i] == C('+') || p[i] == C('-')))
        negative = p[i++] == C('-');
    char *o = out;
    if (negative)
        *o++ = '-';
    char *const first = o;
    qint64 exponent = 0;  // of the last digit read
    bool any = false, point = false;
    for (; i < n; ++i) {
        const C c = p[i];
        if (c >= C('0') && c <= C('9')) {
            any = true;
            if (o != first || c != C('0'))
                *o++ = char(c);
            if (point)
                --exponent;
        } else if (c == C('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return nullptr;
    if (i < n) {
        if (p[i] != C('e') && p[i] != C('E'))
            return nullptr;
        ++i;
        bool minus = false;
        if (i < n && (p[i] == C('+') || p[i] == C('-')))
            minus = p[i++] == C('-');
        if (i == n)
            return nullptr;
        qint64 e = 0;
        for (; i < n; ++i) {
            if (p[i] < C('0') || p[i] > C('9') || e > 100000)
                return nullptr;
            e = e * 10 + (p[i] - C('0'));
        }
        exponent += minus ? -e : e;
    }
    if (o == first) {
        *out = '0';  // zero has no sign
        return out + 1;
    }
    // Leading zeros were skipped; trailing zeros move into the exponent.
    while (o[-1] == '0') {
        --o;
        ++exponent;
    }
    *o++ = 'E';
    if (exponent < 0) {
        *o++ = '-';
        exponent = -exponent;
    }
    char buffer[24];
    int len = 0;
    do {
        buffer[len++] = char('0' + exponent % 10);
        exponent /= 10;
    } while (exponent > 0);
    while (len > 0)
        *o++ = buffer[--len];
    return o;
}

template <typename C>
QByteArray normalised(const C *p, qsizetype n)
{
    QByteArray out(n + qsizetype(kNumberSlack), Qt::Uninitialized);
    const char *end = writeNormalised(p, n, out.data());
    if (!end)
        return QByteArray();
    out.truncate(end - out.constData());
    return out;
}

} // namespace

QString verifyReadStatement(const QString &targetName, const QVector<OracleColumn> &columns)
{
    const QString table = QLatin1Char('"') + targetName + QLatin1Char('"');
    bool geometry = false;
    for (const OracleColumn &c : columns)
        geometry = geometry || holdsOf(c) == Holds::Geometry;
    if (!geometry)
        return QStringLiteral("select * from ") + table;
    QStringList items;
    for (const OracleColumn &c : columns) {
        const QString column = QStringLiteral("t.\"") + c.name + QLatin1Char('"');
        if (holdsOf(c) != Holds::Geometry) {
            items.append(column);
            continue;
        }
        items.append(QStringLiteral("case when %1 is null then null else sdo_util.to_wkbgeometry(%1) end").arg(column));
        items.append(column + QStringLiteral(".sdo_srid"));
    }
    return QStringLiteral("select ") + items.join(QStringLiteral(", ")) + QStringLiteral(" from ") + table +
           QStringLiteral(" t");
}

QByteArray normalisedNumber(QStringView text)
{
    return normalised(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
}

QByteArray normalisedNumber(QByteArrayView text)
{
    return normalised(text.data(), text.size());
}

VerifyResult verifyTable(MySqlConnection &data, OracleSession &oracle, const QString &listedName,
                         const QString &targetName, const QStringList &keyColumns, RunControl &control,
                         bool uppercaseNames)
{
    VerifyResult result;
    Multiset source, target;
    QVector<OracleColumn> columns;
    {
        // The first pass reads both sides at once: the Oracle side on the
        // worker's thread, which owns the Oracle session meanwhile, and the
        // MySQL side here, with the pump and the stop test every 100 rows.
        TargetSide t(oracle, targetName);
        columns = t.columns();
        qint64 targetRows = 0;
        // However this scope ends, the reader ends first.
        OracleWorker reader(oracle);
        reader.start([&](OracleSession &) {
            while (!reader.cancelled() && t.next()) {
                target.add(t.hash());
                ++targetRows;
            }
        });
        {
            SourceSide s(data, listedName, columns, keyColumns, control, uppercaseNames);
            while (s.next()) {
                source.add(s.hash());
                if (tick(result.sourceRows, control)) {
                    result.stopped = true;
                    return result;
                }
            }
        }
        // The window stays served while the Oracle side finishes.
        while (!reader.waitFor(std::chrono::milliseconds(50))) {
            control.pump();
            if (control.StopRequested()) {
                result.stopped = true;
                return result;
            }
        }
        if (std::exception_ptr e = reader.wait(control))
            std::rethrow_exception(e);
        result.targetRows = targetRows;
    }
    if (source == target)
        return result;

    // They differ: count the rows of each side that the other lacks, with a
    // table of the target's row hashes, one share of the hashes per pass.
    const qint64 passes = std::max<qint64>(1, (result.targetRows + kVerifyTableEntries - 1) / kVerifyTableEntries);
    qint64 rows = 0;
    for (qint64 pass = 0; pass < passes; ++pass) {
        QHash<RowHash, qint64> counts;
        auto mine = [&](const RowHash &h) { return qint64(h.hi % quint64(passes)) == pass; };
        TargetSide t(oracle, targetName);
        while (t.next()) {
            const RowHash h = t.hash();
            if (mine(h))
                ++counts[h];
            if (tick(rows, control)) {
                result.stopped = true;
                return result;
            }
        }
        SourceSide s(data, listedName, columns, keyColumns, control, uppercaseNames);
        while (s.next()) {
            const RowHash h = s.hash();
            if (mine(h)) {
                auto it = counts.find(h);
                if (it != counts.end() && it.value() > 0) {
                    --it.value();
                } else {
                    ++result.sourceOnly;
                    if (!keyColumns.isEmpty() && result.differingKeys.size() < kMaxKeys)
                        result.differingKeys.append(s.key());
                }
            }
            if (tick(rows, control)) {
                result.stopped = true;
                return result;
            }
        }
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            result.targetOnly += it.value();
    }
    return result;
}

} // namespace tavrex
