#include "platform/FileOps.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long g_failAfter = -1;
int g_failError = 0;

QByteArray native(const QString& path)
{
    return path.toUtf8();
}

int writeAll(int fd, const char* data, size_t size, long long& written)
{
    while (size > 0) {
        size_t chunk = size;
        if (g_failAfter >= 0) {
            if (written >= g_failAfter)
                return g_failError;
            chunk = std::min<size_t>(chunk, size_t(g_failAfter - written));
        }
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= size_t(n);
        written += n;
    }
    return 0;
}

} // namespace

namespace FileOps {

bool exists(const QString& path)
{
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

int copyFile(const QString& source, const QString& target, bool failIfExists)
{
    const QByteArray src = native(source);
    const int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(in);
        return err ? err : EINVAL;
    }

    const QFileInfo info(target);
    QByteArray tmpl = native(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int out = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }

    int err = 0;
    long long written = 0;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        if (n == 0)
            break;
        if ((err = writeAll(out, buffer, size_t(n), written)) != 0)
            break;
    }
    ::close(in);
    if (!err && ::fchmod(out, 0666 & ~[] { mode_t m = ::umask(0); ::umask(m); return m; }()) != 0)
        err = errno;
    if (!err && ::fsync(out) != 0)
        err = errno;
    if (::close(out) != 0 && !err)
        err = errno;

    const QByteArray dst = native(target);
    if (!err) {
        if (failIfExists) {
            if (::link(tmpl.constData(), dst.constData()) != 0)
                err = errno;
        } else if (::rename(tmpl.constData(), dst.constData()) != 0) {
            err = errno;
        }
    }
    ::unlink(tmpl.constData()); // after a rename it is gone already
    return err;
}

int removeFile(const QString& path)
{
    return ::unlink(native(path).constData()) == 0 ? 0 : errno;
}

int makeDir(const QString& path)
{
    if (::mkdir(native(path).constData(), 0777) == 0)
        return 0;
    const int err = errno;
    struct stat st;
    if (err == EEXIST && ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return 0;
    return err;
}

int makeWritable(const QString& path)
{
    const QByteArray p = native(path);
    struct stat st;
    if (::stat(p.constData(), &st) != 0)
        return errno;
    if (st.st_mode & S_IWUSR)
        return 0;
    return ::chmod(p.constData(), (st.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno;
}

int touch(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

void failCopiesAfter(long long bytes, int error)
{
    g_failAfter = bytes;
    g_failError = error;
}

} // namespace FileOps
