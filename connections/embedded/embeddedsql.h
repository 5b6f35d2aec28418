#pragma once

// The statement forms the embedded target accepts, read with Oracle's lexical
// rules (keywords in any case, any white space including CR LF, comments,
// "quoted" identifiers kept exactly, unquoted ones upper-cased, '' inside a
// literal). parseStatement is pure: the session calls it for every statement
// text and then applies the statement to its catalogue; tests call it on its
// own. Syntax errors throw DatabaseError with Oracle's number and text; any
// statement that is not one of these forms is "ORA-00900: invalid SQL
// statement".

#include "connections/embedded/embeddedvalues.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tavrex::embedded {

// Oracle's limit for one identifier here, in characters (Tavrex cuts every
// name to 30 characters).
constexpr int kMaxIdentifier = 30;
// Columns per table, and per key or index.
constexpr int kMaxColumns = 1000;
constexpr int kMaxKeyColumns = 32;

struct Statement {
    enum class Kind {
        CountTables,    // select count(*) cn from all_tables where table_name='T' and upper(owner)='O'
        DropTable,      // drop table T
        CreateTable,    // create table T ( column clauses )
        AddPrimaryKey,  // alter table T add [constraint C] primary key (cols)
        CreateIndex,    // create index I on T (cols)
        DescribeTable,  // select * from T where 1=0
        SelectTable,    // select * from T
    };
    Kind kind = Kind::CountTables;
    QString table;             // the table's name (as Oracle resolves it)
    QString name;              // constraint or index name; empty for an unnamed primary key
    QVector<ColumnSpec> columns;  // CreateTable
    QStringList keyColumns;       // AddPrimaryKey, CreateIndex: names as Oracle resolves them
    QString tableLiteral;         // CountTables: the table_name literal, '' undone
    QString ownerLiteral;         // CountTables: the literal compared with upper(owner)
};

Statement parseStatement(const QString &sql);

} // namespace tavrex::embedded
