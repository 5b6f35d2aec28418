// The cost of "Verify copied data": converts the 1,000,000-row mixed-type
// table into a fresh embedded target through the real run, then verifies the
// copied table the way the run does (both sides read once and hashed, order
// independent). Prints the copy's and the verification's time and rows/s and
// the ratio verification/copy (the aim: at most 0.5).

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "connections/verify.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavrex;
using namespace tavrex::bench;

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

    started = std::chrono::steady_clock::now();
    const VerifyResult v = verifyTable(db.mysqlsjbconnection, db.oracleconn.session(), QStringLiteral("mixed_1m"),
                                       QStringLiteral("MIXED_1M"), primaryKeyColumns(db.mysqlconnect, "mixed_1m"),
                                       control);
    const double verify = seconds(started);
    std::printf("copy of %lld rows: %.2f s, %.0f rows/s\n", static_cast<long long>(rows), copy, rows / copy);
    std::printf("verification: %.2f s, %.0f rows/s, %s\n", verify, rows / verify, v.equal() ? "equal" : "differs");
    std::printf("ratio verification/copy time: %.2f (aim: at most 0.5)\n", verify / copy);
    return v.equal() ? 0 : 1;
}
