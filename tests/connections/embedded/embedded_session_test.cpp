// The embedded target as a file: opening it, what a person sees in it with
// the sqlite3 shell, two sessions on one file, and a writer killed with
// SIGKILL in the middle of a batch.

#include "connections/embedded/embeddedreader.h"
#include "connections/embedded/embeddedtarget.h"
#include "engine/core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrex {
namespace {

OracleLogin login(const QString &user = QStringLiteral("scott"))
{
    OracleLogin l;
    l.user = user;
    l.password = QStringLiteral("any");
    return l;
}

std::string s(const QString &q)
{
    return q.toStdString();
}

// A batch over the named columns, filled by row(r) for r in [0, n).
template <typename F>
OracleRowBatch makeBatch(const QStringList &columns, int n, F row)
{
    QVector<OracleColumn> cols;
    for (const QString &c : columns) {
        OracleColumn oc;
        oc.name = c;
        cols.append(oc);
    }
    OracleRowBatch b(cols);
    for (int r = 0; r < n; ++r) {
        const int at = b.appendRow();
        const QVector<OracleValue> values = row(r);
        for (int c = 0; c < values.size(); ++c)
            b.at(at, c) = values[c];
    }
    return b;
}

OracleValue num(qint64 v)
{
    return OracleValue::number(QString::number(v));
}

// Rows of a raw SQLite query, each as texts ("NULL" for null).
QVector<QStringList> rawQuery(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    QVector<QStringList> out;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                row.append(t ? QString::fromUtf8(t) : QStringLiteral("NULL"));
            }
            out.append(row);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

class EmbeddedFile : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("target.db"));
};

// ------------------------------------------------------------------ opening

TEST_F(EmbeddedFile, OpeningCreatesTheFileReadableByItsOwnerOnly)
{
    auto session = openEmbeddedSession(path_, login());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(rawQuery(path_, "PRAGMA journal_mode").value(0).value(0), QStringLiteral("wal"));
}

TEST_F(EmbeddedFile, AnEmptyUserIsRefusedWithOraclesLogonError)
{
    try {
        openEmbeddedSession(path_, login(QString()));
        FAIL() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 1017);
        EXPECT_EQ(s(e.message()), "ORA-01017: invalid username/password; logon denied");
    }
    EXPECT_FALSE(QFile::exists(path_));
}

TEST_F(EmbeddedFile, AFileThatCannotBeUsedGivesAnErrorNamingItsPath)
{
    const QString missing = dir_.filePath(QStringLiteral("no/such/folder/t.db"));
    const QString folder = dir_.path();
    for (const QString &p : {missing, folder}) {
        SCOPED_TRACE(s(p));
        try {
            openEmbeddedSession(p, login());
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1Char('"') + p + QLatin1Char('"'))) << s(e.message());
        }
    }
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Runs statements on a SQLite file with a plain connection. keepLog: the
// connection ends without copying its log into the file, as a program that
// was killed would.
void sqliteFile(const QString &path, const QStringList &statements, bool keepLog = false)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    for (const QString &sql : statements)
        EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK)
            << s(sql) << ": " << sqlite3_errmsg(db);
    if (keepLog)
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(db);
}

