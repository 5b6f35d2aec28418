#include "connections/rowbuffer.h"

#include "connections/common/wkb.h"
#include "engine/core/errors.h"

#include <QDate>
#include <QStringDecoder>
#include <QtNumeric>

namespace tavrex {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads exactly `count` digits at pos; -1 when they are not all digits.
int digitsAt(QStringView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text.at(pos + i);
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// A fraction of a second ".ffffff" at pos (or nothing): true when it is
// absent or all zeros, which a DATE can keep.
bool zeroFractionAt(QStringView text, qsizetype pos)
{
    if (pos == text.size())
        return true;
    if (text.at(pos) != QLatin1Char('.') || pos + 1 == text.size())
        return false;
    for (qsizetype i = pos + 1; i < text.size(); ++i)
        if (text.at(i) != QLatin1Char('0'))
            return false;
    return true;
}

bool validOracleDay(int year, int month, int day)
{
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    // The ten days that the Gregorian reform skipped do not exist in an
    // Oracle DATE, which counts in the Julian calendar before them.
    if (year == 1582 && month == 10 && day >= 5 && day <= 14)
        return false;
    return true;
}

QString numberToText(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Integer: return QString::number(v.integer);
    case MySqlValue::Type::Unsigned: return QString::number(v.unsignedInteger);
    case MySqlValue::Type::Boolean: return v.boolean ? QStringLiteral("1") : QStringLiteral("0");
    default: return v.text;
    }
}

std::optional<OracleValue> toNumber(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Integer:
    case MySqlValue::Type::Unsigned:
    case MySqlValue::Type::Boolean: return OracleValue::number(numberToText(v));
    case MySqlValue::Type::Decimal:
    case MySqlValue::Type::Float:
    case MySqlValue::Type::Text:
        // The server's text is bound as it is (shared, not copied) once it
        // is known to be a number Oracle can hold.
        if (isNumberText(v.text))
            return OracleValue::number(v.text);
        return std::nullopt;
    case MySqlValue::Type::Bytes: {
        // A BIT(n) value wider than one bit arrives as its bytes, most
        // significant first (at most 8 of them): it is that unsigned number.
        if (v.bytes.isEmpty() || v.bytes.size() > 8)
            return std::nullopt;
        quint64 n = 0;
        for (const char byte : v.bytes)
            n = (n << 8) | quint8(byte);
        return OracleValue::number(QString::number(n));
    }
    default: return std::nullopt;
    }
}

std::optional<OracleValue> toText(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Text:
    case MySqlValue::Type::Decimal:
    case MySqlValue::Type::Float:
    case MySqlValue::Type::Integer:
    case MySqlValue::Type::Unsigned:
    case MySqlValue::Type::Boolean: return OracleValue::text(numberToText(v));
    case MySqlValue::Type::Date:
    case MySqlValue::Type::DateTime:
    case MySqlValue::Type::Time: return OracleValue::text(v.text);
    case MySqlValue::Type::Bytes: {
        // Character data read over a "binary" connection arrives as its
        // bytes: it becomes text when it is valid UTF-8, and is reported
        // otherwise rather than guessed at.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = utf8.decode(v.bytes);
        if (utf8.hasError())
            return std::nullopt;
        return OracleValue::text(std::move(text));
    }
    default: return std::nullopt;
    }
}

std::optional<OracleValue> toDate(const MySqlValue &v)
{
    std::optional<OracleDate> d;
    switch (v.type) {
    case MySqlValue::Type::Date: d = parseMySqlDate(v.text); break;
    case MySqlValue::Type::DateTime: d = parseMySqlDateTime(v.text); break;
    case MySqlValue::Type::Time: d = parseMySqlTime(v.text); break;
    default: break;
    }
    if (!d)
        return std::nullopt;
    return OracleValue::date(*d);
}

std::optional<OracleValue> toTimestamp(const MySqlValue &v)
{
    std::optional<OracleTimestamp> t;
    if (v.type == MySqlValue::Type::DateTime)
        t = parseMySqlTimestamp(v.text);
    else if (v.type == MySqlValue::Type::Date)
        if (auto d = parseMySqlDate(v.text))
            t = OracleTimestamp{*d, 0};
    if (!t)
        return std::nullopt;
    return OracleValue::timestamp(*t);
}

