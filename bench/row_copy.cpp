// Row copy against a bare pipe, measured so that the figure can be trusted.
//
// Tables in the throwaway MariaDB: 100,000 and 1,000,000 mixed-type rows,
// 2,000 rows of 64 KiB BLOBs, and 120 rows of 15 MiB LONGBLOBs. The bare pipe
// uses no Tavrex code: mysql_use_result rows bound straight into a prepared
// SQLite insert, 5000 rows per transaction, with the embedded target's
// journal and synchronous settings.
//
// Per table, Tavrex (the real run into a fresh embedded target) and the bare
// pipe run alternately, TAVREX_BENCH_REPEAT times each (5 unless set), every
// run in a child process of its own so that its peak resident memory is its
// own; the figures are medians with their min-max, so that one run disturbed
// by the machine does not make the figure. With the Oracle client library
// adapter on its test double (tests/support/ocidouble, loaded through
// TAVREX_OCI_LIBRARY), the adapter path runs in the same alternation; its
// difference to the embedded direct path is the adapter's own cost per row
// (bind buffers, array executes) plus the double's reading of them.
//
// The 15 MiB LONGBLOB table runs once per path: it shows that memory stays
// bounded by the batch byte cap and that every row arrives whole (each row's
// MD5 in the target against the server's).
//
// One row of one 200 MiB LONGBLOB (TAVREX_BENCH_ONLY=onelob; the server's
// max_allowed_packet must hold it): the peak resident memory of the whole
// process that copies it into the embedded target, against the value's size,
// alternated with the bare pipe, TAVREX_BENCH_REPEAT times each.
//
// Last, the whole process: the real executable `tavrex --no-window JOB.qelt`
// on the 1,000,000-row table with its primary key and indexes, against the
// bare pipe into a table with the same primary key, alternated, medians of
// wall time and CPU time.

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <mysql.h>
#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

const QString kDatabase = QStringLiteral("tvx_bench");
constexpr int kLobRows = 120;
constexpr int kLobBytes = 15 * 1024 * 1024;
constexpr qint64 kOneLobBytes = qint64(200) * 1024 * 1024;

int repeats()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TAVREX_BENCH_REPEAT", &ok);
    return ok && n > 0 ? n : 5;
}

// One run of one path.
struct Run {
    double seconds = 0;
    double gapMs = 0;  // longest time between two pumps (Tavrex only)
    double rssMiB = 0;
    double cpuSeconds = 0;  // whole process only
};

// Median and range of a series.
template <typename F>
std::vector<double> field(const std::vector<Run> &runs, F f)
{
    std::vector<double> out;
    for (const Run &r : runs)
        out.push_back(f(r));
    return out;
}

std::unique_ptr<MYSQL, void (*)(MYSQL *)> connectSource()
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    mysql_options(db.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = kDatabase.toUtf8();
    if (!mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(), name.constData(), 0,
                            nullptr, 0)) {
        std::fprintf(stderr, "connect: %s\n", mysql_error(db.get()));
        std::exit(2);
    }
    return db;
}

