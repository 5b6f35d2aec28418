#pragma once

// Shared pieces of the benchmarks: the throwaway MariaDB they run against,
// the mixed-type test table, peak memory and a clock.

#include "connections/common/params.h"

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

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace tavrex::bench