std::optional<OracleValue> toInterval(const MySqlValue &v)
{
    if (v.type != MySqlValue::Type::Time)
        return std::nullopt;
    auto i = parseMySqlInterval(v.text);
    if (!i)
        return std::nullopt;
    return OracleValue::interval(*i);
}

// BINARY_FLOAT / BINARY_DOUBLE take the server's text as it came; the
// target reads it once as an IEEE number.
std::optional<OracleValue> toBinaryNumber(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Integer:
    case MySqlValue::Type::Unsigned:
    case MySqlValue::Type::Boolean:
    case MySqlValue::Type::Decimal:
    case MySqlValue::Type::Float: return OracleValue::binaryNumber(numberToText(v));
    default: return std::nullopt;
    }
}

// Reads ".f" to ".fffffffff" at pos (or nothing) as nanoseconds; -1 when
// malformed.
int nanosecondsAt(QStringView t, qsizetype pos)
{
    if (pos == t.size())
        return 0;
    const qsizetype digits = t.size() - pos - 1;
    if (t.at(pos) != QLatin1Char('.') || digits < 1 || digits > 9)
        return -1;
    int value = digitsAt(t, pos + 1, int(digits));
    if (value < 0)
        return -1;
    for (qsizetype k = digits; k < 9; ++k)
        value *= 10;
    return value;
}

std::optional<OracleValue> toBytes(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Bytes: return OracleValue::bytes(v.bytes);
    case MySqlValue::Type::Text: return OracleValue::bytes(v.text.toUtf8());
    default: return std::nullopt;
    }
}

// MySQL's stored form of a geometry; its WKB is the target's to judge.
std::optional<OracleValue> toGeometry(const MySqlValue &v)
{
    quint32 srid = 0;
    QByteArray wkb;
    if (v.type != MySqlValue::Type::Bytes || !splitMySqlGeometry(v.bytes, &srid, &wkb))
        return std::nullopt;
    return OracleValue::geometry(srid, std::move(wkb));
}

} // namespace

std::optional<QString> numberText(QStringView text)
{
    if (!isNumberText(text))
        return std::nullopt;
    return text.toString();
}

bool isNumberText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    qsizetype intStart = i;
    while (i < n && isDigit(text.at(i)))
        ++i;
    const qsizetype intDigits = i - intStart;
    qsizetype fracStart = i, fracDigits = 0;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        fracStart = i;
        while (i < n && isDigit(text.at(i)))
            ++i;
        fracDigits = i - fracStart;
    }
    if (intDigits + fracDigits == 0)
        return false;
    long long exponent = 0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        bool negative = false;
        if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
            negative = text.at(i++) == QLatin1Char('-');
        const qsizetype expStart = i;
        while (i < n && isDigit(text.at(i))) {
            if (exponent < 100000)
                exponent = exponent * 10 + (text.at(i).unicode() - '0');
            ++i;
        }
        if (i == expStart)
            return false;
        if (negative)
            exponent = -exponent;
    }
    if (i != n)
        return false;

    // The decimal exponent of the first significant digit.
    long long magnitude = 0;
    bool nonZero = false;
    for (qsizetype k = intStart; k < intStart + intDigits; ++k) {
        if (text.at(k) != QLatin1Char('0')) {
            magnitude = (intStart + intDigits - k - 1) + exponent;
            nonZero = true;
            break;
        }
    }
    if (!nonZero) {
        for (qsizetype k = fracStart; k < fracStart + fracDigits; ++k) {
            if (text.at(k) != QLatin1Char('0')) {
                magnitude = -(k - fracStart + 1) + exponent;
                nonZero = true;
                break;
            }
        }
    }
    return !(nonZero && magnitude >= 126);
}

std::optional<OracleDate> parseMySqlDate(QStringView t)
{
    if (t.size() != 10 || t.at(4) != QLatin1Char('-') || t.at(7) != QLatin1Char('-'))
        return std::nullopt;
    const int y = digitsAt(t, 0, 4), m = digitsAt(t, 5, 2), d = digitsAt(t, 8, 2);
    if (y < 0 || m < 0 || d < 0 || !validOracleDay(y, m, d))
        return std::nullopt;
    OracleDate out;
    out.year = y;
    out.month = m;
    out.day = d;
    return out;
}

