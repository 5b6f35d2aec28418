#include "connections/mysql/mysqlclient.h"
#include "engine/core/conversionsettings.h"
#include "engine/core/errors.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

std::unique_ptr<MySqlConnection> connectTo(const QString &database, bool overSocket = false,
                                           const QString &charset = QString())
{
    auto c = std::make_unique<MySqlConnection>();
    c->params() = sandboxParams(database, overSocket);
    if (!charset.isEmpty())
        c->params().setValue("ServerCharSet", charset);
    c->connect();
    return c;
}

QStringList column(MySqlConnection &c, const QString &sql)
{
    QStringList out;
    auto r = c.query(sql);
    while (r->next())
        out << r->text(0);
    return out;
}

} // namespace

TEST(MySqlConnection, ConnectsOverTcpAndOverTheLocalSocket)
{
    auto tcp = connectTo(QString());
    EXPECT_EQ(column(*tcp, "select 1"), QStringList{"1"});

    // "localhost" goes through the socket: a port nobody listens on is ignored.
    MySqlConnection local;
    local.params() = sandboxParams(QString(), true);
    local.params().setValue("Port", "1");
    local.connect();
    EXPECT_EQ(column(local, "select 2"), QStringList{"2"});
    local.close();
    local.close();
    EXPECT_FALSE(local.connected());
}

TEST(MySqlConnection, ClientErrorsCarryTheClientMessage)
{
    MySqlConnection c;
    c.params() = sandboxParams(QString());
    c.params().setValue("Password", "wrong");
    try {
        c.connect();
        FAIL() << "a wrong password connected";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 1045);
        EXPECT_TRUE(e.message().startsWith("Access denied for user 'tavrex'")) << e.message().toStdString();
    }
    EXPECT_FALSE(c.connected());

    c.params() = sandboxParams(QString());
    c.params().setValue("Port", "1");
    try {
        c.connect();
        FAIL() << "a closed port connected";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 2002) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("127.0.0.1")) << e.message().toStdString();
    }

    auto ok = connectTo(QString());
    try {
        ok->query("select * from no_such_db.no_such_table");
        FAIL();
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 1146) << e.message().toStdString();
        EXPECT_EQ(e.message(), "Table 'no_such_db.no_such_table' doesn't exist");
    }
}

TEST(MySqlConnection, RefusesAPortThatIsNotAWholeNumberInRange)
{
    for (const char *port : {"abc", "0", "65536", "-1", "33 06", "12x", " 3306"}) {
        SCOPED_TRACE(port);
        MySqlConnection c;
        c.params() = sandboxParams(QString());
        c.params().setValue("Port", port);
        try {
            c.connect();
            FAIL() << "connected with port " << port;
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("\"%1\"").arg(port))) << e.message().toStdString();
            EXPECT_EQ(e.code(), 0);
        }
    }
}

TEST(MySqlConnection, ListsInTheServersOrder)
{
    recreateDatabase("tvx_order");
    sandboxExec({"create table zeta (a int)", "create table Alpha (a int)", "create table mid (a int)"}, "tvx_order");
    auto c = connectTo("tvx_order");
    EXPECT_EQ(column(*c, "show tables"), (QStringList{"Alpha", "mid", "zeta"}));
    const QStringList dbs = column(*c, "show databases ");
    EXPECT_TRUE(dbs.contains("tvx_order"));
    EXPECT_TRUE(dbs.contains("mysql")) << "system databases are listed too";
}

namespace {

struct TypeCase {
    const char *name;
    const char *columnType;
    const char *literal;  // SQL literal inserted
    const char *kind;
    MySqlValue::Type type;
    const char *expected;  // text, or hex for bytes, or the integer as text
};

QString valueText(const MySqlValue &v)
{
    using T = MySqlValue::Type;
    switch (v.type) {
    case T::Null: return "NULL";
    case T::Integer: return QString::number(v.integer);
    case T::Unsigned: return QString::number(v.unsignedInteger);
    case T::Boolean: return v.boolean ? "true" : "false";
    case T::Bytes: return QString::fromLatin1(v.bytes.toHex());
    default: return v.text;
    }
}

} // namespace

