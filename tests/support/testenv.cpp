#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>

#include <mysql.h>

#include <memory>
#include <stdexcept>

namespace tavrex::test {

namespace {

QString readEnvFile(const QString &dir, const QString &key)
{
    QFile file(dir + QStringLiteral("/env"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString prefix = QStringLiteral("export ") + key + QStringLiteral("='");
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(prefix) && line.endsWith(QLatin1Char('\'')))
            return line.mid(prefix.size(), line.size() - prefix.size() - 1);
    }
    return QString();
}

} // namespace

const MySqlSandbox &mysqlSandbox()
{
    static const MySqlSandbox sandbox = [] {
        const QString dir = qEnvironmentVariable("TAVREX_TEST_MYSQL_DIR");
        if (dir.isEmpty())
            throw std::runtime_error("TAVREX_TEST_MYSQL_DIR is not set: run this test through ctest, "
                                     "which starts the throwaway MariaDB");
        MySqlSandbox s;
        s.socket = readEnvFile(dir, QStringLiteral("MYSQL_UNIX_PORT"));
        s.port = readEnvFile(dir, QStringLiteral("TAVREX_MYSQL_PORT"));
        s.user = readEnvFile(dir, QStringLiteral("TAVREX_MYSQL_USER"));
        s.password = readEnvFile(dir, QStringLiteral("TAVREX_MYSQL_PASSWORD"));
        if (s.socket.isEmpty() || s.port.isEmpty())
            throw std::runtime_error(("the throwaway MariaDB in " + dir.toStdString() +
                                      " is not running (scripts/mariadb-sandbox start)"));
        return s;
    }();
    return sandbox;
}

Params sandboxParams(const QString &database, bool overSocket)
{
    const MySqlSandbox &s = mysqlSandbox();
    Params p;
    p.add(QStringLiteral("Database"), database);
    p.add(QStringLiteral("User_Name"), s.user);
    p.add(QStringLiteral("Password"), s.password);
    p.add(QStringLiteral("Port"), s.port);
    p.add(QStringLiteral("HostName"), overSocket ? QStringLiteral("localhost") : QStringLiteral("127.0.0.1"));
    return p;
}

void sandboxExec(const QStringList &statements, const QString &database)
{
    const MySqlSandbox &s = mysqlSandbox();
    std::unique_ptr<MYSQL, void (*)(MYSQL *)> db(mysql_init(nullptr), mysql_close);
    const QByteArray user = s.user.toUtf8(), password = s.password.toUtf8(), sock = s.socket.toUtf8(),
                     name = database.toUtf8();
    mysql_options(db.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(db.get(), "localhost", user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : name.constData(), 0, sock.constData(), 0))
        throw std::runtime_error(std::string("sandbox connect: ") + mysql_error(db.get()));
    for (const QString &statement : statements) {
        const QByteArray sql = statement.toUtf8();
        if (mysql_real_query(db.get(), sql.constData(), sql.size()) != 0)
            throw std::runtime_error(std::string("sandbox statement failed: ") + mysql_error(db.get()) + "\n" +
                                     sql.constData());
        if (MYSQL_RES *res = mysql_store_result(db.get()))
            mysql_free_result(res);
    }
}

void recreateDatabase(const QString &name)
{
    sandboxExec({QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name),
                 QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4").arg(name)});
}

QString sourceDir()
{
    return qEnvironmentVariable("TAVREX_SOURCE_DIR", QStringLiteral(TAVREX_SOURCE_DIR_DEFAULT));
}

QString binaryDir()
{
    return qEnvironmentVariable("TAVREX_BINARY_DIR", QStringLiteral(TAVREX_BINARY_DIR_DEFAULT));
}

} // namespace tavrex::test
