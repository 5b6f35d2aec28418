// Several tables at once: a run with four lanes leaves the record a run of
// one table after the other leaves (each table's lines, its ledger records,
// its reload file, its report entry, its rows and its entry in the record of
// conversions), whatever order the tables end in; a stop ends every copy in
// work.
#include "connections/embedded/embeddedreader.h"
#include "engine/conversionrun.h"
#include "tests/support/testenv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>

using namespace tavrex;
using namespace tavrex::test;

namespace {

const QDateTime kClock(QDate(2024, 1, 2), QTime(9, 15, 5));
const RunCaptions kCaptions{"Conversion is Completed",
                            "Wizard has migrated your MySQL database to Oracle server successfully.",
                            "Click 'Finish' to exit the wizard."};

// What a run left: its log split into the lines before the tables, each
// table's block and the lines after them, and its files.
struct RunRecord {
    RunOutcome outcome = RunOutcome::Completed;
    QStringList before;
    QMap<QString, QStringList> blocks;  // by MySQL table
    QStringList blockOrder;
    QStringList after;
    QMap<QString, QStringList> ledger;  // the ledger's lines by table, in their order
    QMap<QString, QByteArray> reloads;  // reload files by name
    QJsonObject report;                 // the report without the seconds of each table
    RunReport runReport;
};

class ParallelRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = QStringLiteral("tvx_par_%1").arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
        database = database.left(60).toLower();
        recreateDatabase(database);
    }

    void mysql(const QStringList &statements) { sandboxExec(statements, database); }

    // The settings of a run into the target of one folder, its record beside
    // that folder's job.qelt.
    void connect(const QString &folder)
    {
        QDir(dir.path()).mkpath(folder);
        const MySqlSandbox &sb = mysqlSandbox();
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = sb.port;
        s.MySqlUser = sb.user;
        s.MySqlPassword = sb.password;
        s.ConnectDatabase = database;
        s.SourceDatabase = database;
        s.OracleService = "embedded:" + target(folder);
        s.OracleUser = "scott";
        db.mysqlconnect.close();
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.params().setValue(QStringLiteral("Database"), database);
        db.mysqlconnect.connect();
        step3Click(db, s);
    }

    QString target(const QString &folder) const { return dir.filePath(folder + "/target.db"); }

    RunRecord run(const QString &folder, const QStringList &tables, int atOnce)
    {
        s.SelectedTables = tables;
        s.ParallelTables = atOnce;
        log.Clear();
        ConversionRun r(db, s, log, control);
        r.setCaptions(kCaptions);
        r.setClock([] { return kClock; });
        r.setLocale(QLocale::c());
        r.setBatchSettingsFile(dir.filePath(folder + "/job.qelt"));
        // Each table's lines begin at its first report (one table after
        // the other) or right after the report that says they follow.
        std::vector<std::pair<QString, int>> starts;
        RunHooks hooks;
        hooks.progress = [&](const RunProgress &p) {
            progress.push_back(p);
            if (p.table.isEmpty() || (!p.running.empty() && !p.logBlock))
                return;
            if (p.logBlock || starts.empty() || starts.back().first != p.table)
                starts.emplace_back(p.table, log.size());
        };
        r.setHooks(hooks);
        RunRecord record;
        record.outcome = r.run();
        record.runReport = r.report();

        const QStringList lines = log.lines();
        int end = starts.empty() ? 0 : starts.front().second;
        // The tables' lines end where the foreign keys or the summary begin.
        while (end < lines.size() && !lines.at(end).startsWith("Problem in table ") &&
               !lines.at(end).startsWith("Summary: ") && !lines.at(end).startsWith("Create foreign key "))
            ++end;
        record.before = lines.mid(0, starts.empty() ? end : starts.front().second);
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const int from = starts[i].second;
            const int to = i + 1 < starts.size() ? starts[i + 1].second : end;
            EXPECT_FALSE(record.blocks.contains(starts[i].first)) << "one block per table";
            record.blocks.insert(starts[i].first, lines.mid(from, to - from));
            record.blockOrder << starts[i].first;
        }
        record.after = lines.mid(end);

        QFile ledger(dir.filePath(folder + "/job.rejects.csv"));
        if (ledger.open(QIODevice::ReadOnly)) {
            const QStringList ledgerLines = QString::fromUtf8(ledger.readAll()).split("\r\n", Qt::SkipEmptyParts);
            for (const QString &line : ledgerLines.mid(1))
                record.ledger[line.section(',', 0, 0)] << line;
        }
        const QDir reloads(dir.filePath(folder + "/job.rejects"));
        for (const QString &name : reloads.entryList(QDir::Files)) {
            QFile f(reloads.filePath(name));
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            record.reloads.insert(name, f.readAll());
        }
        QFile report(dir.filePath(folder + "/job.report.json"));
        if (report.open(QIODevice::ReadOnly)) {
            record.report = QJsonDocument::fromJson(report.readAll()).object();
            QJsonArray tablesOut;
            for (const QJsonValue &t : record.report.value("tables").toArray()) {
                QJsonObject o = t.toObject();
                EXPECT_TRUE(o.value("seconds").isDouble());
                o.remove("seconds");
                tablesOut.append(o);
            }
            record.report.insert("tables", tablesOut);
        }
        return record;
    }

    // The rows of a target table as texts, NULL as "-".
    static QStringList rowTexts(const QString &targetPath, const QString &table)
    {
        QStringList rows;
        for (const auto &row : readEmbeddedTable(targetPath, "SCOTT", table)) {
            QStringList values;
            for (const OracleValue &v : row)
                values << (v.isNull() ? QStringLiteral("-") : v.textValue());
            rows << values.join(QLatin1Char(' '));
        }
        return rows;
    }

    // The record of conversions without what differs from run to run (the
    // run, the host and the times): table, source, state, action, rows read
    // and written, key columns and last key.
    static QStringList recordTexts(const QString &targetPath)
    {
        QStringList rows;
        for (const auto &row : readEmbeddedTable(targetPath, "SCOTT", "TAVREX_CONVERSIONS")) {
            QStringList values;
            for (int c : {0, 3, 5, 6, 7, 8, 9, 10})
                values << (row.at(c).isNull() ? QStringLiteral("-") : row.at(c).textValue());
            rows << values.join(QLatin1Char(' '));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QTemporaryDir dir;
    QString database;
    TConversionSettings s;
    DatabaseObjects db;
    TRunLog log;
    RunControl control;
    std::vector<RunProgress> progress;
};

} // namespace

