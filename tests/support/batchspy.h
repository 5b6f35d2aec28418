#pragma once

// An Oracle session that records the size of every batch and passes every
// call on to a real one, its batch preparer included; it can hold up the
// second batch, and it records where batches were prepared and sent.

#include "connections/oracle/oraclesession.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
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
        sent(batch);
        return inner_.insertBatch(table, batch);
    }
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override
    {
        sent(batch);
        return inner_.insertBatchKeepingAccepted(table, batch);
    }
    std::unique_ptr<BatchPreparer> batchPreparer(const QString &table, const QVector<OracleColumn> &columns) override
    {
        std::unique_ptr<BatchPreparer> inner = inner_.batchPreparer(table, columns);
        if (!inner)
            return nullptr;
        return std::make_unique<Preparer>(*this, std::move(inner));
    }

    std::vector<int> sizes;
    // The second batch takes this long, so that the copy reads on while it
    // is on its way.
    std::chrono::milliseconds secondBatchDelay{0};
    // The second batch waits (at most 20 s) until the batch after it has
    // been prepared; secondBatchSawThirdPrepared says whether it was.
    bool holdSecondUntilThirdPrepared = false;
    bool secondBatchSawThirdPrepared = false;
    // Per batch: whether it arrived with its prepared form, and the thread it
    // was sent on; the threads batches were prepared on, in order.
    std::vector<bool> arrivedPrepared;
    std::vector<std::thread::id> sentOn;
    std::vector<std::thread::id> preparedOn;

private:
    class Preparer : public BatchPreparer {
    public:
        Preparer(BatchSpy &spy, std::unique_ptr<BatchPreparer> inner) : spy_(spy), inner_(std::move(inner)) {}
        void prepare(OracleRowBatch &batch) override
        {
            inner_->prepare(batch);
            std::lock_guard<std::mutex> lock(spy_.mutex_);
            spy_.preparedOn.push_back(std::this_thread::get_id());
            spy_.prepared_.notify_all();
        }

    private:
        BatchSpy &spy_;
        std::unique_ptr<BatchPreparer> inner_;
    };

    void sent(const OracleRowBatch &batch)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        sizes.push_back(batch.rowCount());
        arrivedPrepared.push_back(batch.prepared() != nullptr);
        sentOn.push_back(std::this_thread::get_id());
        if (sizes.size() != 2)
            return;
        if (holdSecondUntilThirdPrepared)
            secondBatchSawThirdPrepared = prepared_.wait_for(lock, std::chrono::seconds(20),
                                                             [this] { return preparedOn.size() >= 3; });
        lock.unlock();
        std::this_thread::sleep_for(secondBatchDelay);
    }

    OracleSession &inner_;
    std::mutex mutex_;
    std::condition_variable prepared_;
};

} // namespace tavrex::test