// The payload size of a table as the server sends it (for MB/s).
double tableBytes(const QString &table)
{
    auto db = connectSource();
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

TConversionSettings settingsFor(const QString &table, const QString &service)
{
    return conversionSettings(kDatabase, {table}, service);
}

// The real run in this process: seconds and the longest pump gap.
std::vector<double> tavrexInProcess(const QString &table, const QString &service)
{
    const TConversionSettings s = settingsFor(table, service);
    DatabaseObjects db;
    db.mysqlconnect.params() = mysqlCatalogueProfile(s);
    db.mysqlconnect.connect();
    step3Click(db, s);
    TRunLog log;
    RunControl control;
    double gap = 0;
    auto last = std::chrono::steady_clock::now();
    // Both kinds of pump, as the window sets them.
    auto pump = [&] {
        const auto now = std::chrono::steady_clock::now();
        gap = std::max(gap, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    };
    control.setPump(pump);
    control.setResponsivePump(pump);
    QTemporaryDir logs;
    ConversionRun run(db, s, log, control);
    run.setLogFolder(logs.path() + QLatin1Char('/'));
    const auto start = std::chrono::steady_clock::now();
    last = start;
    run.run();
    // The gap from the last pump to the end of the run counts too.
    gap = std::max(gap, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - last).count());
    // Closing the target finishes its work (the last checkpoint of its log),
    // as the bare pipe's close inside its own timing does; the run is over
    // then, so it is no pump gap.
    db.oracleconn.close();
    const double sec = seconds(start);
    // Anything but the step lines means the figures are not of a clean copy.
    for (const QString &line : log.lines())
        if (line.startsWith(QLatin1String("ORA-")) || line.endsWith(QLatin1String("Field")) ||
            line.startsWith(QLatin1String("Problem")))
            std::fprintf(stderr, "log: %s\n", qPrintable(line));
    return {sec, gap};
}

// A plain path as the service name goes through the client library adapter.
Run tavrex(const QString &table, const QString &targetFile, bool throughAdapter)
{
    QFile::remove(targetFile);
    const QString service = throughAdapter ? targetFile : QStringLiteral("embedded:") + targetFile;
    std::vector<double> figures;
    Run r;
    r.rssMiB = peakRssOfChild([&] { return tavrexInProcess(table, service); }, &figures);
    r.seconds = figures.at(0);
    r.gapMs = figures.at(1);
    return r;
}

// The bare pipe in this process; withKey: the first column is the primary key.
double baselineInProcess(const QString &table, const QString &targetFile, bool withKey)
{
    auto my = connectSource();
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
        if (i == 0 && withKey)
            create += QStringLiteral(" primary key");
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
    sqlite3_close(lite);
    return seconds(start);
}

Run baseline(const QString &table, const QString &targetFile, bool withKey = false)
{
    QFile::remove(targetFile);
    QFile::remove(targetFile + QStringLiteral("-wal"));
    QFile::remove(targetFile + QStringLiteral("-shm"));
    std::vector<double> figures;
    Run r;
    r.rssMiB = peakRssOfChild([&] { return std::vector<double>{baselineInProcess(table, targetFile, withKey)}; },
                              &figures);
    r.seconds = figures.at(0);
    return r;
}

void ensureBlobTable()
{
    exec({QStringLiteral("create table if not exists blobs (id int primary key, data longblob)")}, kDatabase);
    exec({QStringLiteral("insert ignore into blobs select seq, repeat(unhex(sha2(seq, 256)), 2048) "
                         "from seq_1_to_2000")},
         kDatabase);
}

void ensureLobTable()
{
    exec({QStringLiteral("create table if not exists lobs (id int primary key, data longblob)")}, kDatabase);
    // Ten rows per statement keeps each transaction small for the server.
    for (int first = 1; first <= kLobRows; first += 10)
        exec({QStringLiteral("insert ignore into lobs select seq, repeat(unhex(sha2(seq, 256)), %1) "
                             "from seq_%2_to_%3")
                  .arg(kLobBytes / 32)
                  .arg(first)
                  .arg(first + 9)},
             kDatabase);
}

const char *name(const QString &table)
{
    static QByteArray keep;
    keep = table.toUtf8();
    return keep.constData();
}

void printPath(const QString &table, const char *path, const std::vector<Run> &runs, std::int64_t rows, double bytes)
{
    const Spread t = spread(field(runs, [](const Run &r) { return r.seconds; }));
    const Spread rss = spread(field(runs, [](const Run &r) { return r.rssMiB; }));
    std::printf("row_copy %s %s rows/s: %.0f  MB/s: %.1f  (median of %zu, %.2f-%.2f s)\n", name(table), path,
                rows / t.median, bytes / t.median / 1e6, runs.size(), t.min, t.max);
    std::printf("row_copy %s %s peak RSS MiB: %.1f (max %.1f)\n", name(table), path, rss.median, rss.max);
}

void printGap(const QString &table, const char *path, const std::vector<Run> &runs)
{
    const Spread gap = spread(field(runs, [](const Run &r) { return r.gapMs; }));
    std::printf("row_copy %s %s longest pump gap ms: %.1f (median %.1f)\n", name(table), path, gap.max, gap.median);
}

// Per-run ratios a/b of alternated runs: median and range.
void printRatio(const QString &table, const char *what, const std::vector<Run> &a, const std::vector<Run> &b,
                const char *target)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(a[i].seconds / b[i].seconds);
    const Spread r = spread(ratios);
    std::printf("row_copy %s ratio %s time: %.2f (median of %zu, %.2f-%.2f; target %s)\n", name(table), what,
                r.median, ratios.size(), r.min, r.max, target);
    std::fflush(stdout);
}