TEST_F(ParallelRun, FourAtOnceLeaveTheRecordOfOneAfterTheOther)
{
    mysql({"set sql_mode=''",
           // values the ledger records, in several batches
           "create table vals (id int primary key, n double, d date, note varchar(20))",
           "insert into vals select seq, if(seq % 1000 = 0, 1e308, seq), if(seq % 1500 = 0, '0000-00-00', "
           "'2024-01-01'), concat('n', seq) from seq_1_to_12000",
           // rows Oracle rejects (its table is there, narrower), left out and reloadable
           "create table wide (id int primary key, v varchar(20))",
           "insert into wide select seq, if(seq % 2500 = 0, 'far, too long', 'ok') from seq_1_to_11000",
           // a table whose definition Oracle refuses
           "create table bits (id int, flag bit(1))", "insert into bits values (1, b'1')",
           // a read whose MySQL session is killed at row 3000
           "create table b (id int primary key, v int)", "insert into b select seq, seq from seq_1_to_10000",
           "create function cut(x int) returns int not deterministic begin if x = 3000 then kill connection_id(); "
           "end if; return x; end",
           "create view lost as select id, cut(v) v from b",
           "create table p1 (id int primary key, t varchar(30))",
           "insert into p1 select seq, concat('p1-', seq) from seq_1_to_9000",
           "create table p2 (id int primary key, t varchar(30))",
           "insert into p2 select seq, concat('p2-', seq) from seq_1_to_300",
           "create table p3 (id int primary key, t varchar(30))",
           "insert into p3 select seq, concat('p3-', seq) from seq_1_to_7000"});
    const QStringList tables{"vals", "wide", "bits", "lost", "p1", "b", "p2", "p3"};
    s.ExistingTables = TExistingTablePolicy::Merge;
    s.RejectRows = true;
    s.Verify = true;

    RunRecord one, four;
    for (auto [folder, atOnce, record] : {std::tuple{"one", 1, &one}, std::tuple{"four", 4, &four}}) {
        SCOPED_TRACE(folder);
        connect(folder);
        db.oracleconn.session().execute("Create table \"WIDE\" (\"ID\" number, \"V\" varchar2(5))");
        progress.clear();
        *record = run(folder, tables, atOnce);
        EXPECT_EQ(record->outcome, RunOutcome::Completed);
        EXPECT_EQ(record->blockOrder.size(), tables.size()) << record->blockOrder.join(' ').toStdString();
    }
    EXPECT_EQ(one.blockOrder, tables) << "one after the other: in the chosen order";
    bool severalAtOnce = false;
    for (const RunProgress &p : progress)
        severalAtOnce = severalAtOnce || p.running.size() > 1;
    EXPECT_TRUE(severalAtOnce) << "the run reported tables in work side by side";

    EXPECT_EQ(four.before, one.before);
    for (const QString &table : tables) {
        SCOPED_TRACE(table.toStdString());
        EXPECT_EQ(four.blocks.value(table), one.blocks.value(table));
        EXPECT_EQ(four.ledger.value(table), one.ledger.value(table));
    }
    EXPECT_EQ(four.ledger.keys(), one.ledger.keys());
    EXPECT_EQ(four.after, one.after);
    EXPECT_EQ(four.reloads, one.reloads);
    EXPECT_EQ(four.report, one.report) << QJsonDocument(four.report).toJson().toStdString();
    for (const char *table : {"VALS", "WIDE", "LOST", "P1", "B", "P2", "P3"})
        EXPECT_EQ(rowTexts(target("four"), table), rowTexts(target("one"), table)) << table;
    EXPECT_EQ(recordTexts(target("four")), recordTexts(target("one")));

    // The run's cases are all there: rejected values and rows, a failed
    // table, a lost session, a verification each way.
    EXPECT_EQ(one.ledger.value("vals").size(), 12 + 8 + 10) << "values, then the keys of 10 rows that differ";
    EXPECT_EQ(one.reloads.keys(), QStringList{"WIDE.csv"});
    EXPECT_TRUE(one.blocks.value("bits").contains("ORA-00902: invalid datatype"))
        << one.blocks.value("bits").join('\n').toStdString();
    EXPECT_TRUE(one.blocks.value("lost").join('\n').contains("killed"))
        << one.blocks.value("lost").join('\n').toStdString();
    EXPECT_TRUE(one.blocks.value("p1").contains("Verify table P1: 9000 rows equal"))
        << one.blocks.value("p1").join('\n').toStdString();
    EXPECT_TRUE(one.blocks.value("b").contains("Verify table B: 10000 rows equal"))
        << "the next table of a killed session reads on: " << one.blocks.value("b").join('\n').toStdString();
    EXPECT_EQ(rowTexts(target("one"), "LOST").size(), 100) << "the committed batch before the loss";
}

