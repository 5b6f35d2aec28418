#pragma once

// The two caption languages of the main window. The tables are data: 44 rows
// each, "key=caption", the key being the name of a control of the main
// window. The window applies one of them once, in FormCreate, through
// ApplyLanguage; the run and the close question then read the text holders
// (Label29, Label30, Label32, queryclose) and "Help" reads helpurl.

#include <QString>
#include <QStringList>

class QWidget;

namespace tavrex {

// The interface language codes; the wizard always starts with "cn".
inline QString languageEnglish() { return QStringLiteral("en"); }
inline QString languageChinese() { return QStringLiteral("cn"); }

// The file names of the two help pages, which are installed in the folder
// "help" beside the program.
inline QString helpPageEnglish() { return QStringLiteral("tavrex-help-en.html"); }
inline QString helpPageChinese() { return QStringLiteral("tavrex-help-cn.html"); }

// The tables "english" and "chn". Row 43 (helpurl) holds the file address
// of that language's help page in helpFolder.
QStringList englishTable(const QString &helpFolder);
QStringList chnTable(const QString &helpFolder);

// The key of a row: the text before its first "=" (the whole row without one).
QString rowKey(const QString &row);

// The caption of a control: the text after the "=" of the first row whose key
// equals the name without regard to case; empty when no row has that key.
QString captionFor(const QStringList &table, const QString &name);

// Gives every label, group box (the radio groups are group boxes too) and
// check box under window the caption of its name from the table of
// languageCode, then sets the fixed button captions. "en" and "cn" are
// compared exactly; any other code changes nothing. Called once by the main
// window's FormCreate; tests call it on small widget trees.
void ApplyLanguage(QWidget &window, const QString &languageCode, const QStringList &english,
                   const QStringList &chn);

// The caption that takes the place of Label30 when a run completed with
// errors, in the language given ("en" or "cn").
QString completedWithErrorsCaption(const QString &languageCode);

} // namespace tavrex
