// Reads the mixed-type table through MySqlConnection (every value of every
// row taken as a typed value) and, in the same run, through a bare
// mysql_use_result loop; prints rows/s of both, their ratio, and the peak
// resident memory of a reader child for 100,000 and 1,000,000 rows.

#include "bench/benchsupport.h"
#include "connections/mysql/mysqlclient.h"

#include <QCoreApplication>

#include <mysql.h>

#include <cstdio>
#include <memory>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

const QString kDatabase = QStringLiteral("tvx_bench");

double readThroughTavrex(const QString &table, std::int64_t *rowsOut = nullptr)
{
    MySqlConnection c;
    c.params() = sandboxParams(kDatabase);
    c.connect();
    const auto start = std::chrono::steady_clock::now();
    auto result = c.query(QStringLiteral("select * from `%1`").arg(table));
    std::int64_t rows = 0;
    std::size_t checksum = 0;
    const int n = result->fieldCount();
    while (result->next()) {
        ++rows;
        for (int i = 0; i < n; ++i) {
            const MySqlValue v = result->value(i);
            checksum += std::size_t(v.text.size()) + std::size_t(v.bytes.size()) + std::size_t(v.integer);
        }
    }
    const double s = seconds(start);
    if (rowsOut)
        *rowsOut = rows;
    if (checksum == 0)
        std::fprintf(stderr, "empty read\n");
    return double(rows) / s;
}

double readBare(const QString &table)
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    mysql_options(db.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = kDatabase.toUtf8();
    if (!mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(), name.constData(), 0,
                            nullptr, 0))
        return -1;
    const auto start = std::chrono::steady_clock::now();
    const QByteArray sql = QStringLiteral("select * from `%1`").arg(table).toUtf8();
    if (mysql_real_query(db.get(), sql.constData(), sql.size()) != 0)
        return -1;
    MYSQL_RES *res = mysql_use_result(db.get());
    const unsigned n = mysql_num_fields(res);
    std::int64_t rows = 0;
    std::size_t checksum = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i)
            checksum += row[i] ? lengths[i] : 0;
        ++rows;
    }
    mysql_free_result(res);
    const double sec = seconds(start);
    if (checksum == 0)
        std::fprintf(stderr, "empty read\n");
    return double(rows) / sec;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ensureMixedTable(kDatabase, QStringLiteral("mixed_100k"), 100000);
    ensureMixedTable(kDatabase, QStringLiteral("mixed_1m"), 1000000);

    // Warm the server's buffer pool so that both readers see the same cache.
    readBare(QStringLiteral("mixed_1m"));
    double bare = 0, ours = 0;
    for (int round = 0; round < 2; ++round) {  // the better of two rounds each
        bare = std::max(bare, readBare(QStringLiteral("mixed_1m")));
        ours = std::max(ours, readThroughTavrex(QStringLiteral("mixed_1m")));
    }
    std::printf("mysql_read bare libmariadb rows/s: %.0f\n", bare);
    std::printf("mysql_read MySqlConnection rows/s: %.0f\n", ours);
    std::printf("mysql_read ratio MySqlConnection/bare: %.3f (target >= 0.8)\n", ours / bare);

    const double rss100k = peakRssOfChild([] { return std::vector<double>{readThroughTavrex(QStringLiteral("mixed_100k"))}; });
    const double rss1m = peakRssOfChild([] { return std::vector<double>{readThroughTavrex(QStringLiteral("mixed_1m"))}; });
    std::printf("mysql_read peak RSS MiB, 100,000 rows: %.1f\n", rss100k);
    std::printf("mysql_read peak RSS MiB, 1,000,000 rows: %.1f\n", rss1m);
    return 0;
}
