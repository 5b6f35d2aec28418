#include "engine/core/runlog.h"

#include "engine/core/textrules.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shlobj.h>
#endif

namespace tavrex {

void TRunLog::notify(Change change, const QString &line)
{
    if (observer_)
        observer_(change, line);
    for (const Observer &listener : listeners_)
        listener(change, line);
}

void TRunLog::Append(const QString &line)
{
    lines_.append(line);
    notify(Change::Appended, line);
}

void TRunLog::RewriteLast(const QString &line)
{
    if (lines_.isEmpty())
        lines_.append(line);
    else
        lines_.last() = line;
    notify(Change::RewrittenLast, line);
}

QString TRunLog::LastLine() const
{
    return lines_.isEmpty() ? QString() : lines_.last();
}

void TRunLog::Clear()
{
    lines_.clear();
    notify(Change::Cleared, QString());
}

void TRunLog::SaveToFile(const QString &path) const
{
    // The log may name tables, users and values: its owner's alone.
    writeFileReplacing(path, encodeTextLines(lines_), true);
}

QString GetLogFolder()
{
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH] = {};
    QString base;
    PIDLIST_ABSOLUTE list = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &list) == S_OK) {
        if (SHGetPathFromIDListW(list, path))
            base = QString::fromWCharArray(path);
        CoTaskMemFree(list);
    }
    return base + QStringLiteral("\\Orvendel\\");
#else
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Orvendel/");
#endif
}

QString replaceExtension(const QString &path, const QString &extension)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? path.left(dot) : path) + extension;
}

void EnsureLogFolder()
{
    const QString folder = GetLogFolder();
    QDir dir(folder);
    if (!dir.exists())
        QDir().mkpath(folder);
}

} // namespace tavrex
