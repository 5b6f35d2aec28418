#include "settings/batchfile.h"
#include "tests/support/qtprinters.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>

using namespace tavrex;

namespace {

BatchRecording sampleRecording()
{
    BatchRecording r;
    r.accessmode = 0;
    r.mysqldatabase = "shop";
    r.port = "3306";
    r.mysqlUser = "root";
    r.mysqlPassword = "s=cret";
    r.host = "db.example.org";  // left in the disabled host box
    r.oracleService = "embedded:/srv/t.db";
    r.oracleUser = "scott";
    r.oraclePassword = "tiger";
    r.processtable = 1;
    r.characterSet = "Default";
    r.options.DefinitionsOnly = false;
    r.options.SkipIndexes = true;
    r.options.UppercaseNames = true;
    r.options.BlobToText = false;
    r.options.Verify = true;
    return r;
}

// Every line before "alltables": the fifteen of the first design, then the
// later options in their order (a number in decimals).
const QStringList kOptionLines{
    "accessmode=0",       "mysqldatabase=shop",  "port=3306",      "mysqlu=root",   "mysqlp=s=cret",
    "host=db.example.org", "oracleh=embedded:/srv/t.db", "oracleu=scott", "oraclep=tiger", "processtable=1",
    "character_set=Default", "tabledefonly=0",   "skipindex=1",    "nameuppercase=1", "blobtotext=0",
    "rejectrows=0",        "verify=1",           "keepdetails=0",  "resume=0",
    "paralleltables=1",
};

} // namespace

TEST(BatchFile, RecordingsWriteTheirLinesInOrder)
{
    BatchRecording all = sampleRecording();
    all.allTables = true;
    all.tables = {"ignored"};
    EXPECT_EQ(batchFileLines(all), kOptionLines + QStringList{"alltables=1"});

    BatchRecording three = sampleRecording();
    three.allTables = false;
    three.tables = {"orders", "order items", "客户"};
    const QStringList threeLines =
        kOptionLines + QStringList{"alltables=0", "tables1=orders", "tables2=order items", "tables3=客户"};
    EXPECT_EQ(batchFileLines(three), threeLines);

    BatchRecording none = sampleRecording();
    none.allTables = false;
    EXPECT_EQ(batchFileLines(none), kOptionLines + QStringList{"alltables=0"});
}

TEST(BatchFile, WritesCrLfInTheLocaleCodePageReadableByItsOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("nightly.qelt");
    writeBatchFile(path, {"a=1", "tables1=客户"});
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringEncoder enc(QStringConverter::System);
    const QByteArray expected = QByteArray("a=1\r\ntables1=") + QByteArray(enc.encode(QStringLiteral("客户"))) + "\r\n";
    EXPECT_EQ(f.readAll(), expected);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds passwords";

    EXPECT_THROW(writeBatchFile(dir.filePath("missing/x.qelt"), {"a"}), std::runtime_error);
}

TEST(BatchFile, ReadsEveryByteOrderMarkAndLineEnd)
{
    const QString text = QStringLiteral("port=3307\r\ntables1=客户\rhost=h\nlast=1");
    QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE), sys(QStringConverter::System);
    struct Case {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"utf-8 mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"utf-16 le mark", QByteArray("\xFF\xFE") + QByteArray(le.encode(text))},
        {"utf-16 be mark", QByteArray("\xFE\xFF") + QByteArray(be.encode(text))},
        {"no mark", QByteArray(sys.encode(text))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BatchValues v = parseBatchFile(c.bytes);
        EXPECT_EQ(v.lines(), (QStringList{"port=3307", "tables1=客户", "host=h", "last=1"}));
    }
    EXPECT_EQ(parseBatchFile("a=1\r\n\r\nb=2\n").lines(), (QStringList{"a=1", "", "b=2"}));
}

