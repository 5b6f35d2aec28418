#pragma once

#include "engine/core/identifiers.h"
#include "engine/core/runlog.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

namespace tavrex {

class MySqlConnection;
class ObjectNames;
class OracleSession;

// The four values of a "show index from" row that the key step reads.
struct IndexListingRow {
    QString Table;        // the table as MySQL reports it
    QString Key_name;     // "PRIMARY" for the primary key
    int Seq_in_index = 0; // 1 for the first column of a key
    QString Column_name;
};

// One statement of the key step: the text to execute, or, when a name of
// the key cannot be written into a statement, the refusal that takes the
// place of the target's error (then nothing is sent). The kept details may
// add notes for the log (how a key was changed or why it is left out), with
// or without a text.
struct KeyStatement {
    QString text;
    QString refusal;
    QStringList notes;

    bool refused() const { return !refusal.isEmpty(); }
};

// The names of keys and indexes as the target's catalogue holds them: the
// composed name cut to 30 characters, then upper-cased by the ASCII rule.
// The constraint of the primary key: "PRIMARY" + the listing's Table value +
// the row number of its first row. An index: "idx_" + Key_name + the shaped
// table name.
QString primaryKeyName(const QString &tableValue, int rowNumber);
QString indexName(const QString &keyName, const QString &shapedName);

// 'alter table "T"  add constraint "NAME" primary key ("A","B")' and
// 'create index "NAME" on "T" ("A","B")': every name as given, in double
// quotes, the columns joined by "," without blanks.
QString primaryKeyStatement(const QString &targetName, const QString &constraintName, const QStringList &columns);
QString createIndexStatement(const QString &targetName, const QString &indexName, const QStringList &columns);
// 'create index "NAME" on "T" ("C") indextype is ctxsys.context': an Oracle
// Text index, which indexes one column.
QString createTextIndexStatement(const QString &targetName, const QString &indexName, const QString &column);

// How the key statements name what they create, beyond the composed names:
// columns as the table definition named them (a column that took a numbered
// name keeps it in its keys), and keys and indexes through the names the run
// has given already, with a log line for each name that had to change.
struct KeyNaming {
    const ColumnNames *columns = nullptr;  // none: each column name shaped and cut alone
    ObjectNames *objects = nullptr;        // none: the composed names as they are
    QStringList *notes = nullptr;          // the log lines of names that changed
};

// The name a key or index takes: the composed name, claimed through
// naming.objects when there is one (a note in naming.notes when it changed).
QString claimKeyName(const QString &name, const QString &targetName, const KeyNaming &naming);
// Whether key columns need their table's column listing to be named: two
// columns come to one Oracle name only when a name is longer than 30
// characters.
bool needsColumnListing(const QStringList &columnNames);
// The names of the table's columns that a key step needs: read through
// listColumns (the MySQL names in table order) when a key column's name is
// cut, none otherwise (each key column is then shaped and cut alone).
std::optional<ColumnNames> keyColumnNames(const QStringList &keyColumns,
                                          const std::function<QStringList()> &listColumns, bool uppercaseNames);

// What the run shares with a key step: the names its tables' keys took and
// the stop request (tested between two statements, after a look at the
// window; a step that sees it ends there).
struct KeyStepContext {
    ObjectNames *objectNames = nullptr;
    RunControl *control = nullptr;
};

// The statements for an index listing, in listing order: a key starts at
// every row whose Seq_in_index is 1 (after the first row) and takes the rows
// up to the next such row; the primary key becomes its constraint and every
// other key, unique or not, a plain index over whole columns. Column names
// are written as the table definition created them: cut to 30 characters,
// then ShapeName. A key whose names hold a double quote is refused. Throws
// IdentifierError when the target name holds a double quote.
QVector<KeyStatement> BuildKeyStatements(const QVector<IndexListingRow> &rows, const QString &shapedName,
                                         const QString &targetName, bool uppercaseNames,
                                         const KeyNaming &naming = {});

// "show index from " + the table name as "show tables" listed it, quoted
// with backticks (a backtick inside doubled).
QString indexListingStatement(const QString &sourceName);

// Reads the index listing of the table on the data connection. A failed
// listing throws DatabaseError, which the key step does not catch.
QVector<IndexListingRow> readIndexListing(MySqlConnection &dataConnection, const QString &sourceName);

// The run's key and index step for one table: sourceName is the table as
// listed (read from MySQL), shapedName the shaped name (the table part of
// index names), targetName the Oracle table created by CreateTable. Each
// statement runs on oracledata in its own error trap; a failure (the
// target's message, or a refusal) sets Ok false and ErrorText, appends the
// message and a line holding one blank to the log, and the next key is still
// attempted. A key or index name that another table of the run has already
// taken changes by the numbering rule, with a log line saying so. Listing
// errors are not caught.
TStepResult CreateKeysAndIndexes(MySqlConnection &dataConnection, OracleSession &oracledata,
                                 const QString &sourceName, const QString &shapedName, const QString &targetName,
                                 bool uppercaseNames, TRunLog &log, const KeyStepContext &context = {});

// Whether the step must end before its next statement: looks at the window
// and tests the stop request of the context's control, if it has one.
bool stopBeforeNextStatement(const KeyStepContext &context);

} // namespace tavrex
