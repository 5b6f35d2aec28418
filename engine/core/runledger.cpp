#include "engine/core/runledger.h"

#include "engine/core/identifiers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace tavrex {

namespace {

QString writeFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write the file \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

// A file name for an Oracle table: the name with the characters that a file
// name cannot hold replaced by "_".
QString reloadFileStem(const QString &target)
{
    QString name = target;
    for (QChar &c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name;
}

// A name the ledger may have given: one file inside the folder, no way out.
bool isReloadFileName(const QString &name)
{
    return name.endsWith(QLatin1String(".csv")) && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && name != QLatin1String(".csv") && !name.startsWith(QLatin1Char('.'));
}

// The reason of the ledger's record that names a table's reload file.
QString reloadFileReason()
{
    return QStringLiteral("reload file");
}

} // namespace

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            if (any || !field.isEmpty()) {
                fields << field;
                records << fields;
            }
            fields.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        fields << field;
        records << fields;
    }
    return records;
}

QString csvField(const QString &text)
{
    bool quote = false;
    for (QChar c : text)
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            quote = true;
            break;
        }
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

RunLedger::~RunLedger()
{
    closeFiles();
}

std::int64_t RunLedger::records() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

QString RunLedger::errorText() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

void RunLedger::fail(const QString &text)
{
    if (error_.isEmpty())
        error_ = text;
}

void RunLedger::setPaths(const QString &ledgerPath, const QString &reloadFolder)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    closeFiles();
    ledgerPath_ = ledgerPath;
    reloadFolder_ = reloadFolder;
    records_ = 0;
    error_.clear();
    reloadNames_.clear();
    earlierReloads_.clear();
    earlierRecords_.clear();
    continued_.clear();
    if (ledgerPath.isEmpty())
        return;
    // The reload files an earlier run's ledger named, then that ledger goes
    // (its records are kept for a table whose copy this run continues).
    QFile earlier(ledgerPath);
    if (!QFileInfo(ledgerPath).isSymLink() && earlier.open(QIODevice::ReadOnly)) {
        earlierRecords_ = parseCsv(QString::fromUtf8(earlier.readAll()));
        if (!earlierRecords_.isEmpty())
            earlierRecords_.removeFirst();  // the header
        for (const QStringList &r : std::as_const(earlierRecords_))
            if (r.size() == 5 && r.at(3) == reloadFileReason() && isReloadFileName(r.at(4)))
                earlierReloads_.insert(r.at(0), r.at(4));
        earlier.close();
    }
    QFile::remove(ledgerPath);
}

void RunLedger::recordValue(const QString &table, std::int64_t row, const QString &column, const QString &reason,
                            const QString &value)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    appendRecord(table, QString::number(row), column, reason, value);
}

void RunLedger::recordKey(const QString &table, const QString &columns, const QString &reason, const QString &value)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    appendRecord(table, QString(), columns, reason, value);
}

void RunLedger::appendRecord(const QString &table, const QString &row, const QString &column, const QString &reason,
                             const QString &value)
{
    if (ledgerPath_.isEmpty() || !error_.isEmpty())
        return;
    if (!ledger_) {
        QFile::remove(ledgerPath_);
        auto file = std::make_unique<AppendingTextFile>();
        if (!file->open(ledgerPath_, true, AppendingTextFile::Encoding::Utf8) ||
            !file->appendLine(QStringLiteral("table,row,column,reason,value"))) {
            fail(file->errorText());
            return;
        }
        ledger_ = std::move(file);
    }
    if (!ledger_->appendLine(csvField(table) + QLatin1Char(',') + row + QLatin1Char(',') + csvField(column) +
                             QLatin1Char(',') + csvField(reason) + QLatin1Char(',') + csvField(value))) {
        fail(ledger_->errorText());
        return;
    }
    ++records_;
}

void RunLedger::carryOver(const QString &table, const QString &target, std::int64_t uptoRow)
{
    carryOver(table, target, {{1, uptoRow}});
}

void RunLedger::carryOver(const QString &table, const QString &target,
                          const std::vector<std::pair<std::int64_t, std::int64_t>> &spans)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const QString reloadName = earlierReloads_.value(table);
    if (!reloadName.isEmpty() && !reloadFolder_.isEmpty()) {
        const QFileInfo file(reloadFolder_ + QLatin1Char('/') + reloadName);
        if (file.isFile() && !file.isSymLink()) {
            continued_.insert(table);
            reloadNames_.insert(target, reloadName);
            appendRecord(table, QString(), QString(), reloadFileReason(), reloadName);
        }
    }
    for (const QStringList &r : std::as_const(earlierRecords_)) {
        if (r.size() != 5 || r.at(0) != table || r.at(3) == reloadFileReason())
            continue;
        bool numbered = false;
        const std::int64_t row = r.at(1).toLongLong(&numbered);
        if (!numbered)
            continue;
        for (const auto &[first, last] : spans) {
            if (row >= first && row <= last) {
                appendRecord(r.at(0), r.at(1), r.at(2), r.at(3), r.at(4));
                break;
            }
        }
    }
}

void RunLedger::recordRow(const QString &table, std::int64_t row, const QString &reason)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    appendRecord(table, QString::number(row), QString(), reason, QString());
}

