#include "connections/mysql/mysqlclient.h"

#include "engine/core/errors.h"

#include <QHash>
#include <QStringDecoder>

#include <errmsg.h>
#include <mysql.h>

#if __has_include(<iconv.h>)
#include <iconv.h>
#include <poll.h>
#define TAVREX_HAVE_ICONV 1
#else
#define TAVREX_HAVE_ICONV 0
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavrex {

namespace {

constexpr unsigned kBinaryCharset = 63;

using ByteTable = std::array<char16_t, 256>;

using Clock = std::chrono::steady_clock;

QString clientMessage(MYSQL *db)
{
    return QString::fromUtf8(mysql_error(db));
}

// The client errors of a session that is gone: the server went away or the
// link broke (2006, 2013, 2055), the server killed the session (1927) or is
// shutting down (1053).
bool sessionLost(unsigned code)
{
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == 2055 || code == 1927 ||
           code == 1053;
}

// MySQL's character-set names and the codec that decodes each. MySQL's
// "latin1" is Windows-1252 and its "utf8" is UTF-8 limited to three bytes.
// An empty codec means UTF-8; "binary" keeps character data as bytes.
struct CharsetCodec {
    const char *mysqlName;
    const char *codec;
};
constexpr CharsetCodec kCharsetCodecs[] = {
    {"utf8mb4", ""},           {"utf8", ""},           {"utf8mb3", ""},
    {"ascii", "US-ASCII"},     {"big5", "Big5"},       {"cp1250", "windows-1250"},
    {"cp1251", "windows-1251"}, {"cp1256", "windows-1256"}, {"cp1257", "windows-1257"},
    {"cp850", "IBM850"},       {"cp852", "IBM852"},    {"cp866", "IBM866"},
    {"cp932", "windows-31j"},  {"eucjpms", "EUC-JP"},  {"euckr", "EUC-KR"},
    {"gb2312", "GB2312"},      {"gbk", "GBK"},         {"greek", "ISO-8859-7"},
    {"hebrew", "ISO-8859-8"},  {"hp8", "hp-roman8"},   {"koi8r", "KOI8-R"},
    {"koi8u", "KOI8-U"},       {"latin1", "windows-1252"}, {"latin2", "ISO-8859-2"},
    {"latin5", "ISO-8859-9"},  {"latin7", "ISO-8859-13"}, {"macce", "x-mac-centraleurroman"},
    {"macroman", "macintosh"}, {"sjis", "Shift_JIS"},  {"tis620", "TIS-620"},
    {"ujis", "EUC-JP"},        {"binary", nullptr},
};

// Character sets a server accepts for columns but refuses as the client's:
// their text is read as utf8mb4, which holds every character of them.
constexpr const char *kServerOnlyCharsets[] = {"ucs2", "utf16", "utf16le", "utf32"};

// Single-byte sets that Qt's converters do not know. Each is read through a
// 256-entry table built once from the C library's iconv converter; where the
// server's definition of a byte differs from the converter's, the server's
// wins (the server is what stored the bytes). keybcs2 (Kamenicky) has no
// converter in the C library: it is IBM437 with Czech and Slovak letters in
// 0x80..0xAF.
struct ByteOverride {
    unsigned char byte;
    char16_t unit;
};
constexpr ByteOverride kSwe7Overrides[] = {{0x24, u'$'}};
constexpr ByteOverride kDec8Overrides[] = {{0xA0, 0x00A0}};
constexpr ByteOverride kGeostd8Overrides[] = {{0x80, 0x20AC}, {0xFD, 0x2116}};
constexpr ByteOverride kArmscii8Overrides[] = {
    {0xA1, 0x2741}, {0xA2, 0x00A7}, {0xAD, 0x055F}, {0xFE, 0x2019}, {0xFF, 0x0027}};
constexpr ByteOverride kKeybcs2Overrides[] = {
    {0x80, 0x010C}, {0x81, 0x00FC}, {0x82, 0x00E9}, {0x83, 0x010F}, {0x84, 0x00E4}, {0x85, 0x010E},
    {0x86, 0x0164}, {0x87, 0x010D}, {0x88, 0x011B}, {0x89, 0x011A}, {0x8A, 0x0139}, {0x8B, 0x00CD},
    {0x8C, 0x013E}, {0x8D, 0x013A}, {0x8E, 0x00C4}, {0x8F, 0x00C1}, {0x90, 0x00C9}, {0x91, 0x017E},
    {0x92, 0x017D}, {0x93, 0x00F4}, {0x94, 0x00F6}, {0x95, 0x00D3}, {0x96, 0x016F}, {0x97, 0x00DA},
    {0x98, 0x00FD}, {0x99, 0x00D6}, {0x9A, 0x00DC}, {0x9B, 0x0160}, {0x9C, 0x013D}, {0x9D, 0x00DD},
    {0x9E, 0x0158}, {0x9F, 0x0165}, {0xA0, 0x00E1}, {0xA1, 0x00ED}, {0xA2, 0x00F3}, {0xA3, 0x00FA},
    {0xA4, 0x0148}, {0xA5, 0x0147}, {0xA6, 0x016E}, {0xA7, 0x00D4}, {0xA8, 0x0161}, {0xA9, 0x0159},
    {0xAA, 0x0155}, {0xAB, 0x0154}, {0xAC, 0x00BC}, {0xAD, 0x00A1}, {0xAE, 0x00AB}, {0xAF, 0x00BB},
};
struct TableCharset {
    const char *mysqlName;
    const char *iconvName;
    const ByteOverride *overrides;
    std::size_t overrideCount;
};
template <std::size_t N>
constexpr TableCharset tableCharset(const char *mysqlName, const char *iconvName, const ByteOverride (&o)[N])
{
    return {mysqlName, iconvName, o, N};
}
constexpr TableCharset kTableCharsets[] = {
    tableCharset("armscii8", "ARMSCII-8", kArmscii8Overrides),
    tableCharset("dec8", "DEC-MCS", kDec8Overrides),
    tableCharset("geostd8", "GEORGIAN-PS", kGeostd8Overrides),
    tableCharset("keybcs2", "IBM437", kKeybcs2Overrides),
    tableCharset("swe7", "SEN_850200_C", kSwe7Overrides),
};

// The decoding table of one single-byte set; bytes the converter does not
// define read as U+FFFD, as Qt's converters read them.
std::shared_ptr<const ByteTable> buildByteTable(const TableCharset &set)
{
    auto table = std::make_shared<ByteTable>();
    table->fill(char16_t(0xFFFD));
#if TAVREX_HAVE_ICONV
    iconv_t cd = iconv_open("UTF-32LE", set.iconvName);
    if (cd == iconv_t(-1))
        return nullptr;
    for (int byte = 0; byte < 256; ++byte) {
        char in = char(byte);
        unsigned char out[8] = {};
        char *inPtr = &in;
        char *outPtr = reinterpret_cast<char *>(out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != std::size_t(-1) && outLeft == 4) {
            const std::uint32_t cp = std::uint32_t(out[0]) | std::uint32_t(out[1]) << 8 |
                                     std::uint32_t(out[2]) << 16 | std::uint32_t(out[3]) << 24;
            if (cp < 0x10000)
                (*table)[std::size_t(byte)] = char16_t(cp);
        }
    }
    iconv_close(cd);
#else
    return nullptr;
#endif
    for (std::size_t i = 0; i < set.overrideCount; ++i)
        (*table)[set.overrides[i].byte] = set.overrides[i].unit;
    return table;
}

QString decodeByTable(const ByteTable &table, const char *data, unsigned long length)
{
    QString text(qsizetype(length), Qt::Uninitialized);
    QChar *out = text.data();
    for (unsigned long i = 0; i < length; ++i)
        out[i] = QChar(table[static_cast<unsigned char>(data[i])]);
    return text;
}

// Statement text for a single-byte set. The server's parser reads ASCII
// bytes as statement syntax whatever the set, so ASCII goes out unchanged
// (swe7 puts letters on ASCII punctuation: those letters cannot be told from
// the punctuation in a statement); other characters go out as the set's
// byte, or "?" when the set lacks them, as the server's own conversion does.
QByteArray encodeByTable(const ByteTable &table, const QString &text)
{
    QHash<char16_t, char> bytes;
    for (int byte = 255; byte >= 0x80; --byte)
        if (table[std::size_t(byte)] != 0xFFFD)
            bytes.insert(table[std::size_t(byte)], char(byte));
    for (int byte = 0; byte < 0x80; ++byte)
        if (table[std::size_t(byte)] >= 0x80)
            bytes.insert(table[std::size_t(byte)], char(byte));
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text)
        out.append(ch.unicode() < 0x80 ? char(ch.unicode()) : bytes.value(ch.unicode(), '?'));
    return out;
}

// How the result of one column is read.
struct ColumnInfo {
    QString name;
    FieldKind kind = FieldKind::String;
    MySqlValue::Type type = MySqlValue::Type::Text;
};

// The one table from MySQL column types to field kinds and value types.
// Character data is told from binary data by its character set (63 = binary).
ColumnInfo describeField(const MYSQL_FIELD &f, bool connectionIsBinary)
{
    using T = MySqlValue::Type;
    const bool isUnsigned = f.flags & UNSIGNED_FLAG;
    const bool binary = f.charsetnr == kBinaryCharset || connectionIsBinary;
    ColumnInfo c;
    switch (f.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
        c.kind = isUnsigned ? FieldKind::Word : FieldKind::Smallint;
        c.type = T::Integer;
        break;
    case MYSQL_TYPE_INT24:
        c.kind = FieldKind::Integer;
        c.type = T::Integer;
        break;
    case MYSQL_TYPE_LONG:
        c.kind = isUnsigned ? FieldKind::Largeint : FieldKind::Integer;
        c.type = T::Integer;
        break;
    case MYSQL_TYPE_LONGLONG:
        c.kind = isUnsigned ? FieldKind::FMTBCD : FieldKind::Largeint;
        c.type = isUnsigned ? T::Unsigned : T::Integer;
        break;
    case MYSQL_TYPE_YEAR:
        c.kind = FieldKind::Smallint;
        c.type = T::Integer;
        break;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        c.kind = FieldKind::FMTBCD;
        c.type = T::Decimal;
        break;
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
        c.kind = FieldKind::Float;
        c.type = T::Float;
        break;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
        c.kind = FieldKind::Date;
        c.type = T::Date;
        break;
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2:
        c.kind = FieldKind::Time;
        c.type = T::Time;
        break;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_DATETIME2:
        c.kind = FieldKind::DateTime;
        c.type = T::DateTime;
        break;
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_TIMESTAMP2:
        c.kind = FieldKind::SQLTimeStamp;
        c.type = T::DateTime;
        break;
    case MYSQL_TYPE_BIT:
        // Only BIT(1) is a truth value; wider bit fields are their bytes.
        c.kind = f.length == 1 ? FieldKind::Boolean : FieldKind::VarBytes;
        c.type = f.length == 1 ? T::Boolean : T::Bytes;
        break;
    case MYSQL_TYPE_STRING:
        c.kind = binary ? FieldKind::Bytes : FieldKind::WideString;
        c.type = binary ? T::Bytes : T::Text;
        break;
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_ENUM:
    case MYSQL_TYPE_SET:
        c.kind = binary ? FieldKind::VarBytes : FieldKind::WideString;
        c.type = binary ? T::Bytes : T::Text;
        break;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
        c.kind = binary ? FieldKind::Blob : FieldKind::WideMemo;
        c.type = binary ? T::Bytes : T::Text;
        break;
    case MYSQL_TYPE_JSON:
        c.kind = FieldKind::WideMemo;
        c.type = T::Text;
        break;
    case MYSQL_TYPE_GEOMETRY:
        c.kind = FieldKind::Blob;
        c.type = T::Bytes;
        break;
    default:
        c.kind = binary ? FieldKind::VarBytes : FieldKind::String;
        c.type = binary ? T::Bytes : T::Text;
        break;
    }
    return c;
}

// Port as typed: empty means the client's default; anything else must be a
// whole number from 1 to 65535.
unsigned parsePort(const QString &text)
{
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    bool digitsOnly = true;
    for (QChar ch : text)
        digitsOnly = digitsOnly && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    if (!ok || !digitsOnly || port < 1 || port > 65535)
        throw DatabaseError(
            QStringLiteral("Invalid port \"%1\": the port must be a whole number from 1 to 65535").arg(text));
    return port;
}

// Waits for what a non-blocking call of the client asked for (its status:
// MYSQL_WAIT_READ, _WRITE, _EXCEPT, _TIMEOUT) and returns the events to hand
// to its _cont call. The socket is polled in slices of 20 ms and serve runs
// after each; serve may throw, which leaves the call unfinished (the caller
// then closes the session). A wait that passes the client's own time-out is
// handed back as MYSQL_WAIT_TIMEOUT and sets timedOut, so the call fails as
// its blocking form would.
int awaitSocket(MYSQL *db, int status, const std::function<void()> &serve, bool &timedOut)
{
    constexpr int kSliceMs = 20;
    const bool timed = status & MYSQL_WAIT_TIMEOUT;
    const qint64 timeoutMs = timed ? qint64(mysql_get_timeout_value_ms(db)) : 0;
    const Clock::time_point waitStarted = Clock::now();
    for (;;) {
        pollfd p{};
        p.fd = mysql_get_socket(db);
        p.events = short((status & MYSQL_WAIT_READ ? POLLIN : 0) | (status & MYSQL_WAIT_WRITE ? POLLOUT : 0) |
                         (status & MYSQL_WAIT_EXCEPT ? POLLPRI : 0));
        int slice = kSliceMs;
        if (timed) {
            const qint64 waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - waitStarted).count();
            if (waited >= timeoutMs) {
                timedOut = true;
                return MYSQL_WAIT_TIMEOUT;
            }
            slice = int(std::min<qint64>(slice, timeoutMs - waited));
        }
        const int polled = ::poll(&p, 1, slice);
        serve();
        if (polled > 0) {
            const int ready = (p.revents & (POLLIN | POLLHUP | POLLERR) ? MYSQL_WAIT_READ : 0) |
                              (p.revents & POLLOUT ? MYSQL_WAIT_WRITE : 0) |
                              (p.revents & POLLPRI ? MYSQL_WAIT_EXCEPT : 0);
            // A hang-up or error shows on whatever was awaited: the client's
            // read then finds it.
            return ready != 0 ? ready : status & ~MYSQL_WAIT_TIMEOUT;
        }
        if (polled < 0 && errno != EINTR)
            return status & ~MYSQL_WAIT_TIMEOUT;
    }
}

