#include "connections/embedded/embeddedlocks.h"

#include "engine/core/errors.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrex::embedded {

namespace {

constexpr int kRowBits = 40;
constexpr std::int64_t kRowMask = (std::int64_t(1) << kRowBits) - 1;
constexpr std::int64_t kTableKeys = std::int64_t(1) << 22;

std::int64_t tableStart(std::int64_t tableKey)
{
    // Key 0 is never a dictionary rowid; folding keeps every key in range.
    const std::int64_t key = tableKey > 0 && tableKey < kTableKeys ? tableKey : 1 + (tableKey & (kTableKeys - 2));
    return key << kRowBits;
}

std::int64_t rowByte(std::int64_t tableKey, std::int64_t rowid)
{
    return tableStart(tableKey) + (rowid & kRowMask);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

#ifdef F_OFD_SETLK

std::unique_ptr<RowLocks> RowLocks::open(const QString &targetPath)
{
    const QString path = targetPath + QStringLiteral("-locks");
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw DatabaseError(QStringLiteral("Cannot open the embedded target \"%1\": its lock file \"%2\" cannot be "
                                           "opened (%3)")
                                .arg(targetPath, path, systemError()));
    return std::unique_ptr<RowLocks>(new RowLocks(fd, path));
}

RowLocks::~RowLocks()
{
    ::close(fd_);  // drops every lock of this open file description
}

bool RowLocks::tryLock(std::int64_t offset, std::int64_t length)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = off_t(length);
    for (;;) {
        if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EACCES)
            return false;
        throw DatabaseError(QStringLiteral("The lock file \"%1\" refused a lock (%2)").arg(path_, systemError()));
    }
}

void RowLocks::unlock(std::int64_t offset, std::int64_t length)
{
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = off_t(length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
    }
}

#else

std::unique_ptr<RowLocks> RowLocks::open(const QString &)
{
    return std::unique_ptr<RowLocks>(new RowLocks(-1, QString()));
}

RowLocks::~RowLocks() = default;

bool RowLocks::tryLock(std::int64_t, std::int64_t)
{
    throw DatabaseError(QStringLiteral("The embedded target's row locks need open file description locks, which "
                                       "this system lacks"));
}

void RowLocks::unlock(std::int64_t, std::int64_t) {}

#endif

bool RowLocks::lockRows(std::int64_t tableKey, const std::vector<std::int64_t> &rowids, const Wait &wait)
{
    std::vector<std::int64_t> bytes;
    bytes.reserve(rowids.size());
    for (std::int64_t rowid : rowids)
        bytes.push_back(rowByte(tableKey, rowid));
    std::sort(bytes.begin(), bytes.end());
    bytes.erase(std::unique(bytes.begin(), bytes.end()), bytes.end());

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(wait.seconds);
    std::vector<std::int64_t> taken;
    for (std::int64_t byte : bytes) {
        if (held_.count(byte))
            continue;
        // A wait polls: the kernel's blocking wait could not end at a
        // deadline. The pause grows from 1 ms to 20 ms.
        for (int attempt = 0; !tryLock(byte, 1); ++attempt) {
            const bool waits = wait.kind == Wait::Kind::Forever ||
                               (wait.kind == Wait::Kind::Seconds && Clock::now() < deadline);
            if (!waits) {
                for (std::int64_t t : taken) {
                    unlock(t, 1);
                    held_.erase(t);
                }
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, 1 << std::min(attempt, 5))));
        }
        held_.insert(byte);
        taken.push_back(byte);
    }
    return true;
}

void RowLocks::releaseRows(std::int64_t tableKey, const std::vector<std::int64_t> &rowids)
{
    for (std::int64_t rowid : rowids) {
        const std::int64_t byte = rowByte(tableKey, rowid);
        if (held_.erase(byte))
            unlock(byte, 1);
    }
}

bool RowLocks::holds(std::int64_t tableKey, std::int64_t rowid) const
{
    return held_.count(rowByte(tableKey, rowid)) > 0;
}

void RowLocks::releaseAll()
{
    if (held_.empty())
        return;
    held_.clear();
    unlock(0, 0);  // length 0: to the end of every possible offset
}

bool RowLocks::tryLockTable(std::int64_t tableKey)
{
    return tryLock(tableStart(tableKey), kRowMask + 1);
}

void RowLocks::endTableLock(std::int64_t tableKey)
{
    unlock(tableStart(tableKey), kRowMask + 1);
}

} // namespace tavrex::embedded
