// Inserts rows of the mixed shape of bench/mysql_read (id, char(36),
// varchar(255), int, decimal(12,2), datetime, text, tinyint(1)) into a fresh
// embedded target through OracleSession::insertBatch, 5000 rows per batch,
// into the table Tavrex would create for that shape; and, in the same run,
// the same rows through a bare prepared SQLite insert in 5000-row
// transactions with the embedded target's journal and synchronous settings
// (WAL, NORMAL). Only the inserts are timed; the rows of each batch are made
// beforehand, in C++, for both. Prints one figure per line: rows/s of both,
// their ratio (target: at least 0.5) and the peak resident memory (VmHWM).
//
// Usage: bench_embedded_insert [rows]   (default 1000000)

#include "connections/embedded/embeddedtarget.h"
#include "engine/core/errors.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace tavrex;

namespace {

constexpr int kBatch = 5000;

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double peakRssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// One generated row, as plain C++ values.
struct Row {
    std::int64_t id;
    std::string uuid;   // 36 characters
    std::string title;  // 20 to 200 characters, some non-ASCII
    std::int64_t qty;
    std::string price;  // decimal(12,2) as text
    OracleDate created;
    std::string body;   // a few hundred bytes of text
    int flag;
};

void makeRow(std::int64_t i, Row &r)
{
    std::uint64_t h = std::uint64_t(i) * 0x9E3779B97F4A7C15ULL;
    char buf[64];
    r.id = i + 1;
    std::snprintf(buf, sizeof buf, "%08llx-%04llx-%04llx-%04llx-%012llx", (unsigned long long)(h >> 32),
                  (unsigned long long)((h >> 16) & 0xffff), (unsigned long long)(h & 0xffff),
                  (unsigned long long)((h >> 48) & 0xffff), (unsigned long long)(i & 0xffffffffffffULL));
    r.uuid.assign(buf, 36);
    r.title.assign("Title ");
    r.title += std::to_string(i);
    if (i % 7 == 0)
        r.title += "\xe4\xb8\xad\xe6\x96\x87";  // two Chinese characters
    r.title.append(size_t(14 + h % 180), 'a' + char(i % 26));
    r.qty = std::int64_t(h % 100000) - 5000;
    std::snprintf(buf, sizeof buf, "%lld.%02lld", (long long)(h % 10000000000ULL), (long long)(i % 100));
    r.price = buf;
    r.created = OracleDate{int(1990 + i % 35), int(1 + i % 12), int(1 + i % 28), int(i % 24), int(i % 60),
                           int((i * 7) % 60)};
    r.body.assign("Body of row ");
    r.body += std::to_string(i);
    r.body.append(size_t(100 + h % 300), 'x');
    r.flag = int(i & 1);
}

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

double throughInterface(const QString &path, std::int64_t rows)
{
    OracleLogin login;
    login.user = QStringLiteral("bench");
    auto session = openEmbeddedSession(path, login);
    // The table Tavrex creates for the shape (numbers unsized,
    // char/varchar kept, datetime as date, text as BLOB).
    session->execute(QStringLiteral(
        "Create table \"MIXED\" (\r\n\"ID\"  number  , \r\n\"UUID\" varchar2(36)  , \r\n\"TITLE\" varchar2(255)  , "
        "\r\n\"QTY\"  number  , \r\n\"PRICE\"  number  , \r\n\"CREATED\"  date  , \r\n\"BODY\" BLOB  , "
        "\r\n\"FLAG\"  number  ) "));
    const QVector<OracleColumn> columns = session->describe(QStringLiteral("select * from \"MIXED\" where 1=0"));
    double busy = 0;
    Row r;
    OracleRowBatch batch(columns);
    for (std::int64_t done = 0; done < rows;) {
        batch.clear();
        const std::int64_t n = std::min<std::int64_t>(kBatch, rows - done);
        for (std::int64_t k = 0; k < n; ++k) {
            makeRow(done + k, r);
            const int at = batch.appendRow();
            batch.at(at, 0) = OracleValue::number(QString::number(r.id));
            batch.at(at, 1) = OracleValue::text(QString::fromLatin1(r.uuid.data(), qsizetype(r.uuid.size())));
            batch.at(at, 2) = OracleValue::text(QString::fromUtf8(r.title.data(), qsizetype(r.title.size())));
            batch.at(at, 3) = OracleValue::number(QString::number(r.qty));
            batch.at(at, 4) = OracleValue::number(QString::fromLatin1(r.price.data(), qsizetype(r.price.size())));
            batch.at(at, 5) = OracleValue::date(r.created);
            batch.at(at, 6) = OracleValue::text(QString::fromUtf8(r.body.data(), qsizetype(r.body.size())));
            batch.at(at, 7) = OracleValue::number(QString::number(r.flag));
        }
        const auto start = std::chrono::steady_clock::now();
        const BatchResult res = session->insertBatch(QStringLiteral("MIXED"), batch);
        busy += seconds(start);
        if (!res.ok) {
            std::fprintf(stderr, "row %d rejected: %s\n", res.rejectedRow, res.message.toUtf8().constData());
            std::exit(1);
        }
        done += n;
    }
    return double(rows) / busy;
}

double bareSqlite(const QString &path, std::int64_t rows)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open(QFile::encodeName(path).constData(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                           "CREATE TABLE mixed (id, uuid, title, qty, price, created, body, flag)",
                       nullptr, nullptr, nullptr),
          db, "setup");
    sqlite3_stmt *st = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO mixed VALUES (?,?,?,?,?,?,?,?)", -1, &st, nullptr), db, "prepare");
    double busy = 0;
    std::vector<Row> batch(kBatch);
    std::vector<std::string> dates(kBatch);
    for (std::int64_t done = 0; done < rows;) {
        const std::int64_t n = std::min<std::int64_t>(kBatch, rows - done);
        for (std::int64_t k = 0; k < n; ++k) {
            makeRow(done + k, batch[size_t(k)]);
            const OracleDate &d = batch[size_t(k)].created;
            char buf[32];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                          d.second);
            dates[size_t(k)] = buf;
        }
        const auto start = std::chrono::steady_clock::now();
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
        for (std::int64_t k = 0; k < n; ++k) {
            const Row &r = batch[size_t(k)];
            sqlite3_bind_int64(st, 1, r.id);
            sqlite3_bind_text(st, 2, r.uuid.data(), int(r.uuid.size()), SQLITE_STATIC);
            sqlite3_bind_text(st, 3, r.title.data(), int(r.title.size()), SQLITE_STATIC);
            sqlite3_bind_int64(st, 4, r.qty);
            sqlite3_bind_text(st, 5, r.price.data(), int(r.price.size()), SQLITE_STATIC);
            sqlite3_bind_text(st, 6, dates[size_t(k)].data(), int(dates[size_t(k)].size()), SQLITE_STATIC);
            sqlite3_bind_blob(st, 7, r.body.data(), int(r.body.size()), SQLITE_STATIC);
            sqlite3_bind_int(st, 8, r.flag);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
        busy += seconds(start);
        done += n;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return double(rows) / busy;
}

} // namespace

int main(int argc, char **argv)
{
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    try {
        const double tavrex = throughInterface(dir.filePath(QStringLiteral("embedded.db")), rows);
        const double bare = bareSqlite(dir.filePath(QStringLiteral("bare.db")), rows);
        std::printf("embedded_insert_rows_per_s %.0f\n", tavrex);
        std::printf("bare_sqlite_rows_per_s %.0f\n", bare);
        std::printf("ratio_embedded_to_bare %.2f\n", tavrex / bare);
        std::printf("peak_rss_mib %.1f\n", peakRssMiB());
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