// Runs a non-blocking call to its end: start() begins it, cont(ready) goes on
// after each wait. Returns whether a wait passed the client's time-out.
template <typename Start, typename Cont>
bool runServing(MYSQL *db, const std::function<void()> &serve, Start start, Cont cont)
{
    bool timedOut = false;
    int status = start();
    while (status != 0)
        status = cont(awaitSocket(db, status, serve, timedOut));
    return timedOut;
}

} // namespace

QString fieldKindName(FieldKind kind)
{
    static const char *const names[] = {
        "TStringField", "TWideStringField", "TSmallintField", "TIntegerField", "TLargeintField",
        "TWordField", "TFloatField", "TBCDField", "TFMTBCDField", "TDateField", "TTimeField",
        "TDateTimeField", "TSQLTimeStampField", "TBytesField", "TVarBytesField", "TBlobField",
        "TMemoField", "TWideMemoField", "TBooleanField",
    };
    return QString::fromLatin1(names[int(kind)]);
}

MySqlTimeouts mysqlTimeouts()
{
    MySqlTimeouts t;
    const QByteArray text = qgetenv("TAVREX_MYSQL_TIMEOUT").trimmed();
    bool ok = !text.isEmpty();
    for (char ch : text)
        ok = ok && ch >= '0' && ch <= '9';
    const uint seconds = ok ? text.toUInt(&ok) : 0;
    if (ok && seconds >= 1 && seconds <= 31536000)
        t.connect = t.read = t.write = seconds;
    return t;
}

