// The pure rules of the OCI adapter: the 7-byte DATE, UTF-8 text, the
// describe mapping, how a batch is cut into array executes, bind types and
// order, and the INSERT text.

#include "connections/oracle/ocibatch.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <array>

using namespace tavrex;
using namespace tavrex::oci;

namespace {

OracleDate date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    OracleDate out;
    out.year = y;
    out.month = mo;
    out.day = d;
    out.hour = h;
    out.minute = mi;
    out.second = s;
    return out;
}

OracleRowBatch batchOf(int columns, const QVector<QVector<OracleValue>> &rows)
{
    QVector<OracleColumn> cols(columns);
    for (int c = 0; c < columns; ++c)
        cols[c].name = QStringLiteral("C%1").arg(c);
    OracleRowBatch b(cols);
    for (const auto &row : rows) {
        const int r = b.appendRow();
        for (int c = 0; c < row.size(); ++c)
            b.at(r, c) = row[c];
    }
    return b;
}

OracleValue num(const char *t)
{
    return OracleValue::number(QString::fromLatin1(t));
}
OracleValue txt(const QString &t)
{
    return OracleValue::text(t);
}
OracleValue bin(qsizetype size)
{
    return OracleValue::bytes(QByteArray(size, 'b'));
}
// A point of that SRID.
OracleValue geo(quint32 srid)
{
    return OracleValue::geometry(srid, QByteArray::fromHex("0101000000000000000000F03F0000000000000040"));
}
constexpr qint64 kLocator = qint64(sizeof(void *));

using K = OracleValue::Kind;

} // namespace

