#include "connections/embedded/embeddedvalues.h"

#include "connections/common/wkb.h"
#include "engine/core/textrules.h"

#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tavrex::embedded {

QString oraMessage(int code, const QString &text)
{
    return QStringLiteral("ORA-%1: %2").arg(code, 5, 10, QLatin1Char('0')).arg(text);
}

DatabaseError oraError(int code, const QString &text)
{
    return DatabaseError(oraMessage(code, text), code);
}

QByteArray storedGeometry(quint32 srid, const QByteArray &wkb)
{
    QByteArray out(4 + wkb.size(), Qt::Uninitialized);
    qToLittleEndian<quint32>(srid, out.data());
    if (!wkb.isEmpty())
        std::memcpy(out.data() + 4, wkb.constData(), size_t(wkb.size()));
    return out;
}

bool parseStoredGeometry(QByteArrayView stored, quint32 *srid, QByteArray *wkb)
{
    if (stored.size() < 4)
        return false;
    *srid = qFromLittleEndian<quint32>(stored.data());
    *wkb = stored.sliced(4).toByteArray();
    return true;
}

QString oraTypeName(OraType type)
{
    switch (type) {
    case OraType::Number: return QStringLiteral("NUMBER");
    case OraType::Varchar2: return QStringLiteral("VARCHAR2");
    case OraType::Char: return QStringLiteral("CHAR");
    case OraType::Date: return QStringLiteral("DATE");
    case OraType::Blob: return QStringLiteral("BLOB");
    case OraType::Clob: return QStringLiteral("CLOB");
    case OraType::Raw: return QStringLiteral("RAW");
    case OraType::BinaryFloat: return QStringLiteral("BINARY_FLOAT");
    case OraType::BinaryDouble: return QStringLiteral("BINARY_DOUBLE");
    case OraType::Timestamp: return QStringLiteral("TIMESTAMP");
    case OraType::Interval: return QStringLiteral("INTERVAL DAY TO SECOND");
    case OraType::Geometry: return QStringLiteral("SDO_GEOMETRY");
    }
    return QString();
}

bool oraTypeFromName(const QString &name, OraType *type)
{
    static const OraType all[] = {OraType::Number,      OraType::Varchar2,     OraType::Char,
                                  OraType::Date,        OraType::Blob,         OraType::Clob,
                                  OraType::Raw,         OraType::BinaryFloat,  OraType::BinaryDouble,
                                  OraType::Timestamp,   OraType::Interval,     OraType::Geometry};
    for (OraType t : all) {
        if (oraTypeName(t) == name) {
            *type = t;
            return true;
        }
    }
    if (name.startsWith(QLatin1String("TIMESTAMP("))) {
        *type = OraType::Timestamp;
        return true;
    }
    if (name.startsWith(QLatin1String("INTERVAL DAY("))) {
        *type = OraType::Interval;
        return true;
    }
    return false;
}

QString dictionaryTypeName(const ColumnSpec &spec)
{
    switch (spec.type) {
    case OraType::Timestamp: return QStringLiteral("TIMESTAMP(%1)").arg(spec.fraction);
    case OraType::Interval:
        return QStringLiteral("INTERVAL DAY(%1) TO SECOND(%2)").arg(spec.dayPrecision).arg(spec.fraction);
    default: return oraTypeName(spec.type);
    }
}

bool isLob(OraType type)
{
    return type == OraType::Blob || type == OraType::Clob;
}

OracleColumn toOracleColumn(const ColumnSpec &spec)
{
    OracleColumn c;
    c.name = spec.name;
    c.type = oraTypeName(spec.type);
    if (spec.type == OraType::Varchar2 || spec.type == OraType::Char || spec.type == OraType::Raw)
        c.length = spec.length;
    if (spec.type == OraType::Number) {
        c.precision = spec.precision;
        c.scale = spec.scale;
    }
    if (spec.type == OraType::Timestamp)
        c.scale = spec.fraction;
    if (spec.type == OraType::Interval) {
        c.precision = spec.dayPrecision;
        c.scale = spec.fraction;
    }
    c.nullable = spec.nullable;
    return c;
}

// ---------------------------------------------------------------- NUMBER

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// value = digits x 10^exp10, digits without leading or trailing zeros
// ("" for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exp10 = 0;

    long long magnitude() const { return (long long)digits.size() + exp10; }  // digits before the point
    void stripTrailingZeros()
    {
        size_t n = digits.size();
        while (n > 0 && digits[n - 1] == '0')
            --n;
        exp10 += (long long)(digits.size() - n);
        digits.resize(n);
        if (digits.empty())
            exp10 = 0;
    }
    // Keeps the first keep digits (keep < size), rounding half away from zero.
    void roundTo(size_t keep)
    {
        const bool up = digits[keep] >= '5';
        exp10 += (long long)(digits.size() - keep);
        digits.resize(keep);
        if (up) {
            size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9') {
                digits[i - 1] = '0';
                --i;
            }
            if (i == 0)
                digits.insert(digits.begin(), '1');
            else
                ++digits[i - 1];
        }
        stripTrailingZeros();
    }
};

