#include "settings/launcher.h"

#include "engine/textrules.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

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
