#include "engine/runledger.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace tavrex {

namespace {

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot write the file \"%1\": %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
}

[[noreturn]] void fail(const AppendingTextFile &file)
{
    throw std::runtime_error(file.errorText().toStdString());
}

// A file name for an Oracle table: the name with the characters that a file
// name cannot hold replaced by "_".
QString reloadFileName(const QString &target)
{
    QString name = target;
    for (QChar &c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name + QStringLiteral(".csv");
}

// A new UTF-8 file in place of any of that name (of an earlier run).
std::unique_ptr<AppendingTextFile> createFile(const QString &path)
{
    QFile::remove(path);
    auto file = std::make_unique<AppendingTextFile>();
    if (!file->open(path, false, AppendingTextFile::Encoding::Utf8))
        fail(*file);
    return file;
}

void appendLine(AppendingTextFile &file, const QString &line)
{
    if (!file.appendLine(line))
        fail(file);
}

} // namespace

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
    close();
}

void RunLedger::setPaths(const QString &ledgerPath, const QString &reloadFolder)
{
    close();
    ledgerPath_ = ledgerPath;
    reloadFolder_ = reloadFolder;
    records_ = 0;
}

void RunLedger::recordValue(const QString &table, std::int64_t row, const QString &column, const QString &reason,
                            const QString &value)
{
    appendRecord(table, QString::number(row), column, reason, value);
}

void RunLedger::recordKey(const QString &table, const QString &columns, const QString &reason, const QString &value)
{
    appendRecord(table, QString(), columns, reason, value);
}

void RunLedger::appendRecord(const QString &table, const QString &row, const QString &column, const QString &reason,
                             const QString &value)
{
    if (ledgerPath_.isEmpty())
        return;
    if (!ledger_) {
        ledger_ = createFile(ledgerPath_);
        appendLine(*ledger_, QStringLiteral("table,row,column,reason,value"));
    }
    appendLine(*ledger_, csvField(table) + QLatin1Char(',') + row + QLatin1Char(',') +
                             csvField(column) + QLatin1Char(',') + csvField(reason) + QLatin1Char(',') +
                             csvField(value));
    ++records_;
}

void RunLedger::recordRow(const QString &table, std::int64_t row, const QString &reason)
{
    recordValue(table, row, QString(), reason, QString());
}

AppendingTextFile &RunLedger::reloadFile(const QString &target, const QStringList &fieldNames)
{
    auto found = reloads_.find(target);
    if (found != reloads_.end())
        return **found;
    if (!QDir().mkpath(reloadFolder_))
        fail(reloadFolder_, QStringLiteral("the folder cannot be created"));
    std::shared_ptr<AppendingTextFile> file = createFile(reloadFolder_ + QLatin1Char('/') + reloadFileName(target));
    QStringList header;
    for (const QString &name : fieldNames)
        header << csvField(name);
    appendLine(*file, header.join(QLatin1Char(',')));
    reloads_.insert(target, file);
    return *file;
}

void RunLedger::recordReloadRow(const QString &target, const QStringList &fieldNames, const QStringList &values)
{
    if (reloadFolder_.isEmpty())
        return;
    QStringList fields;
    for (const QString &v : values)
        fields << csvField(v);
    appendLine(reloadFile(target, fieldNames), fields.join(QLatin1Char(',')));
}

void RunLedger::close()
{
    ledger_.reset();
    reloads_.clear();
}

void RunLedger::moveTo(const QString &ledgerPath, const QString &reloadFolder)
{
    const bool hadLedger = ledger_ != nullptr;
    const bool hadReloads = !reloads_.isEmpty();
    close();
    if (hadLedger && ledgerPath != ledgerPath_) {
        QFile::remove(ledgerPath);
        if (!QFile::rename(ledgerPath_, ledgerPath))
            fail(ledgerPath, QStringLiteral("the ledger %1 cannot be renamed").arg(ledgerPath_));
    }
    if (hadReloads && reloadFolder != reloadFolder_ && !QDir().rename(reloadFolder_, reloadFolder))
        fail(reloadFolder, QStringLiteral("the folder %1 cannot be renamed").arg(reloadFolder_));
    ledgerPath_ = ledgerPath;
    reloadFolder_ = reloadFolder;
}

} // namespace tavrex
