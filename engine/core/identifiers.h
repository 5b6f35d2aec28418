#pragma once


#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

namespace tavrex {

// The Oracle limit for a table, column, key or index name, in characters
// (UTF-16 code units).
constexpr int OracleNameLimit = 30;

// A name that cannot be written into an Oracle statement: Oracle names never
// hold a double quote, so such a name would end the quoted identifier early
// and change the statement. The message names the table it belongs to.
class IdentifierError : public std::runtime_error {
public:
    explicit IdentifierError(const QString &message);
    const QString &message() const noexcept { return message_; }

private:
    QString message_;
};

// The case rule of every table, column, key and index name: with
// uppercaseNames on, the ASCII letters a to z become A to Z and every other
// character stays (the length never changes); with it off, the name comes
// back unchanged. The run passes TConversionSettings::UppercaseNames.
QString ShapeName(const QString &name, bool uppercaseNames);

// The first OracleNameLimit characters of a name.
QString cutName(const QString &name);

// The numbering rule of names: the name itself when isTaken says it is free;
// otherwise its first 26 characters followed by the first four-digit number,
// "0000" to "9999", that gives a free name. Throws std::runtime_error when
// every number is taken.
QString firstFreeName(const QString &name, const std::function<bool(const QString &)> &isTaken);

// The Oracle names of one table's columns, in the order of its MySQL
// columns: each column's first 30 characters after ShapeName. Where two
// columns come to one name, the first keeps it and the later one takes the
// first free name by the numbering rule, never the name of another column,
// so that every column of the MySQL table has a column of its own. The
// table builders, the key steps, the copy and the verification all name
// columns through this.
class ColumnNames {
public:
    ColumnNames() = default;
    ColumnNames(const QStringList &mysqlNames, bool uppercaseNames);

    const QStringList &oracleNames() const { return oracle_; }
    // The Oracle name of a MySQL column of the table; a name the table does
    // not have is shaped and cut alone.
    QString oracleName(const QString &mysqlName) const;
    // One log line for each column that took a numbered name, naming it and
    // the column that kept the name:
    // "Column C of table T is written into C0000: C holds column D".
    QStringList renameLines(const QString &tableName) const;

private:
    bool uppercase_ = false;
    QStringList mysql_;
    QStringList oracle_;
    QHash<QString, int> byMySqlName_;
    struct Rename {
        int column;  // the column that took a numbered name
        int keeper;  // the column that kept the name
    };
    std::vector<Rename> renames_;
};

// The target column each source field is written into, in field order (-1
// for none): the column named exactly as ColumnNames names the field,
// otherwise the one column whose name equals it by the ASCII case rule (a
// table that an earlier conversion or a user created). Never two fields in
// one column: a field whose column another field took first gets -1.
std::vector<int> matchTargetColumns(const QStringList &fieldNames, bool uppercaseNames,
                                    const QStringList &targetColumns);

// The names of constraints and indexes that a run gives, each with its
// table: Oracle keeps them in one namespace per schema, so a name that two
// tables come to stays with the first, and the later one takes the first
// free name by the numbering rule.
class ObjectNames {
public:
    // The name for an object of table: the name itself when no object of the
    // run has it yet; otherwise the first free name, with a log line naming
    // both in *note (when given):
    // "Key N of table T is named N0000: N is taken by table U".
    QString claim(const QString &name, const QString &table, QString *note = nullptr);
    bool contains(const QString &name) const { return owners_.contains(name); }

private:
    QHash<QString, QString> owners_;
};

// True when the name can stand between double quotes in an Oracle statement.
bool isQuotableName(const QString &name);

// The refusal text for a name with a double quote that belongs to the table:
// "Cannot convert table T: " + what + " contains a double quote, which an
// Oracle name cannot hold". The steps that report put it into
// TStepResult::ErrorText; what names the part ("the column name x"").
QString doubleQuoteProblem(const QString &tableName, const QString &what);
// The same for the table name itself ("its name").
QString tableNameProblem(const QString &tableName);

// Throws IdentifierError with tableNameProblem when the table name holds a
// double quote. The run calls it before the table's first Oracle statement
// so that such a table fails alone and the run goes on.
void checkTableName(const QString &tableName);

// The name between double quotes, as CREATE TABLE, DROP TABLE, the key and
// index statements and the row copy write it. The caller has checked it.
QString quoteOracleName(const QString &name);

// The text between single quotes of an SQL literal: every single quote
// doubled, so that no name can end the literal early.
QString quoteOracleLiteral(const QString &text);

// Statement texts of the catalogue operations, each built in this one place.
// The existence query counts the tables of exactly that name (unchanged) in
// the owner's schema (owner upper-cased by the ASCII rule); both are written
// as literals. Throws IdentifierError for a table name with a double quote.
QString tableExistsStatement(const QString &tableName, const QString &owner);
// "drop table "NAME"". Throws IdentifierError for a name with a double quote.
QString dropTableStatement(const QString &tableName);

} // namespace tavrex