void report(const QString &table, std::int64_t rows, bool withAdapter, const char *target)
{
    QTemporaryDir dir;
    const double bytes = tableBytes(table);
    std::vector<Run> base, direct, adapter;
    for (int i = 0; i < repeats(); ++i) {
        base.push_back(baseline(table, dir.filePath(QStringLiteral("baseline.db"))));
        direct.push_back(tavrex(table, dir.filePath(QStringLiteral("tavrex.db")), false));
        if (withAdapter)
            adapter.push_back(tavrex(table, dir.filePath(QStringLiteral("adapter.db")), true));
    }
    printPath(table, "baseline", base, rows, bytes);
    printPath(table, "tavrex", direct, rows, bytes);
    printGap(table, "tavrex", direct);
    printRatio(table, "tavrex/baseline", direct, base, target);
    if (!withAdapter)
        return;
    printPath(table, "OCI adapter on its test double", adapter, rows, bytes);
    printGap(table, "OCI adapter", adapter);
    printRatio(table, "OCI adapter/embedded direct", adapter, direct, "<= 1.3");
    const double perRow = (spread(field(adapter, [](const Run &r) { return r.seconds; })).median -
                           spread(field(direct, [](const Run &r) { return r.seconds; })).median) /
                          double(rows) * 1e6;
    std::printf("row_copy %s OCI adapter cost per row us: %.2f\n", name(table), perRow);
}

// The MD5 of every row's bytes, by id: the server's, and the target's.
QHash<int, QByteArray> sourceDigests(const QString &table)
{
    QHash<int, QByteArray> out;
    auto db = connectSource();
    const QByteArray sql = QStringLiteral("select id, md5(data) from `%1`").arg(table).toUtf8();
    mysql_real_query(db.get(), sql.constData(), sql.size());
    MYSQL_RES *res = mysql_use_result(db.get());
    while (MYSQL_ROW row = mysql_fetch_row(res))
        out.insert(std::atoi(row[0]), QByteArray(row[1]));
    mysql_free_result(res);
    return out;
}

QHash<int, QByteArray> targetDigests(const QString &file, const QString &table)
{
    QHash<int, QByteArray> out;
    sqlite3 *lite = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &lite, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("select \"ID\", \"DATA\" from \"BENCH.%1\"").arg(table.toUpper()).toUtf8();
    sqlite3_prepare_v2(lite, sql.constData(), -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, 1));
        const int size = sqlite3_column_bytes(stmt, 1);
        out.insert(std::atoi(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))),
                   QCryptographicHash::hash(QByteArrayView(data, size), QCryptographicHash::Md5).toHex());
    }
    sqlite3_finalize(stmt);
    sqlite3_close(lite);
    return out;
}

void reportLobs(bool withAdapter)
{
    QTemporaryDir dir;
    const QString table = QStringLiteral("lobs");
    const double bytes = double(kLobRows) * kLobBytes;
    const QHash<int, QByteArray> expected = sourceDigests(table);
    const std::vector<Run> base{baseline(table, dir.filePath(QStringLiteral("baseline.db")))};
    printPath(table, "baseline", base, kLobRows, bytes);
    struct Path {
        const char *name;
        bool adapter;
    } paths[] = {{"tavrex", false}, {"OCI adapter", true}};
    for (const Path &p : paths) {
        if (p.adapter && !withAdapter)
            continue;
        const QString file = dir.filePath(QString::fromLatin1(p.name).replace(' ', '_') + QStringLiteral(".db"));
        const std::vector<Run> runs{tavrex(table, file, p.adapter)};
        printPath(table, p.name, runs, kLobRows, bytes);
        printGap(table, p.name, runs);
        const QHash<int, QByteArray> got = targetDigests(file, table);
        int whole = 0;
        for (auto it = expected.begin(); it != expected.end(); ++it)
            whole += got.value(it.key()) == it.value() ? 1 : 0;
        std::printf("row_copy %s %s rows whole: %d of %d (peak RSS target < 300 MiB)\n", name(table), p.name, whole,
                    int(expected.size()));
        QFile::remove(file);
    }
}