// Without a byte-order mark the bytes are read in UTF-8, the code page of
// this system: a file saved in GBK is refused at its first line that is not
// UTF-8, counted as the lines are split.
TEST(BatchFile, BytesTheCodePageCannotDecodeAreRefusedAtTheirLine)
{
    const QByteArray gbkOrders("\xB6\xA9\xB5\xA5");  // 订单 in GBK
    struct Case {
        const char *name;
        QByteArray bytes;
        int line;
    } cases[] = {
        {"third of CR LF lines", "accessmode=1\r\nport=1\r\nTables1=" + gbkOrders + "\r\ntables2=x\r\n", 3},
        {"after a lone CR, a lone LF and no end", "a=1\rb=2\nTables1=" + gbkOrders, 3},
        {"after an empty line", "a=1\r\n\r\nTables1=" + gbkOrders + "\r\n", 3},
        {"a character cut by the line end", "a=\xE8\xAE\r\nb=1\r\n", 1},
        {"a character cut by the file end", "a=1\r\nb=\xE8\xAE", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseBatchFile(c.bytes, "/jobs/nightly.qelt");
            ADD_FAILURE() << "undecodable bytes were read";
        } catch (const std::runtime_error &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                      QStringLiteral("Cannot read the settings file \"/jobs/nightly.qelt\": line %1 is not valid text "
                                     "in UTF-8, the system's code page. Save the file in UTF-8, or with a UTF-8 or "
                                     "UTF-16 byte-order mark.")
                          .arg(c.line));
        }
    }
    // The same bytes behind a byte-order mark are read as that encoding says.
    EXPECT_EQ(parseBatchFile("\xEF\xBB\xBFTables1=\xE8\xAE\xA2\xE5\x8D\x95\r\n").lines(),
              QStringList{QStringLiteral("Tables1=订单")});

    QTemporaryDir dir;
    const QString path = dir.filePath("gbk.qelt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Tables1=" + gbkOrders + "\r\n");
    f.close();
    try {
        loadBatchFile(path);
        ADD_FAILURE() << "a GBK file was loaded";
    } catch (const std::runtime_error &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith("Cannot read the settings file \"" + path + "\": line 1 "))
            << e.what();
    }
}

TEST(BatchFile, HandEditedFilesFollowTheLookupRules)
{
    const BatchValues v = parseBatchFile("PORT=3307\r\nport=9999\r\nalltables=1 \r\n"
                                         "tables2= second \r\ntables1=first\r\nTables3=third\r\ntablesX\r\n"
                                         "tables4=\r\nmysqlp= pad =\r\n");
    EXPECT_EQ(v.value("port"), "3307") << "keys ignore case; the first line wins";
    EXPECT_EQ(v.value("mysqlp"), " pad =") << "values are not trimmed";
    EXPECT_EQ(v.value("missing"), "");
    EXPECT_FALSE(batchAllTables(v)) << "\"1 \" is not \"1\"";
    EXPECT_EQ(batchTableNames(v), (QStringList{"second", "first", "tablesX"}))
        << "file order, trimmed, case-sensitive prefix, empty names dropped";
    EXPECT_TRUE(batchAllTables(parseBatchFile("alltables=1\r\n")));
}

// Every check-box option is a line of its own, after the character set in
// the options' order: ticked alone, it is the one "=1" line and comes back
// alone.
TEST(BatchFile, EachCheckOptionIsALineOfItsOwnAndComesBackAlone)
{
    for (int i = 0; i < kCheckOptionCount; ++i) {
        SCOPED_TRACE(kCheckOptions[i].key);
        // A number is "on" at its greatest value, "off" at its default.
        auto set = [](ConversionOptions &o, const CheckOption &which, bool on) {
            if (isNumberOption(which))
                o.*which.number = on ? which.maximum : numberDefault(which);
            else
                o.*which.setting = on;
        };
        BatchRecording r = sampleRecording();
        for (const CheckOption &other : kCheckOptions)
            set(r.options, other, &other == &kCheckOptions[i]);
        const QStringList lines = batchFileLines(r);
        ASSERT_EQ(lines.size(), 11 + kCheckOptionCount + 1);
        EXPECT_EQ(lines.at(10), "character_set=Default");
        for (int j = 0; j < kCheckOptionCount; ++j) {
            const CheckOption &o = kCheckOptions[j];
            const QString value = isNumberOption(o) ? QString::number(i == j ? o.maximum : numberDefault(o))
                                                    : QString(i == j ? "1" : "0");
            EXPECT_EQ(lines.at(11 + j), QString(o.key) + "=" + value);
        }
        ControlValues c;
        for (const CheckOption &other : kCheckOptions)
            set(c.options, other, &other != &kCheckOptions[i]);
        ApplyBatchSettings(parseBatchFile(lines.join("\r\n").toUtf8()), c);
        EXPECT_TRUE(sameOptions(c.options, r.options));
    }
}