TEST(MySqlConnection, ReadsEveryColumnTypeUnchanged)
{
    using T = MySqlValue::Type;
    const TypeCase cases[] = {
        {"tiny_min", "tinyint", "-128", "TSmallintField", T::Integer, "-128"},
        {"tiny_one", "tinyint(1)", "5", "TSmallintField", T::Integer, "5"},
        {"utiny", "tinyint unsigned", "255", "TWordField", T::Integer, "255"},
        {"small", "smallint", "-32768", "TSmallintField", T::Integer, "-32768"},
        {"usmall", "smallint unsigned", "65535", "TWordField", T::Integer, "65535"},
        {"medium", "mediumint", "-8388608", "TIntegerField", T::Integer, "-8388608"},
        {"int_min", "int", "-2147483648", "TIntegerField", T::Integer, "-2147483648"},
        {"uint_max", "int unsigned", "4294967295", "TLargeintField", T::Integer, "4294967295"},
        {"big_min", "bigint", "-9223372036854775808", "TLargeintField", T::Integer, "-9223372036854775808"},
        {"ubig_max", "bigint unsigned", "18446744073709551615", "TFMTBCDField", T::Unsigned, "18446744073709551615"},
        {"dec65", "decimal(65,30)", "'-12345678901234567890123456789012345.123456789012345678901234567891'",
         "TFMTBCDField", T::Decimal, "-12345678901234567890123456789012345.123456789012345678901234567891"},
        {"dec_small", "decimal(12,2)", "0.1", "TFMTBCDField", T::Decimal, "0.10"},
        {"flt", "float", "1.5e-7", "TFloatField", T::Float, "0.00000015"},
        {"flt_big", "float", "3.4e38", "TFloatField", T::Float, "3.4e38"},
        {"dbl", "double", "1.7976931348623157e308", "TFloatField", T::Float, "1.7976931348623157e308"},
        {"yr", "year", "1999", "TSmallintField", T::Integer, "1999"},
        {"d", "date", "'2024-02-29'", "TDateField", T::Date, "2024-02-29"},
        {"d_zero", "date", "'0000-00-00'", "TDateField", T::Date, "0000-00-00"},
        {"dt", "datetime", "'9999-12-31 23:59:59'", "TDateTimeField", T::DateTime, "9999-12-31 23:59:59"},
        {"dt6", "datetime(6)", "'2024-01-02 09:15:05.123456'", "TDateTimeField", T::DateTime,
         "2024-01-02 09:15:05.123456"},
        {"dt_zero", "datetime", "'0000-00-00 00:00:00'", "TDateTimeField", T::DateTime, "0000-00-00 00:00:00"},
        {"ts", "timestamp null", "'2038-01-19 03:14:07'", "TSQLTimeStampField", T::DateTime, "2038-01-19 03:14:07"},
        {"tm", "time", "'-838:59:59'", "TTimeField", T::Time, "-838:59:59"},
        {"ch", "char(36)", "'ab'", "TWideStringField", T::Text, "ab"},
        {"vc", "varchar(255)", "'Grüße 汉字 😀'", "TWideStringField", T::Text, "Grüße 汉字 😀"},
        {"tx", "text", "'line1\\r\\nline2'", "TWideMemoField", T::Text, "line1\r\nline2"},
        {"ltx", "longtext", "'x'", "TWideMemoField", T::Text, "x"},
        {"en", "enum('a','bc')", "'bc'", "TWideStringField", T::Text, "bc"},
        {"st", "set('a','bc')", "'a,bc'", "TWideStringField", T::Text, "a,bc"},
        {"js", "json", "'{\"k\": [1, 2]}'", "TWideMemoField", T::Text, "{\"k\": [1, 2]}"},
        {"bn", "binary(4)", "x'00ff0001'", "TBytesField", T::Bytes, "00ff0001"},
        {"vb", "varbinary(8)", "x'0000'", "TVarBytesField", T::Bytes, "0000"},
        {"bl", "blob", "x'00010203ff00'", "TBlobField", T::Bytes, "00010203ff00"},
        {"lbl", "longblob", "x'ff'", "TBlobField", T::Bytes, "ff"},
        {"b1", "bit(1)", "b'1'", "TBooleanField", T::Boolean, "true"},
        {"b1_off", "bit(1)", "b'0'", "TBooleanField", T::Boolean, "false"},
        {"b8", "bit(8)", "b'10100101'", "TVarBytesField", T::Bytes, "a5"},
        {"nul", "int", "NULL", "TIntegerField", T::Null, "NULL"},
    };

    recreateDatabase("tvx_types");
    QStringList columns, values;
    for (const TypeCase &c : cases) {
        columns << QStringLiteral("`%1` %2").arg(c.name, c.columnType);
        values << c.literal;
    }
    sandboxExec({"set sql_mode=''", "create table t (" + columns.join(", ") + ")",
                 "insert into t values (" + values.join(", ") + ")"},
                "tvx_types");

    auto conn = connectTo("tvx_types");
    auto r = conn->query("select * from t");
    ASSERT_EQ(r->fieldCount(), int(std::size(cases)));
    ASSERT_TRUE(r->next());
    for (int i = 0; i < r->fieldCount(); ++i) {
        const TypeCase &c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(r->fieldName(i), c.name);
        EXPECT_EQ(fieldKindName(r->fieldKind(i)), c.kind);
        const MySqlValue v = r->value(i);
        EXPECT_EQ(int(v.type), int(c.type));
        EXPECT_EQ(valueText(v), QString::fromUtf8(c.expected));
    }
    EXPECT_FALSE(r->next());
}

