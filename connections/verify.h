#pragma once

// Verification of a copied table: after a table's copy, the run reads the
// MySQL table and the Oracle table back and compares them row for row as
// multisets. The comparison is independent of the row copy's conversion
// code (connections/rowbuffer.cpp): each side's values are put into one
// canonical form of their own here, from the MySQL values on one side and the
// values Oracle returns on the other, so that a fault of the conversion shows
// as a difference.
//
// Canonical forms, by the Oracle column a value lands in (columns are matched
// as the copy matches them: the source field name cut to 30 characters,
// without regard to letter case; a target column without a source field
// compares as NULL):
// - NUMBER: exact decimal text, normalised (no sign of zero, no leading or
//   trailing zeros, the exponent made explicit), so "0.50", ".5" and "5E-1"
//   are one number; BIT(1) counts as 0 or 1, a wider BIT as the unsigned
//   number its bits make, the first byte the most significant;
// - VARCHAR2, CLOB: the text's UTF-8 bytes; CHAR: the same without trailing
//   blanks (Oracle pads CHAR, MySQL drops the padding);
// - DATE: "YYYY-MM-DD HH:MM:SS"; a MySQL DATE at midnight; a MySQL TIME on
//   the base day 1900-01-01 (rowbuffer.h); fractions of a second kept, so that
//   they differ from a DATE;
// - BLOB, RAW: the bytes;
// - SDO_GEOMETRY: the SRID (0 for none) in 4 bytes, little endian, then the
//   well-known binary in little-endian byte order; MySQL's stored form is
//   split into the two, Oracle's is read as SDO_UTIL.TO_WKBGEOMETRY and
//   SDO_SRID (verifyReadStatement);
// - '' and an empty byte string equal NULL, as in Oracle. Values the copy
//   reports as not written (zero dates, days skipped in October 1582, TIMEs
//   outside one day) compare as NULL: they are in the ledger already.
// Each row is hashed (XXH3, 128 bits) over its tagged canonical values;
// each side is the sum, the xor and the count of its row hashes, so memory
// does not grow with the table and the order of rows does not matter.

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/runlog.h"

#include <QString>
#include <QStringList>

#include <algorithm>

namespace tavrex {

struct VerifyResult {
    qint64 sourceRows = 0;  // rows read from MySQL
    qint64 targetRows = 0;  // rows read from Oracle
    // Rows of each side that the other side lacks, counted as multisets: a
    // row changed by the copy counts once on each side, a missing row once.
    qint64 sourceOnly = 0;
    qint64 targetOnly = 0;
    // Up to 10 keys of MySQL rows that Oracle lacks or holds otherwise: the
    // key columns' values as text, joined by ", " (empty without a key).
    QStringList differingKeys;
    bool stopped = false;  // a stop request ended the verification

    bool equal() const { return !stopped && sourceOnly == 0 && targetOnly == 0; }
    // The "N" of "N of M rows differ".
    qint64 differingRows() const { return std::max(sourceOnly, targetOnly); }
};

// Verifies one copied table: listedName as the run lists it on the MySQL data
// connection, targetName the Oracle table. keyColumns: the source's primary
// key columns, or empty. A first pass hashes both sides; only when they
// differ, further passes count the differing rows and find their keys, each
// holding at most kVerifyTableEntries row hashes (more rows take more
// passes, each over its share of the hashes). Pumps and tests the stop
// request every 100 rows. Throws DatabaseError when a side cannot be read.
// Each target column is compared with the field the copy writes into it
// (matchTargetColumns, with the run's uppercaseNames).
constexpr qint64 kVerifyTableEntries = qint64(1) << 21;
VerifyResult verifyTable(MySqlConnection &data, OracleSession &oracle, const QString &listedName,
                         const QString &targetName, const QStringList &keyColumns, RunControl &control,
                         bool uppercaseNames = false);

// The query that reads the Oracle side of a verification: 'select * from "T"',
// or, when a column is an SDO_GEOMETRY (which a client reads only as an
// object), each column by the alias t and each geometry as two: 'case when
// t."G" is null then null else sdo_util.to_wkbgeometry(t."G") end' (a BLOB;
// the conversion is not asked to read NULL) and 't."G".sdo_srid'.
QString verifyReadStatement(const QString &targetName, const QVector<OracleColumn> &columns);

// The normalised form of a decimal text (optional sign, digits with an
// optional fraction, optional exponent): "-" when negative, the significant
// digits, "E" and the power of ten of the last digit ("-125E-1" for -12.5,
// "0" for zero); empty when the text is not a number. Exposed for tests.
QByteArray normalisedNumber(QStringView text);
QByteArray normalisedNumber(QByteArrayView text);

} // namespace tavrex