bool parseDecimal(QStringView s, Decimal &d)
{
    d.negative = false;
    d.digits.clear();
    d.exp10 = 0;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && isBlank(s[i].unicode()))
        ++i;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        d.negative = s[i] == u'-';
        ++i;
    }
    bool anyDigit = false;
    bool leading = true;  // leading zeros are not kept
    while (i < n && s[i] >= u'0' && s[i] <= u'9') {
        anyDigit = true;
        if (!(leading && s[i] == u'0')) {
            leading = false;
            d.digits.push_back(char(s[i].unicode()));
        }
        ++i;
    }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i] >= u'0' && s[i] <= u'9') {
            anyDigit = true;
            if (!(leading && s[i] == u'0')) {
                leading = false;
                d.digits.push_back(char(s[i].unicode()));
            }
            --d.exp10;
            ++i;
        }
    }
    if (!anyDigit)
        return false;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            negExp = s[i] == u'-';
            ++i;
        }
        if (i >= n || !(s[i] >= u'0' && s[i] <= u'9'))
            return false;
        long long e = 0;
        while (i < n && s[i] >= u'0' && s[i] <= u'9') {
            if (e < 1000000000LL)  // far beyond NUMBER's range either way
                e = e * 10 + (s[i].unicode() - u'0');
            ++i;
        }
        d.exp10 += negExp ? -e : e;
    }
    while (i < n && isBlank(s[i].unicode()))
        ++i;
    if (i != n)
        return false;
    d.stripTrailingZeros();
    return true;
}

void writeDecimal(const Decimal &d, std::string &out, bool toCharForm)
{
    out.clear();
    if (d.digits.empty()) {
        out.push_back('0');
        return;
    }
    if (d.negative)
        out.push_back('-');
    const long long m = d.magnitude();
    if (d.exp10 >= 0) {
        out += d.digits;
        out.append(size_t(d.exp10), '0');
    } else if (m > 0) {
        out.append(d.digits, 0, size_t(m));
        out.push_back('.');
        out.append(d.digits, size_t(m), std::string::npos);
    } else {
        if (!toCharForm)
            out.push_back('0');
        out.push_back('.');
        out.append(size_t(-m), '0');
        out += d.digits;
    }
}

} // namespace

namespace {

// The usual shapes of a number, as MySQL sends it and the row copy passes it
// on: "[-]D[.F]" where D starts with 1-9 (or is the lone "0" of an integer)
// and has at most 38 digits with F. Their canonical text is the text itself
// without the trailing zeros of F (and its point when nothing is left), when
// the column keeps it without rounding and within its precision. Anything
// else (a leading zero, "-0", a zero before the point, an exponent, blanks,
// more digits) takes the general way. Returns false when it does.
int code(QChar c) { return c.unicode(); }
int code(QLatin1Char c) { return static_cast<unsigned char>(c.toLatin1()); }

template <typename Text>
bool plainNumber(Text text, const ColumnSpec *spec, std::string &out)
{
    const qsizetype n = qsizetype(text.size());
    qsizetype i = 0;
    const bool negative = n > 0 && code(text[0]) == '-';
    if (negative)
        ++i;
    const qsizetype intStart = i;
    while (i < n && code(text[i]) >= '0' && code(text[i]) <= '9')
        ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0)
        return false;
    const bool zero = code(text[intStart]) == '0';
    if (zero && (intDigits > 1 || negative || i < n))
        return false;  // "007", "-0", "0.5": the general way
    qsizetype fracDigits = 0;
    if (i < n) {
        if (code(text[i]) != '.')
            return false;
        const qsizetype fracStart = ++i;
        qsizetype lastNonZero = fracStart;
        while (i < n && code(text[i]) >= '0' && code(text[i]) <= '9') {
            if (code(text[i]) != '0')
                lastNonZero = i + 1;
            ++i;
        }
        if (i != n)
            return false;
        fracDigits = lastNonZero - fracStart;
    }
    if (intDigits + fracDigits > kNumberDigits)
        return false;
    if (spec && spec->scaled) {
        const qsizetype precision = spec->precision > 0 ? spec->precision : kNumberDigits;
        if (spec->scale < 0 || fracDigits > spec->scale || intDigits > precision - spec->scale)
            return false;
    }
    const qsizetype keep = intStart + intDigits + (fracDigits > 0 ? 1 + fracDigits : 0);
    out.resize(size_t(keep));
    for (qsizetype k = 0; k < keep; ++k)
        out[size_t(k)] = char(code(text[k]));
    return true;
}

} // namespace