QString mysqlTextLiteral(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("''");
    return QStringLiteral("convert(0x%1 using utf8mb4)").arg(QString::fromLatin1(text.toUtf8().toHex()));
}

QString quoteMySqlName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

// ---------------------------------------------------------------------------

struct MySqlConnection::Impl {
    MYSQL *db = nullptr;
    QString server;        // "host:port", or "localhost" for the local socket
    MySqlTimeouts timeouts;
    QString charset;
    QByteArray codec;      // a Qt converter's name; empty: UTF-8 or a byte table
    std::shared_ptr<const ByteTable> table;  // single-byte sets Qt does not know
    bool binary = false;   // "binary": character data stays bytes
    QStringList notes;
    MYSQL_RES *openResult = nullptr;  // the result streaming on this session, if any
    // A streamed result was left before its end: the session was closed
    // instead of reading the rest, and the next statement reconnects.
    bool reconnectPending = false;
    // Served while connect() and listing() wait (serveWaits); empty: they block.
    std::function<void()> whileWaiting;

    ~Impl()
    {
        if (db)
            mysql_close(db);
    }

    // The error of the session's last call, which began at `since`. A call
    // that ended after the whole read time-out without an answer says so and
    // names the server; the client's own words come first.
    DatabaseError failure(Clock::time_point since) const
    {
        return failure(Clock::now() - since >= std::chrono::seconds(timeouts.read));
    }
    // The same when the caller knows whether the read time-out passed.
    DatabaseError failure(bool readTimeoutPassed) const
    {
        const unsigned code = mysql_errno(db);
        QString message = clientMessage(db);
        if ((code == CR_SERVER_LOST || code == 2055) && readTimeoutPassed)
            message += QStringLiteral(": the MySQL server %1 sent nothing for %2 seconds")
                           .arg(server)
                           .arg(timeouts.read);
        return DatabaseError(message, int(code));
    }