// A file that is not one of this target's is refused before anything is
// written to it: its bytes stay as they were, and no -wal or -shm file is
// left next to it.
TEST_F(EmbeddedFile, AFileOfAnotherProgramIsRefusedAndLeftAsItWas)
{
    const QString ownTable = QStringLiteral("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)");
    const QString ownRow = QStringLiteral("INSERT INTO customers VALUES (1, 'Ann')");
    const struct {
        const char *name;
        QStringList statements;  // none: a file of 4096 bytes 'x'
        bool keepLog;            // the table only in its log, left by a program that was killed
        bool dropShm;            // and copied without its -shm file
        const char *error;
    } cases[] = {
        {"a database with a table of its own", {ownTable, ownRow}, false, false, "it holds tables of another database"},
        {"the same in WAL mode", {"PRAGMA journal_mode=WAL", ownTable, ownRow}, false, false,
         "it holds tables of another database"},
        {"the same with its table only in its log", {"PRAGMA journal_mode=WAL", ownTable, ownRow}, true, false,
         "it holds tables of another database"},
        {"the same without its -shm file", {"PRAGMA journal_mode=WAL", ownTable, ownRow}, true, true,
         "it holds tables of another database"},
        {"a tavrex_tables of another shape", {"CREATE TABLE tavrex_tables (id INTEGER, title TEXT)"}, false, false,
         "its dictionary has another shape"},
        {"a dictionary with a column this target does not know",
         {"CREATE TABLE tavrex_meta (key TEXT PRIMARY KEY, value TEXT)",
          "CREATE TABLE tavrex_tables (owner TEXT, table_name TEXT, sqlite_name TEXT, remark TEXT)"},
         false, false, "its dictionary has another shape"},
        {"a file that is not a SQLite database", {}, false, false, "not a SQLite database"},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir_.filePath(QStringLiteral("own%1.db").arg(++n));
        if (c.statements.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else {
            sqliteFile(path, c.statements, c.keepLog);
        }
        if (c.dropShm) {
            ASSERT_TRUE(QFile::remove(path + QStringLiteral("-shm")));
        }
        const QString wal = path + QStringLiteral("-wal"), shm = path + QStringLiteral("-shm");
        const QByteArray before = fileBytes(path), walBefore = fileBytes(wal);
        const bool shmBefore = QFile::exists(shm);
        ASSERT_EQ(c.keepLog, QFileInfo(wal).size() > 0);
        try {
            openEmbeddedSession(path, login());
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1Char('"') + path + QLatin1Char('"'))) << s(e.message());
            EXPECT_TRUE(e.message().contains(QLatin1String(c.error))) << s(e.message());
        }
        EXPECT_TRUE(fileBytes(path) == before) << "the file changed";
        EXPECT_TRUE(fileBytes(wal) == walBefore) << "its log changed";
        EXPECT_EQ(QFile::exists(shm), shmBefore);
    }
}

// An empty file is a new target; a file of an earlier version of this
// target is taken, and its dictionary gains what it lacks.
TEST_F(EmbeddedFile, AnEmptyFileAndAnEarlierVersionsFileAreTaken)
{
    {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        auto session = openEmbeddedSession(path_, login());
        session->execute(QStringLiteral("create table \"T\" (\"A\" number)"));
    }
    sqliteFile(path_, {"DROP TABLE tavrex_tab_comments", "DROP TABLE tavrex_col_comments",
                       "DROP TABLE tavrex_tab_identity_cols",
                       "ALTER TABLE tavrex_tab_columns DROP COLUMN identity_column",
                       "ALTER TABLE tavrex_tab_columns DROP COLUMN data_default",
                       "ALTER TABLE tavrex_constraints DROP COLUMN sqlite_trigger"});
    auto session = openEmbeddedSession(path_, login());
    EXPECT_EQ(session->describe(QStringLiteral("select * from \"T\" where 1=0")).size(), 1);
    EXPECT_EQ(rawQuery(path_, "SELECT count(*) FROM pragma_table_info('tavrex_tab_columns')"
                              " WHERE name IN ('identity_column', 'data_default')"),
              (QVector<QStringList>{{"2"}}));
    session->execute(QStringLiteral("comment on table \"T\" is 'kept'"));
}

TEST_F(EmbeddedFile, AReadOnlyFileIsRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    openEmbeddedSession(path_, login()).reset();
    QFile::setPermissions(path_, QFileDevice::ReadOwner);
    try {
        openEmbeddedSession(path_, login());
        FAIL() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(path_)) << s(e.message());
    }
}

TEST_F(EmbeddedFile, TheOwnerIsTheUserUpperCasedByTheAsciiRule)
{
    auto session = openEmbeddedSession(path_, login(QString::fromUtf8("gr\xc3\xb6\xc3\x9f" "e")));
    EXPECT_EQ(static_cast<EmbeddedSession *>(session.get())->owner(), QString::fromUtf8("GR\xc3\xb6\xc3\x9f" "E"));
    session->execute(QStringLiteral("create table \"T\" (\"A\" number)"));
    EXPECT_EQ(listEmbeddedTables(path_, QString::fromUtf8("GR\xc3\xb6\xc3\x9f" "E")), QStringList{QStringLiteral("T")});
    EXPECT_TRUE(listEmbeddedTables(path_, QStringLiteral("SCOTT")).isEmpty());
}

