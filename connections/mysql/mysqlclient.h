#pragma once

#include "connections/common/params.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>
#include <memory>

namespace tavrex {

// The data type class that the MySQL client layer gives a column, named
// "T" + kind + "Field" in the conversion log.
enum class FieldKind {
    String, WideString, Smallint, Integer, Largeint, Word, Float, BCD, FMTBCD,
    Date, Time, DateTime, SQLTimeStamp, Bytes, VarBytes, Blob, Memo, WideMemo, Boolean,
};

// "TStringField", "TLargeintField", ...
QString fieldKindName(FieldKind kind);

// One value of a result row, exactly as the server sent it.
struct MySqlValue {
    enum class Type {
        Null,
        Integer,   // signed integer types, YEAR
        Unsigned,  // unsigned integer types
        Decimal,   // DECIMAL: exact text, never through a double
        Float,     // FLOAT, DOUBLE: the server's text
        Text,      // character data, decoded from the connection's character set
        Bytes,     // binary data (BINARY, VARBINARY, BLOB, BIT other than BIT(1))
        Date,      // "YYYY-MM-DD" as sent, zero dates included
        DateTime,  // "YYYY-MM-DD hh:mm:ss[.ffffff]" (DATETIME, TIMESTAMP)
        Time,      // "[-]hhh:mm:ss[.ffffff]"
        Boolean,   // BIT(1)
    };

    Type type = Type::Null;
    std::int64_t integer = 0;
    std::uint64_t unsignedInteger = 0;
    bool boolean = false;
    QString text;      // Decimal, Float, Text, Date, DateTime, Time
    QByteArray bytes;  // Bytes
    // Text kept as the server's UTF-8 bytes (a result that keeps UTF-8 text,
    // on a UTF-8 connection); text is then empty. textValue() decodes it.
    QByteArray utf8;

    bool isNull() const { return type == Type::Null; }
    bool isUtf8Text() const { return type == Type::Text && !utf8.isNull(); }
    // The text of a Decimal, Float, Text, Date, DateTime or Time value.
    QString textValue() const { return isUtf8Text() ? QString::fromUtf8(utf8) : text; }
};

class MySqlConnection;

// A forward-only, streamed result set (mysql_use_result): only the current row
// is held in memory. Destroying it discards the rows not read.
class MySqlResult {
public:
    ~MySqlResult();
    MySqlResult(const MySqlResult &) = delete;
    MySqlResult &operator=(const MySqlResult &) = delete;

    int fieldCount() const;
    const QString &fieldName(int column) const;
    FieldKind fieldKind(int column) const;
    // The position of the column of that name, compared without regard to
    // case; -1 when there is none.
    int fieldIndex(const QString &name) const;

    // Moves to the next row; false after the last one. The first call moves to
    // the first row. A read error throws DatabaseError.
    bool next();

    bool isNull(int column) const;
    MySqlValue value(int column) const;
    // From now on, Text values of a UTF-8 connection come as their UTF-8
    // bytes (MySqlValue::utf8) when they are valid UTF-8, and are decoded
    // only where they are looked at; the row copy passes them on to Oracle
    // as they are.
    void keepUtf8Text() { keepUtf8_ = true; }
    // Whether value(column) comes as UTF-8 bytes (MySqlValue::isUtf8Text),
    // which are then the bytes of rawView(column).
    bool isUtf8Text(int column) const;
    // The value as text (the listings read their columns this way); NULL gives
    // an empty text.
    QString text(int column) const;
    QString text(const QString &columnName) const;
    // The raw bytes the server sent for the column.
    QByteArray raw(int column) const;
    // The same without a copy: valid until the next call of next(). A NULL
    // gives a null view (isNull()), an empty value an empty one that is not
    // null.
    QByteArrayView rawView(int column) const;
    // The type of the values of a column.
    MySqlValue::Type fieldType(int column) const;
    // Whether text arrives in UTF-8 (the connection's character set).
    bool textIsUtf8() const;
    // From now on next() calls whileWaiting every few milliseconds while it
    // waits for the server's bytes (the window stays responsive during a row
    // of many megabytes). whileWaiting must not use this connection.
    void serveWaits(std::function<void()> whileWaiting);

private:
    char **fetchRowServingWaits();  // a MYSQL_ROW
    friend class MySqlConnection;
    struct Impl;
    explicit MySqlResult(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
    bool keepUtf8_ = false;
};

// A connection to a MySQL or MariaDB server through MariaDB Connector/C.
// Parameters (from the connection profiles): Database, User_Name, Password,
// Port, HostName and, when present, ServerCharSet. "localhost" goes through
// the local socket as the client library defines it.
class MySqlConnection {
public:
    MySqlConnection();
    ~MySqlConnection();
    MySqlConnection(const MySqlConnection &) = delete;
    MySqlConnection &operator=(const MySqlConnection &) = delete;

    Params &params() { return params_; }
    const Params &params() const { return params_; }

    // Connects with the parameter list; throws DatabaseError with the client's
    // message, or for a Port that is not a whole number from 1 to 65535.
    void connect();
    // Closing a closed connection does nothing.
    void close();
    bool connected() const;
    // From now on connect() and listing() call whileWaiting every few
    // milliseconds while they wait for the server (the window stays served
    // while it connects and lists), through the client's non-blocking calls;
    // the client's time-outs stay as they are. whileWaiting may throw to give
    // up: the connection is then closed and the exception goes on.
    // whileWaiting must not use this connection. Empty: they block.
    void serveWaits(std::function<void()> whileWaiting);

    // Sends a statement as plain text and returns its rows, streamed. Only one
    // result may be open on a connection at a time. A statement whose session
    // is gone (a lost link, a server restart, a KILL) fails, and the next
    // statement connects again with the same parameters.
    std::unique_ptr<MySqlResult> query(const QString &sql);

    // For the read-only catalogue and listing statements (show databases,
    // show tables, show FIELDS, show index, information_schema reads): reads
    // the whole result at once, and when the session turns out to be gone,
    // connects again with the same parameters and runs the statement once
    // more. Never for a row stream, which is not resumed.
    std::unique_ptr<MySqlResult> listing(const QString &sql);

    // The character set the connection's text is decoded from.
    QString characterSet() const;
    // What the last connect did differently from its parameters, one line
    // each (a server character set that cannot be the client's is read as
    // utf8mb4). The run writes them into its log after connecting.
    QStringList notes() const;

private:
    friend class MySqlResult;
    struct Impl;
    std::unique_ptr<MySqlResult> run(const QString &sql, bool whole);
    std::unique_ptr<Impl> d;
    Params params_;
};

// How long the client waits, in seconds: for a connection to be made, and
// for the server's next packet while it reads or writes. The environment
// variable TAVREX_MYSQL_TIMEOUT (a whole number of seconds) sets all three;
// otherwise 30 s to connect and 10 minutes for a read or a write.
struct MySqlTimeouts {
    unsigned connect = 30;
    unsigned read = 600;
    unsigned write = 600;
};
MySqlTimeouts mysqlTimeouts();

// A text as a MySQL string expression that no sql_mode reads otherwise:
// convert(0x<UTF-8 hex> using utf8mb4), or '' for the empty text.
QString mysqlTextLiteral(const QString &text);

// Quotes a MySQL identifier with backticks, doubling a backtick inside it.
QString quoteMySqlName(const QString &name);

} // namespace tavrex
