#include "connections/rowcopy.h"

#include "connections/oracleworker.h"
#include "connections/sourcekey.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace tavrex {

namespace {

// The significant digits of an Oracle NUMBER.
constexpr qsizetype kNumberDigits = 38;

QString progressLine(const QString &target, std::int64_t counter)
{
    return QStringLiteral("Insert table ") + target + QLatin1Char(' ') + QString::number(counter) +
           QStringLiteral(" Rows ");
}

} // namespace

QString sourceRowsStatement(const QString &listedName, const QStringList &orderKey, const QString &afterCondition)
{
    QString sql = QStringLiteral("select * from ") + quoteMySqlName(listedName);
    if (!afterCondition.isEmpty())
        sql += QStringLiteral(" where ") + afterCondition;
    if (!orderKey.isEmpty()) {
        QStringList columns;
        for (const QString &c : orderKey)
            columns << quoteMySqlName(c);
        sql += QStringLiteral(" order by ") + columns.join(QLatin1Char(','));
    }
    return sql;
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

ApplyState ApplyInserts(OracleSession &session, const QString &targetName, const OracleRowBatch &rows,
                        int *rejectedRow)
{
    ApplyState state;
    *rejectedRow = -1;
    if (rows.rowCount() == 0)
        return state;
    const BatchResult result = session.insertBatch(targetName, rows);
    if (!result.ok) {
        oracleinsertdataReconcileError(state, result.message);
        *rejectedRow = result.rejectedRow;
    }
    return state;
}

namespace {

// Text and bytes up to this size are kept in the batch's blocks; a larger
// value takes an allocation of its own, which the allocator reuses from
// batch to batch better than blocks that held a few large values.
constexpr qsizetype kKeptValueLimit = 16 * 1024;
// Text and bytes of this size or more (a value that fills a batch by itself)
// are not copied at all: the batch refers to them in the client's row, and
// is sent, and waited for, before the next read replaces that row. One such
// value then takes the memory of the client's row and the target's own
// copy, not a third copy in between.
constexpr qsizetype kReferencedValueLimit = qsizetype(kBatchByteCap);

// One table's copy: the source, the buffer, the counters and the records of
// what could not be written.
//
// A batch is sent on the Oracle worker's thread while the next rows are
// read and converted; one batch at most is on its way. Everything the copy writes
// (log lines, ledger records) while a batch is on its way waits for that
// batch's outcome: when it was committed, the writes follow its own records
// in their order; when it failed, the copy ends there with what it had when
// the batch left, exactly as if no row after it had been read. So the log,
// the ledger and the counts are those of a copy that sends every batch before
// reading on.
class TableCopy {
public:
    TableCopy(OracleSession &session, RowBuffer &buffer, const QString &listedName, TRunLog &log,
              RunControl &control, const CopyOptions &options, CopyCounts &counts)
        : buffer_(buffer), listedName_(listedName), log_(log), control_(control), options_(options),
          counts_(counts),
          worker_(session, options.sendAhead ? OracleWorker::Where::OwnThread : OracleWorker::Where::CallersThread)
    {
    }

    void describeFields(const MySqlResult &sjb)
    {
        const int fieldCount = sjb.fieldCount();
        for (int i = 0; i < fieldCount; ++i)
            fieldNames_ << sjb.fieldName(i);
        QStringList columnNames;
        for (const OracleColumn &c : buffer_.columns())
            columnNames << c.name;
        const std::vector<int> columns = matchTargetColumns(fieldNames_, options_.uppercaseNames, columnNames);
        // The fields of the key the rows come in order of, and how the
        // record writes their values.
        for (const QString &key : options_.orderKey) {
            const int field = int(fieldNames_.indexOf(key));
            const std::optional<KeyValue::Kind> kind = field < 0 ? std::nullopt : keyKind(sjb.fieldType(field));
            if (!kind) {
                keyFields_.clear();
                break;
            }
            keyFields_.push_back({field, *kind});
        }
        lastKey_.assign(keyFields_.size(), QByteArray());
        for (int i = 0; i < fieldCount; ++i) {
            const QString &name = fieldNames_.at(i);
            targetColumn_.push_back(columns[size_t(i)]);
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
            // UTF-8 text into a text column, bytes into a binary one and the
            // digits of integers and decimals into a number column go as the
            // server's bytes, kept with the batch, and dates into a date
            // column are read from them, unless the source values are kept
            // for the reload files anyway. Anything these ways do not take
            // goes the general way (sjb.value()), which also words what
            // cannot be written.
            Direct direct = Direct::None;
            if (column >= 0 && isBoolean_.back() && !options_.continuePastRejected &&
                buffer_.kindOf(column) == TargetKind::Number) {
                direct = Direct::Boolean;
            } else if (column >= 0 && !isBoolean_.back() && !options_.continuePastRejected) {
                const MySqlValue::Type type = sjb.fieldType(i);
                const TargetKind kind = buffer_.kindOf(column);
                // Text into a binary column goes as its UTF-8 bytes.
                if (type == MySqlValue::Type::Text && (kind == TargetKind::Text || kind == TargetKind::Bytes))
                    direct = Direct::Text;
                else if (type == MySqlValue::Type::Bytes && kind == TargetKind::Bytes)
                    direct = Direct::Bytes;
                else if ((type == MySqlValue::Type::Integer || type == MySqlValue::Type::Unsigned) &&
                         kind == TargetKind::Number)
                    direct = Direct::Integer;
                else if (type == MySqlValue::Type::Decimal && kind == TargetKind::Number)
                    direct = Direct::Decimal;
                else if ((type == MySqlValue::Type::Date || type == MySqlValue::Type::DateTime) &&
                         kind == TargetKind::Date)
                    direct = type == MySqlValue::Type::Date ? Direct::Date : Direct::DateTime;
            }
            direct_.push_back(direct);
        }
    }

    int fieldCount() const { return int(targetColumn_.size()); }

    // Writes the fields of the current source row into a new buffer row.
    void copyRow(const MySqlResult &sjb, std::int64_t row)
    {
        refersToRow_ = false;
        lastRowRead_ = row;
        for (size_t k = 0; k < keyFields_.size(); ++k) {
            const QByteArrayView raw = sjb.rawView(keyFields_[k].field);
            QByteArray &key = lastKey_[k];  // its memory serves row after row
            key.resize(raw.size());
            if (!raw.isEmpty())
                std::memcpy(key.data(), raw.data(), size_t(raw.size()));
        }
        buffer_.append();
        batchRows_.push_back(row);
        if (options_.continuePastRejected)
            batchValues_.emplace_back();
        lastRowValuesBytes_ = 0;
        for (int i = 0; i < fieldCount(); ++i) {
            const int column = targetColumn_[size_t(i)];
            if (direct_[size_t(i)] != Direct::None && writeDirect(sjb, i, column))
                continue;
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

    // The bytes the batch in work holds: the buffer's rows and the source
    // values kept for the reload files.
    std::int64_t heldBytes() const { return buffer_.heldBytes() + valuesBytes_; }
    // The same, with the batch on its way.
    std::int64_t heldBytesWithSent() const { return heldBytes() + (sent_ ? sent_->bytes : 0); }
    bool sending() const { return sent_ != nullptr; }
    // Whether the last row copied refers to the source row's bytes, which
    // the next read replaces.
    bool refersToRow() const { return refersToRow_; }

    // Completes the row; false when the copy must end (the error is in
    // postError()).
    bool postRow(std::int64_t row)
    {
        try {
            buffer_.post();
            return true;
        } catch (const RowBufferError &e) {
            postError_ = e.message();
            rejectRow(row, e.message(), batchValues_.empty() ? nullptr : &batchValues_.back(), true);
            batchRows_.pop_back();
            if (!batchValues_.empty()) {
                valuesBytes_ -= lastRowValuesBytes_;
                batchValues_.pop_back();
            }
            return options_.continuePastRejected;
        }
    }
    const QString &postError() const { return postError_; }

    // Sends the buffered rows, after the outcome of the batch before them is
    // known; false when the copy must end, with the rejection's message in
    // applyError(). With sending ahead the rows go on the worker's thread
    // and their outcome is taken by poll() or settle(); otherwise here.
    bool sendBatch()
    {
        // The rows are converted into the session's form here, while the
        // batch before them is still on its way; when that batch fails, they
        // are dropped with the rest of the batch in work.
        const std::int64_t bytes = heldBytes();
        const bool any = buffer_.rowCount() > 0;
        OracleRowBatch rows;
        if (any) {
            rows = buffer_.takeRows();
            buffer_.prepare(rows);
        }
        if (!settle())
            return false;
        if (!any) {
            clearBatch();
            return true;
        }
        auto batch = std::make_unique<SentBatch>();
        batch->bytes = bytes;
        batch->rows = std::move(rows);
        batch->sourceRows = std::move(batchRows_);
        batch->values = std::move(batchValues_);
        batch->before = Counters{counts_, timesLogged_, errorLineSinceProgress_};
        batch->records = std::move(held_.records);
        held_ = Held();
        clearBatch();
        if (options_.progressRecord) {
            batch->rowsRead = lastRowRead_;
            batch->lastKey = lastKeyText();
            batch->rows.setStatementsBeforeCommit({options_.progressRecord(batch->rowsRead, batch->lastKey)});
        }
        const QString target = buffer_.target();
        const bool keepAccepted = options_.continuePastRejected;
        SentBatch *b = batch.get();
        sent_ = std::move(batch);
        worker_.start([target, keepAccepted, b](OracleSession &session) {
            if (keepAccepted)
                b->result = session.insertBatchKeepingAccepted(target, b->rows);
            else
                b->applied = ApplyInserts(session, target, b->rows, &b->rejectedRow);
        });
        // Sent in turn, the batch has come back already.
        return options_.sendAhead || settle();
    }

    // Takes the outcome of a batch on its way if it has come; false when the
    // copy must end. Never waits.
    bool poll()
    {
        if (!sent_ || !worker_.waitFor(std::chrono::milliseconds(0)))
            return true;
        sent_->error = worker_.wait(control_);
        return takeOutcome();
    }

    // Waits for the batch on its way, keeping the window responsive, and
    // takes its outcome; false when the copy must end. An error of the apply
    // itself (not a rejected row) is thrown as it came.
    bool settle()
    {
        if (!sent_)
            return true;
        sent_->error = worker_.wait(control_);
        return takeOutcome();
    }
    const QString &applyError() const { return applyError_; }

    // A progress text: a line of its own after per-field error lines, else
    // it replaces the last line.
    void progress(const QString &text)
    {
        const bool own = errorLineSinceProgress_;
        errorLineSinceProgress_ = false;
        write([this, own, text] {
            if (own)
                log_.Append(text);
            else
                log_.RewriteLast(text);
        });
    }

    // The copy ends without sending the batch in work. Its ledger records
    // are written, unless a stop ended it: then its rows never reach the
    // target, and neither they nor what they counted stay.
    void endWork(bool stopped)
    {
        if (stopped) {
            counts_.valuesRejected -= held_.values;
            counts_.rowsRejected -= held_.rows;
        } else {
            for (const std::function<void()> &f : held_.records)
                f();
        }
        held_ = Held();
    }

    // The ledger's first failed write, empty while every write succeeded.
    QString ledgerError() const { return options_.ledger ? options_.ledger->errorText() : QString(); }

    void finish()
    {
        for (int i = 0; i < fieldCount(); ++i) {
            const std::int64_t more = timesLogged_[size_t(i)] - kRepeatedLineLimit;
            if (more > 0)
                counts_.suppressedLines.emplace_back(errorLine_[size_t(i)], more);
        }
    }

private:
    // What the copy has counted and logged: the state it returns to when a
    // batch on its way fails.
    struct Counters {
        CopyCounts counts;
        std::vector<std::int64_t> timesLogged;
        bool errorLineSinceProgress = false;
    };

    // A batch on its way: its rows, their source numbers and values, its
    // outcome, the counters of when it left and the writes made since.
    struct SentBatch {
        OracleRowBatch rows;
        std::vector<std::int64_t> sourceRows;
        std::vector<std::vector<MySqlValue>> values;
        std::int64_t bytes = 0;
        ApplyState applied;      // sent in one transaction
        int rejectedRow = -1;    // its row Oracle rejected
        BatchResult result;      // sent keeping the accepted rows
        std::exception_ptr error;
        Counters before;
        std::vector<std::function<void()>> records;  // the ledger records of its rows
        std::vector<std::function<void()>> writes;
        std::int64_t rowsRead = 0;  // the progress it records
        QString lastKey;
    };

    // The ledger records of the rows of the batch in work, and what they
    // counted: written once the batch is committed, so that the ledger never
    // speaks of a row that a stop kept from the target.
    struct Held {
        std::vector<std::function<void()>> records;
        std::int64_t values = 0;
        std::int64_t rows = 0;
    };

    // A log line or a ledger record: now, or after the batch on its way.
    template <typename F>
    void write(F &&f)
    {
        if (sent_)
            sent_->writes.emplace_back(std::forward<F>(f));
        else
            f();
    }

    bool takeOutcome()
    {
        std::unique_ptr<SentBatch> b = std::move(sent_);
        const bool failed = b->error || !b->applied.ApplyOk;
        if (failed) {
            // The copy ends with this batch: nothing after it counts. The
            // records of its own rows were made before it left.
            counts_ = b->before.counts;
            timesLogged_ = b->before.timesLogged;
            errorLineSinceProgress_ = b->before.errorLineSinceProgress;
            buffer_.restart();
            clearBatch();
            held_ = Held();
            for (const std::function<void()> &f : b->records)
                f();
            if (b->error)
                std::rethrow_exception(b->error);
            const int rejected = b->rejectedRow;
            if (rejected >= 0 && size_t(rejected) < b->sourceRows.size())
                rejectRow(b->sourceRows[size_t(rejected)], b->applied.ApplyErrorText, nullptr);
            applyError_ = b->applied.ApplyErrorText;
            return false;
        }
        const std::int64_t rows = b->rows.rowCount();
        counts_.rowsWritten += rows - std::int64_t(b->result.rejected.size());
        if (options_.progressCommitted)
            options_.progressCommitted(b->rowsRead, b->lastKey);
        for (const std::function<void()> &f : b->records)
            f();
        for (const RejectedRow &r : b->result.rejected)
            rejectRow(b->sourceRows.at(size_t(r.row)), r.message, &b->values.at(size_t(r.row)));
        for (const std::function<void()> &f : b->writes)
            f();
        buffer_.recycle(std::move(b->rows));
        return true;
    }

    void rejectValue(int field, std::int64_t row, const QString &reason, const MySqlValue &value)
    {
        ++counts_.valuesRejected;
        ++held_.values;
        const bool logged = ++timesLogged_[size_t(field)] <= kRepeatedLineLimit;
        if (logged) {
            errorLineSinceProgress_ = true;
            write([this, field] { log_.Append(errorLine_[size_t(field)]); });
        }
        if (options_.ledger)
            held_.records.emplace_back([this, field, row, reason, text = sourceValueText(value)] {
                options_.ledger->recordValue(listedName_, row, fieldNames_.at(field), reason, text);
            });
    }

    // A value written, but not as it came: recorded, without a log line.
    void changedValue(int field, std::int64_t row, const QString &reason, const MySqlValue &value)
    {
        ++counts_.valuesRejected;
        ++held_.values;
        if (!options_.ledger)
            return;
        held_.records.emplace_back([this, field, row, reason, text = sourceValueText(value)] {
            options_.ledger->recordValue(listedName_, row, fieldNames_.at(field), reason, text);
        });
    }

    // A row that was not inserted. A row of the batch in work (inWork) is
    // recorded with that batch; a row of a batch that came back, now.
    void rejectRow(std::int64_t row, const QString &reason, const std::vector<MySqlValue> *values,
                   bool inWork = false)
    {
        ++counts_.rowsRejected;
        if (inWork)
            ++held_.rows;
        if (!options_.ledger)
            return;
        QStringList texts;
        const bool reload = values && options_.continuePastRejected;
        if (reload)
            for (const MySqlValue &v : *values)
                texts << sourceValueText(v);
        auto record = [this, row, reason, reload, texts] {
            options_.ledger->recordRow(listedName_, row, reason);
            if (reload)
                options_.ledger->recordReloadRow(listedName_, buffer_.target(), fieldNames_, texts);
        };
        if (inWork)
            held_.records.emplace_back(std::move(record));
        else
            write(std::move(record));
    }

    void clearBatch()
    {
        batchRows_.clear();
        batchValues_.clear();
        valuesBytes_ = 0;
    }

    static std::optional<KeyValue::Kind> keyKind(MySqlValue::Type type)
    {
        switch (type) {
        case MySqlValue::Type::Integer:
        case MySqlValue::Type::Unsigned:
        case MySqlValue::Type::Decimal: return KeyValue::Kind::Number;
        case MySqlValue::Type::Date:
        case MySqlValue::Type::DateTime:
        case MySqlValue::Type::Time: return KeyValue::Kind::Temporal;
        case MySqlValue::Type::Text: return KeyValue::Kind::Text;
        case MySqlValue::Type::Bytes: return KeyValue::Kind::Bytes;
        default: return std::nullopt;  // a float or a bit compares unlike its text
        }
    }
    QString lastKeyText() const
    {
        if (keyFields_.empty() || lastRowRead_ == 0)
            return QString();
        std::vector<KeyValue> values;
        for (size_t k = 0; k < keyFields_.size(); ++k)
            values.push_back({keyFields_[k].kind, lastKey_[k]});
        return encodeKey(values);
    }

    struct KeyField {
        int field;
        KeyValue::Kind kind;
    };
    std::vector<KeyField> keyFields_;
    std::vector<QByteArray> lastKey_;
    std::int64_t lastRowRead_ = 0;

    RowBuffer &buffer_;
    const QString &listedName_;
    TRunLog &log_;
    RunControl &control_;
    const CopyOptions &options_;
    CopyCounts &counts_;
    QStringList fieldNames_;
    std::vector<int> targetColumn_;
    std::vector<QString> errorLine_;
    std::vector<bool> isBoolean_;
    std::vector<bool> checksNumber_;
    // How a field's values go into the buffer when they take a direct way.
    enum class Direct { None, Text, Bytes, Integer, Decimal, Date, DateTime, Boolean };
    std::vector<Direct> direct_;

    // Writes the field's value straight from the server's bytes; false when
    // the value must go the general way.
    bool writeDirect(const MySqlResult &sjb, int field, int column)
    {
        if (sjb.isNull(field))
            return false;
        const QByteArrayView raw = sjb.rawView(field);
        switch (direct_[size_t(field)]) {
        case Direct::None: return false;
        case Direct::Text:
            if (!takesBytesDirect(raw) || !sjb.isUtf8Text(field))
                return false;
            writeBytesDirect(column, buffer_.kindOf(column), raw);
            return true;
        case Direct::Boolean:
            // The server's "0" and "1" are the numbers written for false and
            // true; any other value goes the general way.
            if (raw.size() != 1 || (raw[0] != '0' && raw[0] != '1'))
                return false;
            buffer_.writeKept(column, TargetKind::Number, raw.data(), 1);
            return true;
        case Direct::Bytes:
            if (!takesBytesDirect(raw))
                return false;
            writeBytesDirect(column, TargetKind::Bytes, raw);
            return true;
        case Direct::Integer:
        case Direct::Decimal:
            // The server's usual digits: "0", or an optional sign and a first
            // digit 1-9 (no zero fill), for a decimal a fraction after
            // "0" or those; a decimal of at most 38 characters holds at
            // most 38 digits, which NUMBER keeps unchanged.
            if (!plainServerNumber(raw, direct_[size_t(field)] == Direct::Decimal))
                return false;
            buffer_.writeKept(column, TargetKind::Number, raw.data(), raw.size());
            return true;
        case Direct::Date:
        case Direct::DateTime: {
            char16_t text[32];
            if (raw.size() > qsizetype(std::size(text)))
                return false;
            for (qsizetype k = 0; k < raw.size(); ++k)
                text[k] = static_cast<unsigned char>(raw[k]);
            const QStringView view(text, raw.size());
            const std::optional<OracleDate> date =
                direct_[size_t(field)] == Direct::Date ? parseMySqlDate(view) : parseMySqlDateTime(view);
            if (!date)
                return false;
            buffer_.writeDate(column, *date);
            return true;
        }
        }
        return false;
    }

    static bool takesBytesDirect(QByteArrayView raw)
    {
        return raw.size() <= kKeptValueLimit || raw.size() >= kReferencedValueLimit;
    }
    void writeBytesDirect(int column, TargetKind kind, QByteArrayView raw)
    {
        if (raw.size() >= kReferencedValueLimit) {
            buffer_.writeReferenced(column, kind, raw.data(), raw.size());
            refersToRow_ = true;
        } else {
            buffer_.writeKept(column, kind, raw.data(), raw.size());
        }
    }

    static bool plainServerNumber(QByteArrayView raw, bool decimal)
    {
        const qsizetype n = raw.size();
        if (decimal && n > kNumberDigits)
            return false;
        qsizetype i = raw.startsWith('-') ? 1 : 0;
        const qsizetype intStart = i;
        while (i < n && raw[i] >= '0' && raw[i] <= '9')
            ++i;
        const qsizetype intDigits = i - intStart;
        if (intDigits == 0 || (raw[intStart] == '0' && (intDigits > 1 || (!decimal && intStart > 0))))
            return false;
        if (i == n)
            return true;
        if (!decimal || raw[i] != '.' || ++i == n)
            return false;
        while (i < n && raw[i] >= '0' && raw[i] <= '9')
            ++i;
        return i == n;
    }
    std::vector<std::int64_t> timesLogged_;
    // The source row number (1-based) of every buffered row, and with rows
    // kept past rejections their source values for the reload files.
    std::vector<std::int64_t> batchRows_;
    std::vector<std::vector<MySqlValue>> batchValues_;
    std::int64_t valuesBytes_ = 0;
    std::int64_t lastRowValuesBytes_ = 0;
    bool errorLineSinceProgress_ = false;
    bool refersToRow_ = false;
    QString postError_;
    QString applyError_;
    std::unique_ptr<SentBatch> sent_;
    Held held_;
    // Last, so that it is destroyed first: its job uses the batch on its way.
    OracleWorker worker_;
};

// A row this large, or every 16th row, is followed by a look at the window.
constexpr std::int64_t kLargeRowBytes = 256 * 1024;

} // namespace

TStepResult CopyRows(MySqlConnection &data, OracleSession &oracleconn, RowBuffer &oracleinsertdata,
                     const QString &listedName, const QString &targetName, TRunLog &log, RunControl &control,
                     const CopyOptions &options, CopyCounts *counts)
{
    CopyCounts ownCounts;
    CopyCounts &count = counts ? *counts : ownCounts;
    count = CopyCounts();
    TStepResult result;
    TableCopy copy(oracleconn, oracleinsertdata, listedName, log, control, options, count);
    bool stopped = false;
    auto fail = [&](const QString &message) {
        copy.endWork(stopped);
        copy.finish();
        result.Ok = false;
        // A ledger that failed ends the copy with its own error.
        const QString ledgerError = copy.ledgerError();
        result.ErrorText = ledgerError.isEmpty() || stopped ? message : ledgerError;
        return result;
    };
    // Ends the copy with message once the batch on its way has come back;
    // when that batch failed, its failure ends the copy instead, as it would
    // have before a row after it was read.
    auto failAfterSent = [&](const QString &message) {
        try {
            if (!copy.settle())
                return fail(copy.applyError());
        } catch (const DatabaseError &e) {
            return fail(e.message());
        }
        return fail(message);
    };

    std::unique_ptr<MySqlResult> sjb;
    try {
        sjb = data.query(sourceRowsStatement(listedName, options.orderKey, options.afterCondition));
        sjb->keepUtf8Text();
        sjb->serveWaits([&control] { control.keepResponsive(); });
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    try {
        oracleinsertdata.close();
        oracleinsertdata.open(oracleconn, targetName);
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    // The target column of each source field, named as the table definition
    // names it; the field list is the same for every row of a result.
    copy.describeFields(*sjb);

    // A continued copy numbers its rows after those the interrupted one read.
    std::int64_t counter = options.rowsBefore;
    try {
        while (sjb->next()) {
            ++counter;
            count.rowsRead = counter - options.rowsBefore;
            const std::int64_t bytesBefore = copy.heldBytes();
            copy.copyRow(*sjb, counter);
            if (!copy.postRow(counter))
                return failAfterSent(copy.postError());
            if (!copy.ledgerError().isEmpty())
                return failAfterSent(copy.ledgerError());
            // A value that refers to the source row goes before the next
            // read replaces it.
            if (copy.refersToRow() && (!copy.sendBatch() || !copy.settle()))
                return fail(copy.applyError());
            const bool largeRow = copy.heldBytes() - bytesBefore >= kLargeRowBytes;

            // The batch on its way and the one in work hold the byte cap
            // together: the one on its way must come back first.
            if (copy.sending() && copy.heldBytesWithSent() >= kBatchByteCap && !copy.settle())
                return fail(copy.applyError());
            // A batch that holds the byte cap goes now; the row-count points
            // below then send what came since (nothing, if no row did).
            const bool scheduled = counter % kProgressPeriod == 0 && counter % kApplyPeriod == kApplyPhase;
            if (!scheduled && copy.heldBytes() >= kBatchByteCap && !copy.sendBatch())
                return fail(copy.applyError());
            if (counter % kProgressPeriod == 0) {
                if (scheduled && !copy.sendBatch())
                    return fail(copy.applyError());
                if (!copy.poll())
                    return fail(copy.applyError());
                copy.progress(progressLine(targetName, counter));
                if (options.progress)
                    options.progress(counter);
                control.pump();
                if (control.StopRequested()) {
                    stopped = true;
                    return failAfterSent(operationAbortedText());
                }
            } else if (counter % 16 == 0 || largeRow) {
                control.keepResponsive();
            }
        }
        if (!copy.sendBatch() || !copy.settle())
            return fail(copy.applyError());
    } catch (const DatabaseError &e) {
        return failAfterSent(e.message());
    }
    sjb.reset();
    copy.progress(progressLine(targetName, counter));
    if (!copy.ledgerError().isEmpty())
        return fail(copy.ledgerError());
    copy.finish();
    return result;
}

} // namespace tavrex
