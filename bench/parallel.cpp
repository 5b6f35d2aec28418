// Several tables at once against one table after another, in the network
// case: the Oracle client library adapter on its test double with a fixed
// delay per call that reaches the server (TAVREX_OCIDOUBLE_ROUNDTRIP_US=1000,
// a nearby server's round trip), and the embedded target.
//
// Workloads in the throwaway MariaDB: 8 tables of 100,000 mixed-type rows,
// and one table of 2,000,000 mixed-type rows. Each is converted by the real
// run (ConversionRun) into a fresh target, every run in a child process of
// its own so that its peak resident memory is its own, TAVREX_BENCH_REPEAT
// times (5 unless set) per path, the paths alternated; the figures are
// medians with their min-max.
//
// Each workload runs with N = 1 and N = 4 tables at once ("Tables at once";
// the 2,000,000-row table goes in key ranges at N = 4) and prints
// `ratio parallel N=4/N=1 time: X (median of 5, a-b)` and the ratio of peak
// memory for each path.

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

const QString kDatabase = QStringLiteral("tvx_bench");
constexpr int kSmallTables = 8;
constexpr std::int64_t kSmallRows = 100000;
constexpr std::int64_t kBigRows = 2000000;
// The delay per server call of the double in the network case, microseconds:
// 1000 unless TAVREX_BENCH_ROUNDTRIP_US says otherwise (a farther server).
QByteArray roundTripUs()
{
    const QByteArray given = qgetenv("TAVREX_BENCH_ROUNDTRIP_US");
    return given.isEmpty() ? QByteArrayLiteral("1000") : given;
}

int repeats()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TAVREX_BENCH_REPEAT", &ok);
    return ok && n > 0 ? n : 5;
}

// One run of one path: wall time of the run, its peak resident memory and
// whether every table was copied cleanly.
struct Run {
    double seconds = 0;
    double rssMiB = 0;
    bool clean = false;
};

struct Path {
    const char *name;
    bool adapter;  // the OCI adapter on the delayed double; else the embedded target
};

struct Workload {
    const char *name;
    QStringList tables;
    std::int64_t rows;
};

TConversionSettings settingsFor(const QStringList &tables, const QString &service, int tablesAtOnce)
{
    TConversionSettings s = conversionSettings(kDatabase, tables, service);
    s.ParallelTables = tablesAtOnce;
    return s;
}

// The real run in this (child) process: seconds, and 1 when the log holds
// nothing but the steps' lines.
std::vector<double> runInProcess(const QStringList &tables, const QString &service, int tablesAtOnce)
{
    QStringList log;
    const double sec = convert(settingsFor(tables, service, tablesAtOnce), &log);
    bool clean = true;
    for (const QString &line : log) {
        if (line.startsWith(QLatin1String("ORA-")) || line.endsWith(QLatin1String("Field")) ||
            line.startsWith(QLatin1String("Problem"))) {
            std::fprintf(stderr, "log: %s\n", qPrintable(line));
            clean = false;
        }
    }
    return {sec, clean ? 1.0 : 0.0};
}

Run runPath(const Workload &w, const Path &p, const QString &targetFile, int tablesAtOnce)
{
    QFile::remove(targetFile);
    const QString service = p.adapter ? targetFile : QStringLiteral("embedded:") + targetFile;
    std::vector<double> figures;
    Run r;
    r.rssMiB = peakRssOfChild(
        [&] {
            if (p.adapter)
                qputenv("TAVREX_OCIDOUBLE_ROUNDTRIP_US", roundTripUs());
            return runInProcess(w.tables, service, tablesAtOnce);
        },
        &figures);
    r.seconds = figures.at(0);
    r.clean = figures.at(1) != 0;
    return r;
}

