#include "schema/typemapping.h"

#include "engine/core/identifiers.h"

#include <QStringList>

#include <limits>
#include <stdexcept>

namespace tavrex {

namespace {

bool isOneOf(const QString &text, std::initializer_list<const char *> words)
{
    for (const char *word : words)
        if (text == QLatin1String(word))
            return true;
    return false;
}

bool beginsWithOneOf(const QString &text, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes)
        if (text.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

// Blanks and control characters (every code up to U+0020) at both ends.
QString trimBlanksAndControls(const QString &text)
{
    int begin = 0;
    int end = int(text.size());
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

[[noreturn]] void notAnInteger(const QString &text)
{
    throw std::invalid_argument(
        (QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value")).toStdString());
}

// A decimal integer with an optional sign that fits 32 bits, or the
// conversion error.
int toInteger(const QString &text)
{
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        notAnInteger(text);
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            notAnInteger(text);
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            notAnInteger(text);
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        notAnInteger(text);
    return int(value);
}

QString typePart(const QString &type)
{
    if (type.startsWith(QLatin1String("char(")))
        return QStringLiteral("varchar2(") + type.mid(5);
    if (type.startsWith(QLatin1String("varchar("))) {
        if (ParseTypeLength(type) > 4000)
            return QStringLiteral("BLOB");
        return QStringLiteral("varchar2(") + type.mid(8);
    }
    if (type.startsWith(QLatin1String("enum(")))
        return QStringLiteral("varchar2(%1)").arg(type.size() - 6);
    if (type.startsWith(QLatin1String("set(")))
        return QStringLiteral("varchar2(%1)").arg(type.size() - 5);
    if (isOneOf(type, {"text", "mediumtext", "longtext", "tinytext"}))
        return QStringLiteral("BLOB");
    if (isOneOf(type, {"blob", "tinyblob", "mediumblob", "longblob"}))
        return QStringLiteral(" BLOB");
    if (beginsWithOneOf(type, {"tinyint", "smallint", "mediumint", "int", "bigint", "float", "double", "decimal",
                               "year"}))
        return QStringLiteral(" number");
    if (isOneOf(type, {"date", "datetime", "timestamp", "time"}))
        return QStringLiteral(" date");
    return QString();
}

} // namespace

QString MapColumnType(const QString &columnName, const QString &typeText, bool uppercaseNames)
{
    return QLatin1Char('"') + ShapeName(columnName, uppercaseNames) + QStringLiteral("\" ") + typePart(typeText) +
           QLatin1Char(' ');
}

int ParseTypeLength(const QString &typeText)
{
    const QString type = trimBlanksAndControls(typeText);
    const int open = int(type.indexOf(QLatin1Char('(')));
    if (open <= 0)
        return 0;
    QString inner = type.mid(open + 1);
    inner.chop(1);
    return toInteger(inner);
}

} // namespace tavrex
