#include "connections/rowcopy.h"

#include "engine/errors.h"

#include <vector>

namespace tavrex {

namespace {

constexpr int kTargetNameLimit = 30;

QString progressLine(const QString &target, std::int64_t counter)
{
    return QStringLiteral("Insert table ") + target + QLatin1Char(' ') + QString::number(counter) +
           QStringLiteral(" Rows ");
}

} // namespace

QString sourceRowsStatement(const QString &listedName)
{
    return QStringLiteral("select * from ") + quoteMySqlName(listedName);
}

QString repeatedLineText(const QString &line, std::int64_t more)
{
    return line + QStringLiteral(" repeated %1 more %2").arg(more).arg(more == 1 ? "time" : "times");
}

QString sourceValueText(const MySqlValue &v)
{
    switch (v.type) {
    case MySqlValue::Type::Null: return QString();
    case MySqlValue::Type::Integer: return QString::number(v.integer);
    case MySqlValue::Type::Unsigned: return QString::number(v.unsignedInteger);
    case MySqlValue::Type::Boolean: return v.boolean ? QStringLiteral("1") : QStringLiteral("0");
    case MySqlValue::Type::Bytes: return QStringLiteral("0x") + QString::fromLatin1(v.bytes.toHex().toUpper());
    default: return v.textValue();
    }
}

void oracleinsertdataReconcileError(ApplyState &state, const QString &message)
{
    state.ApplyOk = false;
    state.ApplyErrorText = message;
}

ApplyState ApplyInserts(RowBuffer &buffer)
{
    ApplyState state;
    const BatchResult result = buffer.apply();
    if (!result.ok)
        oracleinsertdataReconcileError(state, result.message);
    return state;
}

namespace {

// One table's copy: the source, the buffer, the counters and the records of
// what could not be written.
class TableCopy {
public:
    TableCopy(RowBuffer &buffer, const QString &listedName, TRunLog &log, const CopyOptions &options,
              CopyCounts &counts)
        : buffer_(buffer), listedName_(listedName), log_(log), options_(options), counts_(counts)
    {
    }

    void describeFields(const MySqlResult &sjb)
    {
        const int fieldCount = sjb.fieldCount();
        for (int i = 0; i < fieldCount; ++i) {
            const QString &name = sjb.fieldName(i);
            fieldNames_ << name;
            targetColumn_.push_back(buffer_.columnIndex(name.left(kTargetNameLimit)));
            const QString kind = fieldKindName(sjb.fieldKind(i));
            errorLine_.push_back(name + QLatin1Char(':') + kind);
            isBoolean_.push_back(kind.toLower() == QLatin1String("tbooleanfield"));
            const int column = targetColumn_.back();
            // Decimal texts that an Oracle NUMBER holds only rounded.
            const FieldKind fieldKind = sjb.fieldKind(i);
            checksNumber_.push_back(column >= 0 && buffer_.kindOf(column) == TargetKind::Number &&
                                    (fieldKind == FieldKind::FMTBCD || fieldKind == FieldKind::BCD ||
                                     fieldKind == FieldKind::Float));
            timesLogged_.push_back(0);
        }
    }

    int fieldCount() const { return int(targetColumn_.size()); }

