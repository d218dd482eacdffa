// Who has a register open: a small file ".~lock.<file name>#" beside it, the way office
// suites mark an open document. Only an exclusive create is needed, so it works on every
// file system a school keeps its registers on (FAT, network shares): no hard links, no
// POSIX locks.
#pragma once

#include <QDateTime>
#include <QString>

class RegisterLock
{
public:
    // One line each in the lock file, UTF-8.
    struct Owner {
        QString login;
        QString fullName; // the password database's GECOS name, else the login
        QString host;
        qint64 pid = 0;
        QDateTime opened; // UTC
    };
    enum class State {
        Free,       // no lock
        Ours,       // this process's own
        Stale,      // left by a process of this computer that no longer runs
        Foreign,    // another process, here or on another computer
        Unreadable, // something that cannot be read as a lock: held by an unknown user
    };

    RegisterLock() = default;
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;
    ~RegisterLock() { release(); }

    static QString lockPath(const QString& registerPath);
    // What stands beside the register now; `owner` is filled for Ours, Stale and Foreign.
    static State inspect(const QString& registerPath, Owner* owner = nullptr);
    // This process, having opened the register at `openedUtc`.
    static Owner thisProcess(const QDateTime& openedUtc);

    // Marks the register as open by this process. A lock of this process or a stale one
    // is replaced; any other makes it fail with EEXIST. 0 or errno.
    int acquire(const QString& registerPath, const QDateTime& openedUtc);
    // Removes the lock this object made, unless something else has replaced it since.
    void release();
    bool held() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    QString m_path;
    QByteArray m_text;
};