void printRuns(const Workload &w, const Path &p, int tablesAtOnce, const std::vector<Run> &runs)
{
    std::vector<double> secs, rss;
    bool clean = true;
    for (const Run &r : runs) {
        secs.push_back(r.seconds);
        rss.push_back(r.rssMiB);
        clean = clean && r.clean;
    }
    const Spread t = spread(secs), m = spread(rss);
    std::printf("parallel %s %s N=%d time s: %.2f (median of %zu, %.2f-%.2f), rows/s: %.0f, peak RSS MiB: %.1f "
                "(max %.1f; target < 300)%s\n",
                w.name, p.name, tablesAtOnce, t.median, runs.size(), t.min, t.max, double(w.rows) / t.median,
                m.median, m.max, clean ? "" : "  NOT CLEAN: see the log lines above");
    std::fflush(stdout);
}

void printRatio(const Workload &w, const Path &p, const std::vector<Run> &four, const std::vector<Run> &one,
                const char *target)
{
    std::vector<double> ratios, rssRatios;
    for (size_t i = 0; i < four.size() && i < one.size(); ++i) {
        ratios.push_back(four[i].seconds / one[i].seconds);
        rssRatios.push_back(four[i].rssMiB / one[i].rssMiB);
    }
    const Spread r = spread(ratios), m = spread(rssRatios);
    std::printf("parallel %s %s ratio parallel N=4/N=1 time: %.2f (median of %zu, %.2f-%.2f; target %s)\n", w.name,
                p.name, r.median, ratios.size(), r.min, r.max, target);
    std::printf("parallel %s %s ratio peak RSS N=4/N=1: %.2f (max %.2f; target <= 4)\n", w.name, p.name, m.median,
                m.max);
    std::fflush(stdout);
}

void ensureTables()
{
    ensureMixedTable(kDatabase, QStringLiteral("par_100k_1"), kSmallRows);
    for (int i = 2; i <= kSmallTables; ++i) {
        const QString name = QStringLiteral("par_100k_%1").arg(i);
        exec({QStringLiteral("create table if not exists `%1` like par_100k_1").arg(name)}, kDatabase);
        exec({QStringLiteral("insert ignore into `%1` select * from par_100k_1").arg(name)}, kDatabase);
    }
    ensureMixedTable(kDatabase, QStringLiteral("par_2m"), kBigRows);
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
                             "network case is left out.\n");
    ensureTables();
    QStringList small;
    for (int i = 1; i <= kSmallTables; ++i)
        small << QStringLiteral("par_100k_%1").arg(i);
    // TAVREX_BENCH_ONLY=tables or =ranges limits the run to one workload.
    const QString only = qEnvironmentVariable("TAVREX_BENCH_ONLY");
    std::vector<std::pair<Workload, const char *>> workloads;  // with the OCI ratio target
    if (only.isEmpty() || only == QLatin1String("tables"))
        workloads.push_back({{"8x100k", small, kSmallTables * kSmallRows}, "<= 0.35"});
    if (only.isEmpty() || only == QLatin1String("ranges"))
        workloads.push_back({{"2m", {QStringLiteral("par_2m")}, kBigRows}, "<= 0.4"});
    std::vector<Path> paths;
    if (withAdapter)
        paths.push_back({"OCI adapter on the delayed double", true});
    paths.push_back({"embedded target", false});

    std::printf("parallel runs per path: %d, alternated (medians; the machine's other load shows in the ranges); "
                "double's delay per server call: %s us\n",
                repeats(), roundTripUs().constData());
    std::fflush(stdout);
    QTemporaryDir dir;
    const std::vector<int> counts{1, 4};
    for (const auto &[w, ociTarget] : workloads) {
        // runs[path][n]
        std::vector<std::vector<std::vector<Run>>> runs(paths.size(), std::vector<std::vector<Run>>(counts.size()));
        for (int i = 0; i < repeats(); ++i)
            for (size_t p = 0; p < paths.size(); ++p)
                for (size_t n = 0; n < counts.size(); ++n)
                    runs[p][n].push_back(runPath(w, paths[p], dir.filePath(QStringLiteral("target.db")), counts[n]));
        for (size_t p = 0; p < paths.size(); ++p) {
            for (size_t n = 0; n < counts.size(); ++n)
                printRuns(w, paths[p], counts[n], runs[p][n]);
            if (counts.size() == 2)
                printRatio(w, paths[p], runs[p][1], runs[p][0], paths[p].adapter ? ociTarget : "<= 1.05");
        }
    }
    return 0;
}