    // Writes the fields of the current source row into a new buffer row.
    void copyRow(const MySqlResult &sjb, std::int64_t row)
    {
        buffer_.append();
        batchRows_.push_back(row);
        if (options_.continuePastRejected)
            batchValues_.emplace_back();
        lastRowValuesBytes_ = 0;
        for (int i = 0; i < fieldCount(); ++i) {
            const int column = targetColumn_[size_t(i)];
            MySqlValue v = sjb.value(i);
            bool written = true;
            try {
                if (isBoolean_[size_t(i)]) {
                    if (v.isNull())
                        throw RowBufferError(QStringLiteral("NULL in a boolean field cannot be read as true or false"));
                    buffer_.writeInteger(column, v.boolean ? 1 : 0);
                } else {
                    buffer_.write(column, v);
                    if (checksNumber_[size_t(i)] && !v.isNull()) {
                        const QString change = numberChangeReason(v.text);
                        if (!change.isEmpty())
                            changedValue(i, row, change, v);
                    }
                }
            } catch (const RowBufferError &e) {
                written = false;
                rejectValue(i, row, e.message(), v);
            }
            if (options_.continuePastRejected) {
                // A written text or bytes value shares its data with the
                // buffer's value (Qt's implicit sharing): only the value
                // itself is counted again.
                lastRowValuesBytes_ += std::int64_t(sizeof(MySqlValue));
                if (!written)
                    lastRowValuesBytes_ += std::int64_t(v.text.size()) * 2 + v.bytes.size() + v.utf8.size();
                batchValues_.back().push_back(std::move(v));
            }
        }
        valuesBytes_ += lastRowValuesBytes_;
    }

    // The bytes the batch holds: the buffer's rows and the source values
    // kept for the reload files.
    std::int64_t heldBytes() const { return buffer_.heldBytes() + valuesBytes_; }

    // Completes the row; false when the copy must end (the error is in
    // postError()).
    bool postRow(std::int64_t row)
    {
        try {
            buffer_.post();
            return true;
        } catch (const RowBufferError &e) {
            postError_ = e.message();
            rejectRow(row, e.message(), batchValues_.empty() ? nullptr : &batchValues_.back());
            batchRows_.pop_back();
            if (!batchValues_.empty()) {
                valuesBytes_ -= lastRowValuesBytes_;
                batchValues_.pop_back();
            }
            return options_.continuePastRejected;
        }
    }
    const QString &postError() const { return postError_; }

    // Sends the buffered rows; false when the copy must end, with the
    // rejection's message in applyError().
    bool applyBatch()
    {
        const std::int64_t rows = buffer_.rowCount();
        if (options_.continuePastRejected) {
            const BatchResult result = buffer_.applyKeepingAccepted();
            counts_.rowsWritten += rows - std::int64_t(result.rejected.size());
            for (const RejectedRow &r : result.rejected)
                rejectRow(batchRows_.at(size_t(r.row)), r.message, &batchValues_.at(size_t(r.row)));
            clearBatch();
            return true;
        }
        const ApplyState applied = ApplyInserts(buffer_);
        if (applied.ApplyOk) {
            counts_.rowsWritten += rows;
            clearBatch();
            return true;
        }
        const int rejected = buffer_.lastRejectedRow();
        if (rejected >= 0 && size_t(rejected) < batchRows_.size())
            rejectRow(batchRows_[size_t(rejected)], applied.ApplyErrorText, nullptr);
        applyError_ = applied.ApplyErrorText;
        clearBatch();
        return false;
    }
    const QString &applyError() const { return applyError_; }

    // A progress text: a line of its own after per-field error lines, else
    // it replaces the last line.
    void progress(const QString &text)
    {
        if (errorLineSinceProgress_)
            log_.Append(text);
        else
            log_.RewriteLast(text);
        errorLineSinceProgress_ = false;
    }

    void finish()
    {
        for (int i = 0; i < fieldCount(); ++i) {
            const std::int64_t more = timesLogged_[size_t(i)] - kRepeatedLineLimit;
            if (more > 0)
                counts_.suppressedLines.emplace_back(errorLine_[size_t(i)], more);
        }
    }

private:
    void rejectValue(int field, std::int64_t row, const QString &reason, const MySqlValue &value)
    {
        ++counts_.valuesRejected;
        if (options_.ledger)
            options_.ledger->recordValue(listedName_, row, fieldNames_.at(field), reason, sourceValueText(value));
        if (++timesLogged_[size_t(field)] <= kRepeatedLineLimit) {
            log_.Append(errorLine_[size_t(field)]);
            errorLineSinceProgress_ = true;
        }
    }

    // A value written, but not as it came: recorded, without a log line.
    void changedValue(int field, std::int64_t row, const QString &reason, const MySqlValue &value)
    {
        ++counts_.valuesRejected;
        if (options_.ledger)
            options_.ledger->recordValue(listedName_, row, fieldNames_.at(field), reason, sourceValueText(value));
    }

