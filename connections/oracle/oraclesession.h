#pragma once

#include "connections/common/params.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>
#include <memory>
#include <vector>

namespace tavrex {

// A column of an Oracle query as a describe reports it.
// 'select * from "T" where 1=0': the describe query of a target table, which
// the row buffer, the verification and the OCI adapter all send.
inline QString describeStatement(const QString &targetName)
{
    return QStringLiteral("select * from \"") + targetName + QStringLiteral("\" where 1=0");
}

// The kind of an Oracle column, from its type name as the catalogue gives it:
// the one classification of Oracle types, which the copy, the verification
// and the OCI adapter read (each maps it to what it needs).
enum class OracleColumnKind {
    Number,               // NUMBER
    Float,                // FLOAT
    BinaryFloat,          // BINARY_FLOAT
    BinaryDouble,         // BINARY_DOUBLE
    Date,                 // DATE
    Timestamp,            // TIMESTAMP
    ZonedTimestamp,       // the other TIMESTAMP types (WITH [LOCAL] TIME ZONE)
    IntervalDayToSecond,  // INTERVAL DAY TO SECOND
    Varchar2,             // VARCHAR2
    NVarchar2,            // NVARCHAR2
    Char,                 // CHAR
    NChar,                // NCHAR
    Clob,                 // CLOB
    NClob,                // NCLOB
    Long,                 // LONG
    Blob,                 // BLOB
    Raw,                  // RAW
    LongRaw,              // LONG RAW
    Geometry,             // SDO_GEOMETRY
    Other,                // anything else
};
OracleColumnKind oracleColumnKind(const QString &typeName);

struct OracleColumn {
    QString name;        // the catalogue name, exactly
    QString type;        // "NUMBER", "VARCHAR2", "CHAR", "DATE", "BLOB", "CLOB", "RAW", "BINARY_FLOAT",
                         // "BINARY_DOUBLE", "TIMESTAMP", "INTERVAL DAY TO SECOND" or "SDO_GEOMETRY"
    int length = 0;      // VARCHAR2 and CHAR: characters; RAW: bytes; 0 for the others
    int precision = 0;   // NUMBER(p) and NUMBER(p,s); 0 for an unsized NUMBER; INTERVAL: the day digits
    int scale = 0;       // NUMBER(p,s); TIMESTAMP and INTERVAL: the fraction digits
    bool nullable = true;  // false: the column requires a value (NOT NULL)

    OracleColumnKind kind() const { return oracleColumnKind(type); }

    bool operator==(const OracleColumn &o) const
    {
        return name == o.name && type == o.type && length == o.length && precision == o.precision &&
               scale == o.scale && nullable == o.nullable;
    }
};

// An Oracle DATE: year -4712 to 9999 without year 0, seconds, no fractions.
struct OracleDate {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const OracleDate &o) const
    {
        return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
               second == o.second;
    }
};

// An Oracle TIMESTAMP: a DATE with a fraction of a second in nanoseconds
// (0 to 999999999); the column's fraction digits decide what is kept.
struct OracleTimestamp {
    OracleDate date;
    int nanosecond = 0;

    bool operator==(const OracleTimestamp &o) const { return date == o.date && nanosecond == o.nanosecond; }
};

// An Oracle INTERVAL DAY TO SECOND: a sign and its parts, each part in its
// range (hours 0-23, minutes and seconds 0-59, nanoseconds 0-999999999).
// A zero interval is never negative.
struct OracleInterval {
    bool negative = false;
    int days = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int nanosecond = 0;

    bool operator==(const OracleInterval &o) const
    {
        return negative == o.negative && days == o.days && hours == o.hours && minutes == o.minutes &&
               seconds == o.seconds && nanosecond == o.nanosecond;
    }
};