// ------------------------------------------------------------------ storage

TEST_F(EmbeddedFile, ConvertedTablesAreReadableWithTheSqliteShell)
{
    auto session = openEmbeddedSession(path_, login());
    session->execute(QStringLiteral("Create table \"ORDERS\" (\"ID\" number, \"PRICE\" number(12,2), \"WHEN\" date,"
                                    " \"NAME\" varchar2(20), \"PIC\" blob)"));
    session->execute(QStringLiteral("Create table \"orders\" (\"id\" number, \"ID\" number)"));
    session->execute(QStringLiteral("alter table ORDERS  add constraint PRIMARYorders1 primary key (id)"));
    session->execute(QStringLiteral("create index idx_nameORDERS on ORDERS (name)"));
    OracleDate when{-44, 3, 15, 12, 0, 0};
    const BatchResult r = session->insertBatch(
        QStringLiteral("ORDERS"),
        makeBatch({QStringLiteral("ID"), QStringLiteral("PRICE"), QStringLiteral("WHEN"), QStringLiteral("NAME"),
                   QStringLiteral("PIC")},
                  1, [&](int) {
                      return QVector<OracleValue>{num(7), OracleValue::number(QStringLiteral("12.50")),
                                                  OracleValue::date(when), OracleValue::text(QStringLiteral("Ann")),
                                                  OracleValue::bytes(QByteArray("\x01\x02", 2))};
                  }));
    ASSERT_TRUE(r.ok) << s(r.message);

    const auto tables = rawQuery(path_, "SELECT name FROM sqlite_schema WHERE type='table' AND name LIKE 'SCOTT.%'"
                                        " ORDER BY name");
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0][0], QStringLiteral("SCOTT.ORDERS"));
    EXPECT_EQ(tables[1][0], QStringLiteral("SCOTT.orders#2"));
    const auto rows = rawQuery(path_, "SELECT \"ID\", \"PRICE\", \"WHEN\", \"NAME\", hex(\"PIC\"), typeof(\"PRICE\")"
                                      " FROM \"SCOTT.ORDERS\"");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], (QStringList{"7", "12.5", "-0044-03-15 12:00:00", "Ann", "0102", "text"}));
    EXPECT_EQ(rawQuery(path_, "SELECT sqlite_name FROM tavrex_tab_columns WHERE table_name='orders' ORDER BY column_id"),
              (QVector<QStringList>{{"id"}, {"ID#2"}}));

    const auto indexes = listEmbeddedIndexes(path_, QStringLiteral("SCOTT"));
    ASSERT_EQ(indexes.size(), 2);
    EXPECT_EQ(indexes[0].name, QStringLiteral("PRIMARYORDERS1"));
    EXPECT_TRUE(indexes[0].unique);
    EXPECT_EQ(indexes[0].columns, QStringList{QStringLiteral("ID")});
    EXPECT_EQ(indexes[1].name, QStringLiteral("IDX_NAMEORDERS"));
    EXPECT_FALSE(indexes[1].unique);
    const auto constraints = listEmbeddedConstraints(path_, QStringLiteral("SCOTT"));
    ASSERT_EQ(constraints.size(), 1);
    EXPECT_EQ(constraints[0].name, QStringLiteral("PRIMARYORDERS1"));
    EXPECT_EQ(constraints[0].type, QStringLiteral("P"));
    EXPECT_EQ(constraints[0].indexName, QStringLiteral("PRIMARYORDERS1"));

    session->execute(QStringLiteral("drop table \"ORDERS\""));
    EXPECT_TRUE(listEmbeddedIndexes(path_, QStringLiteral("SCOTT")).isEmpty());
    EXPECT_TRUE(listEmbeddedConstraints(path_, QStringLiteral("SCOTT")).isEmpty());
    EXPECT_EQ(listEmbeddedTables(path_, QStringLiteral("SCOTT")), QStringList{QStringLiteral("orders")});
}

// ------------------------------------------------------------------ two sessions

