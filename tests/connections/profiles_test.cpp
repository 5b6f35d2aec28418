#include "connections/profiles.h"
#include "tests/support/recordingprompts.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tavrex;
using namespace tavrex::test;

namespace {

TConversionSettings sandboxSettings(const QString &database)
{
    const MySqlSandbox &s = mysqlSandbox();
    TConversionSettings settings;
    settings.AccessMode = 1;
    settings.Host = "127.0.0.1";
    settings.Port = s.port;
    settings.MySqlUser = s.user;
    settings.MySqlPassword = s.password;
    settings.ConnectDatabase = database;
    return settings;
}

class ProfilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sandboxExec({"drop database if exists `tvx_Shop`", "drop database if exists `tvx_shop`",
                     "create database `tvx_Shop`", "create database `tvx_shop`", "drop database if exists tvx_other",
                     "create database tvx_other"});
        sandboxExec({"create table b_table (a int)", "create table a_table (a int)"}, "tvx_other");
    }

    DatabaseObjects db;
    RecordingPrompts prompts;
    ListChoice databases;
};

} // namespace

TEST_F(ProfilesTest, BlankDatabaseNameShowsTheMessageAndTouchesNothing)
{
    for (const char *blank : {"", "   ", "\t \r\n"}) {
        SCOPED_TRACE(blank);
        prompts.shown.clear();
        EXPECT_THROW(step2Click(db, sandboxSettings(blank), databases, prompts, "Tavrex 4.0"), BlankDatabaseName);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, "information");
        EXPECT_EQ(prompts.shown[0].title, "Tavrex 4.0");
        EXPECT_EQ(prompts.shown[0].text, "请输入数据库名称");
        EXPECT_FALSE(db.mysqlconnect.connected());
        EXPECT_TRUE(db.mysqlconnect.params().lines().isEmpty());
    }
}

TEST(DatabaseMatch, ChoosesTheLastEntryEqualUnderAsciiUpperCase)
{
    const QStringList listed{"information_schema", "Shop", "mysql", "shop", "größe"};
    struct Case {
        const char *typed;
        int chosen;
    } cases[] = {
        {"Shop", 3}, {"SHOP", 3}, {"mysql", 2}, {"GRößE", 4}, {"GRÖSSE", -1}, {" shop", -1}, {"none", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(matchDatabaseEntry(listed, QString::fromUtf8(c.typed)), c.chosen);
    }
}

TEST_F(ProfilesTest, Step2ListsEveryDatabaseAndChoosesTheTypedOne)
{
    step2Click(db, sandboxSettings("tvx_shop"), databases, prompts, "t");
    EXPECT_TRUE(db.mysqlconnect.connected());
    EXPECT_EQ(db.mysqlconnect.params().value("Database"), "tvx_shop");
    ASSERT_GE(databases.chosen, 0);
    EXPECT_EQ(databases.items.at(databases.chosen), "tvx_shop");
    EXPECT_LT(databases.items.indexOf("tvx_Shop"), databases.chosen) << "the later of two matches wins";
    EXPECT_TRUE(databases.items.contains("mysql"));
    EXPECT_TRUE(prompts.shown.empty());

    // A failed connect leaves the connection closed and the list as it was.
    const QStringList before = databases.items;
    TConversionSettings bad = sandboxSettings("tvx_shop");
    bad.MySqlPassword = "wrong";
    EXPECT_THROW(step2Click(db, bad, databases, prompts, "t"), DatabaseError);
    EXPECT_FALSE(db.mysqlconnect.connected());
    EXPECT_EQ(databases.items, before);
}

TEST_F(ProfilesTest, Step4ReconnectsToTheChosenDatabaseAndListsItsTables)
{
    TConversionSettings s = sandboxSettings("tvx_shop");
    step2Click(db, s, databases, prompts, "t");
    databases.chosen = int(databases.items.indexOf("tvx_other"));
    QStringList tables;
    EXPECT_EQ(step4Click(db, databases, tables), "tvx_other");
    EXPECT_EQ(tables, (QStringList{"a_table", "b_table"}));
    EXPECT_EQ(db.mysqlconnect.params().lines().first(), "Database=tvx_other");
    EXPECT_EQ(db.mysqlconnect.params().lines().mid(1), mysqlCatalogueProfile(s).lines().mid(1));

    databases.chosen = -1;
    try {
        step4Click(db, databases, tables);
        FAIL() << "no chosen database was accepted";
    } catch (const std::out_of_range &e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
    EXPECT_FALSE(db.mysqlconnect.connected());
}

TEST_F(ProfilesTest, OpenDataConnectionRebuildsTheDataProfileEachTime)
{
    TConversionSettings s = sandboxSettings("tvx_other");
    s.SourceDatabase = "tvx_other";
    OpenDataConnection(db, s);
    EXPECT_TRUE(db.mysqlsjbconnection.connected());
    EXPECT_EQ(db.mysqlsjbconnection.characterSet(), "utf8mb4");
    s.ServerCharSet = "gbk";
    OpenDataConnection(db, s);
    EXPECT_EQ(db.mysqlsjbconnection.params().lines(), mysqlDataProfile(s).lines());
    EXPECT_EQ(db.mysqlsjbconnection.characterSet(), "gbk");
    s.SourceDatabase = "tvx_missing_db";
    EXPECT_THROW(OpenDataConnection(db, s), DatabaseError);
    EXPECT_FALSE(db.mysqlsjbconnection.connected());
}