// One typed value bound into an INSERT. Numbers travel as exact decimal text
// ("-12.50", "18446744073709551615", "1.5E+10"): an optional sign, digits with
// an optional fraction, an optional exponent. Never through a double.
// BinaryNumber is a BINARY_FLOAT / BINARY_DOUBLE value as the server's decimal
// text ("1E+308", "-0.1", "inf", "nan"), which the target reads as an IEEE
// number: outside NUMBER's range, so it is not a Number. Geometry is an
// SDO_GEOMETRY value as its well-known binary (WKB) and its SRID, 0 for none
// (SDO_SRID NULL).
class OracleValue {
public:
    enum class Kind : unsigned char { Null, Number, Text, Date, Bytes, Timestamp, Interval, BinaryNumber, Geometry };

    OracleValue() = default;
    static OracleValue null() { return OracleValue(); }
    static OracleValue number(QString decimalText) { return OracleValue(Kind::Number, std::move(decimalText)); }
    static OracleValue text(QString text) { return OracleValue(Kind::Text, std::move(text)); }
    // A text given as UTF-8 bytes, as the MySQL server sent it: a client
    // that binds UTF-8 takes the bytes as they are; textValue() decodes them
    // once, when some other use asks for the text.
    static OracleValue textUtf8(QByteArray utf8) { return givenAsUtf8(Kind::Text, std::move(utf8)); }
    // A number given as the ASCII digits the MySQL server sent ("-12",
    // "3.50"): a client that binds text takes the bytes as they are.
    static OracleValue numberUtf8(QByteArray ascii) { return givenAsUtf8(Kind::Number, std::move(ascii)); }
    static OracleValue bytes(QByteArray bytes)
    {
        OracleValue v;
        v.kind_ = Kind::Bytes;
        v.raw_ = std::move(bytes);
        return v;
    }
    static OracleValue date(const OracleDate &date)
    {
        OracleValue v;
        v.kind_ = Kind::Date;
        v.date_ = date;
        return v;
    }

    static OracleValue geometry(quint32 srid, QByteArray wkb)
    {
        OracleValue v;
        v.kind_ = Kind::Geometry;
        v.raw_ = std::move(wkb);
        v.srid_ = srid;
        return v;
    }

    static OracleValue binaryNumber(QString decimalText)
    {
        return OracleValue(Kind::BinaryNumber, std::move(decimalText));
    }
    static OracleValue timestamp(const OracleTimestamp &timestamp)
    {
        OracleValue v;
        v.kind_ = Kind::Timestamp;
        v.date_ = timestamp.date;
        v.nanosecond_ = timestamp.nanosecond;
        return v;
    }
    // An interval keeps its parts in the fields of a date (days, hours,
    // minutes, seconds in year, month, day, hour), so that a value stays
    // small: a batch holds thousands of them.
    static OracleValue interval(const OracleInterval &interval)
    {
        OracleValue v;
        v.kind_ = Kind::Interval;
        v.negative_ = interval.negative;
        v.date_ = OracleDate{interval.days, interval.hours, interval.minutes, interval.seconds, 0, 0};
        v.nanosecond_ = interval.nanosecond;
        return v;
    }

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    // The text of a Number or a Text value.
    const QString &textValue() const
    {
        if (!decoded_) {
            text_ = QString::fromUtf8(raw_);
            decoded_ = true;
        }
        return text_;
    }
    // A Text or Number value given as UTF-8 (textUtf8, numberUtf8): its bytes.
    bool isUtf8() const { return utf8Text_; }
    const QByteArray &utf8Value() const { return utf8Text_ ? raw_ : noBytes(); }
    const QByteArray &bytesValue() const { return kind_ == Kind::Bytes ? raw_ : noBytes(); }
    // The well-known binary and the SRID (0: none) of a Geometry value.
    const QByteArray &wkbValue() const { return kind_ == Kind::Geometry ? raw_ : noBytes(); }
    quint32 sridValue() const { return kind_ == Kind::Geometry ? srid_ : 0; }
    // The date of a Date or a Timestamp value.
    const OracleDate &dateValue() const { return date_; }
    OracleTimestamp timestampValue() const { return OracleTimestamp{date_, nanosecond_}; }
    OracleInterval intervalValue() const
    {
        if (kind_ != Kind::Interval)
            return OracleInterval();
        return OracleInterval{negative_, date_.year, date_.month, date_.day, date_.hour, nanosecond_};
    }