std::optional<OracleDate> parseMySqlDateTime(QStringView t)
{
    if (t.size() < 19 || t.at(10) != QLatin1Char(' ') || t.at(13) != QLatin1Char(':') || t.at(16) != QLatin1Char(':'))
        return std::nullopt;
    auto day = parseMySqlDate(t.left(10));
    const int h = digitsAt(t, 11, 2), mi = digitsAt(t, 14, 2), s = digitsAt(t, 17, 2);
    if (!day || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || !zeroFractionAt(t, 19))
        return std::nullopt;
    day->hour = h;
    day->minute = mi;
    day->second = s;
    return day;
}

std::optional<OracleDate> parseMySqlTime(QStringView t)
{
    // "[-]h...h:mm:ss[.ffffff]"; only times within one day fit on the base day.
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    if (colon < 1 || t.at(0) == QLatin1Char('-') || colon + 6 > t.size() || t.at(colon + 3) != QLatin1Char(':'))
        return std::nullopt;
    int h = 0;
    for (qsizetype i = 0; i < colon; ++i) {
        if (!isDigit(t.at(i)) || h > 100)
            return std::nullopt;
        h = h * 10 + (t.at(i).unicode() - '0');
    }
    const int mi = digitsAt(t, colon + 1, 2), s = digitsAt(t, colon + 4, 2);
    if (h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || !zeroFractionAt(t, colon + 6))
        return std::nullopt;
    OracleDate out;
    out.year = kTimeBaseYear;
    out.month = kTimeBaseMonth;
    out.day = kTimeBaseDay;
    out.hour = h;
    out.minute = mi;
    out.second = s;
    return out;
}

std::optional<OracleTimestamp> parseMySqlTimestamp(QStringView t)
{
    if (t.size() < 19 || t.at(10) != QLatin1Char(' ') || t.at(13) != QLatin1Char(':') || t.at(16) != QLatin1Char(':'))
        return std::nullopt;
    auto day = parseMySqlDate(t.left(10));
    const int h = digitsAt(t, 11, 2), mi = digitsAt(t, 14, 2), s = digitsAt(t, 17, 2);
    const int nanos = nanosecondsAt(t, 19);
    if (!day || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || nanos < 0)
        return std::nullopt;
    day->hour = h;
    day->minute = mi;
    day->second = s;
    return OracleTimestamp{*day, nanos};
}

std::optional<OracleInterval> parseMySqlInterval(QStringView t)
{
    OracleInterval out;
    qsizetype i = 0;
    if (i < t.size() && t.at(i) == QLatin1Char('-')) {
        out.negative = true;
        ++i;
    }
    const qsizetype colon = t.indexOf(QLatin1Char(':'), i);
    if (colon <= i || colon - i > 4 || colon + 6 > t.size() || t.at(colon + 3) != QLatin1Char(':'))
        return std::nullopt;
    const int h = digitsAt(t, i, int(colon - i));
    const int mi = digitsAt(t, colon + 1, 2), s = digitsAt(t, colon + 4, 2);
    const int nanos = nanosecondsAt(t, colon + 6);
    if (h < 0 || mi < 0 || mi > 59 || s < 0 || s > 59 || nanos < 0)
        return std::nullopt;
    out.days = h / 24;
    out.hours = h % 24;
    out.minutes = mi;
    out.seconds = s;
    out.nanosecond = nanos;
    if (out.days == 0 && out.hours == 0 && mi == 0 && s == 0 && nanos == 0)
        out.negative = false;  // -00:00:00 is zero
    return out;
}

TargetKind targetKind(const OracleColumn &column)
{
    // The tables Tavrex creates hold NUMBER, VARCHAR2, DATE and BLOB; a
    // table that existed before (Merge) may hold the other common types,
    // into which the client converts the same values.
    switch (column.kind()) {
    case OracleColumnKind::Number:
    case OracleColumnKind::Float: return TargetKind::Number;
    case OracleColumnKind::BinaryFloat:
    case OracleColumnKind::BinaryDouble: return TargetKind::BinaryNumber;
    case OracleColumnKind::Timestamp: return TargetKind::Timestamp;
    case OracleColumnKind::IntervalDayToSecond: return TargetKind::Interval;
    case OracleColumnKind::Varchar2:
    case OracleColumnKind::NVarchar2:
    case OracleColumnKind::Char:
    case OracleColumnKind::NChar:
    case OracleColumnKind::Clob:
    case OracleColumnKind::NClob:
    case OracleColumnKind::Long: return TargetKind::Text;
    case OracleColumnKind::Date:
    case OracleColumnKind::ZonedTimestamp: return TargetKind::Date;
    case OracleColumnKind::Blob:
    case OracleColumnKind::Raw:
    case OracleColumnKind::LongRaw: return TargetKind::Bytes;
    case OracleColumnKind::Geometry: return TargetKind::Geometry;
    case OracleColumnKind::Other: break;
    }
    return TargetKind::Unsupported;
}

