#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileOps::SystemCalls* g_calls = nullptr;

QByteArray native(const QString& path)
{
    return path.toUtf8();
}

int writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = FileOps::SystemCalls::instance().write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= size_t(n);
    }
    return 0;
}

int copyData(int in, int out)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        if (const int err = writeAll(out, buffer, size_t(n)); err != 0)
            return err;
    }
}

int syncFd(int fd)
{
    return FileOps::SystemCalls::instance().fsync(fd) == 0 ? 0 : errno;
}

// Only a regular file is copied; opening a FIFO would wait for a writer for ever.
int regularOnly(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

// Opens the source for reading after checking its type, and checks it again on the
// open descriptor in case the file was replaced between the two.
int openRegular(const QByteArray& path, int& fd, bool followLink)
{
    struct stat st;
    if ((followLink ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return ELOOP;
    if (const int err = regularOnly(st); err != 0)
        return err;
    fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return errno;
    int err = ::fstat(fd, &st) == 0 ? regularOnly(st) : errno;
    if (err == 0 && ::fcntl(fd, F_SETFL, 0) != 0)
        err = errno;
    if (err != 0)
        ::close(fd);
    return err;
}

// The replaced file's owner, group and mode go to its successor. Only the owner can
// be refused to an ordinary user; the group and the mode are still set then.
void keepAttributes(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, uid_t(-1), old.st_gid);
    (void)::fchmod(fd, old.st_mode & 07777);
}

void syncFolder(const QString& dir)
{
    const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    syncFd(fd); // not every file system syncs folders; the data are safe already
    ::close(fd);
}

// Gives the finished temporary file the name `dst` unless that name is taken, without
// a moment in which another file could be replaced. A hard link does it; file systems
// without hard links (FAT, many network shares) refuse it with EPERM, and a rename
// that never replaces stands in.
int placeNew(const QByteArray& tmp, const QByteArray& dst)
{
    if (FileOps::SystemCalls::instance().link(tmp.constData(), dst.constData()) == 0)
        return 0;
    const int err = errno;
    if (err != EPERM && err != EOPNOTSUPP && err != ENOSYS)
        return err;
    if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // Neither is offered: look first, the program being the only writer of its files.
    struct stat st;
    if (::lstat(dst.constData(), &st) == 0)
        return EEXIST;
    return ::rename(tmp.constData(), dst.constData()) == 0 ? 0 : errno;
}

// Hidden temporary files "<prefix>XXXXXX" of earlier copies that never got renamed.
void removeLeftovers(const QString& dir, const QString& prefix)
{
    const QStringList names =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
            continue;
        const bool random = std::all_of(name.begin() + prefix.size(), name.end(), [](QChar c) {
            return c.unicode() < 0x80 && std::isalnum(int(c.unicode()));
        });
        if (random)
            ::unlink(native(dir + QLatin1Char('/') + name).constData());
    }
}

// Writes the new contents (`fill` writes them to the descriptor it is given, returning 0
// or errno) into a hidden temporary file beside the real target and renames it over the
// target, so that the target is never half-written.
int replaceFile(const QString& target, bool failIfExists, const std::function<int(int)>& fill)
{
    // The temporary file goes beside the real file, so that the rename replaces the
    // file itself and not a symbolic link pointing to it.
    const QFileInfo info(FileOps::resolveLinks(target));
    const QString dir = info.absolutePath();
    const QString prefix = QStringLiteral(".") + info.fileName() + QStringLiteral(".");
    QByteArray tmpl = native(dir + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
    const int out = ::mkostemp(tmpl.data(), O_CLOEXEC); // mode 600
    if (out < 0)
        return errno;

    int err = fill(out);
    const QByteArray dst = native(info.absoluteFilePath());
    struct stat old;
    if (!err && !failIfExists && ::stat(dst.constData(), &old) == 0 && S_ISREG(old.st_mode))
        keepAttributes(out, old);
    // On disk before the rename: after a power cut the target is the old file or the
    // whole new one, never an empty one.
    if (!err)
        err = syncFd(out);
    if (::close(out) != 0 && !err)
        err = errno;

    if (!err) {
        if (failIfExists)
            err = placeNew(tmpl, dst);
        else if (::rename(tmpl.constData(), dst.constData()) != 0)
            err = errno;
    }
    ::unlink(tmpl.constData()); // after a rename it is gone already
    if (!err) {
        syncFolder(dir);
        removeLeftovers(dir, prefix);
    }
    return err;
}

} // namespace

namespace FileOps {

bool exists(const QString& path)
{
    return kind(path) == Kind::Regular;
}

Kind kind(const QString& path)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::Regular;
    if (S_ISDIR(st.st_mode))
        return Kind::Directory;
    if (S_ISFIFO(st.st_mode))
        return Kind::Fifo;
    if (S_ISSOCK(st.st_mode))
        return Kind::Socket;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return Kind::Device;
    return Kind::Other;
}

QString resolveLinks(const QString& path)
{
    QString current = path;
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray p = native(current);
        struct stat st;
        if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char link[4096];
        const ssize_t n = ::readlink(p.constData(), link, sizeof link - 1);
        if (n < 0)
            return current;
        const QString next = QString::fromUtf8(link, n);
        current =
            QDir::isAbsolutePath(next) ? next : QFileInfo(current).absolutePath() + QLatin1Char('/') + next;
    }
    return current;
}

int copyFile(const QString& source, const QString& target, bool failIfExists, SourceLink sourceLink)
{
    int in = -1;
    if (const int err = openRegular(native(source), in, sourceLink == SourceLink::Follow); err != 0)
        return err;
    const int err = replaceFile(target, failIfExists, [in](int out) { return copyData(in, out); });
    ::close(in);
    return err;
}

int writeFile(const QString& target, const QByteArray& data)
{
    return replaceFile(target, false,
                       [&data](int out) { return writeAll(out, data.constData(), size_t(data.size())); });
}

int removeFile(const QString& path)
{
    return ::unlink(native(path).constData()) == 0 ? 0 : errno;
}

int makeDir(const QString& path)
{
    if (::mkdir(native(path).constData(), 0700) == 0)
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
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

ssize_t SystemCalls::write(int fd, const void* data, size_t size)
{
    return ::write(fd, data, size);
}

int SystemCalls::link(const char* existing, const char* created)
{
    return ::link(existing, created);
}

int SystemCalls::fsync(int fd)
{
    return ::fsync(fd);
}

SystemCalls& SystemCalls::instance()
{
    static SystemCalls system;
    return g_calls ? *g_calls : system;
}

void SystemCalls::install(SystemCalls* calls)
{
    g_calls = calls;
}

} // namespace FileOps
