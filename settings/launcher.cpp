#include "settings/launcher.h"

#include "engine/core/textrules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <stdexcept>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#include <shlobj.h>
#include <objbase.h>
#endif

namespace tavrex {

QString launcherExtension()
{
#ifdef Q_OS_WIN
    return QStringLiteral("lnk");
#else
    return QStringLiteral("desktop");
#endif
}

namespace {

const QString kDeletedMark = QStringLiteral(" (deleted)");

bool sameFile(const QString &a, const QString &b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// Whether PATH lies in a folder CMake builds into: one that holds
// CMakeCache.txt, or below such a folder.
bool inBuildFolder(const QString &path)
{
    QDir dir = QFileInfo(path).absoluteDir();
    do {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("CMakeCache.txt"))))
            return true;
    } while (dir.cdUp());
    return false;
}

QStringList searchFolders(const QString &searchPath)
{
    QStringList folders;
    // An empty entry stands for the current folder, which is no place to
    // start a launcher's program from.
    for (const QString &folder : searchPath.split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    return folders;
}

} // namespace

RunningProgram runningProgram()
{
    RunningProgram running;
#ifndef Q_OS_WIN
    // The link names the file even after it was replaced or removed, where
    // Qt's own answer would be empty.
    QByteArray target(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", target.data(), static_cast<size_t>(target.size()));
    if (n > 0 && n < target.size())
        running.executable = QFile::decodeName(target.left(n));
#endif
    if (running.executable.isEmpty())
        running.executable = QCoreApplication::applicationFilePath();
    const QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        running.startedAs = arguments.first();
    running.searchPath = qEnvironmentVariable("PATH");
    return running;
}

QString launcherProgram(const RunningProgram &running)
{
    QString program = running.executable;
    if (program.endsWith(kDeletedMark))
        program.chop(kDeletedMark.size());
    const QStringList folders = searchFolders(running.searchPath);

    QString startedAs;
    if (QDir::isAbsolutePath(running.startedAs))
        startedAs = running.startedAs;
    else if (!running.startedAs.isEmpty() && !running.startedAs.contains(QLatin1Char('/')) &&
             !running.startedAs.contains(QLatin1Char('\\')) && !folders.isEmpty())
        startedAs = QStandardPaths::findExecutable(running.startedAs, folders);
    if (!startedAs.isEmpty() && sameFile(startedAs, program))
        program = QDir::cleanPath(startedAs);

    if (inBuildFolder(program)) {
        for (const QString &folder : folders) {
            const QString installed = QStandardPaths::findExecutable(QStringLiteral("tavrex"), {folder});
            if (!installed.isEmpty() && !inBuildFolder(installed))
                return QDir::cleanPath(installed);
        }
    }
    return program;
}

QString quoteExecArgument(const QString &argument)
{
    QString quoted;
    quoted.reserve(argument.size() + 2);
    quoted += QLatin1Char('"');
    for (QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

QString escapeDesktopString(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

QString desktopEntryText(const QString &targetPath, const QString &settingsFile)
{
    const QString folder = QFileInfo(targetPath).absolutePath();
    const QString exec = quoteExecArgument(targetPath) + QLatin1Char(' ') + quoteExecArgument(settingsFile);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Name=") + escapeDesktopString(QFileInfo(settingsFile).completeBaseName()) +
            QStringLiteral(" (Tavrex conversion)\n");
    text += QStringLiteral("Comment=") + escapeDesktopString(QStringLiteral("Replays the conversion recorded in ") +
                                                             settingsFile) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + escapeDesktopString(exec) + QLatin1Char('\n');
    text += QStringLiteral("Path=") + escapeDesktopString(folder) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text;
}

#ifdef Q_OS_WIN
void CreateShortcut(const QString &targetPath, const QString &settingsFile, const QString &shortcutFile)
{
    const QString arguments = QLatin1Char('"') + QDir::toNativeSeparators(settingsFile) + QLatin1Char('"');
    const QString folder = QDir::toNativeSeparators(QFileInfo(targetPath).absolutePath()) + QLatin1Char('\\');
    const HRESULT init = CoInitialize(nullptr);
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IShellLinkW, reinterpret_cast<void **>(&link));
    if (SUCCEEDED(hr))
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file));
    if (SUCCEEDED(hr)) {
        link->SetPath(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(targetPath).utf16()));
        link->SetArguments(reinterpret_cast<const wchar_t *>(arguments.utf16()));
        link->SetWorkingDirectory(reinterpret_cast<const wchar_t *>(folder.utf16()));
        file->Save(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(shortcutFile).utf16()), FALSE);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    if (FAILED(hr))
        throw std::runtime_error("Cannot create the shell link object {00021401-0000-0000-C000-000000000046}");
}
#else
void CreateShortcut(const QString &targetPath, const QString &settingsFile, const QString &shortcutFile)
{
    const QByteArray bytes = desktopEntryText(targetPath, settingsFile).toUtf8();
    writeFileReplacing(shortcutFile, bytes, false);
    // Desktops start only entries that are marked executable.
    QFile::setPermissions(shortcutFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}
#endif

} // namespace tavrex