std::optional<OracleValue> convertForKind(const MySqlValue &value, TargetKind kind)
{
    if (value.isNull())
        return OracleValue::null();
    if (value.isUtf8Text()) {
        // UTF-8 text goes on as its bytes into text and binary columns, and
        // is decoded only to be read as a number or a date.
        if (kind == TargetKind::Text)
            return OracleValue::textUtf8(value.utf8);
        if (kind == TargetKind::Bytes)
            return OracleValue::bytes(value.utf8);
        MySqlValue decoded = value;
        decoded.text = value.textValue();
        decoded.utf8 = QByteArray();
        return convertForKind(decoded, kind);
    }
    switch (kind) {
    case TargetKind::Number: return toNumber(value);
    case TargetKind::Text: return toText(value);
    case TargetKind::Date: return toDate(value);
    case TargetKind::Bytes: return toBytes(value);
    case TargetKind::Timestamp: return toTimestamp(value);
    case TargetKind::Interval: return toInterval(value);
    case TargetKind::BinaryNumber: return toBinaryNumber(value);
    case TargetKind::Geometry: return toGeometry(value);
    case TargetKind::Unsupported: break;
    }
    return std::nullopt;
}

std::optional<OracleValue> convertForColumn(const MySqlValue &value, const OracleColumn &column)
{
    return convertForKind(value, targetKind(column));
}

// ---------------------------------------------------------------------------


void RowBuffer::open(OracleSession &session, const QString &targetName)
{
    close();
    QVector<OracleColumn> columns = session.describe(describeStatement(targetName));
    kinds_.clear();
    for (int i = 0; i < columns.size(); ++i) {
        kinds_.push_back(targetKind(columns.at(i)));
    }
    // A batch holds at most 5000 rows: keep that much room between batches.
    batch_.reset(columns, 5000);
    spare_.clear();
    preparer_ = session.batchPreparer(targetName, columns);
    session_ = &session;
    target_ = targetName;
}

qint64 heldValueBytes(const OracleValue &value)
{
    // The text of a Number, Text or BinaryNumber value is UTF-16; the other
    // kinds keep their payload inside the value itself.
    // (UTF-8 text is counted as it is held, without decoding it.)
    const qint64 text = value.isUtf8() ? value.utf8Value().size() : qint64(value.textValue().size()) * 2;
    return qint64(sizeof(OracleValue)) + text + qint64(value.bytesValue().size()) + qint64(value.wkbValue().size());
}

void RowBuffer::close()
{
    preparer_.reset();
    spare_.clear();
    batch_.clear();
    written_.clear();
    heldBytes_ = 0;
    session_ = nullptr;
}

void RowBuffer::restart()
{
    batch_.clear();
    written_.clear();
    heldBytes_ = 0;
}

OracleRowBatch RowBuffer::takeRows()
{
    OracleRowBatch rows = std::move(batch_);
    if (spare_.empty()) {
        batch_ = OracleRowBatch();
    } else {
        batch_ = std::move(spare_.back());
        spare_.pop_back();
    }
    batch_.reset(rows.columns(), 5000);
    written_.clear();
    heldBytes_ = 0;
    return rows;
}

void RowBuffer::recycle(OracleRowBatch &&sent)
{
    sent.clear();
    if (spare_.size() < 2)
        spare_.push_back(std::move(sent));
}

void RowBuffer::prepare(OracleRowBatch &rows) const
{
    if (preparer_ && rows.rowCount() > 0)
        preparer_->prepare(rows);
}

void RowBuffer::append()
{
    batch_.appendRow();
    written_.assign(size_t(batch_.columnCount()), false);
    heldBytes_ += qint64(batch_.columnCount()) * qint64(sizeof(OracleValue));
}

