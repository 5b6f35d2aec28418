#pragma once

// An Oracle session that records the size of every batch and passes every
// call on to a real one; it can hold up the second batch.

#include "connections/oracle/oraclesession.h"

#include <chrono>
#include <thread>
#include <vector>

namespace tavrex::test {

class BatchSpy : public OracleSession {
public:
    explicit BatchSpy(OracleSession &inner) : inner_(inner) {}
    void execute(const QString &sql) override { inner_.execute(sql); }
    qint64 queryCount(const QString &sql) override { return inner_.queryCount(sql); }
    QVector<OracleColumn> describe(const QString &sql) override { return inner_.describe(sql); }
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override
    {
        sizes.push_back(batch.rowCount());
        delay();
        return inner_.insertBatch(table, batch);
    }
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override
    {
        sizes.push_back(batch.rowCount());
        delay();
        return inner_.insertBatchKeepingAccepted(table, batch);
    }
    std::vector<int> sizes;
    // The second batch takes this long, so that the copy reads on while it
    // is on its way.
    std::chrono::milliseconds secondBatchDelay{0};

private:
    void delay()
    {
        if (sizes.size() == 2)
            std::this_thread::sleep_for(secondBatchDelay);
    }

    OracleSession &inner_;
};

} // namespace tavrex::test
