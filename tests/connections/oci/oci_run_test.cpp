// Whole conversions from the throwaway MariaDB through the OCI adapter on the
// client library's test double (TAVREX_OCI_LIBRARY, set by CTest), set
// against the same conversion straight into the embedded target: the tables,
// their keys, every value and the log must come out the same, and the BLOBs
// of several MiB byte for byte as MySQL holds them.

#include "connections/embedded/embeddedreader.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"
#include "tests/support/testenv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

const QDateTime kClock(QDate(2024, 1, 2), QTime(9, 15, 5));

// The BLOB of row `id`: MySQL's repeat(unhex(sha2('id', 256)), times).
QByteArray blobOf(int id, int times)
{
    return QCryptographicHash::hash(QByteArray::number(id), QCryptographicHash::Sha256).repeated(times);
}

struct Converted {
    QString path;
    QStringList log;
};

class OciRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = QStringLiteral("tvx_oci_run_%1")
                       .arg(::testing::UnitTest::GetInstance()->current_test_info()->name())
                       .left(60)
                       .toLower();
        recreateDatabase(database);
    }

    // Converts the tables into a new file, through the adapter (a plain path
    // as the service name) or straight into the embedded target.
    Converted convert(const QStringList &tables, bool throughAdapter)
    {
        Converted out;
        out.path = dir.filePath(QStringLiteral("target%1.db").arg(++targets));
        TConversionSettings s;
        const MySqlSandbox &sb = mysqlSandbox();
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = sb.port;
        s.MySqlUser = sb.user;
        s.MySqlPassword = sb.password;
        s.ConnectDatabase = database;
        s.SourceDatabase = database;
        s.OracleService = throughAdapter ? out.path : "embedded:" + out.path;
        s.OracleUser = "scott";
        s.OraclePassword = "tiger";
        s.SelectedTables = tables;
        s.RejectRows = rejectRows;
        s.KeepDetails = keepDetails;
        s.Verify = verify;
        DatabaseObjects db;
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.connect();
        step3Click(db, s);
        TRunLog log;
        RunControl control;
        ConversionRun run(db, s, log, control);
        run.setCaptions({"Conversion is Completed", "Done.", "Finish."});
        run.setClock([] { return kClock; });
        run.setLocale(QLocale::c());
        QDir().mkpath(dir.filePath("logs"));
        run.setLogFolder(dir.filePath("logs/"));
        EXPECT_EQ(run.run(), RunOutcome::Completed);
        out.log = log.lines();
        return out;
    }

    // Both conversions of the tables, compared table by table.
    void expectSameAsEmbedded(const QStringList &tables)
    {
        const Converted direct = convert(tables, false);
        const Converted adapter = convert(tables, true);
        adapterPath = adapter.path;
        EXPECT_EQ(adapter.log, direct.log);
        const QStringList names = listEmbeddedTables(direct.path, "SCOTT");
        EXPECT_EQ(listEmbeddedTables(adapter.path, "SCOTT"), names);
        for (const QString &t : names) {
            if (t.startsWith("TAVREX_"))
                continue;  // the record of conversions: its runs and times differ
            SCOPED_TRACE(t.toStdString());
            EXPECT_TRUE(describeEmbeddedTable(adapter.path, "SCOTT", t) == describeEmbeddedTable(direct.path, "SCOTT", t));
            const auto want = readEmbeddedTable(direct.path, "SCOTT", t);
            const auto got = readEmbeddedTable(adapter.path, "SCOTT", t);
            ASSERT_EQ(got.size(), want.size());
            for (int r = 0; r < got.size(); ++r)
                ASSERT_TRUE(got[r] == want[r]) << "row " << r;
        }
        const auto indexes = listEmbeddedIndexes(direct.path, "SCOTT");
        const auto adapterIndexes = listEmbeddedIndexes(adapter.path, "SCOTT");
        ASSERT_EQ(adapterIndexes.size(), indexes.size());
        for (int i = 0; i < indexes.size(); ++i) {
            EXPECT_EQ(adapterIndexes[i].name, indexes[i].name);
            EXPECT_EQ(adapterIndexes[i].columns, indexes[i].columns);
            EXPECT_EQ(adapterIndexes[i].type, indexes[i].type);
            EXPECT_EQ(adapterIndexes[i].itypName, indexes[i].itypName);
        }
        adapterLog = adapter.log;
    }

    QTemporaryDir dir;
    QString database;
    int targets = 0;
    QString adapterPath;
    QStringList adapterLog;
    bool rejectRows = false;
    bool keepDetails = false;
    bool verify = false;
};

} // namespace

