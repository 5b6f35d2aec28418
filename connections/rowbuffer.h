#pragma once

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"

#include <QHash>
#include <QString>

#include <optional>
#include <stdexcept>

namespace tavrex {

// A value that cannot be written into its target column (wrong type, out of
// range, an impossible date, no such column, a post with a required column
// empty). The row copy turns it into a per-field log line or ends the copy.
class RowBufferError : public std::runtime_error {
public:
    explicit RowBufferError(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const noexcept { return message_; }

private:
    QString message_;
};

// The base day of a MySQL TIME written into an Oracle DATE: a time of day
// t becomes 1900-01-01 plus t. Oracle has no time-only type; a fixed day
// keeps the value readable and the same on every run.
constexpr int kTimeBaseYear = 1900;
constexpr int kTimeBaseMonth = 1;
constexpr int kTimeBaseDay = 1;

// Conversions of one source value into the type of a described target
// column; std::nullopt when the value cannot be converted. Pure, so that the
// rules are tested one by one.
std::optional<OracleValue> convertForColumn(const MySqlValue &value, const OracleColumn &column);

// The conversion family of a target column type, decided once per column.
// Geometry: an SDO_GEOMETRY column, which takes MySQL's stored form of a
// geometry (4 bytes of SRID, little endian, then the WKB) as its WKB and SRID.
enum class TargetKind { Number, Text, Date, Bytes, Timestamp, Interval, BinaryNumber, Geometry, Unsupported };
TargetKind targetKind(const OracleColumn &column);
std::optional<OracleValue> convertForKind(const MySqlValue &value, TargetKind kind);

// Checks and tidies a decimal text for NUMBER: an optional sign, digits with
// an optional fraction and an optional exponent, and a magnitude Oracle can
// hold (below 1E126). Returns the text to bind, or std::nullopt.
std::optional<QString> numberText(QStringView text);
bool isNumberText(QStringView text);

// Parses MySQL's date and time texts into a DATE; std::nullopt for a zero or
// impossible date, fractions of a second that a DATE cannot keep, or a TIME
// outside one day.
std::optional<OracleDate> parseMySqlDate(QStringView text);      // "YYYY-MM-DD"
std::optional<OracleDate> parseMySqlDateTime(QStringView text);  // "YYYY-MM-DD hh:mm:ss[.ffffff]"
std::optional<OracleDate> parseMySqlTime(QStringView text);      // "hh:mm:ss[.ffffff]"
// The same texts kept whole: a DATETIME / TIMESTAMP with its fraction of a
// second, and a TIME (-838:59:59.000000 to 838:59:59.000000) as a signed
// interval of days, hours, minutes, seconds and fraction.
std::optional<OracleTimestamp> parseMySqlTimestamp(QStringView text);
std::optional<OracleInterval> parseMySqlInterval(QStringView text);

// The row buffer of the row copy (oracleinsertdata): opened on a target table
// by describing "select * from "T" where 1=0", it collects typed, converted
// rows and hands them over as one batch (takeRows), which ApplyInserts sends.
class RowBuffer {
public:
    // Describes the target; throws DatabaseError when that fails.
    void open(OracleSession &session, const QString &targetName);
    // Discards every row held.
    void close();
    bool isOpen() const { return session_ != nullptr; }
    // Discards every row held and keeps the description: the next batch of
    // the same table starts without asking the session again.
    void restart();
    // Hands the held rows over, to be sent by another thread, and starts an
    // empty batch of the same columns. The memory of a batch given back with
    // recycle() serves the next one.
    OracleRowBatch takeRows();
    void recycle(OracleRowBatch &&sent);
    // Converts rows taken with takeRows into the form the session sends
    // (OracleSession::batchPreparer), on the caller's thread, while the
    // session may be sending an earlier batch; rows of a session without a
    // preparer stay as they are.
    void prepare(OracleRowBatch &rows) const;
    OracleSession *session() const { return session_; }

    const QVector<OracleColumn> &columns() const { return batch_.columns(); }
    int rowCount() const { return batch_.rowCount(); }
    // The bytes the held rows take: every value's text or bytes plus a fixed
    // share per value. Kept as rows are written, so reading it costs nothing;
    // the row copy applies a batch early when it grows too large.
    qint64 heldBytes() const { return heldBytes_; }

    // The conversion family of a column, decided when the buffer was opened.
    TargetKind kindOf(int column) const { return kinds_[size_t(column)]; }

    // Starts a new row: every column unwritten.
    void append();
    // Writes a value into a column of the current row, converted to the
    // column's type. Throws RowBufferError when there is no such column
    // (column < 0) or the value cannot be converted; the column then stays
    // unwritten.
    void write(int column, const MySqlValue &value);
    void writeInteger(int column, qint64 value);
    // Writes a text column's value given as valid UTF-8 (kind Text), a
    // binary column's bytes (kind Bytes) or a number column's decimal digits
    // as the server sent them (kind Number; the caller has checked their
    // shape), as write() would, the bytes kept with the batch rather than in
    // an allocation of their own.
    void writeKept(int column, TargetKind kind, const char *data, qsizetype size);
    // The same without a copy: the value refers to the caller's bytes, which
    // must stay as they are until the batch has been sent (or discarded).
    void writeReferenced(int column, TargetKind kind, const char *data, qsizetype size);
    // Writes a date column's value, read by the caller, as write() would.
    void writeDate(int column, const OracleDate &date);
    // Completes the current row; throws RowBufferError when a column that
    // requires a value holds none. The failed row is dropped.
    void post();

    const QString &target() const { return target_; }

private:
    void writeBytes(int column, TargetKind kind, QByteArray bytes);

    OracleSession *session_ = nullptr;
    QString target_;
    OracleRowBatch batch_;
    // Batches given back, whose memory serves the next ones: one is being
    // sent, one prepared and one filled at a time.
    std::vector<OracleRowBatch> spare_;
    std::unique_ptr<BatchPreparer> preparer_;
    std::vector<TargetKind> kinds_;
    std::vector<bool> written_;
    qint64 heldBytes_ = 0;
};

// How Oracle NUMBER changes a decimal text it accepts: an empty text when it
// keeps the value, else why ("rounded to the 38 significant digits of Oracle
// NUMBER", "below the smallest magnitude of Oracle NUMBER, stored as 0").
QString numberChangeReason(QStringView text);
// The bytes one held value takes, as RowBuffer::heldBytes counts them.
qint64 heldValueBytes(const OracleValue &value);

// Why a value cannot be written into a column of that kind, in words a user
// understands ("zero date", "1E+308 is beyond the range of Oracle NUMBER").
QString conversionFailureReason(const MySqlValue &value, const OracleColumn &column, TargetKind kind);

} // namespace tavrex
