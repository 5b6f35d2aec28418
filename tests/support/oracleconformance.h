#pragma once

// The conformance suite of the Oracle client interface: one table of named
// cases (statements and batches with their expected results or exact ORA
// texts), written against OracleSession only, so that every implementation
// runs the same cases. A test binary instantiates it with its target:
//
//   INSTANTIATE_TEST_SUITE_P(Embedded, OracleConformance,
//       ::testing::Combine(::testing::Values(myTarget()),
//                          ::testing::ValuesIn(tavrex::test::conformanceCases())),
//       tavrex::test::conformanceName);
//
// The embedded target runs it always (tests/connections/embedded); the real
// client adapter can run it when a server is configured, and skip it
// otherwise (its factory returns no target).

#include "connections/oracle/oraclesession.h"

#include <QString>
#include <QStringList>
#include <QPair>
#include <QVector>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace tavrex::test {

// One schema to run one case in. The suite drops the tables a case names
// before and after it, so a real server's schema can be reused.
class OracleTargetInstance {
public:
    virtual ~OracleTargetInstance() = default;
    // A new session on the schema.
    virtual std::unique_ptr<OracleSession> open() = 0;
    // The schema owner as the server writes it in messages ("SCOTT").
    virtual QString owner() const = 0;
    // The rows of a table in insertion order, typed by column; nullopt when
    // the target cannot read rows back (the row checks are then skipped).
    virtual std::optional<QVector<QVector<OracleValue>>> readTable(const QString &table) = 0;
};

struct OracleTargetFactory {
    std::string name;
    // nullptr: the target is not configured here; the suite skips.
    std::function<std::unique_ptr<OracleTargetInstance>()> make;
    // Batches go as the row copy sends them: their columns as a describe of
    // the table gives them, converted by the session's preparer
    // (OracleSession::batchPreparer) before the insert; the outcomes expected
    // are the same.
    bool prepareBatches = false;
};

// One step of a case. Texts may hold %OWNER%, replaced by the target's owner.
struct ConformanceStep {
    enum class Kind { Execute, Count, Describe, Batch, KeepingBatch, Rows, Query };
    Kind kind = Kind::Execute;
    QString sql;                          // Execute, Count, Describe, Query
    QString table;                        // Batch, Rows
    QStringList columns;                  // Batch: the column names of the batch
    QVector<QVector<OracleValue>> rows;   // Batch: the rows; Rows, Query: the expected rows
    QString error;                        // the exact DatabaseError message expected; empty: none
    qint64 count = 0;                     // Count
    QVector<OracleColumn> described;      // Describe, Query (empty: not checked)
    int rejectedRow = -1;                 // Batch: the rejected row; -1: every row accepted
    QString message;                      // Batch: the message for the rejected row
    // KeepingBatch (insertBatchKeepingAccepted): every rejected row and its
    // message, in batch order; empty: every row accepted.
    QVector<QPair<int, QString>> rejections;
    // Batch, KeepingBatch: statements of the batch's own transaction
    // (OracleRowBatch::setStatementsBeforeCommit), %OWNER% replaced.
    QStringList beforeCommit;
};

struct ConformanceCase {
    std::string name;      // a sentence in CamelCase, used as the test name
    QStringList tables;    // tables the case creates (dropped before and after)
    QVector<ConformanceStep> steps;
    // Targets (OracleTargetFactory::name) that cannot serve the case yet: it
    // is reported as skipped there, with this reason.
    std::vector<std::string> notYetServedBy = {};
    std::string notYetServedWhy = {};
};

const QVector<ConformanceCase> &conformanceCases();

class OracleConformance : public ::testing::TestWithParam<std::tuple<OracleTargetFactory, ConformanceCase>> {};

std::string conformanceName(
    const ::testing::TestParamInfo<std::tuple<OracleTargetFactory, ConformanceCase>> &info);

// gtest prints the parameters by these.
void PrintTo(const OracleTargetFactory &factory, std::ostream *os);
void PrintTo(const ConformanceCase &c, std::ostream *os);

// Rendering used in failure output (and by other tests of the target).
std::string describeValue(const OracleValue &v);
std::string describeRows(const QVector<QVector<OracleValue>> &rows);
std::string describeColumns(const QVector<OracleColumn> &columns);

} // namespace tavrex::test