    // Forgets a session that is gone: the next statement connects again.
    void dropSession()
    {
        if (openResult) {
            openResult->handle = nullptr;
            openResult->eof = 1;
            openResult = nullptr;
        }
        if (db)
            mysql_close(db);
        db = nullptr;
        reconnectPending = true;
    }
};

struct MySqlResult::Impl {
    MySqlConnection::Impl *connection = nullptr;
    MYSQL_RES *res = nullptr;
    std::function<void()> whileWaiting;
    bool timedOut = false;  // the last read that served waits passed the read time-out
    std::vector<ColumnInfo> columns;
    MYSQL_ROW row = nullptr;
    unsigned long *lengths = nullptr;
    bool utf8 = true;
    std::shared_ptr<const ByteTable> table;
    mutable QStringDecoder decoder;

    ~Impl()
    {
        // Only this result's own mark is cleared: after a close the
        // connection may already stream a newer one.
        const bool mine = connection && res && connection->openResult == res;
        if (res && connection && connection->db && !res->eof) {
            // Freeing an unfinished streamed result would read and discard
            // every remaining row, which for a large table stopped early
            // takes as long as reading it. Close the session instead; the
            // connection reconnects at its next statement.
            res->handle = nullptr;
            mysql_free_result(res);
            mysql_close(connection->db);
            connection->db = nullptr;
            connection->reconnectPending = true;
        } else if (res) {
            mysql_free_result(res);
        }
        if (mine)
            connection->openResult = nullptr;
    }

