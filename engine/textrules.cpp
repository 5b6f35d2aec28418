#include "engine/textrules.h"

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

#include <stdexcept>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace tavrex {

QString asciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - u'a' + u'A'));
    }
    return out;
}

QString trimmedBlanksAndControls(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

qint64 utf8Size(QStringView text)
{
    qint64 n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            n += 1;
        else if (c < 0x800)
            n += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            n += 4;
            ++i;
        } else
            n += 3;
    }
    return n;
}

QByteArray encodeTextLines(const QStringList &lines)
{
    QStringEncoder encoder(QStringConverter::System);
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += encoder.encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

void writeFileReplacing(const QString &path, const QByteArray &bytes, bool ownerOnly)
{
    QSaveFile file(path);
    auto fail = [&] {
        throw std::runtime_error(QStringLiteral("Cannot write the file \"%1\": %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    };
#ifndef Q_OS_WIN
    // The new file is created readable by its owner only from its first byte.
    const mode_t previous = ownerOnly ? ::umask(077) : 0;
#endif
    const bool opened = file.open(QIODevice::WriteOnly);
#ifndef Q_OS_WIN
    if (ownerOnly)
        ::umask(previous);
#endif
    if (!opened)
        fail();
    if (ownerOnly)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail();
}

} // namespace tavrex