NumberStatus canonicalNumber(QLatin1StringView text, const ColumnSpec *spec, std::string &out, bool toCharForm)
{
    if (plainNumber(text, spec, out))
        return NumberStatus::Ok;
    return canonicalNumber(QString(text), spec, out, toCharForm);
}

NumberStatus canonicalNumber(QStringView text, const ColumnSpec *spec, std::string &out, bool toCharForm)
{
    if (plainNumber(text, spec, out))
        return NumberStatus::Ok;
    thread_local Decimal d;
    out.clear();
    if (!parseDecimal(text, d))
        return NumberStatus::Invalid;
    // A column with a scale rounds once, to its scale, from the digits as
    // given; rounding to 38 digits first could round twice (1.4499...95
    // into NUMBER(10,1) must give 1.4, not 1.5).
    const bool scaled = spec && spec->scaled;
    if (!scaled && d.digits.size() > size_t(kNumberDigits))
        d.roundTo(size_t(kNumberDigits));
    if (!d.digits.empty()) {
        // NUMBER's range: 1E-130 up to (but not including) 1E126.
        if (d.magnitude() > 126)
            return NumberStatus::Overflow;
        if (d.magnitude() < -129) {
            d.digits.clear();
            d.exp10 = 0;
        }
    }
    if (spec && spec->scaled && !d.digits.empty()) {
        const long long s = spec->scale;
        if (d.exp10 < -s) {
            const long long drop = -s - d.exp10;
            if (drop > (long long)d.digits.size()) {
                d.digits.clear();
                d.exp10 = 0;
            } else if (drop == (long long)d.digits.size()) {
                const bool up = d.digits[0] >= '5';
                d.digits = up ? "1" : "";
                d.exp10 = up ? -s : 0;
            } else {
                d.roundTo(d.digits.size() - size_t(drop));
            }
        }
        if (d.digits.size() > size_t(kNumberDigits))
            d.roundTo(size_t(kNumberDigits));
        const long long p = spec->precision > 0 ? spec->precision : kNumberDigits;
        // Oracle's rule for NUMBER(p,s): the rounded value must be below 10^(p-s).
        if (!d.digits.empty() && d.magnitude() > p - s)
            return NumberStatus::Precision;
    }
    writeDecimal(d, out, toCharForm);
    return NumberStatus::Ok;
}

// ---------------------------------------------------------------- DATE

namespace {

bool isLeapYear(int year)
{
    if (year < 0) {
        // Oracle's year -1 is 1 BC, which the proleptic Julian calendar makes
        // a leap year (astronomical year 0).
        const int astronomical = year + 1;
        return ((astronomical % 4) + 4) % 4 == 0;
    }
    if (year <= 1582)
        return year % 4 == 0;  // Julian calendar before the Gregorian reform
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year))
        return 29;
    return days[month - 1];
}

} // namespace

int validateDate(const OracleDate &date, QString *message)
{
    auto fail = [message](int code, const char *text) {
        if (message)
            *message = oraMessage(code, QString::fromLatin1(text));
        return code;
    };
    if (date.year < -4712 || date.year > 9999 || date.year == 0)
        return fail(1841, "(full) year must be between -4713 and +9999, and not be 0");
    if (date.month < 1 || date.month > 12)
        return fail(1843, "not a valid month");
    if (date.day < 1 || date.day > 31)
        return fail(1847, "day of month must be between 1 and last day of month");
    if (date.day > daysInMonth(date.year, date.month))
        return fail(1839, "date not valid for month specified");
    // The three texts below are Oracle's (ORA-01850..01852); the fact sheet
    // does not list them.
    if (date.hour < 0 || date.hour > 23)
        return fail(1850, "hour must be between 0 and 23");
    if (date.minute < 0 || date.minute > 59)
        return fail(1851, "minutes must be between 0 and 59");
    if (date.second < 0 || date.second > 59)
        return fail(1852, "seconds must be between 0 and 59");
    return 0;
}

void formatDate(const OracleDate &date, std::string &out)
{
    // "[-]YYYY-MM-DD HH24:MI:SS", written by hand: this runs for every DATE
    // value of every batch. The fields are in range (validateDate).
    char buf[24];
    char *p = buf;
    auto two = [&p](int v) {
        *p++ = char('0' + v / 10 % 10);
        *p++ = char('0' + v % 10);
    };
    const int year = date.year < 0 ? -date.year : date.year;
    if (date.year < 0)
        *p++ = '-';
    two(year / 100);
    two(year % 100);
    *p++ = '-';
    two(date.month);
    *p++ = '-';
    two(date.day);
    *p++ = ' ';
    two(date.hour);
    *p++ = ':';
    two(date.minute);
    *p++ = ':';
    two(date.second);
    out.assign(buf, size_t(p - buf));
}