TEST(OciDate, SevenBytesAsTheReferenceLaysThemOut)
{
    struct Case {
        const char *name;
        OracleDate date;
        std::array<int, 7> bytes;
    } cases[] = {
        // The reference's own example: 30-NOV-1992 15:17:00.
        {"the reference's example", date(1992, 11, 30, 15, 17, 0), {119, 192, 11, 30, 16, 18, 1}},
        {"the first day Oracle has", date(-4712, 1, 1), {53, 88, 1, 1, 1, 1, 1}},
        {"the last second", date(9999, 12, 31, 23, 59, 59), {199, 199, 12, 31, 24, 60, 60}},
        {"a century year", date(2000, 2, 29), {120, 100, 2, 29, 1, 1, 1}},
        {"the year before Christ's", date(-1, 12, 31), {100, 99, 12, 31, 1, 1, 1}},
        {"a year no byte holds", date(100000, 1, 1), {255, 100, 1, 1, 1, 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ub1 out[7] = {};
        encodeDate(c.date, out);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(int(out[i]), c.bytes[size_t(i)]) << "byte " << i;
    }
}

TEST(OciText, Utf8SizeIsWhatTheEncoderWrites)
{
    const QString unpaired = QString(QChar(0xD83D)) + QStringLiteral("x") + QString(QChar(0xDE00));
    struct Case {
        const char *name;
        QString text;
        QByteArray utf8;
    } cases[] = {
        {"empty", QString(), QByteArray()},
        {"ascii with blanks", QStringLiteral("ab  "), QByteArray("ab  ")},
        {"two, three and four bytes", QString::fromUtf8("\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"),
         QByteArray("\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80")},
        {"unpaired surrogates become U+FFFD", unpaired, QByteArray("\xef\xbf\xbdx\xef\xbf\xbd")},
        {"a high surrogate at the end", QStringLiteral("a") + QChar(0xD800), QByteArray("a\xef\xbf\xbd")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray out(c.text.size() * 3 + 1, '\0');
        char *end = encodeUtf8(c.text, out.data());
        out.resize(end - out.data());
        EXPECT_EQ(out, c.utf8);
        EXPECT_EQ(utf8Size(c.text), c.utf8.size());
    }
}

TEST(OciDescribe, ItemsMapOntoTheColumnsTheRowBufferKnows)
{
    struct Case {
        const char *name;
        DescribedItem item;
        const char *type;
        int length, precision, scale;
    } cases[] = {
        {"VARCHAR2 in characters", {"V", SQLT_CHR, 160, 40, 0, 0, true, 1}, "VARCHAR2", 40, 0, 0},
        {"CHAR in characters", {"C", SQLT_AFC, 8, 2, 0, 0, true, 1}, "CHAR", 2, 0, 0},
        {"NVARCHAR2", {"N", SQLT_CHR, 20, 10, 0, 0, true, SQLCS_NCHAR}, "NVARCHAR2", 10, 0, 0},
        {"unconstrained NUMBER", {"N", SQLT_NUM, 22, 0, 0, -127, true, 0}, "NUMBER", 0, 0, 0},
        {"FLOAT", {"F", SQLT_NUM, 22, 0, 126, -127, true, 0}, "NUMBER", 0, 0, 0},
        {"NUMBER(10,2)", {"N", SQLT_NUM, 22, 0, 10, 2, true, 0}, "NUMBER", 0, 10, 2},
        {"NUMBER(5,-2)", {"N", SQLT_NUM, 22, 0, 5, -2, true, 0}, "NUMBER", 0, 5, -2},
        {"DATE", {"D", SQLT_DAT, 7, 0, 0, 0, true, 0}, "DATE", 0, 0, 0},
        {"RAW in bytes", {"R", SQLT_BIN, 2000, 0, 0, 0, true, 0}, "RAW", 2000, 0, 0},
        {"BLOB", {"B", SQLT_BLOB, 4000, 0, 0, 0, true, 0}, "BLOB", 0, 0, 0},
        {"CLOB", {"L", SQLT_CLOB, 4000, 0, 0, 0, true, 1}, "CLOB", 0, 0, 0},
        {"TIMESTAMP(6): the fraction digits in the scale", {"T", SQLT_TIMESTAMP, 11, 0, 0, 6, true, 0}, "TIMESTAMP",
         0, 0, 6},
        {"INTERVAL DAY(2) TO SECOND(0)", {"I", SQLT_INTERVAL_DS, 11, 0, 2, 0, true, 0}, "INTERVAL DAY TO SECOND", 0, 2,
         0},
        {"BINARY_FLOAT", {"F", SQLT_IBFLOAT, 4, 0, 0, 0, true, 0}, "BINARY_FLOAT", 0, 0, 0},
        {"BINARY_DOUBLE", {"D", SQLT_IBDOUBLE, 8, 0, 0, 0, true, 0}, "BINARY_DOUBLE", 0, 0, 0},
        {"a type the row buffer does not write", {"Z", 188, 13, 0, 0, 6, true, 0}, "TIMESTAMP WITH TIME ZONE", 0, 0,
         0},
        {"SDO_GEOMETRY by its type's name", {"G", SQLT_NTY, 0, 0, 0, 0, true, 0, "SDO_GEOMETRY"}, "SDO_GEOMETRY", 0,
         0, 0},
        {"an object type without its name", {"O", SQLT_NTY, 0, 0, 0, 0, true, 0}, "TYPE 108", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const OracleColumn col = columnFromDescribe(c.item);
        EXPECT_EQ(col.name, c.item.name);
        EXPECT_EQ(col.type, QString::fromLatin1(c.type));
        EXPECT_EQ(col.length, c.length);
        EXPECT_EQ(col.precision, c.precision);
        EXPECT_EQ(col.scale, c.scale);
        EXPECT_TRUE(col.nullable);
    }
    DescribedItem required{"ID", SQLT_NUM, 22, 0, 0, -127, false, 0};
    EXPECT_FALSE(columnFromDescribe(required).nullable);
}

TEST(OciRuns, ABatchIsCutOnlyWhereAColumnChangesKindOrTheBuffersGrowTooLarge)
{
    struct Run {
        int first, rows;
        QVector<K> kinds;
        QVector<qint64> widths;
        QVector<quint32> srids = {};  // checked when given
    };
    struct Case {
        const char *name;
        OracleRowBatch batch;
        qint64 limit;
        QVector<Run> runs;
    } cases[] = {
        {"one kind per column, NULLs anywhere",
         batchOf(2, {{num("1"), txt("ab")}, {OracleValue(), txt(QString::fromUtf8("\xe4\xb8\xad"))}, {num("-12.5"), OracleValue()}}),
         1 << 20,
         {{0, 3, {K::Number, K::Text}, {5, 3}}}},
        {"a column that is NULL throughout",
         batchOf(2, {{num("1"), OracleValue()}, {num("2"), OracleValue()}}),
         1 << 20,
         {{0, 2, {K::Number, K::Null}, {1, 1}}}},
        {"a change of kind starts a run; NULL does not",
         batchOf(1, {{num("1")}, {OracleValue()}, {txt("x")}, {txt("yy")}, {num("3")}}),
         1 << 20,
         {{0, 2, {K::Number}, {1}}, {2, 2, {K::Text}, {2}}, {4, 1, {K::Number}, {1}}}},
        {"rows times the widest value stay within the limit",
         batchOf(2, {{num("1"), bin(40)}, {num("2"), bin(10)}, {num("3"), bin(60)}, {num("4"), bin(10)}}),
         130,
         {{0, 2, {K::Number, K::Bytes}, {1, 40}}, {2, 2, {K::Number, K::Bytes}, {1, 60}}}},
        {"a row larger than the limit is a run of its own",
         batchOf(1, {{bin(10)}, {bin(500)}, {bin(10)}}),
         100,
         {{0, 1, {K::Bytes}, {10}}, {1, 1, {K::Bytes}, {500}}, {2, 1, {K::Bytes}, {10}}}},
        {"geometries share a run with neither NULLs nor another SRID",
         batchOf(2, {{num("1"), geo(4326)}, {num("2"), geo(4326)}, {num("3"), OracleValue()}, {num("4"), OracleValue()},
                     {num("5"), geo(3857)}, {num("6"), geo(4326)}, {num("7"), geo(0)}}),
         1 << 20,
         {{0, 2, {K::Number, K::Geometry}, {1, kLocator}, {0, 4326}},
          {2, 2, {K::Number, K::Null}, {1, 1}},
          {4, 1, {K::Number, K::Geometry}, {1, kLocator}, {0, 3857}},
          {5, 1, {K::Number, K::Geometry}, {1, kLocator}, {0, 4326}},
          {6, 1, {K::Number, K::Geometry}, {1, kLocator}, {0, 0}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVector<InsertRun> got = planInsertRuns(c.batch, c.limit);
        ASSERT_EQ(got.size(), c.runs.size());
        for (int i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].firstRow, c.runs[i].first);
            EXPECT_EQ(got[i].rowCount, c.runs[i].rows);
            EXPECT_EQ(got[i].kinds, c.runs[i].kinds);
            EXPECT_EQ(got[i].widths, c.runs[i].widths);
            if (!c.runs[i].srids.isEmpty()) {
                EXPECT_EQ(got[i].srids, c.runs[i].srids);
            }
        }
    }
    EXPECT_TRUE(planInsertRuns(batchOf(1, {}), 100).isEmpty());
}

TEST(OciInsert, LobColumnsAreBoundLastWithLongTypesAndNumbersGoThroughToNumber)
{
    QVector<OracleColumn> columns(5);
    const QVector<QString> types = {"BLOB", "NUMBER", "CLOB", "VARCHAR2", "DATE"};
    for (int c = 0; c < columns.size(); ++c) {
        columns[c].name = QStringLiteral("C%1").arg(c);
        columns[c].type = types[c];
    }
    const QVector<int> order = bindOrder(types);
    EXPECT_EQ(order, (QVector<int>{1, 3, 4, 0, 2}));
    InsertRun run;
    run.kinds = {K::Bytes, K::Number, K::Text, K::Text, K::Date};
    run.srids.fill(0, 5);
    EXPECT_EQ(insertStatement("T x", columns, order, run, types),
              "INSERT INTO \"T x\" (\"C1\",\"C3\",\"C4\",\"C0\",\"C2\") VALUES (TO_NUMBER(:1),:2,:3,:4,:5)");

    struct Case {
        K kind;
        const char *column;
        ub2 type;
    } cases[] = {
        {K::Number, "NUMBER", SQLT_CHR}, {K::Number, "CLOB", SQLT_CHR}, {K::Text, "VARCHAR2", SQLT_CHR},
        {K::Text, "CLOB", SQLT_LNG},     {K::Text, "BLOB", SQLT_CHR},   {K::Bytes, "BLOB", SQLT_LBI},
        {K::Bytes, "RAW", SQLT_BIN},     {K::Bytes, "", SQLT_BIN},      {K::Date, "DATE", SQLT_DAT},
        {K::Null, "BLOB", SQLT_CHR},     {K::Geometry, "SDO_GEOMETRY", SQLT_BLOB},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bindType(c.kind, QString::fromLatin1(c.column)), c.type) << c.column << " " << int(c.kind);
}

TEST(OciInsert, AGeometryGoesThroughTheConstructorWithItsSridAndARunOfNullsIsTheLiteralNull)
{
    const QVector<QString> types = {"NUMBER", "SDO_GEOMETRY", "SDO_GEOMETRY", "BLOB", "SDO_GEOMETRY"};
    QVector<OracleColumn> columns(types.size());
    for (int c = 0; c < columns.size(); ++c)
        columns[c].name = QStringLiteral("C%1").arg(c);
    const QVector<int> order = bindOrder(types);
    InsertRun run;
    run.kinds = {K::Number, K::Geometry, K::Null, K::Bytes, K::Geometry};
    run.srids = {0, 4326, 0, 0, 0};
    EXPECT_EQ(insertStatement("T", columns, order, run, types),
              "INSERT INTO \"T\" (\"C0\",\"C1\",\"C2\",\"C4\",\"C3\") VALUES "
              "(TO_NUMBER(:1),SDO_GEOMETRY(:2, 4326),NULL,SDO_GEOMETRY(:3),:4)");
    EXPECT_TRUE(isBound(run, 1, types[1]));
    EXPECT_FALSE(isBound(run, 2, types[2]));
    // A NULL of another column type is bound, as before.
    EXPECT_TRUE(isBound(run, 2, QStringLiteral("NUMBER")));
}
