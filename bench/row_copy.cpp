// Converts a 1,000,000-row mixed-type table and a table of 2,000 rows of
// 64 KiB BLOBs from the throwaway MariaDB into a fresh embedded target
// through the real run, and in the same run measures a bare pipe without any
// Tavrex code: mysql_use_result rows bound straight into a prepared SQLite
// insert, 5000 rows per transaction, with the embedded target's journal and
// synchronous settings. Prints rows/s and MB/s of both, the ratio, Tavrex's
// peak resident memory (100,000 and 1,000,000 rows) and the longest gap
// between two pump calls.
//
// Then the same run once more through the Oracle client library adapter on
// its test double (tests/support/ocidouble, loaded through
// TAVREX_OCI_LIBRARY): the difference to the embedded direct path is the
// adapter's own cost per row (bind buffers, array executes) plus the double's
// reading of them, which a real client library does in its own way.

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <mysql.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

const QString kDatabase = QStringLiteral("tvx_bench");

struct Figures {
    double seconds = 0;
    double maxPumpGapMs = 0;
    double bytes = 0;
};

// The payload size of a table as the server sends it (for MB/s).
double tableBytes(const QString &table)
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = kDatabase.toUtf8();
    mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(), name.constData(), 0, nullptr, 0);
    const QByteArray sql = QStringLiteral("select * from `%1`").arg(table).toUtf8();
    mysql_real_query(db.get(), sql.constData(), sql.size());
    MYSQL_RES *res = mysql_use_result(db.get());
    const unsigned n = mysql_num_fields(res);
    double bytes = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i)
            bytes += row[i] ? double(lengths[i]) : 0;
    }
    mysql_free_result(res);
    return bytes;
}