    void rejectRow(std::int64_t row, const QString &reason, const std::vector<MySqlValue> *values)
    {
        ++counts_.rowsRejected;
        if (!options_.ledger)
            return;
        options_.ledger->recordRow(listedName_, row, reason);
        if (values && options_.continuePastRejected) {
            QStringList texts;
            for (const MySqlValue &v : *values)
                texts << sourceValueText(v);
            options_.ledger->recordReloadRow(buffer_.target(), fieldNames_, texts);
        }
    }

    void clearBatch()
    {
        batchRows_.clear();
        batchValues_.clear();
        valuesBytes_ = 0;
    }


    RowBuffer &buffer_;
    const QString &listedName_;
    TRunLog &log_;
    const CopyOptions &options_;
    CopyCounts &counts_;
    QStringList fieldNames_;
    std::vector<int> targetColumn_;
    std::vector<QString> errorLine_;
    std::vector<bool> isBoolean_;
    std::vector<bool> checksNumber_;
    std::vector<std::int64_t> timesLogged_;
    // The source row number (1-based) of every buffered row, and with rows
    // kept past rejections their source values for the reload files.
    std::vector<std::int64_t> batchRows_;
    std::vector<std::vector<MySqlValue>> batchValues_;
    std::int64_t valuesBytes_ = 0;
    std::int64_t lastRowValuesBytes_ = 0;
    bool errorLineSinceProgress_ = false;
    QString postError_;
    QString applyError_;
};

} // namespace

TStepResult CopyRows(MySqlConnection &data, OracleSession &oracleconn, RowBuffer &oracleinsertdata,
                     const QString &listedName, const QString &targetName, TRunLog &log, RunControl &control,
                     const CopyOptions &options, CopyCounts *counts)
{
    CopyCounts ownCounts;
    CopyCounts &count = counts ? *counts : ownCounts;
    count = CopyCounts();
    TStepResult result;
    TableCopy copy(oracleinsertdata, listedName, log, options, count);
    auto fail = [&](const QString &message) {
        copy.finish();
        result.Ok = false;
        result.ErrorText = message;
        return result;
    };

    std::unique_ptr<MySqlResult> sjb;
    try {
        sjb = data.query(sourceRowsStatement(listedName));
        sjb->keepUtf8Text();
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    try {
        oracleinsertdata.close();
        oracleinsertdata.open(oracleconn, targetName);
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    // The target column of each source field, by the first 30 characters of
    // its name; the field list is the same for every row of a result.
    copy.describeFields(*sjb);

    std::int64_t counter = 0;
    try {
        while (sjb->next()) {
            ++counter;
            count.rowsRead = counter;
            copy.copyRow(*sjb, counter);
            if (!copy.postRow(counter))
                return fail(copy.postError());

            // A batch that holds the byte cap goes now; the row-count points
            // below then apply what came since (nothing, if no row did).
            const bool scheduled = counter % kProgressPeriod == 0 && counter % kApplyPeriod == kApplyPhase;
            if (!scheduled && copy.heldBytes() >= kBatchByteCap) {
                if (!copy.applyBatch())
                    return fail(copy.applyError());
                oracleinsertdata.close();
                oracleinsertdata.open(oracleconn, targetName);
            }
            if (counter % kProgressPeriod == 0) {
                if (scheduled) {
                    if (!copy.applyBatch())
                        return fail(copy.applyError());
                    oracleinsertdata.close();
                    oracleinsertdata.open(oracleconn, targetName);
                }
                copy.progress(progressLine(targetName, counter));
                if (options.progress)
                    options.progress(counter);
                control.pump();
                if (control.StopRequested())
                    return fail(operationAbortedText());
            }
        }
        if (!copy.applyBatch())
            return fail(copy.applyError());
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    sjb.reset();
    copy.progress(progressLine(targetName, counter));
    copy.finish();
    return result;
}

} // namespace tavrex