TEST(MySqlConnection, LargeBinaryValuesArriveWhole)
{
    recreateDatabase("tvx_blob");
    sandboxExec({"create table b (v longblob)", "insert into b values (repeat(x'00ff10', 5592406))"}, "tvx_blob");
    auto c = connectTo("tvx_blob");
    // Read plainly, and through the non-blocking calls that serve waits.
    for (const bool serving : {false, true}) {
        auto r = c->query("select v, length(v) from b");
        if (serving)
            r->serveWaits([] {});
        ASSERT_TRUE(r->next());
        const MySqlValue v = r->value(0);
        ASSERT_EQ(v.bytes.size(), 16777218);
        EXPECT_EQ(r->text(1), "16777218");
        EXPECT_EQ(v.bytes.left(6), QByteArray::fromHex("00ff1000ff10"));
        EXPECT_EQ(v.bytes.count('\0'), 5592406);
        EXPECT_FALSE(r->next());
    }
}

TEST(MySqlConnection, TheRawViewTellsANullFromAnEmptyValueAndUtf8TextIsKnownWithoutAValue)
{
    auto c = connectTo(QString());
    auto r = c->query("select '' as e, null as n, '汉字' as t, 12 as i");
    r->keepUtf8Text();
    ASSERT_TRUE(r->next());
    EXPECT_FALSE(r->rawView(0).isNull());
    EXPECT_TRUE(r->rawView(0).isEmpty());
    EXPECT_TRUE(r->rawView(1).isNull());
    EXPECT_EQ(r->rawView(2), QByteArrayView("\xe6\xb1\x89\xe5\xad\x97"));
    EXPECT_TRUE(r->isUtf8Text(0));
    EXPECT_FALSE(r->isUtf8Text(1));
    EXPECT_TRUE(r->isUtf8Text(2));
    EXPECT_FALSE(r->isUtf8Text(3));
}

