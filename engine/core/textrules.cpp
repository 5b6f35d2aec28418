#include "engine/core/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
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

namespace {

QString writeError(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write the file \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

[[noreturn]] void failWrite(const QString &path, const QString &reason)
{
    throw std::runtime_error(writeError(path, reason).toStdString());
}

#ifndef Q_OS_WIN
// Writes every byte to fd, going on after short writes; false with errno set
// when the system refuses (a full disk, a quota, an I/O error).
bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The mode a newly created file gets from the process's umask.
mode_t createdMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
#endif

} // namespace

void writeFileReplacing(const QString &path, const QByteArray &bytes, bool ownerOnly)
{
    // The new content goes into a temporary file beside the target; every
    // write, the flush to the disk and the rename are checked, and only the
    // rename replaces the target, so a failure leaves the old file whole.
    // (QSaveFile is not used: Qt 6.4's commit() reported success after a
    // failed flush and left an empty file in place of the old one.)
    const QString target = QFileInfo(path).absoluteFilePath();
    QTemporaryFile temp(target + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        failWrite(path, temp.errorString());
#ifndef Q_OS_WIN
    // Created 0600; a file that holds no password gets the usual mode, or
    // keeps the mode of the file it replaces.
    if (!ownerOnly) {
        struct stat old {};
        const mode_t mode = ::stat(QFile::encodeName(target).constData(), &old) == 0 ? (old.st_mode & 07777)
                                                                                    : createdMode();
        ::fchmod(temp.handle(), mode);
    }
    if (!writeAll(temp.handle(), bytes.constData(), bytes.size()) || ::fsync(temp.handle()) != 0)
        failWrite(path, systemReason());
    temp.close();
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        failWrite(path, systemReason());
    temp.setAutoRemove(false);
#else
    if (ownerOnly)
        temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (temp.write(bytes) != bytes.size() || !temp.flush())
        failWrite(path, temp.errorString());
    temp.close();
    if (!MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(temp.fileName()).utf16()),
                     reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failWrite(path, qt_error_string(int(GetLastError())));
    temp.setAutoRemove(false);
#endif
}

// ---------------------------------------------------------------------------

AppendingTextFile::AppendingTextFile() = default;

AppendingTextFile::~AppendingTextFile()
{
    close();
}

bool AppendingTextFile::open(const QString &path, bool ownerOnly, Encoding encoding)
{
    close();
    path_ = path;
    error_.clear();
    encoding_ = encoding;
#ifndef Q_OS_WIN
    // A symbolic link in place of the file is not followed.
    fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                 ownerOnly ? 0600 : 0666);
    if (fd_ < 0) {
        error_ = writeError(path, systemReason());
        return false;
    }
#else
    file_ = std::make_unique<QFile>(path);
    if (!file_->open(QIODevice::Append | QIODevice::Unbuffered)) {
        error_ = writeError(path, file_->errorString());
        file_.reset();
        return false;
    }
    if (ownerOnly)
        file_->setPermissions(QFile::ReadOwner | QFile::WriteOwner);
#endif
    return true;
}

bool AppendingTextFile::isOpen() const
{
#ifndef Q_OS_WIN
    return fd_ >= 0;
#else
    return file_ != nullptr;
#endif
}

bool AppendingTextFile::appendLine(const QString &line)
{
    if (!isOpen()) {
        if (error_.isEmpty())
            error_ = writeError(path_, QStringLiteral("the file is not open"));
        return false;
    }
    if (!error_.isEmpty())
        return false;
    const QByteArray bytes = encoding_ == Encoding::Utf8 ? line.toUtf8() + "\r\n" : encodeTextLines({line});
#ifndef Q_OS_WIN
    // Straight to the system, nothing held back: the lines written so far
    // survive a killed program. A line that does not fit is cut off again,
    // so the file holds whole lines only.
    struct stat before {};
    const bool sized = ::fstat(fd_, &before) == 0;
    if (!writeAll(fd_, bytes.constData(), bytes.size())) {
        error_ = writeError(path_, systemReason());
        if (sized)
            (void)::ftruncate(fd_, before.st_size);
        return false;
    }
#else
    const qint64 before = file_->size();
    if (file_->write(bytes) != bytes.size()) {
        error_ = writeError(path_, file_->errorString());
        file_->resize(before);
        return false;
    }
#endif
    return true;
}

bool AppendingTextFile::flush()
{
    if (!isOpen() || !error_.isEmpty())
        return false;
#ifndef Q_OS_WIN
    if (::fsync(fd_) != 0) {
        error_ = writeError(path_, systemReason());
        return false;
    }
#else
    if (!file_->flush()) {
        error_ = writeError(path_, file_->errorString());
        return false;
    }
#endif
    return true;
}

void AppendingTextFile::close()
{
#ifndef Q_OS_WIN
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
#else
    file_.reset();
#endif
}

} // namespace tavrex