// "Tables at once" reads as a whole number within its bounds; a file
// without the line, or with anything else, converts one table at a time.
TEST(BatchFile, TablesAtOnceOutsideItsBoundsReadsAsOne)
{
    const struct {
        const char *line;
        int expected;
    } cases[] = {
        {nullptr, 1}, {"paralleltables=4", 4}, {"paralleltables=16", 16}, {"paralleltables= 2 ", 2},
        {"paralleltables=17", 1}, {"paralleltables=0", 1}, {"paralleltables=-3", 1}, {"paralleltables=four", 1},
        {"paralleltables=2.5", 1}, {"paralleltables=", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line ? c.line : "(no line)");
        QStringList lines{"accessmode=0", "processtable=0"};
        if (c.line)
            lines << c.line;
        ControlValues v;
        v.options.ParallelTables = 9;
        ApplyBatchSettings(parseBatchFile(lines.join("\r\n").toUtf8()), v);
        EXPECT_EQ(v.options.ParallelTables, c.expected);
    }
}

TEST(BatchFile, ApplyingSetsTheControlsAndStopsAtAConversionError)
{
    ControlValues c;
    ApplyBatchSettings(parseBatchFile(batchFileLines(sampleRecording()).join("\r\n").toUtf8()), c);
    EXPECT_EQ(c.accessmode, 0);
    EXPECT_EQ(c.edtdatabase, "shop");
    EXPECT_EQ(c.edtpassword, "s=cret");
    EXPECT_EQ(c.edthost, "db.example.org");
    EXPECT_EQ(c.processtable, 1);
    EXPECT_EQ(c.cbcharsetText, "Default");
    EXPECT_EQ(c.cbcharsetIndex, 0);
    EXPECT_TRUE(c.options.SkipIndexes);
    EXPECT_FALSE(c.options.DefinitionsOnly);
    EXPECT_FALSE(c.options.RejectRows);
    EXPECT_TRUE(c.options.Verify);
    EXPECT_FALSE(c.options.KeepDetails);

    // Each later option read on its own; a file written before them (no
    // line) leaves them off whatever the controls held.
    const struct {
        const char *line;
        bool rejectrows, verify, keepdetails;
    } options[] = {
        {"", false, false, false},
        {"rejectrows=1", true, false, false},
        {"verify=1", false, true, false},
        {"keepdetails=1", false, false, true},
        {"keepdetails=true", false, false, false},
    };
    for (const auto &o : options) {
        SCOPED_TRACE(o.line);
        ControlValues v;
        v.options.RejectRows = v.options.Verify = v.options.KeepDetails = true;
        ApplyBatchSettings(parseBatchFile(QByteArray("accessmode=0\nprocesstable=0\n") + o.line), v);
        EXPECT_EQ(v.options.RejectRows, o.rejectrows);
        EXPECT_EQ(v.options.Verify, o.verify);
        EXPECT_EQ(v.options.KeepDetails, o.keepdetails);
    }

    ControlValues gbk;
    ApplyBatchSettings(parseBatchFile("accessmode=7\nprocesstable=-3\ncharacter_set=gbk\nport=\n"), gbk);
    EXPECT_EQ(gbk.accessmode, 1);
    EXPECT_EQ(gbk.processtable, -1);
    EXPECT_EQ(gbk.cbcharsetIndex, 17);
    EXPECT_EQ(gbk.edtport, "") << "no 3306 here";

    ControlValues bad;
    bad.edtdatabase = "before";
    try {
        ApplyBatchSettings(parseBatchFile("accessmode=x\nmysqldatabase=after\n"), bad);
        FAIL() << "a non-numeric access mode was applied";
    } catch (const std::invalid_argument &e) {
        EXPECT_STREQ(e.what(), "accessmode: 'x' is not a valid integer value.");
    }
    EXPECT_EQ(bad.edtdatabase, "before");
    EXPECT_THROW(ApplyBatchSettings(parseBatchFile("accessmode=0\n"), bad), std::invalid_argument)
        << "a missing processtable";
}

TEST(BatchFile, AMissingFileNamesItself)
{
    try {
        loadBatchFile("/nonexistent/dir/job.qelt");
        FAIL();
    } catch (const std::runtime_error &e) {
        EXPECT_TRUE(QString(e.what()).contains("/nonexistent/dir/job.qelt")) << e.what();
    }
}
