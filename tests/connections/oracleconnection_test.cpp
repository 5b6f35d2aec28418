#include "connections/embedded/embeddedreader.h"
#include "connections/profiles.h"
#include "tests/support/qtprinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

TConversionSettings oracleSettings(const QString &service, const QString &user)
{
    TConversionSettings s;
    s.OracleService = service;
    s.OracleUser = user;
    s.OraclePassword = "secret";
    return s;
}

} // namespace

TEST(Step3, ConnectsBothOracleConnectionsAndReconnectsWithChangedValues)
{
    QTemporaryDir dir;
    DatabaseObjects db;
    step3Click(db, oracleSettings("embedded:" + dir.filePath("a.db"), "scott"));
    EXPECT_TRUE(db.oracleconn.connected());
    EXPECT_TRUE(db.oracledata.connected());
    EXPECT_EQ(db.oracleconn.params().lines(), oracleProfile(oracleSettings("embedded:" + dir.filePath("a.db"), "scott")).lines());
    EXPECT_EQ(db.oracledata.params().lines(), db.oracleconn.params().lines());

    // Back to page 3, another service and user: both connections follow.
    step3Click(db, oracleSettings("embedded:" + dir.filePath("b.db"), "other"));
    db.oracleconn.session().execute("Create table \"T1\" (\"A\" number)");
    db.oracledata.session().execute("create index \"I1\" on \"T1\" (\"A\")");
    EXPECT_EQ(listEmbeddedTables(dir.filePath("b.db"), "OTHER"), QStringList{"T1"});
    EXPECT_TRUE(listEmbeddedTables(dir.filePath("a.db"), "SCOTT").isEmpty());
}

TEST(Step3, AFailingFirstConnectionLeavesTheSecondUntouched)
{
    QTemporaryDir dir;
    DatabaseObjects db;
    const TConversionSettings good = oracleSettings("embedded:" + dir.filePath("a.db"), "scott");
    step3Click(db, good);

    struct Case {
        const char *name;
        TConversionSettings settings;
        const char *message;  // start of the error
    } cases[] = {
        {"empty user", oracleSettings("embedded:" + dir.filePath("a.db"), ""), "ORA-01017: invalid username/password"},
        {"missing folder", oracleSettings("embedded:" + dir.filePath("no/such/x.db"), "scott"), ""},
        {"no client library", oracleSettings("//127.0.0.1:1/NONE", "scott"), "Cannot load the Oracle client library"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qputenv("TAVREX_OCI_LIBRARY", dir.filePath("no-such-libclntsh.so").toUtf8());
        try {
            step3Click(db, c.settings);
            FAIL() << "connected";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(c.message))) << e.message().toStdString();
            if (QString(c.name) == "missing folder") {
                EXPECT_TRUE(e.message().contains(dir.filePath("no/such/x.db"))) << e.message().toStdString();
            }
        }
        qunsetenv("TAVREX_OCI_LIBRARY");
        EXPECT_FALSE(db.oracleconn.connected());
        EXPECT_TRUE(db.oracledata.connected()) << "the second connection is not touched";
        EXPECT_EQ(db.oracledata.params().value("Database"), good.OracleService);
    }
}