    QString decode(const char *data, unsigned long length) const
    {
        if (utf8)
            return QString::fromUtf8(data, qsizetype(length));
        if (table)
            return decodeByTable(*table, data, length);
        return decoder.decode(QByteArrayView(data, qsizetype(length)));
    }
};

MySqlConnection::MySqlConnection() : d(std::make_unique<Impl>()) {}
MySqlConnection::~MySqlConnection() = default;

void MySqlConnection::connect()
{
    close();
    const unsigned port = parsePort(params_.value(QStringLiteral("Port")));

    QString charset = params_.has(QStringLiteral("ServerCharSet")) ? params_.value(QStringLiteral("ServerCharSet"))
                                                                    : QString();
    if (charset.isEmpty())
        charset = QStringLiteral("utf8mb4");
    QStringList notes;
    for (const char *serverOnly : kServerOnlyCharsets) {
        if (charset == QLatin1String(serverOnly)) {
            notes.append(QStringLiteral("The character set %1 cannot be a client character set: the data is read "
                                        "as utf8mb4, which holds every %1 character")
                             .arg(charset));
            charset = QStringLiteral("utf8mb4");
        }
    }
    const QByteArray charsetName = charset.toLatin1();
    QByteArray codec;
    std::shared_ptr<const ByteTable> table;
    bool binary = false;
    bool known = false;
    for (const CharsetCodec &entry : kCharsetCodecs) {
        if (charsetName == entry.mysqlName) {
            known = true;
            binary = entry.codec == nullptr;
            codec = binary ? QByteArray() : QByteArray(entry.codec);
        }
    }
    for (const TableCharset &entry : kTableCharsets) {
        if (charsetName == entry.mysqlName) {
            table = buildByteTable(entry);
            known = table != nullptr;
        }
    }
    if (!known || (!codec.isEmpty() && !QStringDecoder(codec.constData()).isValid()))
        throw DatabaseError(QStringLiteral("Character set \"%1\" cannot be decoded by this program").arg(charset));

    MYSQL *db = mysql_init(nullptr);
    if (!db)
        throw DatabaseError(QStringLiteral("Out of memory while creating a MySQL connection"));
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> guard(db, mysql_close);
    mysql_options(db, MYSQL_SET_CHARSET_NAME, charsetName.constData());
    const unsigned int noLocalInfile = 0;
    mysql_options(db, MYSQL_OPT_LOCAL_INFILE, &noLocalInfile);
    // A server that stops answering ends the call instead of hanging it.
    // These are the client's waits for the next packet; the server-side
    // waits below stay long, so a slow stream keeps working.
    const MySqlTimeouts timeouts = mysqlTimeouts();
    mysql_options(db, MYSQL_OPT_CONNECT_TIMEOUT, &timeouts.connect);
    mysql_options(db, MYSQL_OPT_READ_TIMEOUT, &timeouts.read);
    mysql_options(db, MYSQL_OPT_WRITE_TIMEOUT, &timeouts.write);
    // The non-blocking calls are there for the reads that serve waits
    // (MySqlResult::serveWaits); every other call blocks as before.
    mysql_options(db, MYSQL_OPT_NONBLOCK, nullptr);

    const QString hostName = params_.value(QStringLiteral("HostName"));
    const QString server = hostName == QLatin1String("localhost") || hostName.isEmpty()
                               ? QStringLiteral("localhost")
                               : hostName + QLatin1Char(':') + QString::number(port ? port : 3306);
    const QByteArray host = hostName.toUtf8();
    const QByteArray user = params_.value(QStringLiteral("User_Name")).toUtf8();
    const QByteArray password = params_.value(QStringLiteral("Password")).toUtf8();
    const QByteArray database = params_.value(QStringLiteral("Database")).toUtf8();
    const Clock::time_point started = Clock::now();
    const char *databaseName = database.isEmpty() ? nullptr : database.constData();
    MYSQL *connected = nullptr;
    if (d->whileWaiting) {
        // The window stays served while the server is reached. The connect
        // itself is the blocking call on a thread of its own: its failures
        // keep the client's own words (the non-blocking form reports the
        // socket's "in progress" in place of the reason). A serve that
        // throws gives up: the thread closes the session when its call ends.
        struct Pending {
            std::mutex mutex;
            std::condition_variable ended;
            MYSQL *db = nullptr;
            bool connected = false;
            bool done = false;
            bool abandoned = false;
        };
        auto pending = std::make_shared<Pending>();
        pending->db = guard.release();
        std::thread([pending, host, user, password, database, port] {
            const bool ok = mysql_real_connect(pending->db, host.constData(), user.constData(), password.constData(),
                                               database.isEmpty() ? nullptr : database.constData(), port, nullptr,
                                               0) != nullptr;
            {
                const std::lock_guard<std::mutex> lock(pending->mutex);
                pending->connected = ok;
                pending->done = true;
                if (pending->abandoned) {
                    mysql_close(pending->db);
                    pending->db = nullptr;
                }
                pending->ended.notify_all();
            }
            mysql_thread_end();
        }).detach();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(pending->mutex);
                if (pending->ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return pending->done; }))
                    break;
            }
            try {
                d->whileWaiting();
            } catch (...) {
                const std::lock_guard<std::mutex> lock(pending->mutex);
                if (pending->done)
                    mysql_close(pending->db);
                else
                    pending->abandoned = true;
                throw;
            }
        }
        guard.reset(pending->db);
        connected = pending->connected ? db : nullptr;
    } else {
        connected = mysql_real_connect(db, host.constData(), user.constData(), password.constData(), databaseName,
                                       port, nullptr, 0);
    }
    if (!connected) {
        QString message = clientMessage(db);
        if (Clock::now() - started >= std::chrono::seconds(timeouts.connect))
            message += QStringLiteral(": the MySQL server %1 did not answer within %2 seconds")
                           .arg(server)
                           .arg(timeouts.connect);
        throw DatabaseError(message, int(mysql_errno(db)));
    }

    // Rows are streamed: while the copy waits (an open "Stop" question, a
    // long batch apply) the server must not give up on writing to us.
    static const char keepStreaming[] = "SET SESSION net_write_timeout = 31536000";
    int failed = 0;
    if (d->whileWaiting)
        runServing(
            db, d->whileWaiting,
            [&] { return mysql_real_query_start(&failed, db, keepStreaming, sizeof keepStreaming - 1); },
            [&](int ready) { return mysql_real_query_cont(&failed, db, ready); });
    else
        failed = mysql_real_query(db, keepStreaming, sizeof keepStreaming - 1);
    if (failed != 0)
        throw DatabaseError(clientMessage(db), int(mysql_errno(db)));

    d->db = guard.release();
    d->server = server;
    d->timeouts = timeouts;
    d->charset = charset;
    d->codec = codec;
    d->table = std::move(table);
    d->binary = binary;
    d->notes = notes;
}