// Kept details: every table's keys and identities with its own lines, and
// the foreign keys after every table, as one after the other makes them.
TEST_F(ParallelRun, ForeignKeysComeAfterEveryTable)
{
    mysql({"create table parent (id int auto_increment primary key, name varchar(20) not null) engine=InnoDB",
           "insert into parent (name) select concat('p', seq) from seq_1_to_3000",
           "create table child (id int primary key, parent_id int, index (parent_id),"
           " constraint fk_child_parent foreign key (parent_id) references parent (id)) engine=InnoDB",
           "insert into child select seq, 1 + seq % 3000 from seq_1_to_8000",
           "create table grand (id int primary key, child_id int,"
           " constraint fk_grand_child foreign key (child_id) references child (id)) engine=InnoDB",
           "insert into grand select seq, seq from seq_1_to_6000"});
    const QStringList tables{"grand", "child", "parent"};
    s.KeepDetails = true;
    RunRecord one, four;
    for (auto [folder, atOnce, record] : {std::tuple{"one", 1, &one}, std::tuple{"four", 3, &four}}) {
        SCOPED_TRACE(folder);
        connect(folder);
        *record = run(folder, tables, atOnce);
        EXPECT_EQ(record->outcome, RunOutcome::Completed);
    }
    for (const QString &table : tables)
        EXPECT_EQ(four.blocks.value(table), one.blocks.value(table)) << table.toStdString();
    EXPECT_EQ(four.after, one.after);
    EXPECT_TRUE(one.after.contains("Create foreign key FK_CHILD_PARENT on CHILD...Done"))
        << one.after.join('\n').toStdString();
    EXPECT_TRUE(one.after.contains("Create foreign key FK_GRAND_CHILD on GRAND...Done"))
        << one.after.join('\n').toStdString();
    EXPECT_EQ(four.report, one.report);
    for (const char *table : {"PARENT", "CHILD", "GRAND"})
        EXPECT_EQ(rowTexts(target("four"), table), rowTexts(target("one"), table)) << table;
}

