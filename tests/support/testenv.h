#pragma once

#include "connections/common/params.h"
#include "tests/support/qtprinters.h"

#include <QString>
#include <QTemporaryDir>

namespace tavrex::test {

// The throwaway MariaDB of this test run (started by the CTest fixture).
// Each accessor fails the calling test when the server is not there: tests
// that need MySQL never pass without it.
struct MySqlSandbox {
    QString socket;    // MYSQL_UNIX_PORT
    QString port;      // the loopback TCP port, as text
    QString user;
    QString password;
};

// Reads the sandbox of TAVREX_TEST_MYSQL_DIR; throws std::runtime_error with
// a message saying what is missing when it is not running.
const MySqlSandbox &mysqlSandbox();

// A parameter list for the sandbox: over TCP (HostName=127.0.0.1) or over the
// socket (HostName=localhost), for the given database.
Params sandboxParams(const QString &database, bool overSocket = false);

// Runs statements on the sandbox as its password user (no database, or the
// given one); throws on the first error. For fixtures only.
void sandboxExec(const QStringList &statements, const QString &database = QString());

// Creates a fresh database of that name (dropping an older one).
void recreateDatabase(const QString &name);

// The folder of the source tree and of the build tree.
QString sourceDir();
QString binaryDir();

} // namespace tavrex::test
