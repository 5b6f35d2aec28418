#include "connections/profiles.h"

#include "engine/core/prompts.h"
#include "engine/core/textrules.h"

#include <stdexcept>

namespace tavrex {

namespace {

QString hostName(const TConversionSettings &s)
{
    return s.AccessMode == 0 ? QStringLiteral("localhost") : s.Host;
}

// Runs one listing on a connection and returns its first column, in order.
QStringList firstColumn(MySqlConnection &connection, const QString &statement)
{
    QStringList values;
    auto result = connection.listing(statement);
    while (result->next())
        values.append(result->fieldCount() > 0 ? result->text(0) : QString());
    return values;
}

} // namespace

Params mysqlCatalogueProfile(const TConversionSettings &s)
{
    Params p;
    p.add(QStringLiteral("Database"), s.ConnectDatabase);
    p.add(QStringLiteral("User_Name"), s.MySqlUser);
    p.add(QStringLiteral("Password"), s.MySqlPassword);
    p.add(QStringLiteral("Port"), s.Port);
    p.add(QStringLiteral("HostName"), hostName(s));
    return p;
}

Params mysqlDataProfile(const TConversionSettings &s)
{
    Params p;
    p.add(QStringLiteral("Database"), s.SourceDatabase);
    p.add(QStringLiteral("User_Name"), s.MySqlUser);
    p.add(QStringLiteral("Password"), s.MySqlPassword);
    if (!s.ServerCharSet.isEmpty())
        p.add(QStringLiteral("ServerCharSet"), s.ServerCharSet);
    p.add(QStringLiteral("Port"), s.Port);
    p.add(QStringLiteral("HostName"), hostName(s));
    return p;
}

Params oracleProfile(const TConversionSettings &s)
{
    Params p;
    p.add(QStringLiteral("Database"), s.OracleService);
    p.add(QStringLiteral("User_Name"), s.OracleUser);
    p.add(QStringLiteral("Password"), s.OraclePassword);
    p.add(QStringLiteral("DriverName"), QStringLiteral("Oracle"));
    p.add(QStringLiteral("RowsetSize"), QStringLiteral("20"));
    p.add(QStringLiteral("BlobSize"), QStringLiteral("-1"));
    p.add(QStringLiteral("LocaleCode"), QStringLiteral("0000"));
    p.add(QStringLiteral("ErrorResourceFile"), QString());
    p.add(QStringLiteral("Oracle TransIsolation"), QStringLiteral("ReadCommited"));
    p.add(QStringLiteral("OS Authentication"), QStringLiteral("False"));
    p.add(QStringLiteral("Multiple Transaction"), QStringLiteral("False"));
    p.add(QStringLiteral("Trim Char"), QStringLiteral("False"));
    return p;
}

void step2Click(DatabaseObjects &db, const TConversionSettings &settings, ListChoice &mysqldblist, Prompts &prompts,
                const QString &appTitle)
{
    if (trimmedBlanksAndControls(settings.ConnectDatabase).isEmpty()) {
        prompts.information(appTitle, QStringLiteral("请输入数据库名称"));
        throw BlankDatabaseName();
    }
    db.mysqlconnect.close();
    db.mysqlconnect.params() = mysqlCatalogueProfile(settings);
    db.mysqlconnect.connect();

    const QStringList names = firstColumn(db.mysqlconnect, showDatabasesStatement());
    mysqldblist.items = names;
    mysqldblist.chosen = matchDatabaseEntry(names, settings.ConnectDatabase);
}

int matchDatabaseEntry(const QStringList &listed, const QString &typed)
{
    const QString wanted = asciiUpper(typed);
    int match = -1;
    for (int i = 0; i < listed.size(); ++i)
        if (asciiUpper(listed.at(i)) == wanted)
            match = i;
    return match;
}

void step3Click(DatabaseObjects &db, const TConversionSettings &settings)
{
    for (OracleConnection *connection : {&db.oracleconn, &db.oracledata}) {
        connection->close();
        connection->params() = oracleProfile(settings);
        connection->connect();
    }
}

QString step4Click(DatabaseObjects &db, const ListChoice &mysqldblist, QStringList &availabletables)
{
    db.mysqlconnect.close();
    if (mysqldblist.chosen < 0 || mysqldblist.chosen >= mysqldblist.items.size())
        throw std::out_of_range(QStringLiteral("List index out of bounds (%1)").arg(mysqldblist.chosen).toStdString());
    const QString chosen = mysqldblist.items.at(mysqldblist.chosen);
    db.mysqlconnect.params().setValue(QStringLiteral("Database"), chosen);
    db.mysqlconnect.connect();
    availabletables += firstColumn(db.mysqlconnect, showTablesStatement());
    return chosen;
}

void OpenDataConnection(DatabaseObjects &db, const TConversionSettings &settings)
{
    db.mysqlsjbconnection.close();
    db.mysqlsjbconnection.params() = mysqlDataProfile(settings);
    db.mysqlsjbconnection.connect();
}

} // namespace tavrex