TEST(MySqlConnection, DecodesTheChosenCharacterSet)
{
    recreateDatabase("tvx_cs");
    sandboxExec({"create table g (v varchar(20) character set gbk, w varchar(20) character set latin1, "
                 "u varchar(20) character set utf8mb4)",
                 "insert into g values ('汉字测试', '€ café', '😀 表')"},
                "tvx_cs");
    struct Case {
        const char *charset;
        int column;
        const char *expected;
    } cases[] = {
        {"", 0, "汉字测试"},  {"", 1, "€ café"}, {"", 2, "😀 表"},
        {"gbk", 0, "汉字测试"}, {"latin1", 1, "€ café"}, {"utf8", 0, "汉字测试"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.charset) + "/" + std::to_string(k.column));
        auto c = connectTo("tvx_cs", false, k.charset);
        EXPECT_EQ(c->characterSet(), *k.charset ? k.charset : "utf8mb4");
        auto r = c->query("select * from g");
        ASSERT_TRUE(r->next());
        EXPECT_EQ(r->value(k.column).text, QString::fromUtf8(k.expected));
    }

    // A gbk connection sends gbk and reads gbk: a value written through it
    // reads back unchanged through a utf8mb4 connection.
    {
        auto c = connectTo("tvx_cs", false, "gbk");
        c->query("insert into g (v) values ('中文')");
    }
    auto c = connectTo("tvx_cs");
    auto r = c->query("select v from g where w is null");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(r->value(0).text, "中文");
}

// Each offered server character set, with text from its own repertoire: the
// server stores it in a column of that set and sends the set's bytes on a
// connection of that set, which must decode them to the same characters.
TEST(MySqlConnection, EveryOfferedCharacterSetArrivesExactly)
{
    struct Case {
        const char *charset;
        const char *text;
    };
    static const Case cases[] = {
        {"armscii8", "Բարեւ Հայաստան — § ’ ։"},
        {"ascii", "plain {ASCII} text ~ $5 | @"},
        {"big5", "中文資料庫測試"},
        {"binary", "\x01\x80\xff bytes \xfe"},
        {"cp1250", "Příliš žluťoučký kůň úpěl „ódy“ €"},
        {"cp1251", "Съешь же ещё этих мягких булок №"},
        {"cp1256", "مرحبا بالعالم گ"},
        {"cp1257", "Ąžuolas ėjo šilu, ū €"},
        {"cp850", "Ça coûte ½ ÆØÅ ß ░"},
        {"cp852", "Łódź, Žluť, ő ű"},
        {"cp866", "Привет, мир! ░▒▓"},
        {"cp932", "日本語テキスト～"},
        {"dec8", "Œuvre ÿ Ÿ ¤ «»"},
        {"eucjpms", "日本語のテキスト①"},
        {"euckr", "한국어 텍스트"},
        {"gb2312", "简体中文测试"},
        {"gbk", "汉字測試"},
        {"geostd8", "ქართული ენა № €"},
        {"greek", "Ελληνικά κείμενα"},
        {"hebrew", "עברית טקסט"},
        {"hp8", "Ça été ÀÂ £"},
        {"keybcs2", "Příliš žluťoučký kůň úpěl ďábelské ódy ░ α"},
        {"koi8r", "Привет мир"},
        {"koi8u", "Україна ґєії"},
        {"latin1", "Café € ‰ œ"},
        {"latin2", "Zażółć gęślą jaźń"},
        {"latin5", "Türkçe ğış İ"},
        {"latin7", "Ąžuolas ėjo ū"},
        {"macce", "Příliš žluťoučký"},
        {"macroman", "Café ™ ƒ π"},
        {"sjis", "日本語テキスト"},
        {"swe7", "Åsa Öberg ändå é ü $5"},
        {"tis620", "ภาษาไทย"},
        {"ucs2", "Ωμέγα 漢字 ☃"},
        {"ujis", "日本語"},
        {"utf8", "Grüße 漢字 ☃"},
    };
    const QStringList offered = serverCharSetEntries().mid(1);
    ASSERT_EQ(offered.size(), int(std::size(cases)));

    recreateDatabase("tvx_sets");
    for (const Case &k : cases) {
        const QString set = QString::fromLatin1(k.charset);
        ASSERT_TRUE(offered.contains(set)) << k.charset;
        const QString column = set == "binary" ? QStringLiteral("varbinary(200)")
                                               : QStringLiteral("varchar(100) character set ") + set;
        const QString literal = set == "binary"
                                    ? "x'" + QString::fromLatin1(QByteArray(k.text).toHex()) + "'"
                                    : "'" + QString::fromUtf8(k.text) + "'";
        sandboxExec({"create table t_" + set + " (v " + column + ")", "insert into t_" + set + " values (" +
                                                                          literal + ")"},
                    "tvx_sets");
    }
    for (const Case &k : cases) {
        SCOPED_TRACE(k.charset);
        const QString set = QString::fromLatin1(k.charset);
        auto c = connectTo("tvx_sets", false, set);
        if (set == "ucs2") {
            EXPECT_EQ(c->characterSet(), "utf8mb4");
            ASSERT_EQ(c->notes().size(), 1);
            EXPECT_TRUE(c->notes().at(0).contains("ucs2")) << c->notes().at(0).toStdString();
        } else {
            EXPECT_EQ(c->characterSet(), set);
            EXPECT_TRUE(c->notes().isEmpty());
        }
        // The statement goes out in the connection's set too: the text as a
        // column name comes back as that column's name.
        // swe7 puts its letters on ASCII punctuation ([\]{|}`), so its text
        // cannot be told from statement syntax: only its values are read.
        const QString alias =
            set == "binary" || set == "swe7" ? QStringLiteral("v") : QString::fromUtf8(k.text);
        auto r = c->query("select v as " + quoteMySqlName(alias) + " from t_" + set);
        EXPECT_EQ(r->fieldName(0), alias);
        ASSERT_TRUE(r->next());
        const MySqlValue v = r->value(0);
        if (set == "binary")
            EXPECT_EQ(v.bytes, QByteArray(k.text));
        else
            EXPECT_EQ(v.text, QString::fromUtf8(k.text));
    }
}

