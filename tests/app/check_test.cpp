// tavrex --check through the real program: the check's counts and statements
// are held against the ledger and the statements of the run that follows it
// on the same settings file, on both mappings.

#include "connections/embedded/embeddedreader.h"
#include "connections/embedded/embeddedtarget.h"
#include "engine/core/runledger.h"
#include "tests/support/testenv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

int runProgram(const QStringList &arguments, const QString &home, const QString &statements = QString(),
               QString *err = nullptr)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!statements.isEmpty())
        env.insert("TAVREX_EMBEDDED_STATEMENTS", statements);
    p.setProcessEnvironment(env);
    p.start(binaryDir() + "/app/tavrex", arguments);
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int fileMode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// One case of each reason the copy records, a refused type, an index over a
// LOB, two names that shorten to one, a table that is clean.
const QStringList kFixture = {
    "set session sql_mode=''",
    "create table dates (id int primary key, d date, dt datetime, t time)",
    "insert into dates values (1,'0000-00-00','2020-01-01 10:00:00','10:00:00'),"
    "(2,'1582-10-10','0000-00-00 00:00:00','30:00:00'),(3,'2020-02-02','2020-02-02 02:02:02','01:02:03')",
    "create table nums (id int primary key, big double, wide decimal(65,0))",
    "insert into nums values (1,1e300,1),(2,2,12345678901234567890123456789012345678901),(3,3,3)",
    "create table texts (id int primary key, s varchar(2000) not null, e varchar(10) not null)",
    "insert into texts values (1,'short','a'),(2,repeat(_utf8mb4 0xE4B8AD,1500),'b'),(3,'fine','')",
    "create table bins (id int primary key, b varbinary(10))",
    "insert into bins values (1,0xff00)",
    "create table docs (id int primary key, body text, key kb (body(10)))",
    "insert into docs values (1,'hello')",
    "create table a_table_with_a_very_long_name_number_one (id int)",
    "create table a_table_with_a_very_long_name_number_two (id int)",
    "insert into a_table_with_a_very_long_name_number_two values (7)",
    "create table clean (id int primary key, name varchar(10))",
    "insert into clean values (1,'x'),(2,'y')",
    "create table parent (id int primary key)",
    "create table child (id int primary key, p int, constraint fk_child_parent foreign key (p) references parent (id))",
    "insert into parent values (1)",
    "insert into child values (1,1)",
};

struct Key {
    QString table, column, reason;
    bool operator<(const Key &o) const
    {
        return std::tie(table, column, reason) < std::tie(o.table, o.column, o.reason);
    }
};

class CheckTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        recreateDatabase("tvx_check");
        sandboxExec(kFixture, "tvx_check");
        target = dir.filePath("target.db");
        // An Oracle table the run will drop: NUMS with two rows.
        OracleLogin login;
        login.user = "scott";
        auto session = openEmbeddedSession(target, login);
        session->execute("Create table \"NUMS\" (\"X\" number)");
        OracleRowBatch rows(session->describe("select * from \"NUMS\" where 1=0"));
        for (int i = 0; i < 2; ++i)
            rows.at(rows.appendRow(), 0) = OracleValue::number(QString::number(i));
        ASSERT_TRUE(session->insertBatch("NUMS", rows).ok);
    }

    QString writeJob(const QString &name, bool keepDetails, const QStringList &tables = {})
    {
        const MySqlSandbox &s = mysqlSandbox();
        QStringList lines{"accessmode=1", "mysqldatabase=tvx_check", "port=" + s.port, "mysqlu=" + s.user,
                          "mysqlp=" + s.password, "host=127.0.0.1", "oracleh=embedded:" + target,
                          "oracleu=scott", "oraclep=x", "processtable=0", "character_set=Default",
                          "tabledefonly=0", "skipindex=0", "nameuppercase=1", "blobtotext=0", "rejectrows=1",
                          QString("keepdetails=") + (keepDetails ? "1" : "0"),
                          QString("alltables=") + (tables.isEmpty() ? "1" : "0")};
        lines += tables;
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((lines.join("\r\n") + "\r\n").toUtf8());
        return path;
    }

    QTemporaryDir dir;
    QString target;
};

} // namespace

