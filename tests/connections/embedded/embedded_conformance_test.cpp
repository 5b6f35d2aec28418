// Runs the Oracle client conformance suite (tests/support/oracleconformance)
// on the embedded target: every case in a new file of its own.

#include "connections/embedded/embeddedreader.h"
#include "connections/embedded/embeddedtarget.h"
#include "tests/support/oracleconformance.h"

#include <QTemporaryDir>

namespace tavrex::test {
namespace {

class EmbeddedInstance : public OracleTargetInstance {
public:
    EmbeddedInstance() : path_(dir_.filePath(QStringLiteral("target.db"))) {}

    std::unique_ptr<OracleSession> open() override
    {
        OracleLogin login;
        login.service = QStringLiteral("embedded:") + path_;
        login.user = QStringLiteral("scott");
        login.password = QStringLiteral("tiger");
        return openEmbeddedSession(path_, login);
    }
    QString owner() const override { return QStringLiteral("SCOTT"); }
    std::optional<QVector<QVector<OracleValue>>> readTable(const QString &table) override
    {
        return readEmbeddedTable(path_, owner(), table);
    }

private:
    QTemporaryDir dir_;
    QString path_;
};

OracleTargetFactory embeddedTarget()
{
    return {"Embedded", [] { return std::unique_ptr<OracleTargetInstance>(new EmbeddedInstance()); }};
}

INSTANTIATE_TEST_SUITE_P(Embedded, OracleConformance,
                         ::testing::Combine(::testing::Values(embeddedTarget()),
                                            ::testing::ValuesIn(conformanceCases().begin(), conformanceCases().end())),
                         conformanceName);

// The same cases with every batch converted by the session's preparer first,
// as the row copy sends them.
OracleTargetFactory embeddedTargetPrepared()
{
    OracleTargetFactory f = embeddedTarget();
    f.name += "Prepared";
    f.prepareBatches = true;
    return f;
}

INSTANTIATE_TEST_SUITE_P(EmbeddedPrepared, OracleConformance,
                         ::testing::Combine(::testing::Values(embeddedTargetPrepared()),
                                            ::testing::ValuesIn(conformanceCases().begin(), conformanceCases().end())),
                         conformanceName);

} // namespace
} // namespace tavrex::test
