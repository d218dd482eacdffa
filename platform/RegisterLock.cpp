#include "platform/RegisterLock.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileOps.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QTimeZone>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
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
bool readLock(const QString& path, QByteArray& bytes, bool& unreadable, QDateTime* modified = nullptr)
{
    unreadable = false;
    const QByteArray native = path.toUtf8();
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return false;
    if (modified)
        *modified = QDateTime::fromMSecsSinceEpoch(
            qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
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

// Each field within its bounds, or unknown: a pid of 4294967297 is no pid at all, never
// process 1 after a cast.
QString boundedField(const QString& line, qsizetype maxSize)
{
    return line.size() <= maxSize ? line : QString();
}

qint64 pidField(const QString& line)
{
    if (line.isEmpty() || line.size() > 10)
        return 0;
    for (const QChar c : line)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    const qint64 pid = line.toLongLong();
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid : 0;
}

QDateTime timeField(const QString& line)
{
    const QDateTime time = line.size() <= 40 ? QDateTime::fromString(line, Qt::ISODate) : QDateTime();
    return time.isValid() && time.date().year() >= 1990 && time.date().year() <= 9999 ? time.toUTC()
                                                                                      : QDateTime();
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
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    owner.login = boundedField(lines.at(0), 64);
    owner.fullName = boundedField(lines.at(1), 256);
    owner.host = boundedField(lines.at(2), 255);
    owner.pid = pidField(lines.at(3));
    owner.opened = timeField(lines.at(4));
    return !owner.login.isEmpty() && !owner.host.isEmpty();
}

bool isRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

RegisterLock::State inspectBytes(const QString& registerPath, RegisterLock::Owner* owner, QByteArray& bytes)
{
    bool unreadable = false;
    QDateTime active;
    if (!readLock(RegisterLock::lockPath(registerPath), bytes, unreadable, &active))
        return RegisterLock::State::Free;
    RegisterLock::Owner found;
    if (unreadable || !parseLock(bytes, found))
        return RegisterLock::State::Unreadable;
    found.active = active;
    if (owner)
        *owner = found;
    const bool here = found.host == hostName();
    if (here && found.pid == qint64(::getpid()))
        return RegisterLock::State::Ours;
    if (here && found.pid > 0 && !isRunning(found.pid))
        return RegisterLock::State::Stale;
    if (active.secsTo(Clock::instance().nowUtc()) >= RegisterLock::kInactiveMinutes * 60)
        return RegisterLock::State::Inactive;
    return RegisterLock::State::Foreign;
}

// Removes the lock at `path` if it still holds `bytes`.
void removeIfUnchanged(const QString& path, const QByteArray& bytes)
{
    QByteArray now;
    bool unreadable = false;
    if (readLock(path, now, unreadable) && !unreadable && now == bytes)
        ::unlink(path.toUtf8().constData());
}

// Creates the lock file `path` holding `text`, only while there is none; 0 or errno.
int createLock(const QString& path, const QByteArray& text)
{
    const QByteArray native = path.toUtf8();
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    FileOps::shareLikeUsersFiles(fd, QFileInfo(path).absolutePath());
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
    if (err != 0)
        ::unlink(native.constData()); // a half-written lock would read as an unknown user
    return err;
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

int RegisterLock::acquire(const QString& registerPath, const QDateTime& openedUtc, bool takeOverInactive)
{
    release();
    const QString path = lockPath(registerPath);
    QByteArray old;
    const State state = inspectBytes(registerPath, nullptr, old);
    if (state == State::Stale || state == State::Ours || (takeOverInactive && state == State::Inactive))
        removeIfUnchanged(path, old);
    const QByteArray text = lockText(thisProcess(openedUtc));
    const int err = createLock(path, text);
    if (err != 0)
        return err;
    m_path = path;
    m_text = text;
    return 0;
}

bool RegisterLock::refresh()
{
    if (m_path.isEmpty())
        return false;
    QByteArray now;
    bool unreadable = false;
    if (!readLock(m_path, now, unreadable) || unreadable || now != m_text)
        return false;
    ::utimensat(AT_FDCWD, m_path.toUtf8().constData(), nullptr, 0);
    return true;
}

QString RegisterLock::escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category kind = c.category();
        const bool hidden = kind == QChar::Other_Control || kind == QChar::Other_Format ||
                            kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph ||
                            kind == QChar::Other_Surrogate || kind == QChar::Other_NotAssigned;
        if (hidden)
            out += QStringLiteral("<U+") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                   QLatin1Char('>');
        else
            out += c;
    }
    return out;
}

QString RegisterLock::Owner::describe() const
{
    return escaped(fullName.isEmpty() ? login : fullName) + QStringLiteral(" (") + escaped(login) +
           QStringLiteral(") na komputerze ") + escaped(host);
}

void RegisterLock::release()
{
    if (m_path.isEmpty())
        return;
    removeIfUnchanged(m_path, m_text);
    m_path.clear();
    m_text.clear();
}

QString SaveLock::lockPath(const QString& registerPath)
{
    const QFileInfo file(registerPath);
    return file.absolutePath() + QStringLiteral("/.~save.") + file.fileName() + QLatin1Char('#');
}

int SaveLock::tryTake(const QString& registerPath, RegisterLock::Owner* holder)
{
    release();
    const QString path = lockPath(registerPath);
    const QByteArray text = lockText(RegisterLock::thisProcess(Clock::instance().nowUtc()));
    int err = createLock(path, text);
    if (err == EEXIST) {
        // Whose it is, and whether that desk is gone: a crashed desk's save lock is never
        // honoured for ever.
        const QByteArray native = path.toUtf8();
        struct stat st;
        if (::lstat(native.constData(), &st) != 0)
            return EAGAIN; // gone meanwhile: the next attempt may take it
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        QByteArray bytes;
        bool unreadable = false;
        RegisterLock::Owner owner;
        const bool link = S_ISLNK(st.st_mode); // never one of the program's own
        const bool read =
            !link && readLock(path, bytes, unreadable) && !unreadable && parseLock(bytes, owner);
        const qint64 age = QDateTime::currentSecsSinceEpoch() - qint64(st.st_mtim.tv_sec);
        const bool gone = link || age >= kStaleSeconds ||
                          (read && owner.host == hostName() && owner.pid > 0 && owner.pid != ::getpid() &&
                           !isRunning(owner.pid));
        if (gone) {
            struct stat again;
            if (read)
                removeIfUnchanged(path, bytes);
            else if (::lstat(native.constData(), &again) == 0 && again.st_ino == st.st_ino &&
                     again.st_mtim.tv_sec == st.st_mtim.tv_sec && again.st_mtim.tv_nsec == st.st_mtim.tv_nsec)
                ::unlink(native.constData()); // a link or garbage: removed as it was found
            err = createLock(path, text);
        } else if (holder) {
            *holder = read ? owner : RegisterLock::Owner();
        }
    }
    if (err != 0)
        return err;
    m_path = path;
    m_text = text;
    return 0;
}

void SaveLock::release()
{
    if (m_path.isEmpty())
        return;
    removeIfUnchanged(m_path, m_text);
    m_path.clear();
    m_text.clear();
}