TEST(MySqlConnection, AResultLeftEarlyDoesNotReadTheRestAndTheConnectionGoesOn)
{
    recreateDatabase("tvx_abandon");
    sandboxExec({"create table big (id int)", "insert into big select seq from seq_1_to_200000"}, "tvx_abandon");
    auto c = connectTo("tvx_abandon");
    {
        auto r = c->query("select * from big");
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(r->next());
        EXPECT_EQ(r->text(0), "10");
    }
    EXPECT_TRUE(c->connected());
    EXPECT_EQ(column(*c, "select count(*) from big"), QStringList{"200000"});

    // Closing the connection under an open result leaves the result inert.
    auto r = c->query("select * from big");
    ASSERT_TRUE(r->next());
    c->close();
    EXPECT_FALSE(r->next());
    r.reset();
    EXPECT_FALSE(c->connected());
    c->connect();
    EXPECT_EQ(column(*c, "select max(id) from big"), QStringList{"200000"});
}

TEST(MySqlConnection, ALostSessionFailsTheReadAndTheConnectionReconnects)
{
    recreateDatabase("tvx_lost");
    sandboxExec({"create table big (id int)", "insert into big select seq from seq_1_to_100000"}, "tvx_lost");
    auto c = connectTo("tvx_lost");
    EXPECT_EQ(column(*c, "select @@session.net_write_timeout"), QStringList{"31536000"})
        << "a stream that waits is not dropped by the server";
    const QString id = column(*c, "select connection_id()").value(0);
    auto r = c->query("select * from big");
    ASSERT_TRUE(r->next());
    sandboxExec({"KILL " + id});
    try {
        while (r->next()) {
        }
        FAIL() << "the read of a killed session went on to its end";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.code() == 2013 || e.code() == 2006 || e.code() == 1927) << e.message().toStdString();
    }
    r.reset();
    EXPECT_EQ(column(*c, "select count(*) from big"), QStringList{"100000"});
}
