#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "engine/core/textrules.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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
// source field names, so that a user can mend and load them again; the
// ledger names each table's reload file in a record of its own (reason
// "reload file", the file's name as the value).
//
// The reload folder is the user's: the ledger creates it when it is missing,
// replaces in it only the reload files of the tables that reject rows in this
// run, removes an earlier run's reload file only for a table copied again
// without rejected rows (the one the earlier ledger named), and never writes
// through a symbolic link in place of the folder. A table keeps the file
// name the earlier run's ledger gave it; two tables whose names give one
// file name get distinct files by the numbering rule of names. The
// ledger, the folder and the files are its owner's alone (0600, 0700).
//
// A write that fails does not throw: the ledger keeps the first failure
// (Cannot write the file "PATH": REASON) in errorText(), writes nothing more,
// and the copy ends the table with it.
//
// Tables converted at once record into one ledger from their own threads:
// each call is whole under the ledger's lock, so lines never mix, and the
// records of a table keep their order.
class RunLedger {
public:
    RunLedger() = default;
    RunLedger(const RunLedger &) = delete;
    RunLedger &operator=(const RunLedger &) = delete;
    ~RunLedger();

    // Where this run's ledger and reload files go; nothing is written yet.
    // An earlier ledger at ledgerPath is read for the reload files it names,
    // then removed: it speaks of a run that is over.
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
    // The full values of a rejected row of table (as listed), for reloading
    // into target.
    void recordReloadRow(const QString &table, const QString &target, const QStringList &fieldNames,
                         const QStringList &values);
    // The table was copied again and no row of it was rejected: the reload
    // file an earlier run's ledger named for it is removed, unless this run
    // wrote it.
    void dropEarlierReloadFile(const QString &table);

    // A table whose interrupted copy this run continues: the earlier ledger's
    // records of its rows up to uptoRow (the last row that run committed) are
    // written again into this ledger, and its reload file is continued
    // rather than replaced, so the record of the table is whole.
    void carryOver(const QString &table, const QString &target, std::int64_t uptoRow);
    // The same for a copy in key ranges: the records of the rows in each
    // span (first and last row, both included) that the ranges committed.
    void carryOver(const QString &table, const QString &target,
                   const std::vector<std::pair<std::int64_t, std::int64_t>> &spans);

    std::int64_t records() const;
    // The first failed write; empty while every write succeeded.
    QString errorText() const;

    // Closes the files and moves them to new paths (an interactive run names
    // its files after the time of the log save). Does nothing when nothing
    // was recorded. A failure goes to errorText().
    void moveTo(const QString &ledgerPath, const QString &reloadFolder);
    void close();

private:
    void appendRecord(const QString &table, const QString &row, const QString &column, const QString &reason,
                      const QString &value);
    AppendingTextFile *reloadFile(const QString &table, const QString &target, const QStringList &fieldNames);
    void fail(const QString &text);
    void closeFiles();

    QString ledgerPath_;
    QString reloadFolder_;
    std::unique_ptr<AppendingTextFile> ledger_;
    QHash<QString, std::shared_ptr<AppendingTextFile>> reloads_;  // by target
    QHash<QString, QString> reloadNames_;                         // target -> file name, this run
    QHash<QString, QString> earlierReloads_;                      // table -> file name, the earlier run
    QList<QStringList> earlierRecords_;                           // the earlier ledger's records
    QSet<QString> continued_;                                     // tables whose reload file goes on
    std::int64_t records_ = 0;
    QString error_;
    mutable std::mutex mutex_;
};

// The records of a CSV text (RFC 4180: quoted fields may hold commas, quotes
// doubled and line breaks), each a list of its fields.
QList<QStringList> parseCsv(const QString &text);

} // namespace tavrex
