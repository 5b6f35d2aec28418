#pragma once

#include <QString>
#include <QStringList>

namespace tavrex {

// The launcher that replays a recorded conversion: it starts the program's
// own executable with the settings file's full path as its only argument, in
// the program's folder. On Windows it is a shell link (.lnk); on Linux, where
// such links do not exist, a freedesktop desktop entry (.desktop), marked
// executable. Throws std::runtime_error naming the file when it cannot be
// written.
void CreateShortcut(const QString &targetPath, const QString &settingsFile, const QString &shortcutFile);

// The extension of launcher files on this platform, without the dot, as the
// save dialog offers it ("lnk" on Windows, "desktop" elsewhere).
QString launcherExtension();

// The text of the desktop entry for the program and the settings file.
QString desktopEntryText(const QString &targetPath, const QString &settingsFile);

// One argument of an Exec line, quoted as desktop entries require: in double
// quotes, with ", `, $ and \ escaped by a backslash and % doubled.
QString quoteExecArgument(const QString &argument);

// The value of a desktop entry's string key written out: "\" as "\\", and
// line breaks, tabs and carriage returns as \n, \t and \r.
QString escapeDesktopString(const QString &value);

} // namespace tavrex
