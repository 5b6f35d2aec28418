#pragma once

// The pure parts of the OCI adapter (connections/oracle/ocisession.cpp): how a
// batch is cut into array executes, the INSERT text and bind types of each,
// the 7-byte DATE, UTF-8 text, and how a describe maps onto OracleColumn.
// Kept apart from the calls so that each rule is tested on its own.

#include "connections/oracle/ocidefs.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/textrules.h"

#include <QString>
#include <QStringView>
#include <QVector>

namespace tavrex::oci {

// The SQLT_DAT bytes of a date: century + 100, year of the century + 100,
// month, day, hour + 1, minute + 1, second + 1 (years before Christ count
// down from 100). Fields that no byte can hold are saturated, so the server
// refuses them instead of reading another date.
void encodeDate(const OracleDate &date, ub1 out[7]);

// The date of SQLT_DAT bytes, the inverse of encodeDate.
OracleDate decodeDate(const ub1 in[7]);

// UTF-8 of a text, as the AL32UTF8 environment expects it; an unpaired
// surrogate becomes U+FFFD. utf8Size (engine/textrules.h) is exactly what
// encodeUtf8 writes.
char *encodeUtf8(QStringView text, char *out);

// What OCIAttrGet reports for one item of a described select list.
struct DescribedItem {
    QString name;
    ub2 dataType = 0;
    ub2 dataSize = 0;   // bytes
    ub2 charSize = 0;   // characters, for character types
    sb2 precision = 0;
    sb1 scale = 0;
    bool nullable = true;
    ub1 charsetForm = 0;
    QString typeName = QString();  // SQLT_NTY: the object type ("SDO_GEOMETRY"; "OWNER.NAME" outside MDSYS)
};

// The OracleColumn of a described item: VARCHAR2 and CHAR lengths in
// characters, RAW in bytes; an unconstrained NUMBER (and a FLOAT, which
// reports scale -127) as NUMBER without precision; an object type by its name
// (SDO_GEOMETRY); other types by their Oracle names, which the row buffer
// does not write into.
OracleColumn columnFromDescribe(const DescribedItem &item);

bool isLobType(const QString &columnType);

// A run of consecutive rows of a batch sent by one array execute.
struct InsertRun {
    int firstRow = 0;
    int rowCount = 0;
    // Per batch column: the kind of its non-NULL values in the run (Null
    // when all are NULL) and the largest bound size in bytes (at least 1).
    QVector<OracleValue::Kind> kinds;
    QVector<qint64> widths;
    // Per batch column of kind Geometry: the SRID of its values.
    QVector<quint32> srids;
};

// Values without a native bind here travel as text in fixed formats and are
// converted by the server in the INSERT:
//   TIMESTAMP  'YYYY-MM-DD HH24:MI:SS.FF9' through TO_TIMESTAMP(:n, that format)
//   INTERVAL   '[+|-]D HH:MI:SS.fffffffff' through TO_DSINTERVAL(:n)
//   BINARY_FLOAT / BINARY_DOUBLE  the server's decimal text through
//              TO_BINARY_FLOAT(:n) / TO_BINARY_DOUBLE(:n), read once from the
//              text, so 1E+308 fits and a float is rounded once
//   NUMBER     exact decimal text through TO_NUMBER(:n)
//   SDO_GEOMETRY  the WKB in a temporary BLOB through SDO_GEOMETRY(:n, srid)
//              (SDO_GEOMETRY(:n) without an SRID): the constructor that
//              reads a BLOB; the SRID is written into the text, so one run's
//              geometries share one. The constructor fails on a NULL BLOB, so
//              a run's geometries are all NULL or none is, and a run of
//              NULLs writes the literal NULL without a bind (an object
//              column takes no NULL of another type).
// (ocidefs.h records the facts these rest on.)
constexpr const char *kTimestampFormat = "YYYY-MM-DD HH24:MI:SS.FF9";
// The text bound for a Timestamp or Interval value, or the text of a Number,
// Text or BinaryNumber value.
QString conversionText(const OracleValue &value);
// The placeholder as the INSERT writes it for a value kind and column type
// (and a geometry's SRID).
QString convertedPlaceholder(const QString &placeholder, OracleValue::Kind kind, const QString &columnType,
                             quint32 srid = 0);

// The bytes a value takes in its bind buffer.
qint64 boundSize(const OracleValue &value);

// Cuts a batch into runs. Every value of a column in one run has one kind
// (or is NULL), as one bind has one external type; a geometry column's values
// in one run are all NULL or all geometries of one SRID; and a run's buffers
// (rows times the widest value, per column) stay within bufferLimit bytes
// unless the run is a single row. A batch whose columns keep their kinds and
// whose values are small is one run.
QVector<InsertRun> planInsertRuns(const OracleRowBatch &batch, qint64 bufferLimit);

// The external type a value kind is bound with, for a column of that type
// (empty: unknown). Numbers go as exact text; LOB columns take long binds
// (the data interface), which must come last.
ub2 bindType(OracleValue::Kind kind, const QString &columnType);

// The batch columns in bind order: every non-LOB column, then every LOB
// column, each in batch order.
QVector<int> bindOrder(const QVector<QString> &columnTypes);

// Whether a column of the run takes a bind: all but an SDO_GEOMETRY column
// whose values in the run are all NULL, which the INSERT writes as NULL.
bool isBound(const InsertRun &run, int column, const QString &columnType);

// INSERT INTO "T" ("A","B") VALUES (:1,TO_NUMBER(:2)): the columns in bind
// order (types: their column types), the bound ones numbered in that order;
// a Number run goes through TO_NUMBER, so the server converts it as a number
// whatever the column's type.
QString insertStatement(const QString &table, const QVector<OracleColumn> &columns, const QVector<int> &order,
                        const InsertRun &run, const QVector<QString> &types);

// Errors after which the session is gone: an insert that meets one raises
// it instead of reporting a rejected row.
bool isSessionLost(int oraCode);

} // namespace tavrex::oci