void MySqlConnection::close()
{
    if (d->openResult) {
        // A result still open on this session must not read from it later.
        d->openResult->handle = nullptr;
        d->openResult->eof = 1;
        d->openResult = nullptr;
    }
    if (d->db) {
        mysql_close(d->db);
        d->db = nullptr;
    }
    d->reconnectPending = false;
}

void MySqlConnection::serveWaits(std::function<void()> whileWaiting)
{
    d->whileWaiting = std::move(whileWaiting);
}

bool MySqlConnection::connected() const
{
    return d->db != nullptr || d->reconnectPending;
}

QString MySqlConnection::characterSet() const
{
    return d->charset;
}

QStringList MySqlConnection::notes() const
{
    return d->notes;
}

std::unique_ptr<MySqlResult> MySqlConnection::query(const QString &sql)
{
    return run(sql, false);
}

std::unique_ptr<MySqlResult> MySqlConnection::listing(const QString &sql)
{
    try {
        return run(sql, true);
    } catch (const DatabaseError &e) {
        if (!d->reconnectPending || !sessionLost(unsigned(e.code())))
            throw;
    }
    // The session was gone (an idle catalogue session dropped by the
    // server's wait_timeout, a restart, a KILL): once more on a new one.
    return run(sql, true);
}

std::unique_ptr<MySqlResult> MySqlConnection::run(const QString &sql, bool whole)
{
    if (!d->db && d->reconnectPending)
        connect();
    if (!d->db)
        throw DatabaseError(QStringLiteral("The MySQL connection is not open"));
    if (d->openResult)
        throw DatabaseError(QStringLiteral("Another result set is still open on this MySQL connection"));
    QByteArray text;
    if (d->table) {
        text = encodeByTable(*d->table, sql);
    } else if (d->codec.isEmpty() || d->binary) {
        text = sql.toUtf8();
    } else {
        QStringEncoder encoder(d->codec.constData());
        text = encoder.encode(sql);
    }
    const Clock::time_point started = Clock::now();
    auto fail = [&] {
        const DatabaseError error = d->failure(started);
        if (sessionLost(unsigned(error.code())))
            d->dropSession();
        throw error;
    };
    auto impl = std::make_unique<MySqlResult::Impl>();
    if (whole && d->whileWaiting) {
        // A listing that serves the window while the server answers; a serve
        // that throws gives up and closes the session, whose answer would
        // otherwise still be on its way.
        MYSQL *db = d->db;
        try {
            int failed = 0;
            runServing(
                db, d->whileWaiting,
                [&] {
                    return mysql_real_query_start(&failed, db, text.constData(),
                                                  static_cast<unsigned long>(text.size()));
                },
                [&](int ready) { return mysql_real_query_cont(&failed, db, ready); });
            if (failed != 0)
                fail();
            runServing(
                db, d->whileWaiting, [&] { return mysql_store_result_start(&impl->res, db); },
                [&](int ready) { return mysql_store_result_cont(&impl->res, db, ready); });
        } catch (const DatabaseError &) {
            throw;
        } catch (...) {
            close();
            throw;
        }
    } else {
        if (mysql_real_query(d->db, text.constData(), static_cast<unsigned long>(text.size())) != 0)
            fail();
        impl->res = whole ? mysql_store_result(d->db) : mysql_use_result(d->db);
    }
    if (!impl->res) {
        if (mysql_field_count(d->db) != 0)
            fail();
        // A statement without a result set: an empty result of no columns.
    }
    impl->utf8 = d->codec.isEmpty() && !d->table;
    impl->table = d->table;
    if (!impl->utf8 && !impl->table)
        // Stateless: a value that ends in an incomplete sequence must not
        // lend its bytes to the next value.
        impl->decoder = QStringDecoder(d->codec.constData(), QStringConverter::Flag::Stateless);
    if (impl->res) {
        const unsigned count = mysql_num_fields(impl->res);
        MYSQL_FIELD *fields = mysql_fetch_fields(impl->res);
        impl->columns.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            ColumnInfo c = describeField(fields[i], d->binary);
            c.name = impl->decode(fields[i].name, fields[i].name_length);
            impl->columns.push_back(std::move(c));
        }
        if (!whole) {
            impl->connection = d.get();
            d->openResult = impl->res;
        }
    }
    return std::unique_ptr<MySqlResult>(new MySqlResult(std::move(impl)));
}

