#pragma once

#include "settings/controlvalues.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavrex {

// The lines of a loaded batch settings file (the main window's value list):
// key=value lines; a key is the text before the first "=", looked up without
// regard to case, the first line of a key winning; a missing key reads empty.
class BatchValues {
public:
    BatchValues() = default;
    explicit BatchValues(QStringList lines) : lines_(std::move(lines)) {}

    const QStringList &lines() const { return lines_; }
    QString value(const QString &key) const;
    bool has(const QString &key) const;
    // The name of the file the lines came from (empty when parsed from
    // bytes); errors about a value name it.
    const QString &fileName() const { return fileName_; }

private:
    QStringList lines_;
    QString fileName_;
    friend BatchValues parseBatchFile(const QByteArray &bytes, const QString &fileName);
    friend BatchValues loadBatchFile(const QString &path);
};

// Decodes the bytes of a settings file: a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark selects that encoding, otherwise the locale's code page;
// lines split at CR LF, a lone CR and a lone LF. Bytes without a mark that
// are not valid in the locale's code page throw std::runtime_error naming
// fileName, the first such line's number and how to save the file instead.
BatchValues parseBatchFile(const QByteArray &bytes, const QString &fileName = QString());

// Loads a settings file; a file that cannot be read or decoded throws
// std::runtime_error whose text names the file and the reason.
BatchValues loadBatchFile(const QString &path);

// Puts the file's values into the controls, in the documented order. A
// missing or non-numeric "accessmode" or "processtable" throws
// std::invalid_argument (a conversion error) naming the file, the key and the
// text ("job.qelt: accessmode: '' is not a valid integer value.") and the
// values after it are not applied. A number above the last item chooses the last; a negative one none.
void ApplyBatchSettings(const BatchValues &values, ControlValues &controls);

// The table choice of a replay: true when "alltables" is exactly "1".
bool batchAllTables(const BatchValues &values);
// Otherwise the names of the table lines ("tables..." compared with case) in
// file order, trimmed of blanks and control characters, empty ones dropped.
QStringList batchTableNames(const BatchValues &values);

// What the batch window records.
struct BatchRecording {
    int accessmode = 0;          // the main window's choice
    QString mysqldatabase;       // the database chosen on page 4
    QString port;
    QString mysqlUser;
    QString mysqlPassword;
    QString host;                // the main window's host box, in both modes
    QString oracleService;
    QString oracleUser;
    QString oraclePassword;
    int processtable = 0;        // the main window's choice
    QString characterSet;        // the drop-down's text ("Default" or a name)
    ConversionOptions options;   // the window's check boxes (kCheckOptions)
    bool allTables = true;       // rgselecttable item 1
    QStringList tables;          // written when allTables is off
};

// The lines of the settings file, in the order written. A table name or a
// value holding a line break throws std::invalid_argument naming it (the
// table's name, or the key of another value): a line-based file cannot hold
// it, and nothing is written.
QStringList batchFileLines(const BatchRecording &recording);
// Writes them (CR LF after every line, the locale's code page, no byte-order
// mark, mode 0600 on Linux: the file holds passwords), replacing any file of
// that name; throws std::runtime_error naming the path on failure.
void writeBatchFile(const QString &path, const QStringList &lines);

} // namespace tavrex
