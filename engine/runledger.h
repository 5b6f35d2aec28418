#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "engine/textrules.h"

#include <cstdint>
#include <memory>

namespace tavrex {

// One field of a CSV line (RFC 4180): quoted, with every quote doubled, when
// it holds a comma, a quote or a line break; as it is otherwise.
QString csvField(const QString &text);

// The ledger of a run: every value that was not written as it came and every
// row that was not inserted, one CSV line each (UTF-8, CR LF, header
// "table,row,column,reason,value"), beside the run's log. The file is created
// at the first record, so a run with nothing to record leaves none, and every
// line is flushed as it is recorded, so a killed run keeps what it recorded.
// With rows kept past rejections, each rejected row's full source values go
// into a reload file per Oracle table in a folder beside it, headed by the
// source field names, so that a user can mend and load them again.
//
// A write that fails throws std::runtime_error naming the file and the
// system's reason.
class RunLedger {
public:
    RunLedger() = default;
    RunLedger(const RunLedger &) = delete;
    RunLedger &operator=(const RunLedger &) = delete;
    ~RunLedger();

    // Where this run's ledger and reload files go; nothing is written yet.
    void setPaths(const QString &ledgerPath, const QString &reloadFolder);
    const QString &ledgerPath() const { return ledgerPath_; }

    // A value of a row (row: 1-based position in the source read).
    void recordValue(const QString &table, std::int64_t row, const QString &column, const QString &reason,
                     const QString &value);
    // A row found by its key (row unknown): columns names the key columns,
    // value holds their values.
    void recordKey(const QString &table, const QString &columns, const QString &reason, const QString &value);
    // A whole row that was not inserted; reason is Oracle's message.
    void recordRow(const QString &table, std::int64_t row, const QString &reason);
    // The full values of a rejected row, for reloading into target.
    void recordReloadRow(const QString &target, const QStringList &fieldNames, const QStringList &values);

    std::int64_t records() const { return records_; }

    // Closes the files and moves them to new paths (an interactive run names
    // its files after the time of the log save). Does nothing when nothing
    // was recorded.
    void moveTo(const QString &ledgerPath, const QString &reloadFolder);
    void close();

private:
    void appendRecord(const QString &table, const QString &row, const QString &column, const QString &reason,
                      const QString &value);
    AppendingTextFile &reloadFile(const QString &target, const QStringList &fieldNames);

    QString ledgerPath_;
    QString reloadFolder_;
    std::unique_ptr<AppendingTextFile> ledger_;
    QHash<QString, std::shared_ptr<AppendingTextFile>> reloads_;
    std::int64_t records_ = 0;
};

} // namespace tavrex