TEST_F(OciRunTest, TheMixedTableArrivesAsItDoesInTheEmbeddedTarget)
{
    sandboxExec({"create table mixed (id int primary key, code char(36), title varchar(255), qty int, "
                 "price decimal(12,2), created datetime, body text, flag tinyint(1), key by_qty (qty))",
                 "insert into mixed select seq, uuid(), concat('Title ', seq, ' 标题 ', repeat('x', seq % 120)), "
                 "seq * 7 % 100000, (seq % 100000) / 100, timestamp('2020-01-01') + interval seq second, "
                 "concat('Body of row ', seq, ' ', repeat('lorem ipsum ', seq % 20)), seq % 2 from seq_1_to_5150",
                 "insert into mixed values (5151, NULL, NULL, NULL, NULL, NULL, NULL, NULL)",
                 "insert into mixed values (5152, 'ab  ', '😀 trailing  ', -2147483648, -9999999999.99, "
                 "'1000-01-01 00:00:00', repeat('字', 20000), 127)",
                 "insert into mixed values (5153, '', '', 2147483647, 9999999999.99, '9999-12-31 23:59:59', '', 0)"},
                database);
    expectSameAsEmbedded({"mixed"});
    const auto rows = readEmbeddedTable(adapterPath, "SCOTT", "MIXED");
    ASSERT_EQ(rows.size(), 5153);
    EXPECT_EQ(rows[5151][2].textValue(), QString::fromUtf8("😀 trailing  "));
    EXPECT_EQ(rows[5151][3].textValue(), "-2147483648");
    EXPECT_EQ(rows[5151][4].textValue(), "-9999999999.99");
    EXPECT_EQ(rows[5151][6].bytesValue(), QString::fromUtf8("字").repeated(20000).toUtf8());
    for (int c = 1; c < 8; ++c)
        EXPECT_TRUE(rows[5150][c].isNull()) << c;
}

TEST_F(OciRunTest, BlobsOfSeveralMiBArriveByteForByte)
{
    struct Blob {
        int id;
        int times;  // 32 bytes each
    } blobs[] = {{1, 98304}, {2, 196608}, {3, 1}, {4, 131072}};
    QStringList sql{"create table blobs (id int primary key, data longblob, note varchar(20))"};
    for (const Blob &b : blobs)
        sql << QStringLiteral("insert into blobs values (%1, repeat(unhex(sha2('%1', 256)), %2), 'row %1')")
                   .arg(b.id)
                   .arg(b.times);
    sql << "insert into blobs values (5, NULL, NULL)" << "insert into blobs values (6, '', 'empty')";
    sandboxExec(sql, database);
    expectSameAsEmbedded({"blobs"});
    const auto rows = readEmbeddedTable(adapterPath, "SCOTT", "BLOBS");
    ASSERT_EQ(rows.size(), 6);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(blobs[i].id);
        EXPECT_EQ(rows[i][0].textValue(), QString::number(blobs[i].id));
        const QByteArray &got = rows[i][1].bytesValue();
        EXPECT_EQ(got.size(), blobs[i].times * 32);
        EXPECT_TRUE(got == blobOf(blobs[i].id, blobs[i].times));
        EXPECT_EQ(rows[i][2].textValue(), QStringLiteral("row %1").arg(blobs[i].id));
    }
    EXPECT_TRUE(rows[4][1].isNull());
    EXPECT_TRUE(rows[5][1].isNull());  // a zero-length BLOB is NULL in Oracle
}

