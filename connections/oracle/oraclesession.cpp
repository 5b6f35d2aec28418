#include "connections/oracle/oraclesession.h"

namespace tavrex {

OracleColumnKind oracleColumnKind(const QString &typeName)
{
    static const struct {
        const char *name;
        OracleColumnKind kind;
    } kinds[] = {
        {"NUMBER", OracleColumnKind::Number},
        {"FLOAT", OracleColumnKind::Float},
        {"BINARY_FLOAT", OracleColumnKind::BinaryFloat},
        {"BINARY_DOUBLE", OracleColumnKind::BinaryDouble},
        {"DATE", OracleColumnKind::Date},
        {"TIMESTAMP", OracleColumnKind::Timestamp},
        {"INTERVAL DAY TO SECOND", OracleColumnKind::IntervalDayToSecond},
        {"VARCHAR2", OracleColumnKind::Varchar2},
        {"NVARCHAR2", OracleColumnKind::NVarchar2},
        {"CHAR", OracleColumnKind::Char},
        {"NCHAR", OracleColumnKind::NChar},
        {"CLOB", OracleColumnKind::Clob},
        {"NCLOB", OracleColumnKind::NClob},
        {"LONG", OracleColumnKind::Long},
        {"BLOB", OracleColumnKind::Blob},
        {"RAW", OracleColumnKind::Raw},
        {"LONG RAW", OracleColumnKind::LongRaw},
        {"SDO_GEOMETRY", OracleColumnKind::Geometry},
    };
    for (const auto &k : kinds)
        if (typeName == QLatin1String(k.name))
            return k.kind;
    if (typeName.startsWith(QLatin1String("TIMESTAMP")))
        return OracleColumnKind::ZonedTimestamp;
    return OracleColumnKind::Other;
}

} // namespace tavrex
