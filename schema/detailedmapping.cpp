#include "schema/detailedmapping.h"

namespace tavrex {

namespace {

using Family = DetailedType::Family;

DetailedType make(Family family, QString type)
{
    DetailedType t;
    t.family = family;
    t.type = std::move(type);
    return t;
}

QString sized(const char *name, qint64 n)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(n);
}

// The integer types by their widest value: digits signed / unsigned.
struct IntegerWidth {
    const char *dataType;
    int signedDigits;
    int unsignedDigits;
};

const IntegerWidth kIntegers[] = {
    {"tinyint", 3, 3},   // -128..127, 0..255
    {"smallint", 5, 5},  // -32768..32767, 0..65535
    {"mediumint", 7, 8}, // -8388608..8388607, 0..16777215
    {"int", 10, 10},     // -2147483648..2147483647, 0..4294967295
    {"integer", 10, 10},
    {"bigint", 19, 20},  // -9223372036854775808..9223372036854775807, 0..18446744073709551615
};

DetailedType noOracleType(const CatalogColumn &c, const QString &tableName)
{
    DetailedType t;
    t.problem = QStringLiteral("Cannot convert table %1: the column %2 has the type %3, which has no Oracle type")
                    .arg(tableName, c.name, c.columnType.isEmpty() ? c.dataType : c.columnType);
    return t;
}

// VARCHAR2(n) while n characters of the character set fit Oracle's 4000
// bytes, else CLOB.
DetailedType varchar2OrClob(qint64 chars, int maxCharBytes)
{
    const qint64 bytesPerChar = maxCharBytes > 0 ? maxCharBytes : 1;
    if (chars * bytesPerChar > kDetailedVarchar2MaxBytes)
        return make(Family::Clob, QStringLiteral("CLOB"));
    // VARCHAR2(0) does not exist; a varchar(0) holds only '' (NULL in Oracle).
    return make(Family::Varchar2, sized("VARCHAR2", qMax<qint64>(chars, 1)));
}

} // namespace

int bitDigits(int bits)
{
    if (bits < 1)
        bits = 1;
    if (bits > 64)
        bits = 64;
    const quint64 largest = bits == 64 ? ~quint64(0) : (quint64(1) << bits) - 1;
    return int(QString::number(largest).size());
}