TEST_F(ParallelRun, AStopEndsEveryCopyInWorkAndStartsNoOtherTable)
{
    const qint64 kRows = 120000;
    QStringList tables;
    for (int i = 1; i <= 6; ++i) {
        const QString name = QStringLiteral("s%1").arg(i);
        mysql({QStringLiteral("create table %1 (id int primary key, t varchar(30))").arg(name),
               QStringLiteral("insert into %1 select seq, repeat('x', 30) from seq_1_to_%2").arg(name).arg(kRows)});
        tables << name;
    }
    s.Resume = true;
    connect("stop");
    // The window's pump presses "Stop" once four tables are in work and
    // they have read 3000 rows between them. (The embedded target takes one
    // writer at a time, so some may still wait to write their first batch,
    // or to make their table.)
    bool pressed = false;
    control.setPump([&] {
        if (pressed || progress.empty() || progress.back().running.size() < 4 ||
            progress.back().rowsCopied < 3000)
            return;
        pressed = true;
        control.requestStop();
    });
    const RunRecord r = run("stop", tables, 4);
    control.setPump({});
    EXPECT_EQ(r.outcome, RunOutcome::Stopped);
    EXPECT_FALSE(control.StopRequested()) << "the request does not outlive its run";
    ASSERT_TRUE(pressed);
    EXPECT_EQ(r.blockOrder.size(), 4) << "no table starts after the stop";
    const QStringList record = recordTexts(target("stop"));
    int aborted = 0;
    for (const QString &table : r.blockOrder) {
        SCOPED_TRACE(table.toStdString());
        // Its copy ended at its next pump point; or it had ended before the
        // stop came; or the table ended after the step in which it came.
        const QString upper = table.toUpper();
        const QStringList block = r.blocks.value(table);
        ASSERT_GE(block.size(), 2);
        const qint64 rows = readEmbeddedTable(target("stop"), "SCOTT", upper).size();
        const auto entry = std::find_if(record.begin(), record.end(),
                                        [&](const QString &e) { return e.startsWith(upper + ' '); });
        ASSERT_NE(entry, record.end());
        if (block.contains(QStringLiteral("Insert table %1 %2 Rows ...Done").arg(upper).arg(kRows))) {
            EXPECT_EQ(rows, kRows);
            EXPECT_TRUE(entry->contains(" copied ")) << entry->toStdString();
        } else if (block.join('\n').contains(QStringLiteral("Insert table %1").arg(upper))) {
            ++aborted;
            EXPECT_EQ(block.at(block.size() - 2), "Operation aborted") << block.join('\n').toStdString();
            EXPECT_TRUE(rows == 0 || (rows - 100) % 5000 == 0) << "only whole batches: " << rows;
            EXPECT_LT(rows, kRows);
            // The record says how far it got, for a resume to go on from.
            EXPECT_TRUE(entry->contains(QStringLiteral(" copying created %1 ").arg(rows)) ||
                        (rows == 0 && entry->contains(" created created 0 ")))
                << entry->toStdString();
        } else {
            EXPECT_EQ(block.first(), QStringLiteral("Create table %1...Done").arg(upper));
            EXPECT_EQ(rows, 0);
        }
    }
    EXPECT_GE(aborted, 1);
    for (const QString &table : tables)
        if (!r.blockOrder.contains(table))
            EXPECT_FALSE(log.lines().join('\n').contains(table.toUpper())) << table.toStdString();

    // A resumed run at once continues each stopped copy after its last batch.
    pressed = true;
    const RunRecord resumed = run("stop", tables, 4);
    EXPECT_EQ(resumed.outcome, RunOutcome::Completed);
    for (const QString &table : tables) {
        SCOPED_TRACE(table.toStdString());
        const QStringList ids = rowTexts(target("stop"), table.toUpper());
        EXPECT_EQ(ids.size(), kRows);
        EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), kRows) << "every row once";
    }
}

