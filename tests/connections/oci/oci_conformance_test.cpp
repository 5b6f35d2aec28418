// Runs the Oracle client conformance suite (tests/support/oracleconformance)
// through the OCI adapter on the client library's test double: the service
// name is a file path, not "embedded:PATH", so openOracleSession takes the
// adapter, which loads the double from TAVREX_OCI_LIBRARY (set by CTest).

#include "connections/embedded/embeddedreader.h"
#include "tests/support/oracleconformance.h"

#include <QTemporaryDir>

namespace tavrex::test {
namespace {

class DoubleInstance : public OracleTargetInstance {
public:
    DoubleInstance() : path_(dir_.filePath(QStringLiteral("target.db"))) {}

    std::unique_ptr<OracleSession> open() override
    {
        OracleLogin login;
        login.service = path_;
        login.user = QStringLiteral("scott");
        login.password = QStringLiteral("tiger");
        return openOracleSession(login);
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

OracleTargetFactory ociDouble()
{
    return {"OciDouble", [] { return std::unique_ptr<OracleTargetInstance>(new DoubleInstance()); }};
}

INSTANTIATE_TEST_SUITE_P(OciDouble, OracleConformance,
                         ::testing::Combine(::testing::Values(ociDouble()),
                                            ::testing::ValuesIn(conformanceCases().begin(), conformanceCases().end())),
                         conformanceName);

// The same cases with every batch converted by the session's preparer first,
// as the row copy sends them.
OracleTargetFactory ociDoublePrepared()
{
    OracleTargetFactory f = ociDouble();
    f.name += "Prepared";
    f.prepareBatches = true;
    return f;
}

INSTANTIATE_TEST_SUITE_P(OciDoublePrepared, OracleConformance,
                         ::testing::Combine(::testing::Values(ociDoublePrepared()),
                                            ::testing::ValuesIn(conformanceCases().begin(), conformanceCases().end())),
                         conformanceName);

} // namespace
} // namespace tavrex::test
