#pragma once

#include "engine/runlog.h"

#include <QString>

#include <stdexcept>

namespace tavrex {

class OracleSession;

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

// Whether a table of exactly that name exists in the owner's schema. Called
// by the run for every table and by ShortenTableName for its candidates.
// Catches nothing: a failed catalogue query (DatabaseError) and a name that
// cannot be quoted (IdentifierError) go to the caller.
bool TableExists(OracleSession &session, const QString &tableName, const QString &owner);

// Drops the table; the run calls it for an existing table under the
// Overwrite policy. Every database error comes back in the result, word for
// word; a name with a double quote is refused without sending anything.
// cascadeConstraints adds ' cascade constraints' (with the kept column
// details, other tables' foreign keys may refer to the table).
TStepResult DropTable(OracleSession &session, const QString &tableName, bool cascadeConstraints = false);

// The run's target name for a shaped table name: unchanged up to 30
// characters; otherwise its first 26 characters followed by the first of the
// suffixes "0000" to "0100" that TableExists does not find, or "0100" when
// all 101 are taken. Errors of TableExists go to the caller.
QString ShortenTableName(OracleSession &session, const QString &shapedName, const QString &owner);

} // namespace tavrex
