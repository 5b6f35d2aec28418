#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#ifdef Q_OS_WIN
#include <QFile>
#endif

namespace tavrex {

// Upper-cases the ASCII letters a to z only; every other character stays and
// the length never changes. Names are never upper-cased by Unicode rules.
QString asciiUpper(const QString &text);

// The text without leading and trailing blanks and control characters
// (every character up to U+0020).
QString trimmedBlanksAndControls(const QString &text);

// The number of bytes of the text in UTF-8; an unpaired surrogate counts as
// U+FFFD (three bytes), as the encoders write it. Oracle's byte limits of
// VARCHAR2 and CHAR are checked with it.
qint64 utf8Size(QStringView text);

// The bytes of a text file the system writes: every line followed by CR LF,
// in the locale's code page, without a byte-order mark.
QByteArray encodeTextLines(const QStringList &lines);

// Writes the bytes to path, replacing any file of that name only once the new
// one is complete and on the disk, so a failure never leaves a half-written
// or empty file in place of a good one. ownerOnly creates it readable by its
// owner alone (files that hold passwords). A failed write, flush or rename
// throws std::runtime_error: Cannot write the file "PATH": REASON, the reason
// in the system's words ("No space left on device").
void writeFileReplacing(const QString &path, const QByteArray &bytes, bool ownerOnly);

// A text file written line by line as a run goes (the ledger): each line goes
// to the system at once, so the lines appended before a killed run stay in
// the file. Lines are encoded as encodeTextLines() encodes them. A failed
// append is cut back off (the file holds whole lines only) and every later
// call fails too; errorText() says Cannot write the file "PATH": REASON.
class AppendingTextFile {
public:
    AppendingTextFile();
    ~AppendingTextFile();
    AppendingTextFile(const AppendingTextFile &) = delete;
    AppendingTextFile &operator=(const AppendingTextFile &) = delete;

    // How the lines are encoded: as encodeTextLines() does, or in UTF-8 (files
    // other programs read as UTF-8, such as the ledger), each ending in CR LF.
    enum class Encoding { Locale, Utf8 };

    // Opens the file for appending, creating it when missing (ownerOnly:
    // readable by its owner alone). False, with errorText(), on failure.
    bool open(const QString &path, bool ownerOnly = false, Encoding encoding = Encoding::Locale);
    bool isOpen() const;
    bool appendLine(const QString &line);
    // Forces the lines appended so far onto the disk.
    bool flush();
    void close();

    const QString &path() const { return path_; }
    // Empty while every call succeeded.
    const QString &errorText() const { return error_; }

private:
    QString path_;
    QString error_;
    Encoding encoding_ = Encoding::Locale;
#ifndef Q_OS_WIN
    int fd_ = -1;
#else
    std::unique_ptr<QFile> file_;
#endif
};

} // namespace tavrex