// A table above the range threshold, its keys dense at first and sparse
// after, is copied in four ranges by the real program, which is killed in
// the middle; the replay with resume continues each range after its last
// committed batch, and the table ends as a copy of one table after the other
// leaves it: the same rows, each once, the same ledger records, verified.
TEST_F(ParallelRun, ATableInKeyRangesKilledAndResumedEndsAsOneCopyInOrder)
{
    mysql({"set sql_mode=''", "create table big (id bigint primary key, d date, v varchar(40))",
           "insert into big select seq, if(seq % 9000 = 0, '0000-00-00', '2024-05-06'), concat('row ', seq) "
           "from seq_1_to_450000",
           "insert into big select 1000000 + seq * 997, '2024-05-06', concat('far ', seq) from seq_1_to_150000",
           "analyze table big"});
    s.Resume = true;
    s.Verify = true;
    const std::int64_t total = 600000;

    // The copy of one table after the other, in key order: the reference.
    connect("one");
    const RunRecord one = run("one", {"big"}, 1);
    ASSERT_EQ(one.outcome, RunOutcome::Completed);
    ASSERT_TRUE(one.blocks.value("big").contains("Verify table BIG: 600000 rows equal"))
        << one.blocks.value("big").join('\n').toStdString();

    const QString folder = dir.filePath("ranges");
    QDir().mkpath(folder);
    const QString job = folder + "/job.qelt";
    {
        QFile f(job);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const MySqlSandbox &sb = mysqlSandbox();
        const QStringList lines{"accessmode=1", "mysqldatabase=" + database, "port=" + sb.port,
                                "mysqlu=" + sb.user, "mysqlp=" + sb.password, "host=127.0.0.1",
                                "oracleh=embedded:" + folder + "/target.db", "oracleu=scott", "oraclep=x",
                                "processtable=0", "character_set=Default", "nameuppercase=1", "verify=1", "resume=1",
                                "paralleltables=4", "alltables=0", "tables1=big"};
        f.write((lines.join("\r\n") + "\r\n").toUtf8());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("TAVREX_RANGE_THRESHOLD", "300000");

    // Killed once the ranges have committed rows between them.
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(binaryDir() + "/app/tavrex", {"--no-window", job});
    ASSERT_TRUE(first.waitForStarted());
    // Killed once the four ranges have been read for a while (seen from the
    // MySQL side: the target is not read while the run writes it).
    MySqlConnection watch;
    watch.params() = sandboxParams(database);
    watch.connect();
    auto readers = [&watch] {
        auto r = watch.listing("select count(*) from information_schema.processlist where info like "
                               "'select * from `big` where%'");
        return r->next() ? r->text(0).toInt() : 0;
    };
    int seen = 0;
    for (int i = 0; i < 3000 && seen < 4 && first.state() == QProcess::Running; ++i) {
        first.waitForFinished(10);
        seen = std::max(seen, readers());
    }
    first.waitForFinished(400);
    ASSERT_EQ(first.state(), QProcess::Running)
        << "the copy ended before it was killed: " << first.readAllStandardOutput().toStdString()
        << first.readAllStandardError().toStdString();
    EXPECT_EQ(seen, 4) << "four ranges read at once";
    ::kill(pid_t(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    const auto ranges = readEmbeddedTable(folder + "/target.db", "SCOTT", "TAVREX_RANGES");
    ASSERT_EQ(ranges.size(), 4u);
    std::int64_t readBefore = 0;
    for (const auto &row : ranges)
        readBefore += row.at(9).textValue().toLongLong();
    const qint64 rowsBefore = readEmbeddedTable(folder + "/target.db", "SCOTT", "BIG").size();
    EXPECT_EQ(rowsBefore, readBefore) << "the record and the rows agree";
    EXPECT_GT(rowsBefore, 0);
    EXPECT_LT(rowsBefore, total);

    // The replay goes on from there.
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(binaryDir() + "/app/tavrex", {"--no-window", job});
    ASSERT_TRUE(second.waitForFinished(120000));
    const QString out = QString::fromUtf8(second.readAllStandardOutput());
    EXPECT_EQ(second.exitCode(), 2) << "the zero dates are recorded: " << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression(
        QStringLiteral("Table BIG continues the copy of the run of .* in 4 key ranges after %1 rows").arg(readBefore))))
        << out.toStdString();
    EXPECT_TRUE(out.contains("Insert table BIG in 4 key ranges of id")) << out.toStdString();
    EXPECT_TRUE(out.contains("Verify table BIG: 600000 rows equal")) << out.toStdString();
    QFile reportFile(folder + "/job.report.json");
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject table =
        QJsonDocument::fromJson(reportFile.readAll()).object().value("tables").toArray().at(0).toObject();
    EXPECT_EQ(table.value("rowsRead").toInteger(), total - readBefore) << "no committed row is read again";

    QStringList copied = rowTexts(folder + "/target.db", "BIG");
    QStringList expected = rowTexts(target("one"), "BIG");
    std::sort(copied.begin(), copied.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(copied, expected);
    QFile ledger(folder + "/job.rejects.csv");
    ASSERT_TRUE(ledger.open(QIODevice::ReadOnly));
    QStringList records = QString::fromUtf8(ledger.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(1);
    std::sort(records.begin(), records.end());
    QStringList reference = one.ledger.value("big");
    std::sort(reference.begin(), reference.end());
    EXPECT_EQ(records, reference) << "the same rows at the same positions in key order";
    EXPECT_EQ(reference.size(), 50);
}