    bool operator==(const OracleValue &o) const
    {
        if (kind_ != o.kind_)
            return false;
        switch (kind_) {
        case Kind::Null: return true;
        case Kind::Number:
        case Kind::BinaryNumber:
        case Kind::Text: return textValue() == o.textValue();
        case Kind::Date: return date_ == o.date_;
        case Kind::Bytes: return raw_ == o.raw_;
        case Kind::Geometry: return raw_ == o.raw_ && srid_ == o.srid_;
        case Kind::Timestamp: return date_ == o.date_ && nanosecond_ == o.nanosecond_;
        case Kind::Interval: return intervalValue() == o.intervalValue();
        }
        return false;
    }

private:
    OracleValue(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}
    static OracleValue givenAsUtf8(Kind kind, QByteArray utf8)
    {
        OracleValue v;
        v.kind_ = kind;
        v.raw_ = std::move(utf8);
        v.utf8Text_ = true;
        v.decoded_ = false;
        return v;
    }
    static const QByteArray &noBytes()
    {
        static const QByteArray none;
        return none;
    }

    Kind kind_ = Kind::Null;
    // Decoded from raw_ on first use; only the one thread that owns a batch
    // reads its values.
    mutable bool decoded_ = true;
    bool utf8Text_ = false;
    bool negative_ = false;  // Interval
    mutable QString text_;
    QByteArray raw_;  // Bytes: the bytes; a Text given as UTF-8: its bytes; Geometry: the WKB
    OracleDate date_;
    int nanosecond_ = 0;
    quint32 srid_ = 0;  // Geometry
};

// A session's own form of a batch's rows, made before the batch is sent
// (BatchPreparer): for the embedded target the values as their columns store
// them, for the OCI adapter its filled bind buffers. Kept with its batch; a
// session uses only a form it made itself, and only while it fits the table.
class PreparedRows {
public:
    virtual ~PreparedRows() = default;
};

// The rows of one batch insert: one value per described column per row, in
// the order the rows were appended. A column left unwritten holds NULL.
class OracleRowBatch {
public:
    OracleRowBatch() = default;
    explicit OracleRowBatch(QVector<OracleColumn> columns) : columns_(std::move(columns)) {}

    const QVector<OracleColumn> &columns() const { return columns_; }
    int columnCount() const { return int(columns_.size()); }
    int rowCount() const { return rows_; }

    // Starts a new row of NULLs and returns its position.
    int appendRow()
    {
        preparedValid_ = false;
        values_.resize(values_.size() + size_t(columns_.size()));
        return rows_++;
    }
    // Drops the last row (a row whose post failed).
    void removeLastRow()
    {
        if (rows_ == 0)
            return;
        preparedValid_ = false;
        values_.resize(values_.size() - size_t(columns_.size()));
        --rows_;
    }
    // A value to write: the batch's prepared form, if any, no longer holds.
    OracleValue &at(int row, int column)
    {
        preparedValid_ = false;
        return values_[size_t(row) * size_t(columns_.size()) + size_t(column)];
    }
    const OracleValue &at(int row, int column) const
    {
        return values_[size_t(row) * size_t(columns_.size()) + size_t(column)];
    }
    void clear()
    {
        preparedValid_ = false;
        values_.clear();
        rows_ = 0;
        beforeCommit_.clear();
        releaseKeptBytes();
    }

    // Statements (an UPDATE of the record of conversions) that the insert
    // runs in the batch's own transaction before its commit: they are
    // committed with the rows or not at all. A statement that fails rolls the
    // whole batch back and throws, as an error of the insert itself. The
    // embedded target runs them after the rows; the OCI adapter before them,
    // so that the rows' execute carries the commit (one call less per batch
    // on a server). A statement must therefore not depend on the batch's
    // rows.
    const QStringList &statementsBeforeCommit() const { return beforeCommit_; }
    void setStatementsBeforeCommit(QStringList statements) { beforeCommit_ = std::move(statements); }