TEST_P(CheckTest, TheCheckPredictsTheLedgerAndTheStatementsOfTheRun)
{
    const bool keepDetails = GetParam();
    const QString job = writeJob("job.qelt", keepDetails);
    const QByteArray targetBefore = QCryptographicHash::hash(readBytes(target), QCryptographicHash::Sha256);
    QString err;
    ASSERT_EQ(runProgram({"--check", "--language", "en", job}, dir.path(), QString(), &err), 2) << err.toStdString();
    // Nothing was written into the target.
    EXPECT_EQ(QCryptographicHash::hash(readBytes(target), QCryptographicHash::Sha256), targetBefore);
    EXPECT_EQ(listEmbeddedTables(target, "SCOTT"), QStringList{"NUMS"});
    for (const QString &file : {dir.filePath("job.check.json"), dir.filePath("job.check.html")})
        EXPECT_EQ(fileMode(file), 0600) << file.toStdString();
    const QJsonObject check = QJsonDocument::fromJson(readBytes(dir.filePath("job.check.json"))).object();
    ASSERT_FALSE(check.isEmpty());
    EXPECT_EQ(check["exitCode"].toInt(), 2);

    const QString sent = dir.filePath("sent.txt");
    ASSERT_EQ(runProgram({"--no-window", "--language", "en", job}, dir.path(), sent, &err), 2) << err.toStdString();

    // The ledger, counted by table, column and reason, is the check's values.
    QMap<Key, qint64> ledger, predicted;
    const QList<QStringList> records = parseCsv(QString::fromUtf8(readBytes(dir.filePath("job.rejects.csv"))));
    ASSERT_GT(records.size(), 1);
    for (qsizetype i = 1; i < records.size(); ++i)
        if (records[i].value(3) != "reload file")
            ++ledger[Key{records[i].value(0), records[i].value(2), records[i].value(3)}];
    QStringList checkStatements;
    QMap<QString, QJsonObject> tables;
    for (const QJsonValue &v : check["tables"].toArray()) {
        const QJsonObject t = v.toObject();
        tables.insert(t["source"].toString(), t);
        for (const QJsonValue &s : t["statements"].toArray())
            checkStatements << s.toString();
        for (const QJsonValue &value : t["values"].toArray()) {
            const QJsonObject o = value.toObject();
            predicted[Key{t["source"].toString(), o["column"].toString(), o["reason"].toString()}] =
                qint64(o["count"].toDouble());
            EXPECT_LE(o["examples"].toArray().size(), 5);
        }
    }
    auto lines = [](const QMap<Key, qint64> &counts) {
        QStringList out;
        for (auto i = counts.cbegin(); i != counts.cend(); ++i)
            out << i.key().table + "|" + i.key().column + "|" + i.key().reason + "=" + QString::number(i.value());
        return out;
    };
    EXPECT_EQ(lines(predicted), lines(ledger));
    // The fixture's cases all came: each reason of the copy; with the plain
    // mapping also a time beyond a day and a text beyond Oracle's 4000 bytes,
    // which the kept details give an interval and a CLOB.
    for (const Key &k : {Key{"dates", "d", "zero date"}, Key{"dates", "d", "day skipped by the calendar change of 1582"},
                         Key{"nums", "wide", "rounded to the 38 significant digits of Oracle NUMBER"}})
        EXPECT_EQ(predicted.value(k), 1) << k.table.toStdString() << " " << k.reason.toStdString();
    if (!keepDetails) {
        EXPECT_EQ(predicted.value(Key{"dates", "t", "time beyond one day"}), 1);
        EXPECT_TRUE(std::any_of(predicted.keyBegin(), predicted.keyEnd(), [](const Key &k) {
            return k.table == "texts" && k.column.isEmpty() && k.reason.startsWith("ORA-12899");
        }));
    }

    // The statements are those the run sent for its tables (the record of
    // conversions, which the check does not keep, aside).
    QStringList runStatements;
    for (const QByteArray &line : readBytes(sent).split('\n')) {
        if (line.isEmpty())
            continue;
        const QString statement = QJsonDocument::fromJson("[" + line + "]").array().at(0).toString();
        if (!statement.contains("TAVREX_") && statement != "commit" && statement != "rollback")
            runStatements << statement;
    }
    EXPECT_FALSE(runStatements.isEmpty());
    QStringList a = checkStatements, b = runStatements;
    a.sort();
    b.sort();
    EXPECT_EQ(a, b);

    // Per table: the rows and the action are the run's report's.
    const QJsonObject report = QJsonDocument::fromJson(readBytes(dir.filePath("job.report.json"))).object();
    for (const QJsonValue &v : report["tables"].toArray()) {
        const QJsonObject r = v.toObject();
        const QJsonObject t = tables.value(r["source"].toString());
        EXPECT_EQ(t["target"].toString(), r["target"].toString());
        EXPECT_EQ(t["rows"].toDouble(), r["rowsRead"].toDouble()) << r["source"].toString().toStdString();
        EXPECT_EQ(t["rowsRejected"].toDouble(), r["rowsRejected"].toDouble());
        EXPECT_EQ(t["action"].toString() == "fail", r["action"].toString() == "failed");
    }
    EXPECT_EQ(tables["nums"]["action"].toString(), "drop and create");
    EXPECT_EQ(tables["nums"]["existingRows"].toInt(), 2);
    EXPECT_EQ(tables["a_table_with_a_very_long_name_number_two"]["target"].toString(), "A_TABLE_WITH_A_VERY_LONG_N0001");
    EXPECT_TRUE(tables["a_table_with_a_very_long_name_number_two"]["nameNote"].toString().contains("shortened"));

    // Checked again after the run, the tables keep the names the run gave
    // them: a rerun takes them from the target's record of conversions.
    ASSERT_EQ(runProgram({"--check", "--language", "en", job}, dir.path(), QString(), &err), 2) << err.toStdString();
    const QJsonObject again = QJsonDocument::fromJson(readBytes(dir.filePath("job.check.json"))).object();
    for (const QJsonValue &v : again["tables"].toArray()) {
        const QJsonObject t = v.toObject();
        if (t["source"].toString().startsWith("a_table_with_a_very_long_name"))
            EXPECT_EQ(t["target"].toString(), tables.value(t["source"].toString())["target"].toString());
    }
    if (!keepDetails) {
        // A type without an Oracle home, an index over a LOB.
        EXPECT_TRUE(tables["bins"]["refused"].toArray().at(0).toObject()["error"].toString().startsWith("ORA-00902"));
        EXPECT_TRUE(tables["docs"]["refused"].toArray().at(0).toObject()["error"].toString().startsWith("ORA-02327"));
    } else {
        EXPECT_TRUE(std::any_of(checkStatements.cbegin(), checkStatements.cend(),
                                [](const QString &s) { return s.contains(" foreign key "); }));
    }
}

