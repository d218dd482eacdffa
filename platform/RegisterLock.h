// Who has a register open: a small file ".~lock.<file name>#" beside it, the way office
// suites mark an open document, its time touched every minute while the register is
// open. And who is saving it right now: ".~save.<file name>#", held only for the
// read-join-write of one Save. Only an exclusive create is needed, so both work on every
// file system a school keeps its registers on (FAT, SMB, NFS and FUSE shares): no hard
// links, no POSIX locks.
#pragma once

#include <QDateTime>
#include <QString>

class RegisterLock
{
public:
    // One line each in the lock file, UTF-8. A field that does not read within its
    // bounds is unknown: empty, 0 or an invalid time.
    struct Owner {
        QString login;
        QString fullName; // the password database's GECOS name, else the login
        QString host;
        qint64 pid = 0;   // 0: unknown
        QDateTime opened; // UTC
        QDateTime active; // UTC, the lock file's time: last refreshed
        // "Ewa Nowak (ewa) na komputerze sekretariat-2", with control and bidirectional
        // characters shown as "<U+202E>", never acting on the text around them.
        QString describe() const;
    };
    enum class State {
        Free,       // no lock
        Ours,       // this process's own
        Stale,      // left by a process of this computer that no longer runs
        Inactive,   // not refreshed for kInactiveMinutes: its desk crashed or lost the share
        Foreign,    // another process, here or on another computer
        Unreadable, // something that cannot be read as a lock: held by an unknown user
    };
    // A lock untouched for this long belongs to a desk that is gone, on any computer.
    static constexpr int kInactiveMinutes = 5;
    static constexpr int kRefreshMs = 60 * 1000;

    RegisterLock() = default;
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;
    ~RegisterLock() { release(); }

    static QString lockPath(const QString& registerPath);
    // What stands beside the register now; `owner` is filled for every state but Free
    // and Unreadable.
    static State inspect(const QString& registerPath, Owner* owner = nullptr);
    // This process, having opened the register at `openedUtc`.
    static Owner thisProcess(const QDateTime& openedUtc);
    // `text` with every control, format and bidirectional character written "<U+XXXX>".
    static QString escaped(const QString& text);

    // Marks the register as open by this process. A lock of this process or a stale one
    // is replaced, an inactive one too with `takeOverInactive`; any other makes it fail
    // with EEXIST. 0 or errno.
    int acquire(const QString& registerPath, const QDateTime& openedUtc, bool takeOverInactive = false);
    // Touches the lock's time, so that other desks see this one still works. False when
    // the lock is no longer ours (another desk took it over, or it was removed).
    bool refresh();
    // Removes the lock this object made, unless something else has replaced it since.
    void release();
    bool held() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    QString m_path;
    QByteArray m_text;
};

class SaveLock
{
public:
    // A save lock older than this, or one whose process of this computer is gone, was
    // left by a crashed desk and is taken over.
    static constexpr int kStaleSeconds = 120;

    SaveLock() = default;
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    ~SaveLock() { release(); }

    static QString lockPath(const QString& registerPath);
    // One attempt: 0 when taken, EEXIST while another desk saves (`holder` filled when its
    // lock reads; `holder->login` empty otherwise), EISDIR when a folder stands in its
    // place, else errno.
    int tryTake(const QString& registerPath, RegisterLock::Owner* holder = nullptr);
    void release();
    bool held() const { return !m_path.isEmpty(); }

private:
    QString m_path;
    QByteArray m_text;
};