QString formatDate(const OracleDate &date)
{
    std::string s;
    formatDate(date, s);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

bool parseStoredDate(const QByteArray &text, OracleDate *date)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const char *p = text.constData();
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    // The usual form "YYYY-MM-DD HH:MM:SS" is read by position; any other by
    // the general pattern.
    auto digits = [p](int at, int count) {
        int v = 0;
        for (int i = at; i < at + count; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return -1;
            v = v * 10 + (p[i] - '0');
        }
        return v;
    };
    const qsizetype length = text.size() - (negative ? 1 : 0);
    if (length == 19 && p[4] == '-' && p[7] == '-' && p[10] == ' ' && p[13] == ':' && p[16] == ':' &&
        (year = digits(0, 4)) >= 0 && (month = digits(5, 2)) >= 0 && (day = digits(8, 2)) >= 0 &&
        (hour = digits(11, 2)) >= 0 && (minute = digits(14, 2)) >= 0 && (second = digits(17, 2)) >= 0) {
        // read
    } else {
        char tail = 0;
        if (std::sscanf(p, "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &tail) != 6)
            return false;
    }
    date->year = negative ? -year : year;
    date->month = month;
    date->day = day;
    date->hour = hour;
    date->minute = minute;
    date->second = second;
    return true;
}

// ---------------------------------------------------------------- TIMESTAMP, INTERVAL

namespace {

const int kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// The nanoseconds rounded half up to `digits` digits, in nanoseconds; may be
// 1000000000 (a carry into the seconds).
int roundNanoseconds(int nanosecond, int digits)
{
    const int unit = kPow10[9 - digits];
    return (nanosecond + unit / 2) / unit * unit;
}

QString fractionText(int nanosecond, int digits)
{
    if (digits <= 0)
        return QString();
    return QLatin1Char('.') + QStringLiteral("%1").arg(nanosecond / kPow10[9 - digits], digits, 10, QLatin1Char('0'));
}

// Reads ".f..." at p (or nothing) into nanoseconds; false when malformed.
bool parseFraction(const char *p, int *nanosecond)
{
    *nanosecond = 0;
    if (*p == 0)
        return true;
    if (*p != '.')
        return false;
    ++p;
    int digits = 0, value = 0;
    while (*p >= '0' && *p <= '9' && digits < 9) {
        value = value * 10 + (*p - '0');
        ++digits, ++p;
    }
    if (*p != 0 || digits == 0)
        return false;
    *nanosecond = value * kPow10[9 - digits];
    return true;
}

} // namespace

int roundTimestamp(const OracleTimestamp &in, int fraction, OracleTimestamp *out, QString *message)
{
    if (int bad = validateDate(in.date, message))
        return bad;
    *out = in;
    out->nanosecond = roundNanoseconds(qBound(0, in.nanosecond, 999999999), qBound(0, fraction, 9));
    if (out->nanosecond < 1000000000)
        return 0;
    // The carry: one second more, through the calendar.
    out->nanosecond = 0;
    OracleDate &d = out->date;
    if (++d.second < 60)
        return 0;
    d.second = 0;
    if (++d.minute < 60)
        return 0;
    d.minute = 0;
    if (++d.hour < 24)
        return 0;
    d.hour = 0;
    if (++d.day <= daysInMonth(d.year, d.month))
        return 0;
    d.day = 1;
    if (++d.month <= 12)
        return 0;
    d.month = 1;
    d.year = d.year == -1 ? 1 : d.year + 1;
    return validateDate(d, message);
}

QString formatTimestamp(const OracleTimestamp &ts, int fraction)
{
    return formatDate(ts.date) + fractionText(ts.nanosecond, fraction);
}

bool parseStoredTimestamp(const QByteArray &text, OracleTimestamp *ts)
{
    const qsizetype dot = text.indexOf('.', 1);
    if (!parseStoredDate(dot < 0 ? text : text.left(dot), &ts->date))
        return false;
    return parseFraction(dot < 0 ? "" : text.constData() + dot, &ts->nanosecond);
}

int roundInterval(const OracleInterval &in, int dayPrecision, int fraction, OracleInterval *out, QString *message)
{
    auto fail = [message](int code, const char *text) {
        if (message)
            *message = oraMessage(code, QString::fromLatin1(text));
        return code;
    };
    if (in.hours < 0 || in.hours > 23)
        return fail(1850, "hour must be between 0 and 23");
    if (in.minutes < 0 || in.minutes > 59)
        return fail(1851, "minutes must be between 0 and 59");
    if (in.seconds < 0 || in.seconds > 59)
        return fail(1852, "seconds must be between 0 and 59");
    *out = in;
    out->nanosecond = roundNanoseconds(qBound(0, in.nanosecond, 999999999), qBound(0, fraction, 9));
    if (out->nanosecond >= 1000000000) {
        out->nanosecond = 0;
        if (++out->seconds == 60) {
            out->seconds = 0;
            if (++out->minutes == 60) {
                out->minutes = 0;
                if (++out->hours == 24) {
                    out->hours = 0;
                    ++out->days;
                }
            }
        }
    }
    if (in.days < 0 || (dayPrecision < 9 && out->days >= kPow10[qBound(0, dayPrecision, 9)]))
        return fail(1873, "the leading precision of the interval is too small");
    if (out->days == 0 && out->hours == 0 && out->minutes == 0 && out->seconds == 0 && out->nanosecond == 0)
        out->negative = false;
    return 0;
}

QString formatInterval(const OracleInterval &iv, int fraction)
{
    return QStringLiteral("%1%2 %3:%4:%5")
               .arg(iv.negative ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(iv.days, 2, 10, QLatin1Char('0'))
               .arg(iv.hours, 2, 10, QLatin1Char('0'))
               .arg(iv.minutes, 2, 10, QLatin1Char('0'))
               .arg(iv.seconds, 2, 10, QLatin1Char('0')) +
           fractionText(iv.nanosecond, fraction);
}

bool parseStoredInterval(const QByteArray &text, OracleInterval *iv)
{
    if (text.isEmpty() || (text[0] != '+' && text[0] != '-'))
        return false;
    iv->negative = text[0] == '-';
    const qsizetype dot = text.indexOf('.');
    const QByteArray whole = dot < 0 ? text.mid(1) : text.mid(1, dot - 1);
    char tail = 0;
    if (std::sscanf(whole.constData(), "%d %d:%d:%d%c", &iv->days, &iv->hours, &iv->minutes, &iv->seconds,
                    &tail) != 4)
        return false;
    return parseFraction(dot < 0 ? "" : text.constData() + dot, &iv->nanosecond);
}

// ---------------------------------------------------------------- BINARY_FLOAT, BINARY_DOUBLE

int parseBinaryNumber(QStringView text, bool asFloat, double *value)
{
    const QString trimmed = text.trimmed().toString();
    const QString lower = trimmed.toLower();
    if (lower == QLatin1String("inf") || lower == QLatin1String("+inf") || lower == QLatin1String("-inf") ||
        lower == QLatin1String("nan")) {
        *value = lower == QLatin1String("nan")    ? std::numeric_limits<double>::quiet_NaN()
                 : lower.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                                  : std::numeric_limits<double>::infinity();
        return 0;
    }
    // Only decimal text: an optional sign, digits with an optional fraction,
    // an optional exponent (from_chars would also take "inf" and hex digits).
    const QByteArray latin = trimmed.toLatin1();
    qsizetype i = 0;
    const qsizetype n = latin.size();
    if (i < n && (latin[i] == '+' || latin[i] == '-'))
        ++i;
    const qsizetype numberStart = latin[0] == '+' ? 1 : 0;  // from_chars takes no '+'
    int digits = 0;
    while (i < n && latin[i] >= '0' && latin[i] <= '9')
        ++i, ++digits;
    if (i < n && latin[i] == '.') {
        ++i;
        while (i < n && latin[i] >= '0' && latin[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return 1722;
    if (i < n && (latin[i] == 'e' || latin[i] == 'E')) {
        ++i;
        if (i < n && (latin[i] == '+' || latin[i] == '-'))
            ++i;
        const qsizetype expStart = i;
        while (i < n && latin[i] >= '0' && latin[i] <= '9')
            ++i;
        if (i == expStart)
            return 1722;
    }
    if (i != n)
        return 1722;
    const char *first = latin.constData() + numberStart;
    const char *last = latin.constData() + n;
    auto outOfRange = [&](double *zero) {
        // Beyond the type's range: an overflow when the magnitude is large,
        // a (signed) zero when it is too small to hold.
        long double wide = 0;
        std::from_chars(first, last, wide);
        if (std::fabs(wide) >= 1)
            return 1426;
        *zero = latin.startsWith('-') ? -0.0 : 0.0;
        return 0;
    };
    if (asFloat) {
        float f = 0;
        const auto r = std::from_chars(first, last, f);
        if (r.ec == std::errc::result_out_of_range)
            return outOfRange(value);
        if (r.ec != std::errc() || r.ptr != last)
            return 1722;
        *value = f;
        return 0;
    }
    double d = 0;
    const auto r = std::from_chars(first, last, d);
    if (r.ec == std::errc::result_out_of_range)
        return outOfRange(value);
    if (r.ec != std::errc() || r.ptr != last)
        return 1722;
    *value = d;
    return 0;
}

QString binaryNumberText(double value, bool asFloat)
{
    if (std::isnan(value))
        return QStringLiteral("Nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    char buf[64];
    const auto r = asFloat ? std::to_chars(buf, buf + sizeof buf, float(value))
                           : std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, r.ptr - buf);
}

// ---------------------------------------------------------------- lengths

int codePoints(QStringView text)
{
    int n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        ++n;
    }
    return n;
}

// The characters of well-formed UTF-8: every byte that does not continue a
// sequence starts one.
int utf8CodePoints(const QByteArray &utf8)
{
    int n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

int utf8Length(QStringView text)
{
    return int(utf8Size(text));
}

// ---------------------------------------------------------------- conversion

/*
 How a bound value goes into a column (Oracle's implicit conversions, as this
 target defines them; what the real client adapter binds must agree):

 column \ value   Number                Text                       Date                 Bytes
 NUMBER           canonical NUMBER      TO_NUMBER, else 01722      00932                00932
 VARCHAR2/CHAR    TO_CHAR text (".5")   as is                      'YYYY-MM-DD HH24:MI:SS'  RAWTOHEX text
 CLOB             TO_CHAR text          as is                      as for VARCHAR2      RAWTOHEX text
 DATE             00932                 01861 (no implicit format) validated           00932
 BLOB / RAW       00932                 its UTF-8 bytes            00932                as is

 - A zero-length text or byte string is NULL, as in Oracle.
 - Text into DATE: the target has no NLS_DATE_FORMAT to parse by, so every
   non-empty text is refused with ORA-01861, which is what Oracle answers for
   a literal that does not match the session's date format.
 - Text into BLOB/RAW stores its UTF-8 bytes: that is how Tavrex's adapters
   bind text for binary columns (Oracle itself would read a VARCHAR2 as hex).
 - The ORA-00932 texts are Oracle's "inconsistent datatypes: expected X got Y";
   the fact sheet does not list ORA-00932.
 - Lengths: VARCHAR2(n) and CHAR(n) count characters (code points) unless
   declared BYTE, and a value is never longer than 4000 (VARCHAR2) or 2000
   (CHAR) bytes in UTF-8; a value over that byte cap is reported in bytes
   against the cap. CHAR is blank-padded to n characters, never past 2000 bytes.
*/

namespace {

QString tooLarge(const QString &qualifiedName, int actual, int maximum)
{
    return oraMessage(12899, QStringLiteral("value too large for column %1 (actual: %2, maximum: %3)")
                                 .arg(qualifiedName)
                                 .arg(actual)
                                 .arg(maximum));
}

// An object type is named with its owner: MDSYS.SDO_GEOMETRY.
QString typeInMessage(OraType type)
{
    return type == OraType::Geometry ? QStringLiteral("MDSYS.SDO_GEOMETRY") : oraTypeName(type);
}

int inconsistent(OraType column, OracleValue::Kind kind, QString *message)
{
    QString got;
    switch (kind) {
    case OracleValue::Kind::Number: got = QStringLiteral("NUMBER"); break;
    case OracleValue::Kind::Text: got = QStringLiteral("CHAR"); break;
    case OracleValue::Kind::Date: got = QStringLiteral("DATE"); break;
    case OracleValue::Kind::Bytes: got = QStringLiteral("BINARY"); break;
    case OracleValue::Kind::Timestamp: got = QStringLiteral("TIMESTAMP"); break;
    case OracleValue::Kind::Interval: got = QStringLiteral("INTERVAL DAY TO SECOND"); break;
    case OracleValue::Kind::BinaryNumber: got = QStringLiteral("BINARY_DOUBLE"); break;
    case OracleValue::Kind::Geometry: got = typeInMessage(OraType::Geometry); break;
    case OracleValue::Kind::Null: break;
    }
    *message = oraMessage(932, QStringLiteral("inconsistent datatypes: expected %1 got %2").arg(typeInMessage(column), got));
    return 932;
}

int numberFailure(NumberStatus status, QString *message)
{
    switch (status) {
    case NumberStatus::Invalid: *message = oraMessage(1722, QStringLiteral("invalid number")); return 1722;
    case NumberStatus::Overflow: *message = oraMessage(1426, QStringLiteral("numeric overflow")); return 1426;
    case NumberStatus::Precision:
        *message = oraMessage(1438, QStringLiteral("value larger than specified precision allowed for this column"));
        return 1438;
    case NumberStatus::Ok: break;
    }
    return 0;
}

// Checks and stores a text for VARCHAR2 / CHAR / CLOB. The text is either
// the value's own (text16 borrowed) or made here (in utf8 or ownText).
int storeText(const ColumnSpec &col, const QString &qualifiedName, StoredValue &out, QString *message)
{
    if (col.type == OraType::Clob)
        return 0;
    const bool text16 = out.kind == StoredValue::Kind::Text16;
    const bool text8 = out.kind == StoredValue::Kind::Text8;
    const QStringView text = text16 ? QStringView(*out.text16) : QStringView();
    // Utf8 texts (numbers, dates, hexadecimal) are ASCII; a Text8 text has
    // at most as many characters as bytes.
    const qsizetype units = text16 ? text.size() : text8 ? out.text8->size() : qsizetype(out.utf8.size());
    const int byteCap = col.type == OraType::Char ? kCharMaxBytes : kVarchar2MaxBytes;
    int bytes = -1;  // computed only when it can matter
    auto byteCount = [&]() {
        if (bytes < 0)
            bytes = text16 ? utf8Length(text) : text8 ? int(out.text8->size()) : int(out.utf8.size());
        return bytes;
    };
    int chars = -1;
    auto charCount = [&]() {
        if (chars < 0)
            chars = text16 ? codePoints(text) : text8 ? utf8CodePoints(*out.text8) : int(out.utf8.size());
        return chars;
    };
    if (col.byteSemantics) {
        if (units * 3 > col.length && byteCount() > col.length) {
            *message = tooLarge(qualifiedName, byteCount(), col.length);
            return 12899;
        }
    } else {
        if (units > col.length && charCount() > col.length) {
            *message = tooLarge(qualifiedName, charCount(), col.length);
            return 12899;
        }
        // UTF-8 needs at most 3 bytes per UTF-16 unit.
        if (units * 3 > byteCap && byteCount() > byteCap) {
            *message = tooLarge(qualifiedName, byteCount(), byteCap);
            return 12899;
        }
    }
    if (col.type == OraType::Char) {
        // Blank-pad to the declared length (characters, or bytes for BYTE),
        // never beyond the 2000-byte cap.
        const int have = col.byteSemantics ? byteCount() : charCount();
        int pad = col.length - have;
        if (pad > 0) {
            const int room = kCharMaxBytes - byteCount();
            if (pad > room)
                pad = room;
        }
        if (pad > 0) {
            if (text16) {
                out.ownText = *out.text16;
                out.ownText.append(QString(pad, QLatin1Char(' ')));
                out.text16 = &out.ownText;
            } else {
                if (text8) {
                    out.utf8.assign(out.text8->constData(), size_t(out.text8->size()));
                    out.text8 = nullptr;
                    out.kind = StoredValue::Kind::Utf8;
                }
                out.utf8.append(size_t(pad), ' ');
            }
        }
    }
    return 0;
}

const char kHex[] = "0123456789ABCDEF";

} // namespace

int convertValue(const OracleValue &value, const ColumnSpec &col, const QString &qualifiedName, StoredValue &out,
                 QString *message)
{
    out.kind = StoredValue::Kind::Null;
    out.text16 = nullptr;
    out.text8 = nullptr;
    const OracleValue::Kind kind = value.kind();
    int rc = 0;

    switch (col.type) {
    case OraType::Number:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Text:
            if (value.textValue().isEmpty())
                break;
            [[fallthrough]];
        case OracleValue::Kind::BinaryNumber:
        case OracleValue::Kind::Number: {
            const NumberStatus st =
                kind == OracleValue::Kind::Number && value.isUtf8()
                    ? canonicalNumber(QLatin1StringView(value.utf8Value()), &col, out.utf8)
                    : canonicalNumber(value.textValue(), &col, out.utf8);
            if (st != NumberStatus::Ok)
                return numberFailure(st, message);
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        default: return inconsistent(col.type, kind, message);
        }
        break;

    case OraType::Varchar2:
    case OraType::Char:
    case OraType::Clob:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Text:
        case OracleValue::Kind::BinaryNumber:
            if (value.isUtf8()) {
                if (value.utf8Value().isEmpty())
                    break;
                out.kind = StoredValue::Kind::Text8;
                out.text8 = &value.utf8Value();
                break;
            }
            if (value.textValue().isEmpty())
                break;
            out.kind = StoredValue::Kind::Text16;
            out.text16 = &value.textValue();
            break;
        case OracleValue::Kind::Timestamp: {
            OracleTimestamp ts;
            if (int bad = roundTimestamp(value.timestampValue(), 9, &ts, message))
                return bad;
            out.utf8 = formatTimestamp(ts, 9).toStdString();
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Interval: {
            OracleInterval iv;
            if (int bad = roundInterval(value.intervalValue(), 9, 9, &iv, message))
                return bad;
            out.utf8 = formatInterval(iv, 9).toStdString();
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Number: {
            const NumberStatus st = canonicalNumber(value.textValue(), nullptr, out.utf8, true);
            if (st != NumberStatus::Ok)
                return numberFailure(st, message);
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Date:
            if (int bad = validateDate(value.dateValue(), message))
                return bad;
            formatDate(value.dateValue(), out.utf8);
            out.kind = StoredValue::Kind::Utf8;
            break;
        case OracleValue::Kind::Bytes: {
            const QByteArray &b = value.bytesValue();
            if (b.isEmpty())
                break;
            out.utf8.resize(size_t(b.size()) * 2);
            for (qsizetype i = 0; i < b.size(); ++i) {
                const auto u = static_cast<unsigned char>(b[i]);
                out.utf8[size_t(i) * 2] = kHex[u >> 4];
                out.utf8[size_t(i) * 2 + 1] = kHex[u & 15];
            }
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Geometry: return inconsistent(col.type, kind, message);
        }
        if (out.kind != StoredValue::Kind::Null && (rc = storeText(col, qualifiedName, out, message)) != 0)
            return rc;
        break;

    case OraType::Date:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Date:
            if (int bad = validateDate(value.dateValue(), message))
                return bad;
            formatDate(value.dateValue(), out.utf8);
            out.kind = StoredValue::Kind::Utf8;
            break;
        case OracleValue::Kind::Text:
            if (value.textValue().isEmpty())
                break;
            *message = oraMessage(1861, QStringLiteral("literal does not match format string"));
            return 1861;
        default: return inconsistent(col.type, kind, message);
        }
        break;

    case OraType::Timestamp:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Date:
        case OracleValue::Kind::Timestamp: {
            OracleTimestamp ts;
            const OracleTimestamp given = kind == OracleValue::Kind::Date ? OracleTimestamp{value.dateValue(), 0}
                                                                          : value.timestampValue();
            if (int bad = roundTimestamp(given, col.fraction, &ts, message))
                return bad;
            out.utf8 = formatTimestamp(ts, col.fraction).toStdString();
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Text:
            if (value.textValue().isEmpty())
                break;
            *message = oraMessage(1861, QStringLiteral("literal does not match format string"));
            return 1861;
        default: return inconsistent(col.type, kind, message);
        }
        break;

    case OraType::Interval:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Interval: {
            OracleInterval iv;
            if (int bad = roundInterval(value.intervalValue(), col.dayPrecision, col.fraction, &iv, message))
                return bad;
            out.utf8 = formatInterval(iv, col.fraction).toStdString();
            out.kind = StoredValue::Kind::Utf8;
            break;
        }
        case OracleValue::Kind::Text:
            if (value.textValue().isEmpty())
                break;
            *message = oraMessage(1867, QStringLiteral("the interval is invalid"));
            return 1867;
        default: return inconsistent(col.type, kind, message);
        }
        break;

    case OraType::BinaryFloat:
    case OraType::BinaryDouble:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Text:
        case OracleValue::Kind::Number:
        case OracleValue::Kind::BinaryNumber: {
            if (value.textValue().isEmpty())
                break;
            const int bad = parseBinaryNumber(value.textValue(), col.type == OraType::BinaryFloat, &out.real);
            if (bad == 1722) {
                *message = oraMessage(1722, QStringLiteral("invalid number"));
                return bad;
            }
            if (bad == 1426) {
                *message = oraMessage(1426, QStringLiteral("numeric overflow"));
                return bad;
            }
            out.kind = StoredValue::Kind::Real;
            break;
        }
        default: return inconsistent(col.type, kind, message);
        }
        break;

    case OraType::Blob:
    case OraType::Raw:
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Bytes:
            if (value.bytesValue().isEmpty())
                break;
            out.blob = value.bytesValue();
            out.kind = StoredValue::Kind::Blob;
            break;
        case OracleValue::Kind::Text:
            if (value.textValue().isEmpty())
                break;
            out.blob = value.textValue().toUtf8();
            out.kind = StoredValue::Kind::Blob;
            break;
        default: return inconsistent(col.type, kind, message);
        }
        if (col.type == OraType::Raw && out.kind == StoredValue::Kind::Blob && out.blob.size() > col.length) {
            *message = tooLarge(qualifiedName, int(out.blob.size()), col.length);
            return 12899;
        }
        break;

    case OraType::Geometry:
        // SDO_GEOMETRY(wkb, srid) reads the WKB; what it cannot read fails
        // in Oracle's Java conversion.
        switch (kind) {
        case OracleValue::Kind::Null: break;
        case OracleValue::Kind::Geometry: {
            const QString problem = wkbProblem(value.wkbValue());
            if (!problem.isEmpty()) {
                *message = oraMessage(29532, QStringLiteral("Java call terminated by uncaught Java exception: "
                                                            "java.lang.RuntimeException: "
                                                            "oracle.spatial.util.GeometryExceptionWithContext: ") +
                                                 problem);
                return 29532;
            }
            out.blob = storedGeometry(value.sridValue(), value.wkbValue());
            out.kind = StoredValue::Kind::Blob;
            break;
        }
        default: return inconsistent(col.type, kind, message);
        }
        break;
    }

    if (out.kind == StoredValue::Kind::Null && !col.nullable) {
        *message = oraMessage(1400, QStringLiteral("cannot insert NULL into (%1)").arg(qualifiedName));
        return 1400;
    }
    return 0;
}

} // namespace tavrex::embedded