// ---------------------------------------------------------------------------

MySqlResult::MySqlResult(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
MySqlResult::~MySqlResult() = default;

int MySqlResult::fieldCount() const
{
    return int(d->columns.size());
}

const QString &MySqlResult::fieldName(int column) const
{
    return d->columns.at(size_t(column)).name;
}

FieldKind MySqlResult::fieldKind(int column) const
{
    return d->columns.at(size_t(column)).kind;
}

int MySqlResult::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < d->columns.size(); ++i)
        if (d->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool MySqlResult::next()
{
    if (!d->res)
        return false;
    // The read that serves waits knows whether it timed out; the blocking
    // one is timed.
    const bool serving = d->whileWaiting && d->connection && d->connection->db;
    const Clock::time_point started = d->connection && !serving ? Clock::now() : Clock::time_point();
    d->timedOut = false;
    d->row = serving ? fetchRowServingWaits() : mysql_fetch_row(d->res);
    if (!d->row) {
        d->lengths = nullptr;
        MYSQL *db = d->connection ? d->connection->db : nullptr;
        if (db && mysql_errno(db) != 0) {
            const DatabaseError error =
                serving ? d->connection->failure(d->timedOut) : d->connection->failure(started);
            if (sessionLost(unsigned(error.code()))) {
                // The session is gone: this read fails, and the connection
                // reconnects at its next statement instead of failing every
                // later one. A stream is never resumed.
                d->res->handle = nullptr;
                d->res->eof = 1;
                d->connection->dropSession();
            }
            throw error;
        }
        return false;
    }
    d->lengths = mysql_fetch_lengths(d->res);
    return true;
}

// The next row through the client's non-blocking calls: while the server's
// bytes are awaited (a row of 15 MiB takes the server well over 100 ms), the
// socket is polled in short slices and whileWaiting runs between them and
// between the reads of a long row. The read time-out stays the connection's:
// a wait that passes it is handed back to the client as a time-out, which
// then fails the read as the blocking call would.
char **MySqlResult::fetchRowServingWaits()
{
    MYSQL *db = d->connection->db;
    MYSQL_ROW row = nullptr;
    d->timedOut = runServing(
        db, d->whileWaiting, [&] { return mysql_fetch_row_start(&row, d->res); },
        [&](int ready) { return mysql_fetch_row_cont(&row, d->res, ready); });
    return row;
}

void MySqlResult::serveWaits(std::function<void()> whileWaiting)
{
    d->whileWaiting = std::move(whileWaiting);
}

bool MySqlResult::isNull(int column) const
{
    return !d->row || d->row[column] == nullptr;
}

QByteArray MySqlResult::raw(int column) const
{
    if (isNull(column))
        return QByteArray();
    return QByteArray(d->row[column], qsizetype(d->lengths[column]));
}

QByteArrayView MySqlResult::rawView(int column) const
{
    if (isNull(column))
        return QByteArrayView();
    return QByteArrayView(d->row[column], qsizetype(d->lengths[column]));
}

MySqlValue::Type MySqlResult::fieldType(int column) const
{
    return d->columns[size_t(column)].type;
}

bool MySqlResult::textIsUtf8() const
{
    return d->utf8;
}

namespace {

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF), so that they may travel undecoded: decoding
// would replace anything else.
bool validUtf8(const char *data, unsigned long length)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const unsigned char *end = p + length;
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            // Runs of ASCII eight bytes at a time.
            quint64 word;
            while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0))
                p += 8;
            continue;
        }
        int extra = 0;
        unsigned lowest = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lowest = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        unsigned cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

} // namespace