void RowBuffer::write(int column, const MySqlValue &value)
{
    if (column < 0 || column >= batch_.columnCount() || batch_.rowCount() == 0)
        throw RowBufferError(QStringLiteral("the Oracle table has no column of that name"));
    const OracleColumn &target = batch_.columns().at(column);
    std::optional<OracleValue> converted = convertForKind(value, kinds_[size_t(column)]);
    if (!converted)
        throw RowBufferError(conversionFailureReason(value, target, kinds_[size_t(column)]));
    OracleValue &slot = batch_.at(batch_.rowCount() - 1, column);
    heldBytes_ += heldValueBytes(*converted) - heldValueBytes(slot);
    slot = std::move(*converted);
    written_[size_t(column)] = true;
}

void RowBuffer::writeKept(int column, TargetKind kind, const char *data, qsizetype size)
{
    if (column < 0 || column >= batch_.columnCount() || batch_.rowCount() == 0)
        throw RowBufferError(QStringLiteral("the Oracle table has no column of that name"));
    writeBytes(column, kind, batch_.keepBytes(data, size));
}

void RowBuffer::writeReferenced(int column, TargetKind kind, const char *data, qsizetype size)
{
    if (column < 0 || column >= batch_.columnCount() || batch_.rowCount() == 0)
        throw RowBufferError(QStringLiteral("the Oracle table has no column of that name"));
    writeBytes(column, kind, QByteArray::fromRawData(data, size));
}

void RowBuffer::writeBytes(int column, TargetKind kind, QByteArray bytes)
{
    OracleValue kept = kind == TargetKind::Text     ? OracleValue::textUtf8(std::move(bytes))
                       : kind == TargetKind::Number ? OracleValue::numberUtf8(std::move(bytes))
                                                    : OracleValue::bytes(std::move(bytes));
    OracleValue &slot = batch_.at(batch_.rowCount() - 1, column);
    heldBytes_ += heldValueBytes(kept) - heldValueBytes(slot);
    slot = std::move(kept);
    written_[size_t(column)] = true;
}

void RowBuffer::writeDate(int column, const OracleDate &date)
{
    if (column < 0 || column >= batch_.columnCount() || batch_.rowCount() == 0)
        throw RowBufferError(QStringLiteral("the Oracle table has no column of that name"));
    OracleValue &slot = batch_.at(batch_.rowCount() - 1, column);
    heldBytes_ -= heldValueBytes(slot) - qint64(sizeof(OracleValue));
    slot = OracleValue::date(date);
    written_[size_t(column)] = true;
}

void RowBuffer::writeInteger(int column, qint64 value)
{
    MySqlValue v;
    v.type = MySqlValue::Type::Integer;
    v.integer = value;
    write(column, v);
}

void RowBuffer::post()
{
    const int row = batch_.rowCount() - 1;
    if (row < 0)
        return;
    for (int c = 0; c < batch_.columnCount(); ++c) {
        const OracleColumn &column = batch_.columns().at(c);
        if (!column.nullable && (!written_[size_t(c)] || batch_.at(row, c).isNull())) {
            for (int k = 0; k < batch_.columnCount(); ++k)
                heldBytes_ -= heldValueBytes(batch_.at(row, k));
            batch_.removeLastRow();
            throw RowBufferError(QStringLiteral("Field '%1' must have a value").arg(column.name));
        }
    }
}

namespace {

// Why a date or time text does not fit an Oracle DATE.
QString dateFailureReason(const MySqlValue &v)
{
    const QString &t = v.text;
    if (v.type == MySqlValue::Type::Time) {
        if (t.startsWith(QLatin1Char('-')))
            return QStringLiteral("negative time");
        const qsizetype colon = t.indexOf(QLatin1Char(':'));
        if (colon > 0 && t.left(colon).toInt() > 23)
            return QStringLiteral("time beyond one day");
        return QStringLiteral("fractions of a second, which an Oracle DATE cannot keep");
    }
    const int year = t.mid(0, 4).toInt(), month = t.mid(5, 2).toInt(), day = t.mid(8, 2).toInt();
    if (year == 0 || month == 0 || day == 0)
        return QStringLiteral("zero date");
    if (year == 1582 && month == 10 && day >= 5 && day <= 14)
        return QStringLiteral("day skipped by the calendar change of 1582");
    if (!QDate::isValid(year, month, day))
        return QStringLiteral("impossible date");
    if (v.type == MySqlValue::Type::DateTime && t.size() > 19)
        return QStringLiteral("fractions of a second, which an Oracle DATE cannot keep");
    return QStringLiteral("date outside the range of Oracle DATE");
}

QString typeName(MySqlValue::Type type)
{
    switch (type) {
    case MySqlValue::Type::Date: return QStringLiteral("date");
    case MySqlValue::Type::DateTime: return QStringLiteral("date and time");
    case MySqlValue::Type::Time: return QStringLiteral("time");
    case MySqlValue::Type::Bytes: return QStringLiteral("binary value");
    case MySqlValue::Type::Text: return QStringLiteral("text");
    default: return QStringLiteral("number");
    }
}

} // namespace

