#include "settings/launcher.h"
#include "tests/support/qtprinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

// Reads an Exec value back as the desktop-entry rules say: first the string
// escapes of the value, then the quoting of the arguments, then %% → %.
QStringList parseExec(const QString &value)
{
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const QChar n = value[++i];
            unescaped += n == 's' ? QChar(' ') : n == 'n' ? QChar('\n') : n == 't' ? QChar('\t')
                         : n == 'r' ? QChar('\r') : n;
        } else {
            unescaped += value[i];
        }
    }
    QStringList args;
    qsizetype i = 0;
    while (i < unescaped.size()) {
        if (unescaped[i] == ' ') {
            ++i;
            continue;
        }
        QString arg;
        if (unescaped[i] == '"') {
            for (++i; i < unescaped.size() && unescaped[i] != '"'; ++i) {
                if (unescaped[i] == '\\' && i + 1 < unescaped.size() &&
                    QString("\"`$\\").contains(unescaped[i + 1]))
                    ++i;
                arg += unescaped[i];
            }
            ++i;  // the closing quote
        } else {
            while (i < unescaped.size() && unescaped[i] != ' ')
                arg += unescaped[i++];
        }
        args << arg.replace("%%", "%");
    }
    return args;
}

QString keyValue(const QString &text, const QString &key)
{
    for (const QString &line : text.split('\n'))
        if (line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    return "<missing>";
}

} // namespace

TEST(Launcher, ExecLineYieldsExactlyTheProgramAndTheSettingsFile)
{
    struct Case {
        const char *program;
        const char *settings;
    } cases[] = {
        {"/opt/tavrex/bin/tavrex", "/home/ann/jobs/nightly.qelt"},
        {"/opt/my apps/tavrex", "/home/ann/my jobs/night ly.qelt"},
        {"/opt/\"q\"/tavrex", "/home/ann/it's \"quoted\".qelt"},
        {"/opt/back\\slash/tavrex", "/home/ann/$HOME `x` 100%.qelt"},
        {"/opt/tavrex", "/home/安/任务\t1.qelt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.settings);
        const QString text = desktopEntryText(QString::fromUtf8(c.program), QString::fromUtf8(c.settings));
        EXPECT_EQ(parseExec(keyValue(text, "Exec")),
                  (QStringList{QString::fromUtf8(c.program), QString::fromUtf8(c.settings)}));
        EXPECT_EQ(text.count('\n'), 8) << "no value spills onto another line";
    }
}

TEST(Launcher, WritesAnExecutableDesktopEntryInTheProgramsFolder)
{
    QTemporaryDir dir;
    const QString entry = dir.filePath("nightly.desktop");
    CreateShortcut("/opt/tavrex/bin/tavrex", dir.filePath("nightly.qelt"), entry);
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_EQ(keyValue(text, "Path"), "/opt/tavrex/bin");
    EXPECT_TRUE(QFileInfo(entry).isExecutable());
    EXPECT_EQ(launcherExtension(), "desktop");
    EXPECT_THROW(CreateShortcut("/x", "/y.qelt", dir.filePath("missing/z.desktop")), std::runtime_error);
}

namespace {

// A file marked executable, with its folders.
QString makeProgram(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

TEST(Launcher, StartsAProgramPathThatOutlivesUpgradesLinksAndBuildFolders)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString installed = makeProgram(root + "/usr/bin/tavrex");
    const QString versioned = makeProgram(root + "/opt/tavrex-4.0/bin/tavrex");
    QDir().mkpath(root + "/usr/local/bin");
    ASSERT_TRUE(QFile::link(versioned, root + "/usr/local/bin/tavrex"));
    makeProgram(root + "/build/CMakeCache.txt");
    const QString built = makeProgram(root + "/build/app/tavrex");
    QDir().mkpath(root + "/empty");

    struct Case {
        const char *what;
        QString executable;
        QString startedAs;
        QString path;
        QString expected;
    } cases[] = {
        {"installed, started by name", installed, "tavrex", root + "/usr/bin", installed},
        {"replaced by an upgrade while it ran", installed + " (deleted)", "tavrex", root + "/usr/bin", installed},
        {"upgrade, started by full path", installed + " (deleted)", installed, "", installed},
        {"started through a link in PATH", versioned, "tavrex", root + "/empty:" + root + "/usr/local/bin",
         root + "/usr/local/bin/tavrex"},
        {"started by full path of the link", versioned, root + "/usr/local/bin/tavrex", "",
         root + "/usr/local/bin/tavrex"},
        {"PATH's tavrex is another program", versioned, "tavrex", root + "/usr/bin", versioned},
        {"relative start is not kept", versioned, "../opt/tavrex-4.0/bin/tavrex", root + "/usr/local/bin", versioned},
        {"build folder while installed", built, "build/app/tavrex", root + "/build/app:" + root + "/usr/bin",
         installed},
        {"build folder, nothing installed", built, "tavrex", root + "/build/app:" + root + "/empty", built},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(launcherProgram({c.executable, c.startedAs, c.path}), c.expected);
    }
}

TEST(Launcher, RunningProgramNamesThisExecutable)
{
    const RunningProgram running = runningProgram();
    EXPECT_EQ(running.executable, QCoreApplication::applicationFilePath());
    EXPECT_EQ(running.searchPath, qEnvironmentVariable("PATH"));
}