    // The session's form of the rows as they are now (BatchPreparer), null
    // when there is none or a row was changed or added since it was made.
    const PreparedRows *prepared() const { return preparedValid_ ? prepared_.get() : nullptr; }
    // For a preparer: the form kept from an earlier batch (or null), taken
    // so that its memory serves again; and the form of these rows, valid
    // when it describes them.
    std::unique_ptr<PreparedRows> takePrepared()
    {
        preparedValid_ = false;
        return std::move(prepared_);
    }
    void setPrepared(std::unique_ptr<PreparedRows> prepared, bool valid)
    {
        prepared_ = std::move(prepared);
        preparedValid_ = valid && prepared_;
    }

    // A copy of size bytes, kept with the batch, as a byte array that refers
    // to it: a batch of thousands of text values costs one allocation per
    // 256 KiB instead of one per value. The array is NUL-terminated and stays
    // valid until the batch is cleared or destroyed; a value that outlives
    // the batch must be copied (QByteArray(data, size)).
    QByteArray keepBytes(const char *data, qsizetype size)
    {
        const size_t need = size_t(size) + 1;
        char *at = nullptr;
        if (need > kKeptBlock) {
            // A large value has a block of its own, freed with the batch.
            large_.emplace_back(new char[need]);
            at = large_.back().get();
        } else {
            if (blocks_.empty() || used_ + need > kKeptBlock) {
                if (blocks_.empty() || current_ + 1 >= blocks_.size()) {
                    blocks_.emplace_back(new char[kKeptBlock]);
                    current_ = blocks_.size() - 1;
                } else {
                    ++current_;
                }
                used_ = 0;
            }
            at = blocks_[current_].get() + used_;
            used_ += need;
        }
        if (size > 0)
            std::memcpy(at, data, size_t(size));
        at[size] = '\0';
        return QByteArray::fromRawData(at, size);
    }
    // Empties the batch for new columns, keeping the memory of earlier rows
    // for the next batch of the same size.
    void reset(QVector<OracleColumn> columns, int expectedRows)
    {
        clear();
        columns_ = std::move(columns);
        values_.reserve(size_t(expectedRows) * size_t(columns_.size()));
    }

private:
    static constexpr size_t kKeptBlock = 256 * 1024;
    // The blocks of kept bytes: a few are kept for the next batch, the
    // others and every large value's own block go.
    void releaseKeptBytes()
    {
        large_.clear();
        if (blocks_.size() > 4)
            blocks_.resize(4);
        current_ = 0;
        used_ = 0;
    }

    QVector<OracleColumn> columns_;
    std::vector<OracleValue> values_;
    int rows_ = 0;
    QStringList beforeCommit_;
    // Kept when the batch is cleared: its memory serves the next form.
    std::unique_ptr<PreparedRows> prepared_;
    bool preparedValid_ = false;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> large_;
    size_t current_ = 0;
    size_t used_ = 0;
};

// The outcome of one batch insert. A rejected row is not an exception: the
// batch was rolled back, and the caller decides what follows.
struct RejectedRow {
    int row = -1;     // 0-based position in the batch
    QString message;  // the server's message for that row, word for word
};

struct BatchResult {
    bool ok = true;
    int rejectedRow = -1;  // 0-based position in the batch of the (first) rejected row
    QString message;       // the server's message for that row, word for word
    // insertBatchKeepingAccepted: every rejected row, in batch order.
    std::vector<RejectedRow> rejected;
};

// The rows of a query, read forward. An implementation holds a bounded number
// of rows at a time (an array fetch), never the whole result.
class OracleRowReader {
public:
    virtual ~OracleRowReader() = default;
    // The select list, as a describe reports it.
    virtual const QVector<OracleColumn> &columns() const = 0;
    // Moves to the next row (the first call to the first row); false after
    // the last one. Throws DatabaseError.
    virtual bool next() = 0;
    // A value of the current row, typed by its column: NUMBER as a Number
    // (exact decimal text, possibly with an exponent), VARCHAR2 / CHAR / CLOB
    // as Text (CHAR with its blank padding), DATE as a Date, RAW / BLOB as
    // Bytes, NULL as Null. A reader may convert a value only when it is asked
    // for, and throw DatabaseError then for a value it cannot read.
    virtual const OracleValue &value(int column) const = 0;

