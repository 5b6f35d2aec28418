#include "engine/catalogue.h"
#include "engine/core/identifiers.h"

#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"
#include "tests/support/qtprinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace tavrex {
namespace {

// Passes every call on to the real session and counts the catalogue queries
// and statements, so a test can see how often the target was asked.
class CountingSession : public OracleSession {
public:
    explicit CountingSession(OracleSession &inner) : inner_(inner) {}

    void execute(const QString &sql) override
    {
        ++executes;
        inner_.execute(sql);
    }
    qint64 queryCount(const QString &sql) override
    {
        ++queries;
        return inner_.queryCount(sql);
    }
    QVector<OracleColumn> describe(const QString &sql) override { return inner_.describe(sql); }
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override
    {
        return inner_.insertBatch(table, batch);
    }

    int executes = 0;
    int queries = 0;

private:
    OracleSession &inner_;
};

class CatalogueOperations : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        OracleLogin login;
        login.service = QStringLiteral("embedded:") + dir_.filePath(QStringLiteral("target.db"));
        login.user = QStringLiteral("scott");
        login.password = QStringLiteral("tiger");
        target_ = openOracleSession(login);
        counting_ = std::make_unique<CountingSession>(*target_);
    }

    void createTable(const QString &name)
    {
        target_->execute(QStringLiteral("Create table ") + quoteOracleName(name) +
                         QStringLiteral(" (\r\n\"A\"  number  ) "));
    }

    QTemporaryDir dir_;
    std::unique_ptr<OracleSession> target_;
    std::unique_ptr<CountingSession> counting_;
};

TEST_F(CatalogueOperations, TableExistsComparesTheExactNameInTheOwnersSchema)
{
    createTable(QStringLiteral("orders"));
    createTable(QStringLiteral("ITEMS"));
    createTable(QStringLiteral("O'BRIEN"));
    const struct {
        const char *name;
        const char *owner;
        bool exists;
    } cases[] = {
        {"orders", "scott", true},   {"orders", "SCOTT", true},  {"ORDERS", "scott", false},
        {"ITEMS", "Scott", true},    {"items", "scott", false},  {"orders", "someone", false},
        {"O'BRIEN", "scott", true},  {"O'", "scott", false},     {"missing", "scott", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.owner);
        EXPECT_EQ(TableExists(*target_, QString::fromUtf8(c.name), QString::fromUtf8(c.owner)), c.exists);
    }
    EXPECT_THROW(TableExists(*counting_, QStringLiteral("a\"b"), QStringLiteral("scott")), IdentifierError);
    EXPECT_EQ(counting_->queries, 0);
}

TEST_F(CatalogueOperations, ShortenTableNameProbesTheSuffixesInOrder)
{
    const QString name30 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ_123");
    const QString name31 = name30 + QLatin1Char('4');
    const QString stem = name31.left(26);
    ASSERT_EQ(name30.size(), 30);

    EXPECT_EQ(ShortenTableName(*counting_, name30, QStringLiteral("scott")), name30);
    EXPECT_EQ(counting_->queries, 0);

    EXPECT_EQ(ShortenTableName(*counting_, name31, QStringLiteral("scott")), stem + QStringLiteral("0000"));
    EXPECT_EQ(counting_->queries, 1);

    for (int b = 0; b <= 4; ++b)
        createTable(stem + QStringLiteral("%1").arg(b, 4, 10, QLatin1Char('0')));
    counting_->queries = 0;
    EXPECT_EQ(ShortenTableName(*counting_, name31, QStringLiteral("scott")), stem + QStringLiteral("0005"));
    EXPECT_EQ(counting_->queries, 6);

    for (int b = 5; b <= 100; ++b)
        createTable(stem + QStringLiteral("%1").arg(b, 4, 10, QLatin1Char('0')));
    counting_->queries = 0;
    EXPECT_EQ(ShortenTableName(*counting_, name31, QStringLiteral("scott")), stem + QStringLiteral("0100"));
    EXPECT_EQ(counting_->queries, 101);
}

TEST_F(CatalogueOperations, DropTableReportsTheTargetsMessage)
{
    TStepResult missing = DropTable(*target_, QStringLiteral("NO_SUCH_TABLE"));
    EXPECT_FALSE(missing.Ok);
    EXPECT_TRUE(missing.ErrorText.startsWith(QStringLiteral("ORA-00942: table or view does not exist")))
        << missing.ErrorText.toStdString();

    createTable(QStringLiteral("my table"));
    const TStepResult dropped = DropTable(*target_, QStringLiteral("my table"));
    EXPECT_TRUE(dropped.Ok) << dropped.ErrorText.toStdString();
    EXPECT_FALSE(TableExists(*target_, QStringLiteral("my table"), QStringLiteral("scott")));

    const TStepResult refused = DropTable(*counting_, QStringLiteral("a\"b"));
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.ErrorText, tableNameProblem(QStringLiteral("a\"b")));
    EXPECT_EQ(counting_->executes, 0);
}

} // namespace
} // namespace tavrex
