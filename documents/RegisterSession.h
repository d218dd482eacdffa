// The open register: the document file, the working copy every edit goes to, the base
// (the file as this desk last read or wrote it) with its hash, the lock that tells
// other desks it is open, the read-only state, the watch for changes on disk and the
// Save that joins another desk's changes instead of writing over them.
//
// A Save reads, joins and writes while this desk holds the save lock beside the file, an
// exclusive create that no other desk can hold at the same time on any share. Under it
// the file on disk is compared with the base by its SHA-256 (file details only ever say
// "changed", never "unchanged": a share may show stale ones), and after the write it is
// read back. A save counter in the file's header (SQLite's user_version, which adds no
// table) tells whether the file on disk is a later save than the base: only then is a
// student it lacks taken as deleted by the other desk.
#pragma once

#include "documents/RegisterMerge.h"
#include "platform/FileStamp.h"
#include "platform/RegisterLock.h"

#include <QObject>
#include <QString>

#include <functional>

class QFileSystemWatcher;
class QTimer;

class RegisterSession : public QObject
{
    Q_OBJECT
public:
    // `workingCopy`: the file every edit goes to; the private copies (the base, the file
    // on disk as read at Save, the join) go beside it. Without `watch` no timer or file
    // watcher is started (a session of a worker thread).
    explicit RegisterSession(const QString& workingCopy, bool watch = true, QObject* parent = nullptr);
    ~RegisterSession() override;

    // Another desk's lock beside `path`: the question to ask before opening it ("Rejestr
    // „…” jest otwarty przez …"), empty when there is nothing to ask.
    struct OtherDesk {
        RegisterLock::State state = RegisterLock::State::Free;
        QString question;
    };
    static OtherDesk otherDesk(const QString& path);

    // Makes `path` the open register, before the working copy is read from it: the one
    // open so far is forgotten, and unless `readOnly` this desk's lock is put beside it
    // (taking over an inactive desk's lock when `takeOver`).
    void claim(const QString& path, bool readOnly, bool takeOver = false);
    // The working copy was just read from the file: it becomes the base, and the watch
    // for other desks' changes starts.
    void rememberBase();
    // No register is open any more; this desk's lock goes, another's stays.
    void forget();
    // The working copy was just written to the new file `target` (Save as): it becomes
    // the open register, with this desk's lock.
    void adopt(const QString& target);
    // Releases the lock only, as the program ends.
    void releaseLock() { m_lock.release(); }

    QString path() const { return m_path; }
    QString workingCopy() const { return m_workingCopy; }
    bool readOnly() const { return m_readOnly; }
    bool lockHeld() const { return m_lock.held(); }
    // What the status bar says about the lock (none could be made, another desk has the
    // register open too), and about the file on disk; empty: nothing.
    QString lockNote() const { return m_lockNote; }
    QString diskNote() const { return m_diskNote; }

    // Looks at the file on disk now (the watch and the timer call it): a change of
    // content sets the disk note; a lock that another desk left is taken over, and this
    // desk's lock is refreshed.
    void checkDisk();
    void refreshLock();

    // Why the register's folder cannot be used now ("Folder „…” jest niedostępny …"),
    // asked in bounded time; empty when it answers.
    static QString folderUnavailable(const QString& path);

    struct SaveResult {
        enum class Outcome { Written, Stopped, SaveAs } outcome = Outcome::Stopped;
        QString message;      // to show and log; empty: nothing to say
        bool warning = false; // a warning (caption "Zapisz") rather than an error
        bool joined = false;  // another desk's changes were joined in
        RegisterMergePlan plan;
        // Document numbers given on both desks at once, found by the join.
        QStringList repeatedNumbers;
    };
    using Decide = std::function<MergeChoice(MergeQuestion question, const QString& student)>;
    // Called while another desk holds the save lock, about every 50 ms, with who it is.
    using Waiting = std::function<void(const QString& who)>;
    // Save over the open register. Questions go to `decide`; the save lock is let go while
    // one is open, so the other desk can save meanwhile (the join is then made again,
    // with the answers given).
    SaveResult save(const Decide& decide, const Waiting& waiting = {});

    // How long a Save waits for another desk's save lock.
    static constexpr int kSaveWaitMs = 5000;

Q_SIGNALS:
    void notesChanged();

private:
    struct DiskState;
    QString scratch(const char* name) const;
    void setDiskNote(const QString& note);
    void setLockNote(const QString& note);
    int takeSaveLock(SaveLock& lock, const Waiting& waiting, QString& message);
    int writeOver(const QString& source, quint32 counter, QString& message);
    void stopWatching();

    QString m_workingCopy;
    QString m_path;
    bool m_watch = true;
    bool m_readOnly = false;
    RegisterLock m_lock;
    FileStamp m_baseStamp; // the document file as it was read or last written
    QByteArray m_baseHash; // SHA-256 of the base; empty: no base copy to join against
    quint32 m_baseCounter = 0;
    FileStamp m_seenStamp; // the file as the last light check saw it
    QString m_lockNote;
    QString m_diskNote;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_checkTimer = nullptr;
    QTimer* m_refreshTimer = nullptr;
};
