#pragma once

// A MariaDB server of a test's own, for tests that freeze, kill or otherwise
// disturb the server, so that the shared server of the other tests is never
// touched; and the scoped helpers those tests use.

#include "connections/mysql/mysqlclient.h"
#include "connections/common/params.h"
#include "tests/support/testenv.h"

#include <QByteArray>
#include <QDir>
#include <QThread>
#include <QFile>
#include <QProcess>
#include <QString>

#include <signal.h>
#include <stdlib.h>

#include <stdexcept>

namespace tavrex::test {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        old_ = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

// A server of its own for the tests that freeze it, so that the shared one
// of the other tests is never disturbed. Stopped and removed at the end.
class OwnServer {
public:
    OwnServer()
    {
        QByteArray pattern = "/tmp/tvx-fz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = QString::fromLatin1(pattern);
        QProcess p;
        p.start(sourceDir() + "/scripts/mariadb-sandbox", {"start", dir_});
        if (!p.waitForFinished(300000) || p.exitCode() != 0)
            throw std::runtime_error(("own sandbox did not start: " + p.readAllStandardError()).toStdString());
        QFile pidFile(dir_ + "/mysqld.pid");
        QFile portFile(dir_ + "/port");
        if (!pidFile.open(QIODevice::ReadOnly) || !portFile.open(QIODevice::ReadOnly))
            throw std::runtime_error("own sandbox wrote no pid or port");
        pid_ = pidFile.readAll().trimmed().toInt();
        port_ = QString::fromLatin1(portFile.readAll().trimmed());
    }
    ~OwnServer()
    {
        ::kill(pid_, SIGCONT);
        QProcess::execute(sourceDir() + "/scripts/mariadb-sandbox", {"stop", dir_});
    }
    Params params() const
    {
        Params p = sandboxParams(QString());
        p.setValue("Port", port_);
        p.setValue("HostName", "127.0.0.1");
        return p;
    }
    int pid() const { return pid_; }
    const QString &dir() const { return dir_; }
    // Runs statements on the server as the password user, in database (none
    // when empty); throws on the first error.
    void exec(const QStringList &statements, const QString &database = QString()) const
    {
        MySqlConnection c;
        c.params() = params();
        c.params().setValue("Database", database);
        c.connect();
        for (const QString &statement : statements)
            c.query(statement);
    }
    const QString &port() const { return port_; }

private:
    QString dir_;
    QString port_;
    int pid_ = 0;
};

// The server stopped (SIGSTOP) for one scope; it always gets SIGCONT, even
// when the test fails, or every later test would hang on it.
class Frozen {
public:
    explicit Frozen(int pid) : pid_(pid)
    {
        ::kill(pid_, SIGSTOP);
        // The stop is delivered asynchronously: wait (bounded) until every
        // thread of the server is stopped, so that nothing answers after this.
        for (int i = 0; i < 500 && !allStopped(); ++i)
            QThread::msleep(10);
    }
    ~Frozen() { ::kill(pid_, SIGCONT); }

private:
    bool allStopped() const
    {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid_));
        const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (ids.isEmpty())
            return false;
        for (const QString &id : ids) {
            QFile stat(tasks.filePath(id + "/stat"));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            const int close = text.lastIndexOf(')');
            if (close < 0 || close + 2 >= text.size() || text.at(close + 2) != 'T')
                return false;
        }
        return true;
    }

    int pid_;
};

} // namespace tavrex::test
