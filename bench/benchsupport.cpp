#include "bench/benchsupport.h"

#include "connections/profiles.h"
#include "engine/conversionrun.h"

#include <QFile>
#include <QTemporaryDir>

#include <mysql.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tavrex::bench {

const Sandbox &sandbox()
{
    static const Sandbox s = [] {
        Sandbox s;
        s.socket = qEnvironmentVariable("MYSQL_UNIX_PORT");
        s.port = qEnvironmentVariable("TAVREX_MYSQL_PORT");
        s.user = qEnvironmentVariable("TAVREX_MYSQL_USER");
        s.password = qEnvironmentVariable("TAVREX_MYSQL_PASSWORD");
        if (s.socket.isEmpty() || s.user.isEmpty()) {
            std::fprintf(stderr, "No throwaway MariaDB: run through scripts/bench, or eval the exports of "
                                 "scripts/mariadb-sandbox start DIR first.\n");
            std::exit(2);
        }
        return s;
    }();
    return s;
}

Params sandboxParams(const QString &database)
{
    const Sandbox &s = sandbox();
    Params p;
    p.add(QStringLiteral("Database"), database);
    p.add(QStringLiteral("User_Name"), s.user);
    p.add(QStringLiteral("Password"), s.password);
    p.add(QStringLiteral("Port"), s.port);
    p.add(QStringLiteral("HostName"), QStringLiteral("localhost"));
    return p;
}

void exec(const QStringList &statements, const QString &database)
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    mysql_options(db.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = database.toUtf8();
    if (!mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : name.constData(), 0, nullptr, 0)) {
        std::fprintf(stderr, "connect: %s\n", mysql_error(db.get()));
        std::exit(2);
    }
    for (const QString &statement : statements) {
        const QByteArray sql = statement.toUtf8();
        if (mysql_real_query(db.get(), sql.constData(), sql.size()) != 0) {
            std::fprintf(stderr, "%s\n%s\n", mysql_error(db.get()), sql.constData());
            std::exit(2);
        }
        if (MYSQL_RES *res = mysql_store_result(db.get()))
            mysql_free_result(res);
    }
}

namespace {
std::int64_t countRows(const QString &database, const QString &table)
{
    const Sandbox &s = sandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), name = database.toUtf8();
    if (!mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(), name.constData(), 0,
                            nullptr, 0))
        return -1;
    const QByteArray sql = QStringLiteral("select count(*) from `%1`").arg(table).toUtf8();
    if (mysql_real_query(db.get(), sql.constData(), sql.size()) != 0)
        return -1;
    MYSQL_RES *res = mysql_store_result(db.get());
    if (!res)
        return -1;
    MYSQL_ROW row = mysql_fetch_row(res);
    const std::int64_t n = row && row[0] ? std::atoll(row[0]) : -1;
    mysql_free_result(res);
    return n;
}
} // namespace

void ensureMixedTable(const QString &database, const QString &table, std::int64_t rows)
{
    exec({QStringLiteral("create database if not exists `%1` character set utf8mb4").arg(database)});
    if (countRows(database, table) == rows)
        return;
    exec({QStringLiteral("drop table if exists `%1`").arg(table),
          QStringLiteral("create table `%1` (id int primary key, code char(36), title varchar(255), qty int, "
                         "price decimal(12,2), created datetime, body text, flag tinyint(1))")
              .arg(table),
          QStringLiteral("insert into `%1` select seq, uuid(), concat('Title ', seq, ' 标题 ', repeat('x', seq % 120)), "
                         "seq * 7 % 100000, (seq % 100000) / 100, "
                         "timestamp('2020-01-01') + interval seq second, "
                         "concat('Body of row ', seq, ' ', repeat('lorem ipsum ', seq % 20)), seq % 2 "
                         "from seq_1_to_%2")
              .arg(table)
              .arg(rows)},
         database);
}

double peakRssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double peakRssOfChild(const std::function<std::vector<double>()> &fn, std::vector<double> *results)
{
    constexpr size_t kSlots = 9;  // peak memory, then up to 8 figures
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double out[kSlots] = {};
        const std::vector<double> figures = fn();
        for (size_t i = 0; i < figures.size() && i + 1 < kSlots; ++i)
            out[i + 1] = figures[i];
        out[0] = peakRssMiB();
        if (write(fds[1], out, sizeof out) != sizeof out)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    double in[kSlots] = {-1};
    if (read(fds[0], in, sizeof in) != sizeof in)
        in[0] = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (results)
        results->assign(in + 1, in + kSlots);
    return in[0];
}

Spread spread(std::vector<double> v)
{
    Spread s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.min = v.front();
    s.max = v.back();
    const size_t n = v.size();
    s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return s;
}

TConversionSettings conversionSettings(const QString &database, const QStringList &tables, const QString &service)
{
    TConversionSettings s;
    const Sandbox &sb = sandbox();
    s.AccessMode = 0;
    s.Port = sb.port;
    s.MySqlUser = sb.user;
    s.MySqlPassword = sb.password;
    s.ConnectDatabase = database;
    s.SourceDatabase = database;
    s.OracleService = service;
    s.OracleUser = QStringLiteral("bench");
    s.SelectedTables = tables;
    s.SkipIndexes = true;
    return s;
}

double convert(const TConversionSettings &settings, QStringList *log)
{
    DatabaseObjects db;
    db.mysqlconnect.params() = mysqlCatalogueProfile(settings);
    db.mysqlconnect.connect();
    step3Click(db, settings);
    TRunLog runLog;
    RunControl control;
    QTemporaryDir logs;
    ConversionRun run(db, settings, runLog, control);
    run.setLogFolder(logs.path() + QLatin1Char('/'));
    const auto start = std::chrono::steady_clock::now();
    run.run();
    db.oracleconn.close();
    const double sec = seconds(start);
    if (log)
        *log = runLog.lines();
    return sec;
}

bool ociAdapterAvailable(const char *builtDouble)
{
    if (qEnvironmentVariableIsSet("TAVREX_OCI_LIBRARY"))
        return true;
    if (!builtDouble)
        return false;
    qputenv("TAVREX_OCI_LIBRARY", builtDouble);
    return true;
}

} // namespace tavrex::bench
