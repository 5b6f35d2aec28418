// The loader of the Oracle client library: the places it tries and in what
// order, the error when none opens (as page 3 shows it), and the refusal of a
// library that lacks functions, which is unloaded again.

#include "connections/oracle/ociloader.h"
#include "connections/profiles.h"
#include "engine/core/errors.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace tavrex;

namespace {

const QString kVariable = QStringLiteral("TAVREX_OCI_LIBRARY");
const QString kSearch = QStringLiteral("system library search path");
const QString kHome = QStringLiteral("$ORACLE_HOME/lib");
const QStringList kNames = {"libclntsh.so",      "libclntsh.so.23.1", "libclntsh.so.21.1", "libclntsh.so.19.1",
                            "libclntsh.so.18.1", "libclntsh.so.12.1", "libclntsh.so.11.1"};

QVector<OciLibraryCandidate> named(const QString &folder, const QString &origin)
{
    QVector<OciLibraryCandidate> out;
    for (const QString &n : kNames)
        out.append({folder.isEmpty() ? n : folder + QLatin1Char('/') + n, origin});
    return out;
}

bool isLoaded(const char *path)
{
    void *h = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

// Sets environment variables for one test and restores them after.
class ScopedEnv {
public:
    void set(const char *name, const QByteArray &value)
    {
        saved_.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, value);
    }
    void unset(const char *name)
    {
        saved_.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qunsetenv(name);
    }
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QVector<Saved> saved_;
};

} // namespace

TEST(OciLoader, TriesTheVariableThenTheSearchPathThenOracleHome)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *name;
        QString variable;
        QString home;
        QVector<OciLibraryCandidate> expected;
    } cases[] = {
        {"nothing set", "", "",
         named("", kSearch) + QVector<OciLibraryCandidate>{{"", kHome + ": not tried, ORACLE_HOME is not set"}}},
        {"a file and a home", "/opt/x/libclntsh.so.19.1", "/opt/oh",
         QVector<OciLibraryCandidate>{{"/opt/x/libclntsh.so.19.1", kVariable}} + named("", kSearch) +
             named("/opt/oh/lib", kHome)},
        {"a folder", dir.path(), "",
         named(dir.path(), kVariable) + named("", kSearch) +
             QVector<OciLibraryCandidate>{{"", kHome + ": not tried, ORACLE_HOME is not set"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVector<OciLibraryCandidate> got = ociLibraryCandidates(c.variable, c.home);
        ASSERT_EQ(got.size(), c.expected.size());
        for (int i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].path, c.expected[i].path) << i;
            EXPECT_EQ(got[i].origin, c.expected[i].origin) << i;
        }
    }
}

TEST(OciLoader, ConnectingWithoutAClientLibraryListsEveryPlaceTried)
{
    if (isLoaded("libclntsh.so") || dlopen("libclntsh.so", RTLD_LAZY))
        GTEST_SKIP() << "an Oracle client library is installed here";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("nowhere/libclntsh.so");
    const QString home = dir.filePath("oracle");
    QDir().mkpath(home + "/lib");
    ScopedEnv env;
    env.set("TAVREX_OCI_LIBRARY", QFile::encodeName(missing));
    env.set("ORACLE_HOME", QFile::encodeName(home));

    // Page 3 connects both Oracle connections; the first fails with the error.
    TConversionSettings s;
    s.OracleService = "//dbhost:1521/orcl";
    s.OracleUser = "scott";
    s.OraclePassword = "tiger";
    DatabaseObjects db;
    try {
        step3Click(db, s);
        FAIL() << "connected without a client library";
    } catch (const DatabaseError &e) {
        const QStringList lines = e.message().split('\n');
        ASSERT_GE(lines.size(), 17) << e.message().toStdString();
        EXPECT_TRUE(lines[0].startsWith("Cannot load the Oracle client library")) << lines[0].toStdString();
        QStringList expected{"  " + missing + " (TAVREX_OCI_LIBRARY): "};
        for (const QString &n : kNames)
            expected.append("  " + n + " (system library search path): ");
        for (const QString &n : kNames)
            expected.append("  " + home + "/lib/" + n + " ($ORACLE_HOME/lib): ");
        for (int i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(lines[1 + i].startsWith(expected[i])) << lines[1 + i].toStdString();
            // what the system loader said follows each place
            EXPECT_GT(lines[1 + i].size(), expected[i].size()) << lines[1 + i].toStdString();
        }
        EXPECT_TRUE(lines.last().contains("Oracle Instant Client")) << lines.last().toStdString();
        EXPECT_TRUE(lines.last().contains("libaio")) << lines.last().toStdString();
    }
    EXPECT_FALSE(db.oracleconn.connected());
    EXPECT_FALSE(db.oracledata.connected());
}

TEST(OciLoader, ALibraryLackingFunctionsIsRefusedByNameAndUnloaded)
{
    struct Case {
        const char *path;
        QString expected;
    } cases[] = {
        {TAVREX_OCI_STUB_ONE, "lacks the function that Tavrex calls: OCIBindByPos2."},
        {TAVREX_OCI_STUB_THREE,
         "lacks the functions that Tavrex calls: OCIStmtPrepare2, OCIBindByPos2, OCITransRollback."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_FALSE(isLoaded(c.path));
        try {
            loadOciLibrary({{QString::fromUtf8(c.path), kVariable}});
            ADD_FAILURE() << "the library was accepted";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("The Oracle client library %1 (found by the setting "
                                                              "TAVREX_OCI_LIBRARY) ")
                                                   .arg(c.path)))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.expected)) << e.message().toStdString();
        }
        EXPECT_FALSE(isLoaded(c.path));
    }
}

TEST(OciLoader, TheFirstPlaceThatOpensIsBoundOnceForTheProcess)
{
    QTemporaryDir dir;
    const QVector<OciLibraryCandidate> places{{dir.filePath("missing.so"), kVariable},
                                              {TAVREX_OCI_DOUBLE, kSearch},
                                              {TAVREX_OCI_STUB_ONE, kSearch}};
    const oci::Api &api = loadOciLibrary(places);
#define TAVREX_EXPECT_BOUND(name, type) EXPECT_NE(api.name, nullptr) << #name;
    TAVREX_OCI_FUNCTIONS(TAVREX_EXPECT_BOUND)
#undef TAVREX_EXPECT_BOUND
    EXPECT_FALSE(isLoaded(TAVREX_OCI_STUB_ONE));  // never reached
    EXPECT_EQ(&loadOciLibrary({{TAVREX_OCI_DOUBLE, kVariable}}), &api);
    EXPECT_TRUE(isLoaded(TAVREX_OCI_DOUBLE));
}
