#include "settings/batchfile.h"

#include "engine/core/textrules.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#endif


namespace tavrex {

namespace {

QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? line : line.left(eq);
}

// A choice from the file: a conversion error for text that is not a number,
// naming the file and the key: job.qelt: accessmode: '' is not a valid
// integer value.
int choiceValue(const BatchValues &values, const QString &key, int lastItem)
{
    const QString text = values.value(key);
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok) {
        const QString where = values.fileName().isEmpty() ? key + QStringLiteral(": ")
                                                          : values.fileName() + QStringLiteral(": ") + key +
                                                                QStringLiteral(": ");
        throw std::invalid_argument(
            (where + QStringLiteral("'%1' is not a valid integer value.").arg(text)).toStdString());
    }
    if (n > lastItem)
        return lastItem;
    return n < 0 ? -1 : n;
}

// The number (from 1) of the first line of bytes without a byte-order mark
// that the system's code page cannot decode. Lines split as the decoded text
// does; CR and LF never occur inside a character of a code page.
int firstUndecodableLine(const QByteArray &bytes)
{
    int line = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size();
        if (!end && bytes.at(i) != '\r' && bytes.at(i) != '\n')
            continue;
        QStringDecoder d(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QString decoded = d.decode(QByteArrayView(bytes).sliced(start, i - start));
        if (d.hasError() || end)
            return line;
        if (bytes.at(i) == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
        ++line;
    }
    return line;
}

// How the error names the code page that files without a byte-order mark
// are read in.
QString systemCodePageName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("code page %1").arg(GetACP());
#else
    return QStringLiteral("UTF-8");
#endif
}

} // namespace

QString BatchValues::value(const QString &key) const
{
    for (const QString &line : lines_) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

bool BatchValues::has(const QString &key) const
{
    for (const QString &line : lines_)
        if (line.contains(QLatin1Char('=')) && keyOf(line).compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

BatchValues parseBatchFile(const QByteArray &bytes, const QString &fileName)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder d(QStringConverter::Utf16LE);
        text = d.decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder d(QStringConverter::Utf16BE);
        text = d.decode(bytes.mid(2));
    } else {
        // Stateless: a character cut off by the end of the file is an error
        // too, not a part kept back for more bytes.
        QStringDecoder d(QStringConverter::System, QStringConverter::Flag::Stateless);
        text = d.decode(bytes);
        // Decoded anyway, a file in another code page would give names of
        // replacement characters that no database has.
        if (d.hasError())
            throw std::runtime_error(
                QStringLiteral("Cannot read the settings file%1: line %2 is not valid text in %3, the system's "
                               "code page. Save the file in %3, or with a UTF-8 or UTF-16 byte-order mark.")
                    .arg(fileName.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(fileName),
                         QString::number(firstUndecodableLine(bytes)), systemCodePageName())
                    .toStdString());
    }
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return BatchValues(lines);
}

BatchValues loadBatchFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()).toStdString());
    BatchValues values = parseBatchFile(file.readAll(), path);
    values.fileName_ = QFileInfo(path).fileName();
    return values;
}

void ApplyBatchSettings(const BatchValues &v, ControlValues &c)
{
    c.accessmode = choiceValue(v, QStringLiteral("accessmode"), 1);
    c.edtdatabase = v.value(QStringLiteral("mysqldatabase"));
    c.edtname = v.value(QStringLiteral("mysqlu"));
    c.edtpassword = v.value(QStringLiteral("mysqlp"));
    c.edthost = v.value(QStringLiteral("host"));
    c.edtport = v.value(QStringLiteral("port"));
    c.edtservice = v.value(QStringLiteral("oracleh"));
    c.edtoracleusername = v.value(QStringLiteral("oracleu"));
    c.edtoraclepassword = v.value(QStringLiteral("oraclep"));
    // The drop-down takes the text; when the text is one of its entries that
    // entry is chosen too, so that the run sends the file's character set.
    c.cbcharsetText = v.value(QStringLiteral("character_set"));
    c.cbcharsetIndex = int(serverCharSetEntries().indexOf(c.cbcharsetText));
    c.processtable = choiceValue(v, QStringLiteral("processtable"), 2);
    // A file written before an option existed has no line for it, which
    // reads as off (a number as its default).
    for (const CheckOption &option : kCheckOptions)
        setOptionFromText(c.options, option, v.value(QLatin1String(option.key)));
}

bool batchAllTables(const BatchValues &values)
{
    return values.value(QStringLiteral("alltables")) == QLatin1String("1");
}

QStringList batchTableNames(const BatchValues &values)
{
    QStringList names;
    for (const QString &line : values.lines()) {
        if (!line.startsWith(QLatin1String("tables")))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString name = trimmedBlanksAndControls(eq < 0 ? line : line.mid(eq + 1));
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

QStringList batchFileLines(const BatchRecording &r)
{
    QStringList lines{
        QStringLiteral("accessmode=") + QString::number(r.accessmode),
        QStringLiteral("mysqldatabase=") + r.mysqldatabase,
        QStringLiteral("port=") + r.port,
        QStringLiteral("mysqlu=") + r.mysqlUser,
        QStringLiteral("mysqlp=") + r.mysqlPassword,
        QStringLiteral("host=") + r.host,
        QStringLiteral("oracleh=") + r.oracleService,
        QStringLiteral("oracleu=") + r.oracleUser,
        QStringLiteral("oraclep=") + r.oraclePassword,
        QStringLiteral("processtable=") + QString::number(r.processtable),
        QStringLiteral("character_set=") + r.characterSet,
    };
    for (const CheckOption &option : kCheckOptions)
        lines.append(QLatin1String(option.key) + QLatin1Char('=') + optionValueText(r.options, option));
    lines.append(QStringLiteral("alltables=") + (r.allTables ? QStringLiteral("1") : QStringLiteral("0")));
    if (!r.allTables)
        for (int i = 0; i < r.tables.size(); ++i)
            lines.append(QStringLiteral("tables%1=%2").arg(i + 1).arg(r.tables.at(i)));
    // A value holding a line break would come back as two lines: the job
    // would replay other settings than those recorded.
    auto breaks = [](const QString &value) {
        return value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
    };
    auto shown = [](QString value) {
        return value.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    };
    if (!r.allTables)
        for (const QString &table : r.tables)
            if (breaks(table))
                throw std::invalid_argument(
                    QStringLiteral("The table name \"%1\" holds a line break, which a line of the settings file "
                                   "cannot hold: the job was not recorded.")
                        .arg(shown(table))
                        .toStdString());
    for (const QString &line : lines) {
        if (breaks(line))
            throw std::invalid_argument(QStringLiteral("The value of %1 holds a line break, which a line of the "
                                                       "settings file cannot hold: the job was not recorded.")
                                            .arg(line.left(line.indexOf(QLatin1Char('='))))
                                            .toStdString());
    }
    return lines;
}

void writeBatchFile(const QString &path, const QStringList &lines)
{
    writeFileReplacing(path, encodeTextLines(lines), true);
}

} // namespace tavrex