AppendingTextFile *RunLedger::reloadFile(const QString &table, const QString &target, const QStringList &fieldNames)
{
    auto found = reloads_.find(target);
    if (found != reloads_.end())
        return found->get();
    const QFileInfo folder(reloadFolder_);
    if (folder.isSymLink()) {
        fail(writeFailure(reloadFolder_, QStringLiteral("it is a symbolic link, and nothing is written through it")));
        return nullptr;
    }
    if (!folder.exists()) {
#ifndef Q_OS_WIN
        if (::mkdir(QFile::encodeName(reloadFolder_).constData(), 0700) != 0) {
            fail(writeFailure(reloadFolder_, QString::fromLocal8Bit(std::strerror(errno))));
            return nullptr;
        }
#else
        if (!QDir().mkdir(reloadFolder_)) {
            fail(writeFailure(reloadFolder_, QStringLiteral("the folder cannot be created")));
            return nullptr;
        }
#endif
    } else if (!folder.isDir()) {
        fail(writeFailure(reloadFolder_, QStringLiteral("it is not a folder")));
        return nullptr;
    }
    // The name the table's file had in the earlier run, so that a table
    // keeps its file from run to run; else the table's own name, or a
    // numbered one when another table has that name in this run or had it in
    // the earlier one (file names compare without regard to case, as some
    // file systems do).
    // A continued table goes on in its file (carryOver named it already).
    const bool goOn = continued_.contains(table) && reloadNames_.value(target) == earlierReloads_.value(table);
    QSet<QString> taken;
    for (const QString &name : std::as_const(reloadNames_))
        taken.insert(name.toCaseFolded());
    QString name = earlierReloads_.value(table);
    if (!goOn && (name.isEmpty() || taken.contains(name.toCaseFolded()))) {
        for (auto e = earlierReloads_.cbegin(); e != earlierReloads_.cend(); ++e)
            if (e.key() != table)
                taken.insert(e.value().toCaseFolded());
        name = firstFreeName(reloadFileStem(target), [&taken](const QString &n) {
                   return taken.contains((n + QStringLiteral(".csv")).toCaseFolded());
               }) +
               QStringLiteral(".csv");
    }
    const QString path = reloadFolder_ + QLatin1Char('/') + name;
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()) {
        fail(writeFailure(path, QStringLiteral("a folder of that name is in the way")));
        return nullptr;
    }
    // An earlier run's file of that name (or a link of that name, not what it
    // points to) gives way to this run's, unless this run continues the
    // earlier run's copy of the table: then its rows go on in that file.
    if (!goOn)
        QFile::remove(path);
    auto file = std::make_shared<AppendingTextFile>();
    QStringList header;
    for (const QString &field : fieldNames)
        header << csvField(field);
    if (!file->open(path, true, AppendingTextFile::Encoding::Utf8) ||
        (!goOn && !file->appendLine(header.join(QLatin1Char(','))))) {
        fail(file->errorText());
        return nullptr;
    }
    reloads_.insert(target, file);
    if (!goOn) {
        reloadNames_.insert(target, name);
        appendRecord(table, QString(), QString(), reloadFileReason(), name);
    }
    return file.get();
}

void RunLedger::recordReloadRow(const QString &table, const QString &target, const QStringList &fieldNames,
                                const QStringList &values)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (reloadFolder_.isEmpty() || !error_.isEmpty())
        return;
    AppendingTextFile *file = reloadFile(table, target, fieldNames);
    if (!file)
        return;
    QStringList fields;
    for (const QString &v : values)
        fields << csvField(v);
    if (!file->appendLine(fields.join(QLatin1Char(','))))
        fail(file->errorText());
}

void RunLedger::dropEarlierReloadFile(const QString &table)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (continued_.contains(table))
        return;  // it holds the rows the continued copy rejected before
    const QString name = earlierReloads_.take(table);
    if (name.isEmpty() || reloadFolder_.isEmpty() || QFileInfo(reloadFolder_).isSymLink())
        return;
    for (const QString &written : std::as_const(reloadNames_))
        if (written.compare(name, Qt::CaseInsensitive) == 0)
            return;
    const QString path = reloadFolder_ + QLatin1Char('/') + name;
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile())
        QFile::remove(path);
}

void RunLedger::close()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    closeFiles();
}

void RunLedger::closeFiles()
{
    ledger_.reset();
    reloads_.clear();
}

void RunLedger::moveTo(const QString &ledgerPath, const QString &reloadFolder)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool hadLedger = ledger_ != nullptr;
    const bool hadReloads = !reloads_.isEmpty();
    closeFiles();
    if (hadLedger && ledgerPath != ledgerPath_) {
        QFile::remove(ledgerPath);
        if (!QFile::rename(ledgerPath_, ledgerPath))
            fail(writeFailure(ledgerPath, QStringLiteral("the ledger %1 cannot be renamed").arg(ledgerPath_)));
    }
    if (hadReloads && reloadFolder != reloadFolder_ && !QDir().rename(reloadFolder_, reloadFolder))
        fail(writeFailure(reloadFolder, QStringLiteral("the folder %1 cannot be renamed").arg(reloadFolder_)));
    ledgerPath_ = ledgerPath;
    reloadFolder_ = reloadFolder;
}

} // namespace tavrex