void ensureOneLobTable()
{
    // MyISAM: InnoDB refuses the BLOB data of one transaction beyond a part
    // of its redo log.
    exec({QStringLiteral("create table if not exists onelob (id int primary key, data longblob) engine=MyISAM"),
          QStringLiteral("insert ignore into onelob select 1, repeat(unhex(sha2(1, 256)), %1)").arg(kOneLobBytes / 32)},
         kDatabase);
}

void reportOneLob()
{
    ensureOneLobTable();
    QTemporaryDir dir;
    const QString table = QStringLiteral("onelob");
    const QHash<int, QByteArray> expected = sourceDigests(table);
    if (expected.size() != 1) {
        std::printf("row_copy onelob: the table does not hold its row (max_allowed_packet too small?)\n");
        return;
    }
    const QString file = dir.filePath(QStringLiteral("tavrex.db"));
    std::vector<Run> base, direct;
    bool whole = true;
    for (int i = 0; i < repeats(); ++i) {
        base.push_back(baseline(table, dir.filePath(QStringLiteral("baseline.db"))));
        direct.push_back(tavrex(table, file, false));
        whole = whole && targetDigests(file, table) == expected;
    }
    const double value = double(kOneLobBytes) / 1048576.0;
    printPath(table, "baseline", base, 1, double(kOneLobBytes));
    printPath(table, "tavrex", direct, 1, double(kOneLobBytes));
    const Spread rss = spread(field(direct, [](const Run &r) { return r.rssMiB; }));
    std::printf("row_copy onelob tavrex peak RSS / value: %.2f (max %.2f; value %.0f MiB, %.0f MB; target < 450 MB "
                "peak: %.0f MB)\n",
                rss.median / value, rss.max / value, value, double(kOneLobBytes) / 1e6, rss.max * 1.048576);
    std::printf("row_copy onelob tavrex value whole in every run: %s\n", whole ? "yes" : "NO");
    std::fflush(stdout);
}

// Waits for a child process started at `start`: wall time, CPU time and
// peak memory from wait4.
Run waitForChild(pid_t pid, std::chrono::steady_clock::time_point start, int *status)
{
    rusage ru{};
    wait4(pid, status, 0, &ru);
    Run r;
    r.seconds = seconds(start);
    r.cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.rssMiB = double(ru.ru_maxrss) / 1024.0;
    return r;
}

// The real executable on a settings file, in a child process: wall time, CPU
// time and peak memory from wait4.
Run wholeTavrex(const QString &jobFile, const QString &targetFile)
{
    QFile::remove(targetFile);
    const QByteArray exe = TAVREX_APP, job = jobFile.toUtf8();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (FILE *devnull = std::fopen("/dev/null", "w"))
            dup2(fileno(devnull), 1);
        execl(exe.constData(), exe.constData(), "--no-window", job.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    const Run r = waitForChild(pid, start, &status);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "tavrex --no-window exited with %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return r;
}

// The bare pipe as a process of its own (forked, so it pays no start-up of a
// Qt program): wall and CPU time from wait4.
Run wholeBaseline(const QString &table, const QString &targetFile)
{
    QFile::remove(targetFile);
    QFile::remove(targetFile + QStringLiteral("-wal"));
    QFile::remove(targetFile + QStringLiteral("-shm"));
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        baselineInProcess(table, targetFile, true);
        _exit(0);
    }
    int status = 0;
    return waitForChild(pid, start, &status);
}

