#include "platform/FileWrite.h"

#include "platform/FileOps.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

// Writes, flushes and checks the open temporary file; 0 or errno.
int fill(int fd, const QByteArray& data, const struct stat* replaced)
{
    if (replaced)
        ::fchmod(fd, replaced->st_mode & 07777); // as far as the process may
    if (const int err = writeAll(fd, data.constData(), data.size()); err != 0)
        return err;
    if (::fsync(fd) != 0)
        return errno;
    struct stat written {
    };
    if (::fstat(fd, &written) != 0)
        return errno;
    return written.st_size == data.size() ? 0 : EIO;
}

} // namespace

namespace FileWrite {

int replaceWith(const QString& path, const QByteArray& data)
{
    const QFileInfo target(FileOps::resolveLinks(path));
    struct stat existing {
    };
    const bool replacing = ::stat(target.filePath().toUtf8().constData(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode))
        return S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = (target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                     QString::number(QRandomGenerator::global()->generate(), 36))
                        .toUtf8();
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    int err = fill(fd, data, replacing ? &existing : nullptr);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temporary.constData(), target.filePath().toUtf8().constData()) != 0)
        err = errno;
    if (err != 0)
        ::unlink(temporary.constData());
    return err;
}

} // namespace FileWrite
