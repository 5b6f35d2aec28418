#pragma once

#include "connections/mysql/mysqlclient.h"
#include "connections/oracleconnection.h"
#include "connections/common/params.h"
#include "engine/core/conversionsettings.h"
#include "engine/core/errors.h"

#include <QStringList>

namespace tavrex {

class Prompts;

// The database objects of the main window; they live as long as it does.
struct DatabaseObjects {
    MySqlConnection mysqlconnect;        // catalogue connection: listings, column listing
    MySqlConnection mysqlsjbconnection;  // data connection: index listing, row reads
    OracleConnection oracleconn;         // catalogue test, drop, create, row inserts
    OracleConnection oracledata;         // the second connection: keys and indexes
};

// A list control's content and its chosen entry (-1: none).
struct ListChoice {
    QStringList items;
    int chosen = -1;
};

// The blank-database message was shown: the wizard puts the focus into the
// database box and stays on its page without an error box.
class BlankDatabaseName : public SilentAbort {
};

// The parameter lists, built from the current settings.
Params mysqlCatalogueProfile(const TConversionSettings &settings);
Params mysqlDataProfile(const TConversionSettings &settings);
Params oracleProfile(const TConversionSettings &settings);

// The catalogue statements.
inline QString showDatabasesStatement() { return QStringLiteral("show databases "); }
inline QString showTablesStatement() { return QStringLiteral("show tables"); }

// Leaving page 2: checks the database name, connects the catalogue connection
// and fills the database list in the server's order, choosing the last entry
// equal to the typed name without regard to ASCII case. appTitle is the title
// of the blank-name message box.
void step2Click(DatabaseObjects &db, const TConversionSettings &settings, ListChoice &mysqldblist, Prompts &prompts,
                const QString &appTitle);

// Leaving page 3: closes, rebuilds and connects oracleconn, then the
// connection of oracledata. When the first fails the second is not touched.
void step3Click(DatabaseObjects &db, const TConversionSettings &settings);

// Leaving page 4: reconnects the catalogue connection to the chosen database
// and appends "show tables" to availabletables. Throws std::out_of_range
// "List index out of bounds (-1)" when no database is chosen, after the
// catalogue connection was closed. Returns the chosen database.
QString step4Click(DatabaseObjects &db, const ListChoice &mysqldblist, QStringList &availabletables);

// The position of the last entry equal to the typed name once both have
// their ASCII letters upper-cased; -1 when none matches.
int matchDatabaseEntry(const QStringList &listed, const QString &typed);

// The start of a run: closes, rebuilds and connects the data connection.
void OpenDataConnection(DatabaseObjects &db, const TConversionSettings &settings);

} // namespace tavrex
