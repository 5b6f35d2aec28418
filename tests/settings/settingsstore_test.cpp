#include "settings/settingsstore.h"
#include "tests/support/qtprinters.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tavrex;

namespace {

QString storeFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Kestrova/Tavrex.conf";
}

void resetStore()
{
    QFile::remove(storeFile());
}

// Writes raw values as another program (or a hand edit) would leave them.
void writeRaw(const QList<QPair<QString, QString>> &values)
{
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "Tavrex");
    raw.clear();
    for (const auto &v : values)
        raw.setValue(v.first, v.second);
    raw.sync();
}

} // namespace

TEST(SettingsStore, FirstStartKeepsTheDefaultsAndSaveWritesEveryValue)
{
    resetStore();
    ControlValues c;
    c.edtport.clear();
    LoadSettings(c);
    ControlValues defaults;
    EXPECT_EQ(c, defaults);
    EXPECT_EQ(c.edtport, "3306");

    SaveSettings(c);
    ASSERT_TRUE(QFileInfo::exists(storeFile()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(storeFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds passwords: readable by its owner only";
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "Tavrex");
    QStringList keys = raw.allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"Character Set", "accessmode", "blobtotext", "host", "keepdetails", "language",
                                 "mysqldatabase", "mysqlp", "mysqlu", "nameuppercase", "oracleh", "oraclep", "oracleu",
                                 "paralleltables", "port", "processtable", "rejectrows", "resume", "skipindex",
                                 "tabledefonly",
                                 "verify"}));
    EXPECT_EQ(raw.value("nameuppercase").toString(), "1");
    for (const char *off : {"rejectrows", "verify", "keepdetails"})
        EXPECT_EQ(raw.value(off).toString(), "0") << off;
    EXPECT_EQ(raw.value("language").toString(), "cn");
    EXPECT_EQ(raw.value("Character Set").toString(), "0");
}

TEST(SettingsStore, EveryValueComesBack)
{
    resetStore();
    ControlValues c;
    c.accessmode = 1;
    c.edtdatabase = "shop";
    c.edtname = "root";
    c.edtpassword = "p=w;汉";
    c.edthost = "db.example.org";
    c.edtport = "3307";
    c.cbcharsetIndex = 17;
    c.cbcharsetText = "gbk";
    c.edtservice = "embedded:/tmp/x.db";
    c.edtoracleusername = "scott";
    c.edtoraclepassword = "tiger";
    c.processtable = 2;
    c.options.DefinitionsOnly = true;
    c.options.SkipIndexes = true;
    c.options.UppercaseNames = false;
    c.options.BlobToText = true;
    c.options.RejectRows = true;
    c.options.Verify = true;
    c.options.KeepDetails = true;
    c.language = "en";
    SaveSettings(c);
    ControlValues back;
    LoadSettings(back);
    EXPECT_EQ(back, c);
}

// Every check-box option is stored under its own key: ticked alone, it is
// the one "1" of the store and comes back alone.
TEST(SettingsStore, EachCheckOptionIsStoredUnderItsKeyAndComesBackAlone)
{
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.key);
        resetStore();
        // A number is "on" at its greatest value, "off" at its default.
        auto set = [](ConversionOptions &o, const CheckOption &which, bool on) {
            if (isNumberOption(which))
                o.*which.number = on ? which.maximum : numberDefault(which);
            else
                o.*which.setting = on;
        };
        ControlValues c;
        for (const CheckOption &other : kCheckOptions)
            set(c.options, other, &other == &option);
        SaveSettings(c);
        const QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "Tavrex");
        for (const CheckOption &other : kCheckOptions) {
            const bool on = &other == &option;
            const QString stored = isNumberOption(other)
                                       ? QString::number(on ? other.maximum : numberDefault(other))
                                       : QString(on ? "1" : "0");
            EXPECT_EQ(raw.value(other.key).toString(), stored) << other.key;
        }
        ControlValues back;
        for (const CheckOption &other : kCheckOptions)
            set(back.options, other, &other != &option);
        LoadSettings(back);
        EXPECT_EQ(back, c);
    }
}

TEST(SettingsStore, BadStoredValuesFallBackAsDocumented)
{
    struct Case {
        const char *name;
        QList<QPair<QString, QString>> stored;
        std::function<void(const ControlValues &)> check;
    } cases[] = {
        {"empty port", {{"port", ""}}, [](const ControlValues &c) { EXPECT_EQ(c.edtport, "3306"); }},
        {"a port", {{"port", "3307"}}, [](const ControlValues &c) { EXPECT_EQ(c.edtport, "3307"); }},
        {"access mode not a number", {{"accessmode", "abc"}}, [](const ControlValues &c) { EXPECT_EQ(c.accessmode, 0); }},
        {"access mode remote", {{"accessmode", "1"}}, [](const ControlValues &c) { EXPECT_EQ(c.accessmode, 1); }},
        {"access mode above range", {{"accessmode", "5"}}, [](const ControlValues &c) { EXPECT_EQ(c.accessmode, 1); }},
        {"policy negative", {{"processtable", "-1"}}, [](const ControlValues &c) { EXPECT_EQ(c.processtable, -1); }},
        {"option written as true", {{"tabledefonly", "true"}},
         [](const ControlValues &c) { EXPECT_FALSE(c.options.DefinitionsOnly); }},
        {"missing nameuppercase", {{"port", "1"}},
         [](const ControlValues &c) { EXPECT_FALSE(c.options.UppercaseNames); }},
        {"a store written before the later options and the language", {{"blobtotext", "1"}},
         [](const ControlValues &c) {
             EXPECT_TRUE(c.options.BlobToText);
             EXPECT_FALSE(c.options.RejectRows);
             EXPECT_FALSE(c.options.Verify);
             EXPECT_FALSE(c.options.KeepDetails);
             EXPECT_EQ(c.language, "cn");
         }},
        {"options on", {{"rejectrows", "1"}, {"verify", "1"}, {"keepdetails", "1"}},
         [](const ControlValues &c) {
             EXPECT_TRUE(c.options.RejectRows);
             EXPECT_TRUE(c.options.Verify);
             EXPECT_TRUE(c.options.KeepDetails);
         }},
        {"language en", {{"language", "en"}}, [](const ControlValues &c) { EXPECT_EQ(c.language, "en"); }},
        {"language of another code", {{"language", "EN"}}, [](const ControlValues &c) { EXPECT_EQ(c.language, "cn"); }},
        {"character set 16", {{"Character Set", "16"}},
         [](const ControlValues &c) {
             EXPECT_EQ(c.cbcharsetIndex, 16);
             EXPECT_EQ(c.cbcharsetText, "gb2312");
         }},
        {"character set outside the list", {{"Character Set", "37"}},
         [](const ControlValues &c) { EXPECT_EQ(c.cbcharsetIndex, -1); }},
        {"character set not a number", {{"Character Set", "x"}},
         [](const ControlValues &c) { EXPECT_EQ(c.cbcharsetIndex, 0); }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        writeRaw(k.stored);
        ControlValues c;
        LoadSettings(c);
        k.check(c);
    }
}

int main(int argc, char **argv)
{
    // A private configuration folder, set before Qt computes its paths.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