TEST_F(EmbeddedFile, DdlOfOneSessionIsSeenByTheOtherAtOnce)
{
    auto a = openEmbeddedSession(path_, login());
    auto b = openEmbeddedSession(path_, login(QStringLiteral("SCOTT")));
    const QString count = QStringLiteral("select count(*) cn from all_tables where table_name='T' and upper(owner)='SCOTT'");
    a->execute(QStringLiteral("Create table \"T\" (\"ID\" number)"));
    EXPECT_EQ(b->queryCount(count), 1);
    EXPECT_EQ(b->describe(QStringLiteral("select * from \"T\" where 1=0")).size(), 1);
    b->execute(QStringLiteral("alter table T  add constraint PK_T primary key (id)"));
    EXPECT_FALSE(a->describe(QStringLiteral("select * from \"T\" where 1=0"))[0].nullable);

    // a's prepared INSERT of T must follow b's drop and re-create.
    auto one = [](int r) { return QVector<OracleValue>{num(r)}; };
    ASSERT_TRUE(a->insertBatch(QStringLiteral("T"), makeBatch({QStringLiteral("ID")}, 3, one)).ok);
    b->execute(QStringLiteral("drop table \"T\""));
    EXPECT_EQ(a->queryCount(count), 0);
    try {
        a->insertBatch(QStringLiteral("T"), makeBatch({QStringLiteral("ID")}, 1, one));
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 942);
    }
    b->execute(QStringLiteral("Create table \"T\" (\"ID\" varchar2(5), \"X\" number)"));
    ASSERT_TRUE(a->insertBatch(QStringLiteral("T"), makeBatch({QStringLiteral("ID")}, 2, one)).ok);
    const auto rows = readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1][0], OracleValue::text(QStringLiteral("1")));
    EXPECT_TRUE(rows[1][1].isNull());
}

// A batch converted before it is sent is stored from that form only while
// the form describes it: a value written after it, or a table dropped and
// made again with other columns meanwhile, is converted by the insert, with
// the outcome it would have had without the form.
TEST_F(EmbeddedFile, APreparedBatchIsConvertedAgainWhenItsRowsOrItsTableChanged)
{
    auto session = openEmbeddedSession(path_, login());
    auto other = openEmbeddedSession(path_, login());
    const QString create = QStringLiteral("Create table \"T\" (\"ID\" number, \"NAME\" varchar2(%1))");
    auto row = [](int r) {
        return QVector<OracleValue>{num(r), OracleValue::text(r == 1 ? QStringLiteral("abcdef") : QStringLiteral("ab"))};
    };
    struct Case {
        const char *name;
        bool changeValue;  // row 1 gets a value too long for VARCHAR2(10) after the form was made
        int widthAfter;    // the table made again meanwhile with this width; 0: left as it was
        int rejectedRow;
        const char *message;
    } cases[] = {
        {"unchanged", false, 0, -1, ""},
        {"a value written after", true, 0, 1,
         "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 11, maximum: 10)"},
        {"the table made again", false, 3, 1,
         "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 6, maximum: 3)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            session->execute(QStringLiteral("drop table \"T\""));
        } catch (const DatabaseError &) {
        }
        session->execute(create.arg(10));
        const QVector<OracleColumn> described = session->describe(QStringLiteral("select * from \"T\" where 1=0"));
        OracleRowBatch batch(described);
        for (int r = 0; r < 3; ++r) {
            const int at = batch.appendRow();
            const QVector<OracleValue> values = row(r);
            for (int k = 0; k < values.size(); ++k)
                batch.at(at, k) = values[k];
        }
        std::unique_ptr<BatchPreparer> preparer = session->batchPreparer(QStringLiteral("T"), described);
        ASSERT_TRUE(preparer);
        preparer->prepare(batch);
        ASSERT_NE(batch.prepared(), nullptr);
        if (c.changeValue) {
            batch.at(1, 1) = OracleValue::text(QStringLiteral("abcdefghijk"));
            EXPECT_EQ(batch.prepared(), nullptr);
        }
        if (c.widthAfter > 0) {
            other->execute(QStringLiteral("drop table \"T\""));
            other->execute(create.arg(c.widthAfter));
        }
        const BatchResult result = session->insertBatch(QStringLiteral("T"), batch);
        EXPECT_EQ(result.rejectedRow, c.rejectedRow);
        EXPECT_EQ(s(result.message), c.message);
        EXPECT_EQ(readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T")).size(),
                  c.rejectedRow < 0 ? 3 : 0);
    }
}