INSTANTIATE_TEST_SUITE_P(Mappings, CheckTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "KeepColumnDetails" : "Plain"; });

TEST_F(CheckTest, ExitCodesAndThePageInTheWindowsLanguage)
{
    QString err;
    // A clean table: every value copied as it is.
    const QString clean = writeJob("clean.qelt", false, {"tables1=clean"});
    EXPECT_EQ(runProgram({"--check", "--language", "cn", clean}, dir.path(), QString(), &err), 0) << err.toStdString();
    const QString page = QString::fromUtf8(readBytes(dir.filePath("clean.check.html")));
    EXPECT_TRUE(page.contains("<html lang=\"zh\">"));
    EXPECT_TRUE(page.contains(QString::fromUtf8("转换前检查")));
    // One page: nothing is fetched from elsewhere.
    for (const char *outside : {"<script", "src=", "href=\"http", "url(", "@import", "<link"})
        EXPECT_FALSE(page.contains(outside)) << outside;

    // A table the file names that the database lacks fails the check's run.
    const QString missing = writeJob("missing.qelt", false, {"tables1=clean", "tables2=nosuch"});
    EXPECT_EQ(runProgram({"--check", missing}, dir.path(), QString(), &err), 2) << err.toStdString();

    // A check that cannot connect could not run.
    QString text = QString::fromUtf8(readBytes(clean)).replace("mysqlp=", "mysqlp=wrong");
    QFile f(dir.filePath("wrong.qelt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    f.close();
    EXPECT_EQ(runProgram({"--check", dir.filePath("wrong.qelt")}, dir.path(), QString(), &err), 1);
    EXPECT_TRUE(err.contains("the check could not run")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("wrong.check.json")));

    // A missing embedded target is not made by the check.
    const QString fresh = dir.filePath("fresh.db");
    text = QString::fromUtf8(readBytes(clean)).replace("embedded:" + target, "embedded:" + fresh);
    QFile g(dir.filePath("fresh.qelt"));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write(text.toUtf8());
    g.close();
    EXPECT_EQ(runProgram({"--check", dir.filePath("fresh.qelt")}, dir.path(), QString(), &err), 0) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(fresh));
}