void reportWholeProcess(const QString &table)
{
    QTemporaryDir dir;
    const Sandbox &sb = sandbox();
    const QString target = dir.filePath(QStringLiteral("whole.db"));
    const QString job = dir.filePath(QStringLiteral("job.qelt"));
    QFile f(job);
    if (!f.open(QIODevice::WriteOnly))
        return;
    const QStringList lines{
        QStringLiteral("accessmode=0"), QStringLiteral("mysqldatabase=") + kDatabase,
        QStringLiteral("port=") + sb.port, QStringLiteral("mysqlu=") + sb.user,
        QStringLiteral("mysqlp=") + sb.password, QStringLiteral("host="),
        QStringLiteral("oracleh=embedded:") + target, QStringLiteral("oracleu=bench"), QStringLiteral("oraclep=bench"),
        QStringLiteral("processtable=0"), QStringLiteral("character_set=Default"), QStringLiteral("tabledefonly=0"),
        QStringLiteral("skipindex=0"), QStringLiteral("nameuppercase=1"), QStringLiteral("blobtotext=0"),
        QStringLiteral("alltables=0"), QStringLiteral("tables1=") + table};
    f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    std::vector<Run> base, whole;
    for (int i = 0; i < repeats(); ++i) {
        base.push_back(wholeBaseline(table, dir.filePath(QStringLiteral("baseline.db"))));
        whole.push_back(wholeTavrex(job, target));
    }
    const Spread bt = spread(field(base, [](const Run &r) { return r.seconds; }));
    const Spread wt = spread(field(whole, [](const Run &r) { return r.seconds; }));
    const Spread bc = spread(field(base, [](const Run &r) { return r.cpuSeconds; }));
    const Spread wc = spread(field(whole, [](const Run &r) { return r.cpuSeconds; }));
    const Spread wr = spread(field(whole, [](const Run &r) { return r.rssMiB; }));
    std::printf("row_copy whole process %s baseline with primary key: %.2f s (%.2f-%.2f), CPU %.2f s\n", name(table),
                bt.median, bt.min, bt.max, bc.median);
    std::printf("row_copy whole process %s tavrex --no-window, key and indexes: %.2f s (%.2f-%.2f), CPU %.2f s, "
                "peak RSS MiB %.1f\n",
                name(table), wt.median, wt.min, wt.max, wc.median, wr.median);
    printRatio(QStringLiteral("whole process ") + table, "tavrex/baseline", whole, base, "<= 1.5");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
#ifdef TAVREX_OCI_DOUBLE
    const bool withAdapter = ociAdapterAvailable(TAVREX_OCI_DOUBLE);
#else
    const bool withAdapter = ociAdapterAvailable(nullptr);
#endif
    if (!withAdapter)
        std::fprintf(stderr, "No OCI test double in this build (tests off) and TAVREX_OCI_LIBRARY unset: the "
                             "adapter figures are left out.\n");
    // TAVREX_BENCH_ONLY=name limits the run to one case while working on it.
    const QString only = qEnvironmentVariable("TAVREX_BENCH_ONLY");
    auto wanted = [&](const char *n) { return only.isEmpty() || only == QLatin1String(n); };
    ensureMixedTable(kDatabase, QStringLiteral("mixed_100k"), 100000);
    ensureMixedTable(kDatabase, QStringLiteral("mixed_1m"), 1000000);
    ensureBlobTable();
    std::printf("row_copy runs per path: %d, alternated (medians; the machine's other load shows in the ranges)\n",
                repeats());
    std::fflush(stdout);
    if (wanted("mixed_100k"))
        report(QStringLiteral("mixed_100k"), 100000, withAdapter, "<= 1.1");
    if (wanted("mixed_1m"))
        report(QStringLiteral("mixed_1m"), 1000000, withAdapter, "<= 1.1");
    if (wanted("blobs"))
        report(QStringLiteral("blobs"), 2000, withAdapter, "<= 1.0");
    std::fflush(stdout);
    if (wanted("lobs")) {
        ensureLobTable();
        reportLobs(withAdapter);
    }
    std::fflush(stdout);
    if (wanted("whole"))
        reportWholeProcess(QStringLiteral("mixed_1m"));
    if (wanted("onelob"))
        reportOneLob();
    return 0;
}