TEST_F(OciRunTest, ARejectedRowEndsTheCopyOrIsLeftOutAsInTheEmbeddedTarget)
{
    // Row 3000 has an empty key column, which Oracle holds as NULL.
    sandboxExec({"create table r (id int, code varchar(10), primary key (id, code))",
                 "insert into r select seq, if(seq = 3000, '', concat('c', seq)) from seq_1_to_6000"},
                database);
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        rejectRows = keep;
        expectSameAsEmbedded({"r"});
        EXPECT_EQ(readEmbeddedTable(adapterPath, "SCOTT", "R").size(), keep ? 5999 : 100);
        QFile ledger(dir.filePath("logs/qelt_20240102_091505.rejects.csv"));
        ASSERT_TRUE(ledger.open(QIODevice::ReadOnly));
        EXPECT_EQ(ledger.readAll(),
                  QByteArray("table,row,column,reason,value\r\n"
                             "r,3000,,\"ORA-01400: cannot insert NULL into (\"\"SCOTT\"\".\"\"R\"\".\"\"CODE\"\")\",\r\n") +
                      (keep ? "r,,,reload file,R.csv\r\n" : ""));
    }
}

TEST_F(OciRunTest, GeometriesAndOracleTextIndexesArriveAsInTheEmbeddedTarget)
{
    // Geometries of several SRIDs with NULLs between them, a WKB longer than
    // 4000 bytes, an empty collection, and FULLTEXT keys of one and two columns.
    sandboxExec({"create table shapes (id int primary key, title varchar(100), body text, g geometry, pt point,"
                 " fulltext ft_title (title), fulltext ft_text (body, title))",
                 "insert into shapes values (1, 'basics', 'a body', st_geomfromtext('POINT(1 2)', 4326),"
                 " st_geomfromtext('POINT(3 4)', 4326)), (2, null, null, null, null)",
                 "insert into shapes select 3, 'long', 'line', st_geomfromtext(concat('LINESTRING(',"
                 " group_concat(concat(seq, ' ', seq * 2) order by seq separator ','), ')'), 3857), point(5, 6)"
                 " from seq_1_to_300",
                 "insert into shapes values (4, 'empty', '', st_geomfromtext('GEOMETRYCOLLECTION EMPTY', 4326), null)",
                 "insert into shapes select seq, concat('t', seq), null, if(seq % 3 = 0, null,"
                 " st_geomfromtext(concat('POINT(', seq, ' ', seq / 7, ')'), if(seq % 2, 4326, 3857))),"
                 " if(seq % 5 = 0, null, point(seq, -seq)) from seq_5_to_250"},
                database);
    keepDetails = true;
    verify = true;
    expectSameAsEmbedded({"shapes"});
    EXPECT_TRUE(adapterLog.contains("Verify table SHAPES: 250 rows equal")) << adapterLog.join("\n").toStdString();
    const auto rows = readEmbeddedTable(adapterPath, "SCOTT", "SHAPES");
    ASSERT_EQ(rows.size(), 250);
    EXPECT_EQ(rows[0][3], OracleValue::geometry(4326, QByteArray::fromHex("0101000000000000000000F03F0000000000000040")));
    EXPECT_EQ(rows[2][3].sridValue(), 3857u);
    EXPECT_EQ(rows[2][3].wkbValue().size(), 9 + 300 * 16);
    EXPECT_EQ(rows[2][4].sridValue(), 0u);
    const auto indexes = listEmbeddedIndexes(adapterPath, "SCOTT");
    int text = 0;
    for (const EmbeddedIndex &i : indexes)
        text += i.type == QLatin1String("DOMAIN") ? 1 : 0;
    EXPECT_EQ(text, 2);  // BODY and TITLE, each once
}
