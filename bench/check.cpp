// The check before converting against the copy it predicts, on the 1,000,000
// row mixed table of the throwaway MariaDB: the real run into a fresh
// embedded target, and the check of the same settings (which reads the table
// once, judges every value and writes nothing), alternated five times, each
// in a child process of its own so that its peak resident memory is its own.
//
//   check mixed_1m ratio check/copy time: X (median of 5, a-b)
//   check mixed_1m check peak RSS MiB: ...
//   check mixed_1m copy rows/s: ...   (the figure ConversionCheck's estimate
//                                      takes when no run has left a report)

#include "bench/benchsupport.h"
#include "connections/profiles.h"
#include "engine/check.h"
#include "engine/conversionrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace tavrex;
using namespace tavrex::bench;

namespace {

const QString kDatabase = QStringLiteral("tvx_bench");
const QString kTable = QStringLiteral("mixed_1m");
constexpr std::int64_t kRows = 1000000;
constexpr int kRuns = 5;

TConversionSettings settingsFor(const QString &service)
{
    return conversionSettings(kDatabase, {kTable}, service);
}

std::vector<double> copy(const QString &targetFile)
{
    QFile::remove(targetFile);
    return {convert(settingsFor(QStringLiteral("embedded:") + targetFile))};
}

std::vector<double> check(const QString &targetFile)
{
    // The target of a copy that has not run yet: none.
    QFile::remove(targetFile);
    const TConversionSettings s = settingsFor(QStringLiteral("embedded:") + targetFile);
    RunControl control;
    ConversionCheck check(s, control);
    const auto start = std::chrono::steady_clock::now();
    const CheckReport report = check.run();
    const double sec = seconds(start);
    if (report.tables.size() != 1 || report.tables.front().rows != kRows)
        std::fprintf(stderr, "check: the table was not read whole\n");
    return {sec};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ensureMixedTable(kDatabase, kTable, kRows);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.db"));
    std::vector<double> copyTimes, checkTimes, ratios, copyRss, checkRss;
    for (int i = 0; i < kRuns; ++i) {
        std::vector<double> c, k;
        copyRss.push_back(peakRssOfChild([&] { return copy(target); }, &c));
        checkRss.push_back(peakRssOfChild([&] { return check(target); }, &k));
        copyTimes.push_back(c.at(0));
        checkTimes.push_back(k.at(0));
        ratios.push_back(k.at(0) / c.at(0));
    }
    const Spread r = spread(ratios), ct = spread(copyTimes), kt = spread(checkTimes);
    const Spread cr = spread(copyRss), kr = spread(checkRss);
    std::printf("check %s copy: %.2f s (%.2f-%.2f), rows/s: %.0f, peak RSS MiB: %.1f\n", qPrintable(kTable), ct.median,
                ct.min, ct.max, double(kRows) / ct.median, cr.median);
    std::printf("check %s check: %.2f s (%.2f-%.2f)\n", qPrintable(kTable), kt.median, kt.min, kt.max);
    std::printf("check %s ratio check/copy time: %.2f (median of %d, %.2f-%.2f; target <= 0.6)\n", qPrintable(kTable),
                r.median, kRuns, r.min, r.max);
    std::printf("check %s check peak RSS MiB: %.1f (max %.1f; target < 100)\n", qPrintable(kTable), kr.median, kr.max);
    return 0;
}