bool MySqlResult::isUtf8Text(int column) const
{
    return keepUtf8_ && d->utf8 && !isNull(column) && d->columns[size_t(column)].type == MySqlValue::Type::Text &&
           validUtf8(d->row[column], d->lengths[column]);
}

MySqlValue MySqlResult::value(int column) const
{
    MySqlValue v;
    if (isNull(column))
        return v;
    const char *data = d->row[column];
    const unsigned long length = d->lengths[column];
    const ColumnInfo &c = d->columns[size_t(column)];
    v.type = c.type;
    switch (c.type) {
    case MySqlValue::Type::Null:
        break;
    case MySqlValue::Type::Integer:
        // The text protocol sends the digits, terminated by the client library.
        v.integer = std::strtoll(data, nullptr, 10);
        break;
    case MySqlValue::Type::Unsigned:
        v.unsignedInteger = std::strtoull(data, nullptr, 10);
        break;
    case MySqlValue::Type::Boolean:
        v.boolean = length > 0 && data[length - 1] != 0;
        break;
    case MySqlValue::Type::Bytes:
        v.bytes = QByteArray(data, qsizetype(length));
        break;
    case MySqlValue::Type::Text:
        if (keepUtf8_ && d->utf8 && validUtf8(data, length))
            v.utf8 = QByteArray(data, qsizetype(length));
        else
            v.text = d->decode(data, length);
        break;
    case MySqlValue::Type::Decimal:
    case MySqlValue::Type::Float:
    case MySqlValue::Type::Date:
    case MySqlValue::Type::DateTime:
    case MySqlValue::Type::Time:
        v.text = QString::fromLatin1(data, qsizetype(length));
        break;
    }
    return v;
}

QString MySqlResult::text(int column) const
{
    if (isNull(column))
        return QString();
    const ColumnInfo &c = d->columns[size_t(column)];
    if (c.type == MySqlValue::Type::Text || c.type == MySqlValue::Type::Bytes)
        return d->decode(d->row[column], d->lengths[column]);
    return QString::fromLatin1(d->row[column], qsizetype(d->lengths[column]));
}

QString MySqlResult::text(const QString &columnName) const
{
    const int i = fieldIndex(columnName);
    if (i < 0)
        throw DatabaseError(QStringLiteral("Field '%1' not found").arg(columnName));
    return text(i);
}

} // namespace tavrex
