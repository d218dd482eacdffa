#include "platform/RegisterLock.h"

#include "platform/Environment.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock is a few short lines; anything longer is not one, and is never read whole.
constexpr qsizetype kMaxLockSize = 4096;

QString hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

QString fullNameOf(const QString& login)
{
    const QByteArray name = login.toLocal8Bit();
    const passwd* pw = ::getpwuid(::geteuid());
    if (!pw || name != pw->pw_name)
        pw = ::getpwnam(name.constData());
    if (!pw || !pw->pw_gecos)
        return login;
    // The GECOS field is "full name,room,phone,...".
    const QString full = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    return full.isEmpty() ? login : full;
}

QByteArray lockText(const RegisterLock::Owner& owner)
{
    return (QStringList{owner.login, owner.fullName, owner.host, QString::number(owner.pid),
                        owner.opened.toUTC().toString(Qt::ISODate)}
                .join(QLatin1Char('\n')) +
            QLatin1Char('\n'))
        .toUtf8();
}

// The lock's bytes: false when there is none; `unreadable` when something stands there
// that is not a small regular file that can be read.
bool readLock(const QString& path, QByteArray& bytes, bool& unreadable)
{
    unreadable = false;
    const QByteArray native = path.toUtf8();
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return false;
    unreadable = true;
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxLockSize)
        return true;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return true;
    bytes.resize(kMaxLockSize + 1);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    unreadable = got > kMaxLockSize;
    return true;
}

bool parseLock(const QByteArray& bytes, RegisterLock::Owner& owner)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return false;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 5)
        return false;
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        for (const QChar c : std::as_const(line))
            if (c.category() == QChar::Other_Control)
                return false;
    }
    bool number = false;
    owner.login = lines.at(0);
    owner.fullName = lines.at(1);
    owner.host = lines.at(2);
    owner.pid = lines.at(3).toLongLong(&number);
    owner.opened = QDateTime::fromString(lines.at(4), Qt::ISODate);
    return !owner.login.isEmpty() && !owner.host.isEmpty() && number && owner.pid > 0 &&
           owner.opened.isValid();
}

bool isRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

RegisterLock::State inspectBytes(const QString& registerPath, RegisterLock::Owner* owner, QByteArray& bytes)
{
    bool unreadable = false;
    if (!readLock(RegisterLock::lockPath(registerPath), bytes, unreadable))
        return RegisterLock::State::Free;
    RegisterLock::Owner found;
    if (unreadable || !parseLock(bytes, found))
        return RegisterLock::State::Unreadable;
    if (owner)
        *owner = found;
    if (found.host != hostName())
        return RegisterLock::State::Foreign;
    if (found.pid == qint64(::getpid()))
        return RegisterLock::State::Ours;
    return isRunning(found.pid) ? RegisterLock::State::Foreign : RegisterLock::State::Stale;
}

// Removes the lock at `path` if it still holds `bytes`.
void removeIfUnchanged(const QString& path, const QByteArray& bytes)
{
    QByteArray now;
    bool unreadable = false;
    if (readLock(path, now, unreadable) && !unreadable && now == bytes)
        ::unlink(path.toUtf8().constData());
}

} // namespace

QString RegisterLock::lockPath(const QString& registerPath)
{
    const QFileInfo file(registerPath);
    return file.absolutePath() + QStringLiteral("/.~lock.") + file.fileName() + QLatin1Char('#');
}

RegisterLock::State RegisterLock::inspect(const QString& registerPath, Owner* owner)
{
    QByteArray bytes;
    return inspectBytes(registerPath, owner, bytes);
}

RegisterLock::Owner RegisterLock::thisProcess(const QDateTime& openedUtc)
{
    Owner owner;
    owner.login = Environment::loginName();
    owner.fullName = fullNameOf(owner.login);
    owner.host = hostName();
    owner.pid = qint64(::getpid());
    owner.opened = openedUtc.toUTC();
    return owner;
}

int RegisterLock::acquire(const QString& registerPath, const QDateTime& openedUtc)
{
    release();
    const QString path = lockPath(registerPath);
    QByteArray old;
    const State state = inspectBytes(registerPath, nullptr, old);
    if (state == State::Stale || state == State::Ours)
        removeIfUnchanged(path, old);

    const QByteArray text = lockText(thisProcess(openedUtc));
    const QByteArray native = path.toUtf8();
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int err = 0;
    qsizetype done = 0;
    while (done < text.size() && err == 0) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            err = n == 0 ? EIO : errno;
    }
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        ::unlink(native.constData()); // a half-written lock would read as an unknown user
        return err;
    }
    m_path = path;
    m_text = text;
    return 0;
}

void RegisterLock::release()
{
    if (m_path.isEmpty())
        return;
    removeIfUnchanged(m_path, m_text);
    m_path.clear();
    m_text.clear();
}
