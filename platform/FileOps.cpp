#include "platform/FileOps.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
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

// Hidden temporary files "<prefix><owner tag>.XXXXXX" of earlier copies that never got
// renamed, and "<prefix>XXXXXX" of older versions of the program. Another desk may be
// writing one of them at this very moment: only an abandoned one goes.
void removeLeftovers(const QString& dir, const QString& prefix)
{
    const QDir folder(dir);
    const QStringList names = folder.entryList({prefix + QLatin1Char('*')},
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QString& name : names) {
        const QString rest = name.mid(prefix.size());
        const qsizetype dot = rest.lastIndexOf(QLatin1Char('.'));
        const QString random = rest.mid(dot + 1);
        if (random.size() != 6 || !std::all_of(random.begin(), random.end(), [](QChar c) {
                return c.unicode() < 0x80 && std::isalnum(int(c.unicode()));
            }))
            continue;
        const QByteArray path = native(dir + QLatin1Char('/') + name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const qint64 age = now - qint64(st.st_mtim.tv_sec);
        const QString tag = dot < 0 ? QString() : rest.left(dot);
        if (FileOps::isAbandonedTag(tag, age))
            ::unlink(path.constData());
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
    QByteArray tmpl =
        native(dir + QLatin1Char('/') + prefix + FileOps::ownerTag() + QStringLiteral(".XXXXXX"));
    const int out = ::mkostemp(tmpl.data(), O_CLOEXEC); // mode 600
    if (out < 0)
        return errno;

    int err = fill(out);
    const QByteArray dst = native(info.absoluteFilePath());
    struct stat old;
    if (!err && !failIfExists && ::stat(dst.constData(), &old) == 0 && S_ISREG(old.st_mode))
        keepAttributes(out, old);
    else if (!err)
        FileOps::shareLikeUsersFiles(out, dir);
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

mode_t newFileMode()
{
    // The umask can only be read by setting it; the kernel's own report avoids the race
    // with other threads creating files meanwhile.
    const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return mode_t(value & 0777);
                }
        }
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return 0666 & ~mask;
}

void shareLikeUsersFiles(int fd, const QString& dir)
{
    (void)::fchmod(fd, newFileMode());
    struct stat folder;
    if (::stat(native(dir).constData(), &folder) == 0 && (folder.st_mode & S_ISGID))
        (void)::fchown(fd, uid_t(-1), folder.st_gid);
}

QString ownerTag()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = 0;
    QString host = QString::fromLocal8Bit(name);
    for (QChar& c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    return host + QLatin1Char('-') + QString::number(::getpid());
}

bool isAbandonedTag(const QString& tag, qint64 ageSeconds)
{
    constexpr qint64 kYoung = 10 * 60; // a copy in progress, however slow the share
    constexpr qint64 kForgotten = 24 * 60 * 60;
    const qsizetype dash = tag.lastIndexOf(QLatin1Char('-'));
    const QString own = ownerTag();
    if (dash <= 0 || tag.left(dash) != own.left(own.lastIndexOf(QLatin1Char('-'))))
        return ageSeconds >= kForgotten; // another computer: its process cannot be asked
    bool ok = false;
    const qint64 pid = tag.mid(dash + 1).toLongLong(&ok);
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return ageSeconds >= kForgotten;
    // This process may be writing it in another thread while it is young; a process of
    // this computer that is gone writes nothing any more.
    if (pid == ::getpid())
        return ageSeconds >= kYoung;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

int probe(const QString& path, int timeoutMs)
{
    struct Answer {
        std::mutex mutex;
        std::condition_variable done;
        bool answered = false;
        int err = 0;
    };
    const auto answer = std::make_shared<Answer>();
    try {
        // Detached: a call that hangs on a dead server keeps only its own thread.
        std::thread([answer, p = native(path)] {
            struct stat st;
            const int err = SystemCalls::instance().stat(p.constData(), &st) == 0 ? 0 : errno;
            const std::lock_guard lock(answer->mutex);
            answer->err = err;
            answer->answered = true;
            answer->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        struct stat st;
        return SystemCalls::instance().stat(native(path).constData(), &st) == 0 ? 0 : errno;
    }
    std::unique_lock lock(answer->mutex);
    if (!answer->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->answered; }))
        return ETIMEDOUT;
    return answer->err;
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

int SystemCalls::stat(const char* path, struct stat* st)
{
    return ::stat(path, st);
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