QString numberChangeReason(QStringView text)
{
    // The significant digits (first to last non-zero) and the power of ten of
    // the first of them.
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    int firstPos = -1, lastPos = -1, pointPos = -1, pos = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('.')) {
            pointPos = pos;
            continue;
        }
        if (!isDigit(c))
            break;
        if (c != QLatin1Char('0')) {
            if (firstPos < 0)
                firstPos = pos;
            lastPos = pos;
        }
        ++pos;
    }
    if (firstPos < 0)
        return QString();  // zero
    if (pointPos < 0)
        pointPos = pos;
    long long exponent = 0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E')))
        exponent = text.mid(i + 1).toLongLong();
    const long long magnitude = (pointPos - firstPos - 1) + exponent;
    if (magnitude < -130)
        return QStringLiteral("below the smallest magnitude of Oracle NUMBER, stored as 0");
    if (lastPos - firstPos + 1 > 38)
        return QStringLiteral("rounded to the 38 significant digits of Oracle NUMBER");
    return QString();
}

QString conversionFailureReason(const MySqlValue &given, const OracleColumn &column, TargetKind kind)
{
    MySqlValue value = given;
    value.text = given.textValue();
    const QString wrongType =
        QStringLiteral("a %1 cannot be written into Oracle %2").arg(typeName(value.type), column.type);
    switch (kind) {
    case TargetKind::Number:
        if (value.type == MySqlValue::Type::Decimal || value.type == MySqlValue::Type::Float ||
            value.type == MySqlValue::Type::Text) {
            const QString normal = value.text.trimmed();
            bool finite = false;
            const double d = normal.toDouble(&finite);
            if (finite && qIsFinite(d))
                return value.text + QStringLiteral(" is beyond the range of Oracle NUMBER");
            return value.text + QStringLiteral(" is not a number");
        }
        return wrongType;
    case TargetKind::Date:
        if (value.type == MySqlValue::Type::Date || value.type == MySqlValue::Type::DateTime ||
            value.type == MySqlValue::Type::Time)
            return dateFailureReason(value);
        return wrongType;
    case TargetKind::Text:
        if (value.type == MySqlValue::Type::Bytes)
            return QStringLiteral("bytes that are not valid UTF-8 text");
        return wrongType;
    case TargetKind::Bytes: return wrongType;
    case TargetKind::Geometry:
        if (value.type == MySqlValue::Type::Bytes)
            return QStringLiteral("a binary value of %1 bytes, shorter than the SRID of a geometry")
                .arg(value.bytes.size());
        return wrongType;
    case TargetKind::Timestamp:
        if (value.type == MySqlValue::Type::Date || value.type == MySqlValue::Type::DateTime) {
            const QString reason = dateFailureReason(value);
            return reason.startsWith(QLatin1String("fractions")) ? QStringLiteral("date outside the range of Oracle TIMESTAMP")
                                                                 : reason;
        }
        return wrongType;
    case TargetKind::Interval:
        if (value.type == MySqlValue::Type::Time)
            return value.text + QStringLiteral(" is beyond the range of Oracle ") + column.type;
        return wrongType;
    case TargetKind::BinaryNumber:
        if (value.type == MySqlValue::Type::Decimal || value.type == MySqlValue::Type::Float ||
            value.type == MySqlValue::Type::Text)
            return value.text + QStringLiteral(" is not a number Oracle ") + column.type + QStringLiteral(" can hold");
        return wrongType;
    case TargetKind::Unsupported: break;
    }
    return QStringLiteral("Oracle %1 columns are not supported").arg(column.type);
}

} // namespace tavrex