TEST_F(EmbeddedFile, ABatchIsNotSeenByAnotherSessionBeforeItsCommit)
{
    auto a = openEmbeddedSession(path_, login());
    auto b = openEmbeddedSession(path_, login());
    a->execute(QStringLiteral("Create table \"T\" (\"ID\" number, \"NAME\" varchar2(10))"));
    auto row = [](int r) { return QVector<OracleValue>{num(r), OracleValue::text(QStringLiteral("n"))}; };
    ASSERT_TRUE(a->insertBatch(QStringLiteral("T"), makeBatch({"ID", "NAME"}, 100, row)).ok);

    int seenDuring = -1;
    qint64 countDuring = -1;
    int describedDuring = -1;
    static_cast<EmbeddedSession *>(a.get())->setRowObserver([&](int r) {
        if (r != 2500)
            return;
        seenDuring = int(readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T")).size());
        countDuring = b->queryCount(QStringLiteral(
            "select count(*) cn from all_tables where table_name='T' and upper(owner)='SCOTT'"));
        // A session opened meanwhile does not wait for the open batch either.
        describedDuring = int(openEmbeddedSession(path_, login())->describe(
                                  QStringLiteral("select * from \"T\" where 1=0")).size());
    });
    ASSERT_TRUE(a->insertBatch(QStringLiteral("T"), makeBatch({"ID", "NAME"}, 5000, row)).ok);
    EXPECT_EQ(seenDuring, 100);  // the open batch's 2501 rows are not visible
    EXPECT_EQ(countDuring, 1);   // and the other session is not blocked from reading
    EXPECT_EQ(describedDuring, 2);
    EXPECT_EQ(readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T")).size(), 5100);
}

TEST_F(EmbeddedFile, ARejectedRowAtPosition3000LeavesNoneOfItsBatch)
{
    auto a = openEmbeddedSession(path_, login());
    auto b = openEmbeddedSession(path_, login());
    a->execute(QStringLiteral("Create table \"T\" (\"ID\" number, \"NAME\" varchar2(10))"));
    auto good = [](int r) { return QVector<OracleValue>{num(r), OracleValue::text(QStringLiteral("ok"))}; };
    ASSERT_TRUE(a->insertBatch(QStringLiteral("T"), makeBatch({"ID", "NAME"}, 100, good)).ok);

    // The 3000th row (position 2999) holds a value too long for NAME.
    const BatchResult r = b->insertBatch(QStringLiteral("T"), makeBatch({"ID", "NAME"}, 5000, [](int i) {
        return QVector<OracleValue>{num(1000 + i),
                                    OracleValue::text(i == 2999 ? QStringLiteral("far too long") : QStringLiteral("x"))};
    }));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.rejectedRow, 2999);
    EXPECT_EQ(s(r.message), "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 12, maximum: 10)");
    const auto rows = readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T"));
    ASSERT_EQ(rows.size(), 100);
    EXPECT_EQ(rows.last()[0], num(99));
    // The session goes on after the rollback.
    ASSERT_TRUE(b->insertBatch(QStringLiteral("T"), makeBatch({"ID", "NAME"}, 10, good)).ok);
    EXPECT_EQ(readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T")).size(), 110);
}

// ------------------------------------------------------------------ checkpoints

// The log is copied into the database file by a checkpoint of its own while
// batches go in, and its file stays within its bound while the batches are
// alike: without that the log would hold every batch until the session
// closes.
TEST_F(EmbeddedFile, TheLogStaysWithinItsBoundWhileBatchesGoInAndEveryRowIsKept)
{
    const QString pad(3000, QLatin1Char('q'));
    constexpr qint64 kBound = 1024 * 1024;
    const struct {
        const char *name;
        int batches;
        int rows;  // 0: a DDL statement instead of each batch
    } cases[] = {
        {"batches of some 40 pages", 120, 50},  // about 18 MB
        // The log grows a page or two at a time up to its bound, which is the
        // size of the file: its frame and file headers count.
        {"batches of one row", 600, 1},
        {"DDL statements", 600, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir_.filePath(QString::fromLatin1(c.name) + QStringLiteral(".db"));
        qint64 largestLog = 0;
        {
            auto session = openEmbeddedSession(path, login());
            static_cast<EmbeddedSession *>(session.get())->setLogLimitBytes(kBound);
            session->execute(QStringLiteral("Create table \"T\" (\"ID\" number, \"PAD\" varchar2(4000))"));
            for (int b = 0; b < c.batches; ++b) {
                if (c.rows == 0) {
                    session->execute(QStringLiteral("comment on table \"T\" is '%1%2'").arg(pad).arg(b));
                    largestLog = std::max(largestLog, QFileInfo(path + QStringLiteral("-wal")).size());
                    continue;
                }
                OracleRowBatch batch = makeBatch({"ID", "PAD"}, c.rows, [&](int r) {
                    return QVector<OracleValue>{num(b * c.rows + r), OracleValue::text(pad)};
                });
                ASSERT_TRUE(session->insertBatch(QStringLiteral("T"), batch).ok);
                largestLog = std::max(largestLog, QFileInfo(path + QStringLiteral("-wal")).size());
            }
            EXPECT_LE(largestLog, kBound) << "a log of every batch would hold every page";
            EXPECT_GT(largestLog, kBound / 2);
            EXPECT_GT(QFileInfo(path).size(), qint64(c.batches) * c.rows * 3000) << "the pages reached the database file";
            EXPECT_EQ(session->queryCount(QStringLiteral("select count(*) from \"T\"")), c.batches * c.rows);
        }
        const QVector<QVector<OracleValue>> rows = readEmbeddedTable(path, QStringLiteral("SCOTT"), QStringLiteral("T"));
        ASSERT_EQ(rows.size(), c.batches * c.rows);
        if (!rows.isEmpty()) {
            EXPECT_EQ(rows.last().at(1).textValue(), pad);
        }
    }
}

// ------------------------------------------------------------------ SIGKILL

TEST_F(EmbeddedFile, AWriterKilledMidBatchLeavesTheFileWithEveryEarlierBatchAndNoneOfThatOne)
{
    const QString pad(500, QLatin1Char('p'));
    auto row = [&](int r) { return QVector<OracleValue>{num(r), OracleValue::text(pad)}; };
    {
        auto session = openEmbeddedSession(path_, login());
        session->execute(QStringLiteral("Create table \"T\" (\"ID\" number, \"PAD\" varchar2(1000))"));
        session->execute(QStringLiteral("alter table T  add constraint PK_T primary key (id)"));
        for (int b = 0; b < 2; ++b) {
            OracleRowBatch batch = makeBatch({"ID", "PAD"}, 1000, [&](int r) { return row(b * 1000 + r); });
            ASSERT_TRUE(session->insertBatch(QStringLiteral("T"), batch).ok);
        }
    }  // no SQLite connection is open in this process across the fork

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(ready[0]);
        try {
            // 30000 rows of ~500 bytes: far more than SQLite's page cache, so
            // the open transaction has spilled pages into the WAL when the
            // parent kills this process.
            OracleRowBatch batch = makeBatch({"ID", "PAD"}, 30000, [&](int r) { return row(2000 + r); });
            auto session = openEmbeddedSession(path_, login());
            static_cast<EmbeddedSession *>(session.get())->setRowObserver([&](int r) {
                if (r == 25000) {
                    const char c = 'k';
                    if (::write(ready[1], &c, 1) == 1) {
                        for (;;)
                            ::pause();
                    }
                }
            });
            session->insertBatch(QStringLiteral("T"), batch);
        } catch (...) {
        }
        ::_exit(3);  // the parent then reads end of file instead of the byte
    }
    ::close(ready[1]);
    char c = 0;
    const ssize_t n = ::read(ready[0], &c, 1);
    ::close(ready[0]);
    ASSERT_EQ(n, 1) << "the child ended before its batch was under way";
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_TRUE(QFile::exists(path_ + QStringLiteral("-wal")));

    EXPECT_EQ(rawQuery(path_, "PRAGMA integrity_check"), (QVector<QStringList>{{"ok"}}));
    const auto rows = readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T"));
    ASSERT_EQ(rows.size(), 2000);
    for (int i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i][0], num(i));
        ASSERT_EQ(rows[i][1], OracleValue::text(pad));
    }
    // The file takes the batch again.
    auto session = openEmbeddedSession(path_, login());
    ASSERT_TRUE(session->insertBatch(QStringLiteral("T"), makeBatch({"ID", "PAD"}, 10, [&](int r) { return row(2000 + r); })).ok);
    EXPECT_EQ(readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("T")).size(), 2010);
}