    // A value of the current row as the bytes the reader already holds, for a
    // reader that can give them without building an OracleValue (the
    // verification looks at every value once): Null; a Number as its exact
    // decimal text; a Text as UTF-8 (CHAR with its padding); Bytes as they
    // are; a Date as "[-]YYYY-MM-DD HH:MM:SS". Valid until the next call of
    // next(). False when the reader has no such form for the value, which
    // value() then gives; a reader without any says false always.
    struct View {
        OracleValue::Kind kind = OracleValue::Kind::Null;
        QByteArrayView bytes;
    };
    virtual bool valueView(int column, View *view) const
    {
        (void)column;
        (void)view;
        return false;
    }
};

// Makes the batches of one table ready for a session's insert on the thread
// that builds them, while the session may be busy sending an earlier batch:
// it holds what it needs of the table and never calls the session. A value
// the target refuses is no error here; the insert reports its row as it
// would without the form.
class BatchPreparer {
public:
    virtual ~BatchPreparer() = default;
    // Converts the rows into the session's form and keeps it with the batch
    // (OracleRowBatch::prepared), or leaves the batch without one for the
    // insert to convert as it sends.
    virtual void prepare(OracleRowBatch &batch) = 0;
};

// What a connect takes from the twelve-line Oracle profile.
struct OracleLogin {
    QString service;           // "Database": the connect identifier
    QString user;              // "User_Name"
    QString password;          // "Password"
    int prefetchRows = 20;     // "RowsetSize"
    bool osAuthentication = false;  // "OS Authentication"
    bool trimChar = false;     // "Trim Char"
};

// Reads the login from an Oracle parameter list; lines it does not know are
// passed over.
OracleLogin oracleLoginFromParams(const Params &params);

// One connected Oracle session, either the real client library or the
// embedded target. Destroying it closes the session. Every failure throws
// DatabaseError with the server's "ORA-nnnnn: text" word for word.
class OracleSession {
public:
    virtual ~OracleSession() = default;

    // Runs one statement without parameters and without a result set (DDL).
    virtual void execute(const QString &sql) = 0;

    // Runs a query of one row and returns its first column as an integer.
    virtual qint64 queryCount(const QString &sql) = 0;

    // Describes the columns of a query without fetching any row.
    virtual QVector<OracleColumn> describe(const QString &sql) = 0;

    // Inserts the rows of the batch into the table (its catalogue name, as
    // written between double quotes) in one transaction: one INSERT per row,
    // in order, naming every column of the batch. Commits when every row is
    // accepted; at the first rejected row stops, rolls back the whole batch
    // and returns the row's position and the server's message.
    virtual BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) = 0;

    // Inserts the rows of the batch in one transaction that keeps every row
    // the server accepts: each rejected row is listed in `rejected` with its
    // message, the others are committed together. ok is true when no row was
    // rejected. Errors of the statement itself (no such table) throw, and
    // then no row is kept. This version finds the rejected rows one batch
    // insert at a time (a rejected row, then the batch again without it); the
    // embedded target and the OCI adapter collect them in one pass.
    virtual BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch);

    // Runs a query and streams its rows; the verification of a copied table
    // reads it back this way. This version throws DatabaseError: a session
    // that cannot read rows says so.
    virtual std::unique_ptr<OracleRowReader> query(const QString &sql);

    // A preparer for batches of these columns (as a describe of the table
    // gave them) into the table, asked while the session is the caller's;
    // null when the session converts every batch as it sends it (this
    // version). An insert given a batch whose form no longer fits the table
    // (changed since) converts the rows itself, with the same outcome.
    virtual std::unique_ptr<BatchPreparer> batchPreparer(const QString &table, const QVector<OracleColumn> &columns);
};

// Opens a session for the login: a service name "embedded:PATH" selects the
// embedded target in the file PATH, every other name the Oracle client library.
std::unique_ptr<OracleSession> openOracleSession(const OracleLogin &login);

} // namespace tavrex
