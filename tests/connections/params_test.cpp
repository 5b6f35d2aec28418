#include "connections/common/params.h"
#include "connections/profiles.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

using namespace tavrex;

TEST(Params, LooksUpByTheNameBeforeTheFirstEquals)
{
    Params p;
    p.add("Database", "shop");
    p.add("Password", "a=b==c");
    p.add("Oracle TransIsolation", "ReadCommited");
    p.add("ErrorResourceFile", "");
    EXPECT_EQ(p.value("Password"), "a=b==c");
    EXPECT_EQ(p.value("Oracle TransIsolation"), "ReadCommited");
    EXPECT_TRUE(p.has("ErrorResourceFile"));
    EXPECT_EQ(p.value("ErrorResourceFile"), "");
    EXPECT_FALSE(p.has("Data"));
    EXPECT_FALSE(p.has("database")) << "names are matched exactly";
}

TEST(Params, ReplacingAValueKeepsItsPosition)
{
    Params p;
    p.add("Database", "Shop");
    p.add("User_Name", "u");
    p.setValue("Database", "shop");
    EXPECT_EQ(p.lines(), (QStringList{"Database=shop", "User_Name=u"}));
}

namespace {
TConversionSettings sampleSettings()
{
    TConversionSettings s;
    s.AccessMode = 0;
    s.Host = "db.example.org";
    s.Port = "3307";
    s.ConnectDatabase = " Shop";
    s.SourceDatabase = "shop";
    s.MySqlUser = "me";
    s.MySqlPassword = "p=w";
    s.OracleService = "embedded:x.db";
    s.OracleUser = "scott";
    s.OraclePassword = "";
    return s;
}
} // namespace

TEST(Profiles, CatalogueProfileHasFiveLinesAndNeverACharacterSet)
{
    TConversionSettings s = sampleSettings();
    s.ServerCharSet = "utf8";
    EXPECT_EQ(mysqlCatalogueProfile(s).lines(),
              (QStringList{"Database= Shop", "User_Name=me", "Password=p=w", "Port=3307", "HostName=localhost"}));
    s.AccessMode = 1;
    EXPECT_EQ(mysqlCatalogueProfile(s).lines().last(), "HostName=db.example.org");
}

TEST(Profiles, DataProfileCarriesTheCharacterSetOnlyWhenChosen)
{
    TConversionSettings s = sampleSettings();
    EXPECT_EQ(mysqlDataProfile(s).lines(),
              (QStringList{"Database=shop", "User_Name=me", "Password=p=w", "Port=3307", "HostName=localhost"}));
    s.ServerCharSet = serverCharSetForChoice(36, "utf8");
    EXPECT_EQ(mysqlDataProfile(s).lines(), (QStringList{"Database=shop", "User_Name=me", "Password=p=w",
                                                        "ServerCharSet=utf8", "Port=3307", "HostName=localhost"}));
    s.ServerCharSet = serverCharSetForChoice(0, "Default");
    EXPECT_FALSE(mysqlDataProfile(s).has("ServerCharSet"));
}

TEST(Profiles, OracleProfileIsTheTwelveFixedLines)
{
    const Params p = oracleProfile(sampleSettings());
    EXPECT_EQ(p.lines(), (QStringList{"Database=embedded:x.db", "User_Name=scott", "Password=",
                                      "DriverName=Oracle", "RowsetSize=20", "BlobSize=-1", "LocaleCode=0000",
                                      "ErrorResourceFile=", "Oracle TransIsolation=ReadCommited",
                                      "OS Authentication=False", "Multiple Transaction=False", "Trim Char=False"}));
    const OracleLogin login = oracleLoginFromParams(p);
    EXPECT_EQ(login.service, "embedded:x.db");
    EXPECT_EQ(login.user, "scott");
    EXPECT_EQ(login.prefetchRows, 20);
    EXPECT_FALSE(login.osAuthentication);
    EXPECT_FALSE(login.trimChar);
}

TEST(Settings, DefaultsBeforeAnythingIsLoaded)
{
    const TConversionSettings s;
    EXPECT_EQ(s.AccessMode, 0);
    EXPECT_EQ(s.Port, "3306");
    EXPECT_EQ(s.ExistingTables, TExistingTablePolicy::Overwrite);
    EXPECT_TRUE(s.UppercaseNames);
    EXPECT_FALSE(s.DefinitionsOnly);
    EXPECT_FALSE(s.SkipIndexes);
    EXPECT_FALSE(s.BlobToText);
    EXPECT_FALSE(s.AllTables);
    EXPECT_TRUE(s.ServerCharSet.isEmpty());
    EXPECT_TRUE(s.SelectedTables.isEmpty());
    EXPECT_EQ(int(TExistingTablePolicy::Merge), 1);
    EXPECT_EQ(int(TExistingTablePolicy::Skip), 2);
    const QStringList &sets = serverCharSetEntries();
    ASSERT_EQ(sets.size(), 37);
    EXPECT_EQ(sets.first(), "Default");
    EXPECT_EQ(sets.at(17), "gbk");
    EXPECT_EQ(sets.last(), "utf8");
}
