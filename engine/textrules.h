#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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
// one is complete, so a failure never leaves a half-written file. ownerOnly
// creates it readable by its owner alone (files that hold passwords). A
// failure throws std::runtime_error naming the path and the reason.
void writeFileReplacing(const QString &path, const QByteArray &bytes, bool ownerOnly);

} // namespace tavrex
