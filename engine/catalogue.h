#pragma once

#include "engine/core/identifiers.h"
#include "engine/core/runlog.h"

#include <QString>

namespace tavrex {

class OracleSession;

// The two questions the run asks the Oracle catalogue, and the name of a
// table that must be shortened, each on the session it is handed.

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
