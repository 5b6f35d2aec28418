#pragma once

// Shared pieces of the benchmarks: the throwaway MariaDB they run against,
// the mixed-type test table, peak memory and a clock.

#include "connections/common/params.h"
#include "engine/core/conversionsettings.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace tavrex::bench {

// The sandbox of the environment (MYSQL_UNIX_PORT, TAVREX_MYSQL_USER, ...,
// as `scripts/mariadb-sandbox start` prints them); exits with a message when
// it is not there.
struct Sandbox {
    QString socket;
    QString port;
    QString user;
    QString password;
};
const Sandbox &sandbox();
Params sandboxParams(const QString &database);

// Runs statements on the sandbox; exits on the first error.
void exec(const QStringList &statements, const QString &database = QString());

// Makes database.table hold `rows` rows of the mixed shape (id, char(36),
// varchar(255), int, decimal(12,2), datetime, text, tinyint(1)), reusing it
// when it already has that many rows.
void ensureMixedTable(const QString &database, const QString &table, std::int64_t rows);

// Peak resident memory of this process in MiB (VmHWM).
double peakRssMiB();

// Runs fn in a child process and returns the child's peak resident memory in
// MiB; fn's figures (at most 8) are passed back in results.
double peakRssOfChild(const std::function<std::vector<double>()> &fn, std::vector<double> *results = nullptr);

// The median of a benchmark's figures with their least and greatest.
struct Spread {
    double median = 0, min = 0, max = 0;
};
Spread spread(std::vector<double> v);

// A conversion of the sandbox's tables into the service (owner "bench"),
// without keys or indexes: what every conversion benchmark runs.
TConversionSettings conversionSettings(const QString &database, const QStringList &tables, const QString &service);

// Runs the conversion (ConversionRun, as the window would after page 3) in
// this process; returns its seconds, its log lines in *log when given.
double convert(const TConversionSettings &settings, QStringList *log = nullptr);

// Whether the Oracle client library adapter can be measured: a library named
// by TAVREX_OCI_LIBRARY, else the test double this build made (builtDouble,
// null when the build has none), which is then set as that library.
bool ociAdapterAvailable(const char *builtDouble);

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace tavrex::bench