TEST(EmbeddedDictionary, KeepsDefaultsIdentityKeysChecksAndComments)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("target.db"));
    OracleLogin login;
    login.user = QStringLiteral("scott");
    auto session = openEmbeddedSession(path, login);
    session->execute(QStringLiteral("create table \"P\" (\"ID\" number(10) generated by default as identity,"
                                    " \"CODE\" varchar2(5) default 'x''y' not null, \"AT\" timestamp(3) default"
                                    " SYSTIMESTAMP, \"S\" varchar2(3), \"SPAN\" interval day(2) to second(0))"));
    session->execute(QStringLiteral("alter table \"P\" add constraint \"PK_P\" primary key (\"ID\")"));
    session->execute(QStringLiteral("alter table \"P\" add constraint \"UQ_CODE\" unique (\"CODE\")"));
    session->execute(QStringLiteral("alter table \"P\" add check (\"S\" in ('a','b'))"));
    session->execute(QStringLiteral("create table \"C\" (\"PID\" number(10))"));
    session->execute(QStringLiteral("alter table \"C\" add constraint \"FK_C_P\" foreign key (\"PID\") references"
                                    " \"P\" on delete cascade"));
    session->execute(QStringLiteral("comment on table \"P\" is 'parents'"));
    session->execute(QStringLiteral("comment on column \"P\".\"CODE\" is 'the code'"));

    EXPECT_EQ(rawQuery(path, "SELECT column_name, data_type, data_precision, data_scale, nullable,"
                             " coalesce(data_default, '<null>'), identity_column FROM tavrex_tab_columns"
                             " WHERE table_name = 'P' ORDER BY column_id"),
              (QVector<QStringList>{{"ID", "NUMBER", "10", "0", "N", "\"SCOTT\".\"ISEQ$$_10001\".nextval", "YES"},
                                    {"CODE", "VARCHAR2", "0", "0", "N", "'x''y'", "NO"},
                                    {"AT", "TIMESTAMP(3)", "0", "3", "Y", "SYSTIMESTAMP", "NO"},
                                    {"S", "VARCHAR2", "0", "0", "Y", "<null>", "NO"},
                                    {"SPAN", "INTERVAL DAY(2) TO SECOND(0)", "2", "0", "Y", "<null>", "NO"}}));
    EXPECT_EQ(rawQuery(path, "SELECT constraint_name, constraint_type, coalesce(r_constraint_name, ''),"
                             " coalesce(search_condition, ''), coalesce(delete_rule, '') FROM tavrex_constraints"
                             " ORDER BY rowid"),
              (QVector<QStringList>{{"PK_P", "P", "", "", ""},
                                    {"UQ_CODE", "U", "", "", ""},
                                    {"SYS_C0010002", "C", "", "\"S\" in ('a','b')", ""},
                                    {"FK_C_P", "R", "PK_P", "", "CASCADE"}}));
    EXPECT_EQ(rawQuery(path, "SELECT index_name, uniqueness FROM tavrex_indexes ORDER BY rowid"),
              (QVector<QStringList>{{"PK_P", "UNIQUE"}, {"UQ_CODE", "UNIQUE"}}));
    EXPECT_EQ(rawQuery(path, "SELECT table_name, comments FROM tavrex_tab_comments"),
              (QVector<QStringList>{{"P", "parents"}}));
    EXPECT_EQ(rawQuery(path, "SELECT table_name, column_name, comments FROM tavrex_col_comments"),
              (QVector<QStringList>{{"P", "CODE", "the code"}}));

    // Dropping the child takes its foreign key; the parent then drops without CASCADE CONSTRAINTS.
    session->execute(QStringLiteral("drop table \"C\""));
    session->execute(QStringLiteral("drop table \"P\""));
    EXPECT_TRUE(rawQuery(path, "SELECT * FROM tavrex_constraints").isEmpty());
    EXPECT_TRUE(rawQuery(path, "SELECT * FROM tavrex_tab_comments").isEmpty());
    EXPECT_TRUE(rawQuery(path, "SELECT * FROM tavrex_tab_identity_cols").isEmpty());
}

} // namespace
} // namespace tavrex