QStringList parseEnumValues(const QString &columnType)
{
    QStringList values;
    const qsizetype open = columnType.indexOf(QLatin1Char('('));
    const QStringView head = QStringView(columnType).left(open < 0 ? 0 : open).trimmed();
    if (open < 0 || (head.compare(QLatin1String("enum"), Qt::CaseInsensitive) != 0 &&
                     head.compare(QLatin1String("set"), Qt::CaseInsensitive) != 0))
        return values;
    qsizetype i = open + 1;
    const qsizetype n = columnType.size();
    while (i < n) {
        if (columnType.at(i) != QLatin1Char('\''))
            break;
        QString value;
        ++i;
        while (i < n) {
            const QChar c = columnType.at(i);
            if (c == QLatin1Char('\'')) {
                if (i + 1 < n && columnType.at(i + 1) == QLatin1Char('\'')) {
                    value += c;
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            value += c;
            ++i;
        }
        values.append(value);
        if (i < n && columnType.at(i) == QLatin1Char(','))
            ++i;
        else
            break;
    }
    return values;
}

DetailedType MapDetailedType(const CatalogColumn &c, const QString &tableName)
{
    const QString &t = c.dataType;

    for (const IntegerWidth &w : kIntegers) {
        if (t == QLatin1String(w.dataType))
            return make(Family::Number, sized("NUMBER", c.isUnsigned ? w.unsignedDigits : w.signedDigits));
    }
    if (t == QLatin1String("bit"))
        return make(Family::Number, sized("NUMBER", bitDigits(c.precision)));
    if (t == QLatin1String("decimal") || t == QLatin1String("numeric")) {
        if (c.precision > kDetailedNumberDigits) {
            DetailedType d = make(Family::Number, QStringLiteral("NUMBER"));
            d.logLine = QStringLiteral("Column %1 of table %2: %3 is wider than Oracle's 38 digits and becomes "
                                       "NUMBER; values keep their first 38 significant digits")
                            .arg(c.name, tableName, c.columnType);
            return d;
        }
        return make(Family::Number, QStringLiteral("NUMBER(%1,%2)").arg(qMax(c.precision, 1)).arg(c.scale));
    }
    if (t == QLatin1String("float"))
        return make(Family::BinaryFloat, QStringLiteral("BINARY_FLOAT"));
    if (t == QLatin1String("double") || t == QLatin1String("real") || t == QLatin1String("double precision"))
        return make(Family::BinaryDouble, QStringLiteral("BINARY_DOUBLE"));
    if (t == QLatin1String("year"))
        return make(Family::Number, QStringLiteral("NUMBER(4)"));
    if (t == QLatin1String("date"))
        return make(Family::Date, QStringLiteral("DATE"));
    if (t == QLatin1String("datetime") || t == QLatin1String("timestamp")) {
        if (c.fractionDigits <= 0)
            return make(Family::Date, QStringLiteral("DATE"));
        return make(Family::Timestamp, sized("TIMESTAMP", qMin(c.fractionDigits, 9)));
    }
    if (t == QLatin1String("time"))
        return make(Family::Interval,
                    QStringLiteral("INTERVAL DAY(2) TO SECOND(%1)").arg(qBound(0, c.fractionDigits, 9)));
    if (t == QLatin1String("char")) {
        const qint64 bytesPerChar = c.maxCharBytes > 0 ? c.maxCharBytes : 1;
        if (c.charLength <= kDetailedCharMaxBytes && c.charLength * bytesPerChar <= kDetailedCharMaxBytes)
            return make(Family::Char, sized("CHAR", qMax<qint64>(c.charLength, 1)));
        return varchar2OrClob(c.charLength, c.maxCharBytes);
    }
    if (t == QLatin1String("varchar"))
        return varchar2OrClob(c.charLength, c.maxCharBytes);
    if (t == QLatin1String("tinytext") || t == QLatin1String("text") || t == QLatin1String("mediumtext") ||
        t == QLatin1String("longtext") || t == QLatin1String("json"))
        return make(Family::Clob, QStringLiteral("CLOB"));
    if (t == QLatin1String("binary") || t == QLatin1String("varbinary")) {
        if (c.charLength > kDetailedRawMaxBytes)
            return make(Family::Blob, QStringLiteral("BLOB"));
        return make(Family::Raw, sized("RAW", qMax<qint64>(c.charLength, 1)));
    }
    if (t == QLatin1String("tinyblob") || t == QLatin1String("blob") || t == QLatin1String("mediumblob") ||
        t == QLatin1String("longblob"))
        return make(Family::Blob, QStringLiteral("BLOB"));
    if (t == QLatin1String("enum") || t == QLatin1String("set")) {
        const QStringList values = c.values.isEmpty() ? parseEnumValues(c.columnType) : c.values;
        qint64 longest = 0, all = 0;
        for (const QString &v : values) {
            longest = qMax<qint64>(longest, v.size());
            all += v.size();
        }
        if (t == QLatin1String("set")) {
            all += qMax<qint64>(values.size() - 1, 0);  // the commas between the values
            return varchar2OrClob(all, c.maxCharBytes);
        }
        DetailedType d = varchar2OrClob(longest, c.maxCharBytes);
        for (const QString &v : values) {
            if (!v.isEmpty())  // '' is NULL in Oracle, which a CHECK lets pass anyway
                d.checkValues.append(v);
        }
        return d;
    }
    // MySQL 8 names the collection "geomcollection", MariaDB and MySQL 5.7
    // "geometrycollection".
    for (const char *spatial : {"geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
                                "multipolygon", "geometrycollection", "geomcollection"}) {
        if (t == QLatin1String(spatial))
            return make(Family::Geometry, QStringLiteral("SDO_GEOMETRY"));
    }
    return noOracleType(c, tableName);
}

} // namespace tavrex
