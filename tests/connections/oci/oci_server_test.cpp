// Runs the Oracle client conformance suite against a real Oracle server
// through the client library installed here, when TAVREX_TEST_ORACLE names
// one as "user/password@connect_identifier" (the connect identifier as
// "Database" takes it: a TNS alias, host:port/service or a descriptor).
// Without it every case reports skipped. The schema's tables named by the
// cases are dropped before and after each case. Rows cannot be read back
// through the interface, so the suite's row checks are left out here.

#include "tests/support/oracleconformance.h"

namespace tavrex::test {
namespace {

struct ServerLogin {
    OracleLogin login;
    QString owner;
};

std::optional<ServerLogin> serverLogin()
{
    const QString spec = qEnvironmentVariable("TAVREX_TEST_ORACLE");
    const qsizetype slash = spec.indexOf(QLatin1Char('/'));
    const qsizetype at = spec.lastIndexOf(QLatin1Char('@'));
    if (spec.isEmpty() || slash <= 0 || at <= slash)
        return std::nullopt;
    ServerLogin s;
    s.login.user = spec.left(slash);
    s.login.password = spec.mid(slash + 1, at - slash - 1);
    s.login.service = spec.mid(at + 1);
    for (QChar c : s.login.user)
        s.owner += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
    return s;
}

class ServerInstance : public OracleTargetInstance {
public:
    explicit ServerInstance(ServerLogin login) : login_(std::move(login)) {}
    std::unique_ptr<OracleSession> open() override { return openOracleSession(login_.login); }
    QString owner() const override { return login_.owner; }
    std::optional<QVector<QVector<OracleValue>>> readTable(const QString &) override { return std::nullopt; }

private:
    ServerLogin login_;
};

OracleTargetFactory oracleServer()
{
    OracleTargetFactory f{"OracleServer", nullptr};
    if (const auto login = serverLogin())
        f.make = [l = *login] { return std::unique_ptr<OracleTargetInstance>(new ServerInstance(l)); };
    return f;
}

INSTANTIATE_TEST_SUITE_P(OracleServer, OracleConformance,
                         ::testing::Combine(::testing::Values(oracleServer()),
                                            ::testing::ValuesIn(conformanceCases().begin(), conformanceCases().end())),
                         conformanceName);

} // namespace
} // namespace tavrex::test