// A plain path as the service name goes through the client library adapter.
Figures runTavrex(const QString &table, const QString &targetFile, bool throughAdapter)
{
    TConversionSettings s;
    const Sandbox &sb = sandbox();
    s.AccessMode = 0;
    s.Port = sb.port;
    s.MySqlUser = sb.user;
    s.MySqlPassword = sb.password;
    s.ConnectDatabase = kDatabase;
    s.SourceDatabase = kDatabase;
    s.OracleService = throughAdapter ? targetFile : QStringLiteral("embedded:") + targetFile;
    s.OracleUser = QStringLiteral("bench");
    s.SelectedTables = {table};
    s.SkipIndexes = true;

    DatabaseObjects db;
    db.mysqlconnect.params() = mysqlCatalogueProfile(s);
    db.mysqlconnect.connect();
    step3Click(db, s);
    TRunLog log;
    RunControl control;
    Figures f;
    auto last = std::chrono::steady_clock::now();
    control.setPump([&] {
        const auto now = std::chrono::steady_clock::now();
        f.maxPumpGapMs = std::max(f.maxPumpGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    QTemporaryDir logs;
    ConversionRun run(db, s, log, control);
    run.setLogFolder(logs.path() + QLatin1Char('/'));
    const auto start = std::chrono::steady_clock::now();
    last = start;
    run.run();
    f.seconds = seconds(start);
    // Anything but the step lines means the figures are not of a clean copy.
    for (const QString &line : log.lines())
        if (line.startsWith(QLatin1String("ORA-")) || line.endsWith(QLatin1String("Field")))
            std::fprintf(stderr, "log: %s\n", qPrintable(line));
    return f;
}

double runBaseline(const QString &table, const QString &targetFile)
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> my(mysql_init(nullptr), mysql_close);
    mysql_options(my.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = kDatabase.toUtf8();
    if (!mysql_real_connect(my.get(), "localhost", user.constData(), password.constData(), name.constData(), 0,
                            nullptr, 0))
        return -1;
    sqlite3 *lite = nullptr;
    sqlite3_open(targetFile.toUtf8().constData(), &lite);
    sqlite3_exec(lite, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(lite, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);

    const auto start = std::chrono::steady_clock::now();
    const QByteArray sql = QStringLiteral("select * from `%1`").arg(table).toUtf8();
    mysql_real_query(my.get(), sql.constData(), sql.size());
    MYSQL_RES *res = mysql_use_result(my.get());
    const unsigned n = mysql_num_fields(res);
    QString create = QStringLiteral("create table t (");
    QString insert = QStringLiteral("insert into t values (");
    for (unsigned i = 0; i < n; ++i) {
        create += (i ? QStringLiteral(", c") : QStringLiteral("c")) + QString::number(i);
        insert += i ? QStringLiteral(", ?") : QStringLiteral("?");
    }
    sqlite3_exec(lite, (create + QLatin1Char(')')).toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(lite, (insert + QLatin1Char(')')).toUtf8().constData(), -1, &stmt, nullptr);
    MYSQL_FIELD *fields = mysql_fetch_fields(res);
    std::int64_t rows = 0;
    sqlite3_exec(lite, "BEGIN", nullptr, nullptr, nullptr);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i) {
            if (!row[i])
                sqlite3_bind_null(stmt, int(i + 1));
            else if (fields[i].charsetnr == 63 && fields[i].type >= MYSQL_TYPE_TINY_BLOB)
                sqlite3_bind_blob(stmt, int(i + 1), row[i], int(lengths[i]), SQLITE_STATIC);
            else
                sqlite3_bind_text(stmt, int(i + 1), row[i], int(lengths[i]), SQLITE_STATIC);
        }
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (++rows % 5000 == 0) {
            sqlite3_exec(lite, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_exec(lite, "BEGIN", nullptr, nullptr, nullptr);
        }
    }
    sqlite3_exec(lite, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(stmt);
    mysql_free_result(res);
    const double sec = seconds(start);
    sqlite3_close(lite);
    return sec;
}

void ensureBlobTable()
{
    exec({QStringLiteral("create table if not exists blobs (id int primary key, data longblob)")}, kDatabase);
    exec({QStringLiteral("insert ignore into blobs select seq, repeat(unhex(sha2(seq, 256)), 2048) "
                         "from seq_1_to_2000")},
         kDatabase);
}

void report(const QString &table, std::int64_t rows, bool withAdapter)
{
    QTemporaryDir dir;
    const double bytes = tableBytes(table);
    const double base = runBaseline(table, dir.filePath(QStringLiteral("baseline.db")));
    auto measure = [&](const QString &file, bool throughAdapter, double *rss) {
        std::vector<double> figures;
        *rss = peakRssOfChild(
            [&] {
                const Figures f = runTavrex(table, dir.filePath(file), throughAdapter);
                return std::vector<double>{f.seconds, f.maxPumpGapMs};
            },
            &figures);
        return figures;
    };
    double rss = 0;
    const std::vector<double> figures = measure(QStringLiteral("tavrex.db"), false, &rss);
    const double tavrexSeconds = figures.at(0);
    const double gap = figures.at(1);
    const QByteArray name = table.toUtf8();
    const char *t = name.constData();
    std::printf("row_copy %s baseline rows/s: %.0f  MB/s: %.1f\n", t, rows / base, bytes / base / 1e6);
    std::printf("row_copy %s tavrex rows/s: %.0f  MB/s: %.1f\n", t, rows / tavrexSeconds, bytes / tavrexSeconds / 1e6);
    std::printf("row_copy %s ratio tavrex/baseline time: %.2f (target <= 1.5)\n", t, tavrexSeconds / base);
    std::printf("row_copy %s tavrex peak RSS MiB: %.1f (target < 150)\n", t, rss);
    std::printf("row_copy %s longest pump gap ms: %.1f (target < 100)\n", t, gap);
    if (!withAdapter)
        return;
    double adapterRss = 0;
    const std::vector<double> adapter = measure(QStringLiteral("adapter.db"), true, &adapterRss);
    const double adapterSeconds = adapter.at(0);
    std::printf("row_copy %s OCI adapter on its test double rows/s: %.0f  MB/s: %.1f\n", t, rows / adapterSeconds,
                bytes / adapterSeconds / 1e6);
    std::printf("row_copy %s ratio OCI adapter/embedded direct time: %.2f\n", t, adapterSeconds / tavrexSeconds);
    std::printf("row_copy %s OCI adapter cost per row us: %.2f\n", t,
                (adapterSeconds - tavrexSeconds) / double(rows) * 1e6);
    std::printf("row_copy %s OCI adapter peak RSS MiB: %.1f\n", t, adapterRss);
    std::printf("row_copy %s OCI adapter longest pump gap ms: %.1f\n", t, adapter.at(1));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool withAdapter = qEnvironmentVariableIsSet("TAVREX_OCI_LIBRARY");
#ifdef TAVREX_OCI_DOUBLE
    if (!withAdapter) {
        qputenv("TAVREX_OCI_LIBRARY", TAVREX_OCI_DOUBLE);
        withAdapter = true;
    }
#endif
    if (!withAdapter)
        std::fprintf(stderr, "No OCI test double in this build (tests off) and TAVREX_OCI_LIBRARY unset: the "
                             "adapter figures are left out.\n");
    ensureMixedTable(kDatabase, QStringLiteral("mixed_100k"), 100000);
    ensureMixedTable(kDatabase, QStringLiteral("mixed_1m"), 1000000);
    ensureBlobTable();
    report(QStringLiteral("mixed_100k"), 100000, withAdapter);
    report(QStringLiteral("mixed_1m"), 1000000, withAdapter);
    report(QStringLiteral("blobs"), 2000, withAdapter);
    return 0;
}
