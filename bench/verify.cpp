// The cost of "Verify copied data": converts the 1,000,000-row mixed-type
// table into a fresh embedded target through the real run, then verifies the
// copied table the way the run does (both sides read once and hashed, order
// independent). Prints the copy's and the verification's time and rows/s and
// the ratio verification/copy (the aim: at most 0.5). The verification runs
// three times; each run prints its CPU seconds: this thread (MySQL side),
// the rest of the process (the Oracle side's reader) and, when the sandbox's
// pid file is found, the MariaDB server's, since they share the cores.

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "connections/verify.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The MariaDB server's CPU seconds (user + system), or -1 when unknown.
double serverCpuSeconds()
{
    QFile pidFile(QFileInfo(qEnvironmentVariable("MYSQL_UNIX_PORT")).dir().filePath(QStringLiteral("mysqld.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pidFile.readAll().trimmed())));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis: utime and stime are the 12th and 13th.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return -1;
    return (f[11].toDouble() + f[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString database = QStringLiteral("tvx_bench");
    const std::int64_t rows = 1000000;
    exec({QStringLiteral("create database if not exists `%1`").arg(database)});
    ensureMixedTable(database, QStringLiteral("mixed_1m"), rows);

    QTemporaryDir dir;
    TConversionSettings s;
    const Sandbox &sb = sandbox();
    s.AccessMode = 0;
    s.MySqlUser = sb.user;
    s.MySqlPassword = sb.password;
    s.ConnectDatabase = s.SourceDatabase = database;
    s.OracleService = QStringLiteral("embedded:") + dir.filePath(QStringLiteral("target.db"));
    s.OracleUser = QStringLiteral("bench");
    s.SelectedTables = {QStringLiteral("mixed_1m")};
    s.SkipIndexes = true;
    DatabaseObjects db;
    db.mysqlconnect.params() = mysqlCatalogueProfile(s);
    db.mysqlconnect.connect();
    step3Click(db, s);
    TRunLog log;
    RunControl control;
    ConversionRun run(db, s, log, control);
    run.setLogFolder(dir.path() + QLatin1Char('/'));
    auto started = std::chrono::steady_clock::now();
    run.run();
    const double copy = seconds(started);

    std::printf("copy of %lld rows: %.2f s, %.0f rows/s\n", static_cast<long long>(rows), copy, rows / copy);
    const QStringList keys = primaryKeyColumns(db.mysqlconnect, "mixed_1m");
    bool allEqual = true;
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        const double thread0 = cpuSeconds(RUSAGE_THREAD), process0 = cpuSeconds(RUSAGE_SELF);
        const double server0 = serverCpuSeconds();
        started = std::chrono::steady_clock::now();
        const VerifyResult v = verifyTable(db.mysqlsjbconnection, db.oracleconn.session(),
                                           QStringLiteral("mixed_1m"), QStringLiteral("MIXED_1M"), keys, control);
        const double verify = seconds(started);
        const double thread = cpuSeconds(RUSAGE_THREAD) - thread0, process = cpuSeconds(RUSAGE_SELF) - process0;
        const double server = server0 < 0 ? -1 : serverCpuSeconds() - server0;
        allEqual = allEqual && v.equal();
        best = i == 0 ? verify : std::min(best, verify);
        std::printf("verification: %.2f s, %.0f rows/s, %s; CPU s: MySQL side %.2f, Oracle side %.2f, server %.2f\n",
                    verify, rows / verify, v.equal() ? "equal" : "differs", thread, process - thread, server);
    }
    std::printf("ratio best verification/copy time: %.2f (aim: at most 0.5)\n", best / copy);
    return allEqual ? 0 : 1;
}
