#pragma once

#include <QString>
#include <QStringList>

namespace tavrex {

// The launcher that replays a recorded conversion: it starts the program
// (launcherProgram below) with the settings file's full path as its only
// argument, in the program's folder. On Windows it is a shell link (.lnk); on Linux, where
// such links do not exist, a freedesktop desktop entry (.desktop), marked
// executable. Throws std::runtime_error naming the file when it cannot be
// written.
void CreateShortcut(const QString &targetPath, const QString &settingsFile, const QString &shortcutFile);

// What the running program knows of where it lies.
struct RunningProgram {
    // The running executable as the system names it: its full path, ending in
    // " (deleted)" when the file was replaced (a package upgrade) or removed
    // since the program started.
    QString executable;
    // The name it was started by (the first word of its command line).
    QString startedAs;
    // The folders of the PATH it was started with, as PATH lists them.
    QString searchPath;
};

// The running program's own RunningProgram.
RunningProgram runningProgram();

// The program a recorded launcher starts, chosen to stay valid as long as
// Tavrex stays installed:
// - the running executable, without the " (deleted)" of a file that an
//   upgrade replaced under the same name;
// - in its place the name it was started by, when that is a full path or a
//   bare name found in PATH, and leads to the same file: a link such as
//   /usr/local/bin/tavrex outlives the versioned folder it points into;
// - never a build folder (a folder with CMakeCache.txt in it or above it)
//   while an installed tavrex is found in PATH outside any build folder: then
//   that one. Without an installed one, the build folder's program is all
//   there is.
QString launcherProgram(const RunningProgram &running);

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
