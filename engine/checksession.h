#pragma once

#include "connections/oracle/oraclesession.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>
#include <mutex>

namespace tavrex {

// One statement the run would send, with the table in work when it came and
// the target's refusal (empty when it would be accepted).
struct CheckedStatement {
    QString table;  // the MySQL table as listed; empty for a statement after the last table
    QString text;
    QString refusal;
};

// What the check's sessions stand on: the real target, read and never
// written (its catalogue, its tables' rows and columns), and a scratch
// target of the check's own (an embedded target in a private file) into
// which the statements the run would send are executed, so that the
// refusals they would meet and the tables they would make are the target's
// own answers. Rows are sent nowhere: each row of a batch is judged by the
// target's value rules, column by column, and the rows that pass are
// counted.
//
// The two sessions of a check (the run's main Oracle connection and its
// second one) share one of these. The run hands a session to its worker
// thread and back; every member is guarded by one mutex, so the two never
// meet inside it.
class CheckTarget {
public:
    // real: a session on the real target. scratchPath: a file for the
    // scratch target (created); owner: the schema owner, as the run's
    // catalogue questions name it.
    CheckTarget(std::unique_ptr<OracleSession> real, const QString &scratchPath, const QString &oracleUser);
    ~CheckTarget();

    // A session for the run: statements go to the scratch target and are
    // recorded, catalogue questions are answered as the real target would
    // answer them after the statements recorded so far, batches are judged.
    std::unique_ptr<OracleSession> session();

    // The table whose steps the run is in (from the run's progress hook).
    void setTable(const QString &listedName);

    QVector<CheckedStatement> statements() const;
    // Rows judged into a target table, and the bytes their values take there.
    std::int64_t bytesJudged(const QString &target) const;
    // The same with the room each row takes around its values (a row header
    // and a length byte a column).
    std::int64_t storageJudged(const QString &target) const;
    // The rows of a table of the real target; -1 when it has none of that name.
    std::int64_t realRows(const QString &target);
    OracleSession &real() { return *real_; }

private:
    friend class CheckSession;
    void execute(const QString &sql);
    qint64 queryCount(const QString &sql);
    QVector<OracleColumn> describe(const QString &sql);
    BatchResult judge(const QString &table, const OracleRowBatch &batch, bool keepAccepted);
    bool inScratch(const QString &table);
    bool droppedFromReal(const QString &table) const { return dropped_.contains(table); }

    mutable std::mutex mutex_;
    std::unique_ptr<OracleSession> real_;
    std::unique_ptr<OracleSession> scratch_;
    QString user_;
    QString owner_;
    QString table_;
    QVector<CheckedStatement> statements_;
    QSet<QString> dropped_;                     // real tables the run would drop
    QHash<QString, std::int64_t> accepted_;     // rows judged into each target table
    QHash<QString, std::int64_t> bytes_;
    QHash<QString, std::int64_t> storage_;
};

} // namespace tavrex
