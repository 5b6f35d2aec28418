#pragma once

#include "engine/core/runlog.h"

#include <QString>
#include <QVector>

namespace tavrex {

class ColumnNames;
class MySqlConnection;
class OracleSession;

// The two values of a "show FIELDS from" row that the table definition uses.
struct ColumnListingRow {
    QString Field;
    QString Type;
};

// The Oracle names of a listing's columns (ColumnNames of its fields).
ColumnNames tableColumnNames(const QVector<ColumnListingRow> &columns, bool uppercaseNames);

// The CREATE TABLE text for a column listing, in one piece: the line
// 'Create table "TARGET" (', then one line per column (its name as
// tableColumnNames gives it, then MapColumnType), each but the last followed by " , ";
// lines joined by CR LF and the whole followed by " ) ". The target name is
// written as it comes. Throws IdentifierError naming the table when the
// target name or a column name (as cut) holds a double quote, and lets the
// conversion error of ParseTypeLength out.
QString BuildCreateTableText(const QVector<ColumnListingRow> &columns, const QString &targetName,
                             bool uppercaseNames);

// "show FIELDS from " + the table name as "show tables" listed it, quoted
// with backticks (a backtick inside doubled).
QString columnListingStatement(const QString &sourceName);

// Reads the column listing of the table on the catalogue connection (Field
// and Type, found by name without regard to case). A failed listing throws
// DatabaseError, which the table step does not catch.
QVector<ColumnListingRow> readColumnListing(MySqlConnection &catalogue, const QString &sourceName);

// The CREATE TABLE text for the MySQL table sourceName (as listed) under the
// Oracle name targetName (shaped and shortened by the run). Errors of the
// listing and of the mapping go to the caller. notes, when given, receives a
// log line for each column that took a numbered name.
QString BuildCreateTable(MySqlConnection &catalogue, const QString &sourceName, const QString &targetName,
                         bool uppercaseNames, QStringList *notes = nullptr);

// The run's table step: builds the statement from the catalogue
// connection's listing and executes it on the Oracle session (oracleconn).
// The target's error during that statement comes back in the result word for
// word, as does the refusal of a name with a double quote (then nothing is
// sent). Listing and mapping errors are not caught. When lastStatement is
// given it receives the statement built, or is emptied when none was;
// notes, when given, the log lines of columns that took a numbered name.
TStepResult CreateTable(MySqlConnection &catalogue, OracleSession &oracleconn, const QString &sourceName,
                        const QString &targetName, bool uppercaseNames, QString *lastStatement = nullptr,
                        QStringList *notes = nullptr);

} // namespace tavrex
