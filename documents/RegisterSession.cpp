#include "documents/RegisterSession.h"

#include "documents/IssuedDocuments.h"

#include "platform/Clock.h"
#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kNothingWritten =
    QStringLiteral("\n\nPlik rejestru został bez zmian, a Twoje zmiany pozostają w programie.\n"
                   "Dane nie zostały zapisane.");
const QString kUseSaveAs = QStringLiteral("\n\nZapisz dane w innym pliku („Zapisz jako”).");
// A Save that keeps meeting another writer gives up after this many joins.
constexpr int kAttempts = 5;
// Every few seconds: shares without change notifications are looked at this often.
constexpr int kCheckMs = 3000;
constexpr int kFolderAnswerMs = 3000;

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// The save counter: SQLite's user_version, four bytes at offset 60 of the header.
quint32 counterOf(const QByteArray& header)
{
    if (header.size() < 64 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return 0;
    const auto* h = reinterpret_cast<const uchar*>(header.constData());
    return (quint32(h[60]) << 24) | (quint32(h[61]) << 16) | (quint32(h[62]) << 8) | quint32(h[63]);
}

// Stores the save counter in the header of the file at `path`, which the program owns
// and no connection has open (the working copy, or the join): four bytes where SQLite
// keeps user_version, without a transaction of its own on every Save. A file that is not
// a database (an empty new register) keeps none. False with the reason in `message`.
bool setCounter(const QString& path, quint32 counter, QString& message)
{
    const int fd = ::open(path.toUtf8().constData(), O_RDWR | O_CLOEXEC);
    char header[64];
    int err = fd < 0 ? errno : 0;
    if (err == 0 && ::pread(fd, header, sizeof header, 0) == ssize_t(sizeof header) &&
        counterOf(QByteArray(header, sizeof header)) != counter) {
        const uchar bytes[4] = {uchar(counter >> 24), uchar(counter >> 16), uchar(counter >> 8),
                                uchar(counter)};
        if (::pwrite(fd, bytes, 4, 60) != 4)
            err = errno;
    }
    if (fd >= 0)
        ::close(fd);
    if (err != 0)
        message = QStringLiteral("Nie można przygotować danych do zapisu:\n") + path +
                  QStringLiteral("\nKod błędu: ") + QString::number(err) + strFunFileErrorReason(err);
    return err == 0;
}

// Whether the two files hold the same bytes: the register read back after a write,
// against the copy of what was written.
bool sameContent(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) ||
        first.size() != second.size())
        return false;
    constexpr qint64 kChunk = 1 << 16;
    QByteArray x(kChunk, Qt::Uninitialized);
    QByteArray y(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = first.read(x.data(), kChunk);
        const qint64 m = second.read(y.data(), kChunk);
        if (n != m || n < 0)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x.constData(), y.constData(), size_t(n)) != 0)
            return false;
    }
}

QString unreadableReason(const QString& path, int err)
{
    if (err == EACCES || err == EPERM)
        return QStringLiteral("\nBrak uprawnień do odczytu pliku „") + fileName(path) + QStringLiteral("”.");
    return strFunFileErrorReason(err);
}

} // namespace

RegisterSession::RegisterSession(const QString& workingCopy, bool watch, QObject* parent)
    : QObject(parent), m_workingCopy(workingCopy), m_watch(watch)
{
}

RegisterSession::~RegisterSession()
{
    m_lock.release();
}

QString RegisterSession::scratch(const char* name) const
{
    return QFileInfo(m_workingCopy).absolutePath() + QLatin1Char('/') + QString::fromLatin1(name);
}

RegisterSession::OtherDesk RegisterSession::otherDesk(const QString& path)
{
    OtherDesk out;
    RegisterLock::Owner owner;
    out.state = RegisterLock::inspect(path, &owner);
    QString text = QStringLiteral("Rejestr „") + fileName(path) + QStringLiteral("” jest otwarty przez ");
    switch (out.state) {
    case RegisterLock::State::Free:
    case RegisterLock::State::Ours:
    case RegisterLock::State::Stale: // its program no longer runs: taken over
        return out;
    case RegisterLock::State::Foreign:
    case RegisterLock::State::Inactive:
        text += owner.describe();
        if (owner.opened.isValid())
            text += QStringLiteral(" od ") +
                    owner.opened.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
        if (out.state == RegisterLock::State::Inactive)
            text += QStringLiteral(" (ostatnio aktywny %1 min temu)")
                        .arg(owner.active.secsTo(Clock::instance().nowUtc()) / 60);
        text += QLatin1Char('.');
        break;
    case RegisterLock::State::Unreadable:
        text += QStringLiteral("nieznanego użytkownika.");
        break;
    }
    out.question = text;
    return out;
}

void RegisterSession::claim(const QString& path, bool readOnly, bool takeOver)
{
    forget();
    m_path = path;
    m_readOnly = readOnly;
    // Taken before the copy: a change made while copying shows at Save as a file that
    // differs, never as one that does not.
    if (FileStamp::of(path, m_baseStamp) != 0)
        m_baseStamp = FileStamp();
    if (readOnly) {
        emit notesChanged();
        return;
    }
    const int err = m_lock.acquire(path, Clock::instance().nowUtc(), takeOver);
    RegisterLock::Owner owner;
    if (err == EEXIST && RegisterLock::inspect(path, &owner) == RegisterLock::State::Foreign)
        setLockNote(QStringLiteral("Rejestr ma otwarty także ") + owner.describe() +
                    QStringLiteral(": przy zapisie zmiany obu osób zostaną połączone."));
    else if (err != 0 && err != EEXIST)
        setLockNote(QStringLiteral("Inni użytkownicy nie zobaczą, że rejestr jest otwarty: w jego katalogu "
                                   "nie można utworzyć pliku blokady (kod błędu: ") +
                    QString::number(err) + QStringLiteral(")."));
    else
        emit notesChanged();
}

void RegisterSession::rememberBase()
{
    // Without a base copy Save writes over the file as it always did.
    QByteArray header;
    if (copyHashed(m_workingCopy, scratch("data_base.sqtmp"), &m_baseHash, nullptr, nullptr, &header) != 0) {
        m_baseHash.clear();
        FileOps::removeFile(scratch("data_base.sqtmp"));
    }
    m_baseCounter = counterOf(header);
    m_seenStamp = m_baseStamp;
    setDiskNote(QString());
    if (!m_watch || m_path.isEmpty())
        return;
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &RegisterSession::checkDisk);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &RegisterSession::checkDisk);
        // Shares without notifications (SMB, NFS, FUSE) are looked at every few seconds.
        m_checkTimer = new QTimer(this);
        m_checkTimer->setInterval(kCheckMs);
        connect(m_checkTimer, &QTimer::timeout, this, &RegisterSession::checkDisk);
        m_refreshTimer = new QTimer(this);
        m_refreshTimer->setInterval(RegisterLock::kRefreshMs);
        connect(m_refreshTimer, &QTimer::timeout, this, &RegisterSession::refreshLock);
    }
    stopWatching();
    // The folder too: a file saved by renaming a new one over it is another file.
    m_watcher->addPaths({m_path, QFileInfo(m_path).absolutePath()});
    m_checkTimer->start();
    m_refreshTimer->start();
}

void RegisterSession::stopWatching()
{
    if (m_watcher && !m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (m_watcher && !m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (m_checkTimer)
        m_checkTimer->stop();
    if (m_refreshTimer)
        m_refreshTimer->stop();
}

void RegisterSession::forget()
{
    m_lock.release();
    for (const char* file : {"data_base.sqtmp", "data_plik.sqtmp", "data_scal.sqtmp"})
        FileOps::removeFile(scratch(file));
    stopWatching();
    m_path.clear();
    m_baseStamp = FileStamp();
    m_seenStamp = FileStamp();
    m_baseHash.clear();
    m_baseCounter = 0;
    m_readOnly = false;
    m_lockNote.clear();
    m_diskNote.clear();
    emit notesChanged();
}

void RegisterSession::adopt(const QString& target)
{
    if (RegisterLock::lockPath(target) != m_lock.path())
        m_lock.release();
    m_path = target;
    m_readOnly = false;
    m_lockNote.clear();
    if (!m_lock.held()) {
        const int err = m_lock.acquire(target, Clock::instance().nowUtc());
        if (err != 0 && err != EEXIST)
            m_lockNote =
                QStringLiteral("Inni użytkownicy nie zobaczą, że rejestr jest otwarty: w jego katalogu "
                               "nie można utworzyć pliku blokady (kod błędu: ") +
                QString::number(err) + QStringLiteral(").");
    }
    if (FileStamp::of(target, m_baseStamp) != 0)
        m_baseStamp = FileStamp();
    rememberBase();
    emit notesChanged();
}

void RegisterSession::setDiskNote(const QString& note)
{
    if (note == m_diskNote)
        return;
    m_diskNote = note;
    emit notesChanged();
}

void RegisterSession::setLockNote(const QString& note)
{
    m_lockNote = note;
    emit notesChanged();
}

void RegisterSession::checkDisk()
{
    if (m_path.isEmpty() || m_baseStamp.isNull())
        return;
    // Never waits long on a folder whose server is gone.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (const int err = FileOps::probe(folder, 1000); err != 0 && err != ENOENT) {
        setDiskNote(QStringLiteral("Folder „") + folder + QStringLiteral("” jest niedostępny."));
        return;
    }
    // A file replaced by a rename is a new one to watch.
    if (m_watcher && !m_watcher->files().contains(m_path) && FileOps::exists(m_path))
        m_watcher->addPath(m_path);
    // Opened while another desk had it: the lock is taken once that desk has left.
    if (!m_readOnly && !m_lock.held() && RegisterLock::inspect(m_path) == RegisterLock::State::Free &&
        m_lock.acquire(m_path, Clock::instance().nowUtc()) == 0)
        setLockNote(QString());
    FileStamp now;
    if (FileStamp::of(m_path, now) != 0) {
        setDiskNote(QStringLiteral("Plik rejestru usunięto albo przeniesiono: przy zapisie program zapyta o "
                                   "nazwę pliku."));
        return;
    }
    if (now == m_seenStamp)
        return;
    m_seenStamp = now;
    // File details only say that something moved; the content tells whether it changed.
    QByteArray hash;
    const bool changed = m_baseHash.isEmpty()
                             ? now != m_baseStamp
                             : copyHashed(m_path, QString(), &hash) == 0 && hash != m_baseHash;
    setDiskNote(!changed     ? QString()
                : m_readOnly ? QStringLiteral("Inny użytkownik zmienił plik rejestru.")
                             : QStringLiteral("Inny użytkownik zmienił plik rejestru: jego zmiany zostaną "
                                              "dołączone przy następnym zapisie."));
}

void RegisterSession::refreshLock()
{
    if (!m_lock.held() || m_lock.refresh())
        return;
    // Another desk took the lock over (this desk looked gone to it), or it was removed.
    RegisterLock::Owner owner;
    const RegisterLock::State state = RegisterLock::inspect(m_path, &owner);
    m_lock.release(); // never removes the other desk's lock
    if (state == RegisterLock::State::Free) {
        m_lock.acquire(m_path, Clock::instance().nowUtc());
        return;
    }
    setLockNote(state == RegisterLock::State::Unreadable
                    ? QStringLiteral("Blokadę rejestru zastąpił nieznany plik.")
                    : QStringLiteral("Rejestr ma otwarty także ") + owner.describe() +
                          QStringLiteral(": przy zapisie zmiany obu osób zostaną połączone."));
}

QString RegisterSession::folderUnavailable(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const int err = FileOps::probe(folder, kFolderAnswerMs);
    if (err == 0)
        return QString();
    const QString why = err == ETIMEDOUT ? QStringLiteral("serwer nie odpowiada")
                        : err == ENOENT  ? QStringLiteral("nie istnieje")
                        : err == EACCES  ? QStringLiteral("brak uprawnień")
                                         : QStringLiteral("kod błędu: ") + QString::number(err);
    return QStringLiteral("Folder „") + folder + QStringLiteral("” jest niedostępny (") + why +
           QStringLiteral(").\n\nTwoje zmiany pozostają w programie: zapisz je, gdy folder znów będzie "
                          "dostępny, albo w innym pliku („Zapisz jako”).");
}

int RegisterSession::takeSaveLock(SaveLock& lock, const Waiting& waiting, QString& message)
{
    QDeadlineTimer deadline(kSaveWaitMs);
    for (;;) {
        RegisterLock::Owner holder;
        const int err = lock.tryTake(m_path, &holder);
        if (err == 0)
            return 0;
        const QString who =
            holder.login.isEmpty() ? QStringLiteral("nieznany użytkownik") : holder.describe();
        if (err == EISDIR) {
            message =
                QStringLiteral("W miejscu blokady zapisu\n") + SaveLock::lockPath(m_path) +
                QStringLiteral("\njest katalog. Usuń go albo zapisz dane w innym pliku („Zapisz jako”).") +
                kNothingWritten;
            return err;
        }
        if (err != EEXIST && err != EAGAIN) {
            message = QStringLiteral("Nie można utworzyć blokady zapisu w katalogu rejestru\n") +
                      QFileInfo(m_path).absolutePath() + QStringLiteral("\nKod błędu: ") +
                      QString::number(err) + strFunFileErrorReason(err) + kNothingWritten;
            return err;
        }
        if (deadline.hasExpired()) {
            message = QStringLiteral("Rejestr „") + fileName(m_path) + QStringLiteral("” zapisuje teraz ") +
                      who + QStringLiteral(".\nSpróbuj zapisać ponownie za chwilę.") + kNothingWritten;
            return EEXIST;
        }
        if (waiting)
            waiting(who);
        QThread::msleep(20);
    }
}

// Writes `source` over the register with the save counter `counter`.
int RegisterSession::writeOver(const QString& source, quint32 counter, QString& message)
{
    if (!setCounter(source, counter, message))
        return EIO;
    const int err = FileOps::copyFile(source, m_path, false);
    if (err != 0)
        message = QStringLiteral("Błąd kopiowania pliku z\n") + source + QStringLiteral("\ndo:\n") + m_path +
                  QStringLiteral("\nKod błędu: ") + QString::number(err) + strFunFileErrorReason(err) +
                  QStringLiteral("\n\nDane nie zostały zapisane.");
    return err;
}

RegisterSession::SaveResult RegisterSession::save(const Decide& decide, const Waiting& waiting)
{
    using Outcome = SaveResult::Outcome;
    SaveResult result;
    if (m_readOnly || m_path.isEmpty()) {
        result.outcome = Outcome::SaveAs;
        return result;
    }
    if (const QString why = folderUnavailable(m_path); !why.isEmpty()) {
        result.message = why;
        result.warning = true;
        return result;
    }
    const QString disk = scratch("data_plik.sqtmp");
    const QString merged = scratch("data_scal.sqtmp");
    // The answers given stay for the whole Save: a join made again asks nothing twice.
    QHash<QByteArray, MergeChoice> answers;
    SaveLock saveLock;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!saveLock.held() && takeSaveLock(saveLock, waiting, result.message) != 0)
            return result;
        FileStamp now;
        if (const int err = FileStamp::of(m_path, now); err == ENOENT) {
            result.outcome = Outcome::SaveAs; // deleted or moved: the user names a file
            return result;
        }
        // What is on disk, by content: a copy for the join when its details moved, else
        // its hash alone.
        const bool moved = now.isNull() || now != m_baseStamp || m_baseHash.isEmpty();
        QByteArray diskHash;
        QByteArray header;
        FileStamp read;
        bool unreadable = false;
        if (const int err =
                copyHashed(m_path, moved ? disk : QString(), &diskHash, &read, &unreadable, &header);
            err != 0) {
            FileOps::removeFile(disk);
            if (!unreadable) {
                result.message =
                    QStringLiteral("Nie udało się dołączyć zmian innego użytkownika.\n\nKod błędu: ") +
                    QString::number(err) + strFunFileErrorReason(err) + kNothingWritten;
                return result;
            }
            result.message = QStringLiteral("Nie można odczytać pliku rejestru\n") + m_path +
                             QStringLiteral("\nKod błędu: ") + QString::number(err) +
                             unreadableReason(m_path, err) + kUseSaveAs;
            result.warning = true;
            result.outcome = Outcome::SaveAs;
            return result;
        }
        const quint32 diskCounter = counterOf(header);
        const quint32 counter = qMax(m_baseCounter, diskCounter) + 1;
        QString source = m_workingCopy;
        if (!m_baseHash.isEmpty() && diskHash != m_baseHash) {
            if (!moved && copyHashed(m_path, disk, &diskHash, &read, &unreadable, &header) != 0)
                continue; // read again on the next round
            if (copyHashed(m_workingCopy, merged, nullptr) != 0) {
                result.message =
                    QStringLiteral("Nie udało się dołączyć zmian innego użytkownika.") + kNothingWritten;
                return result;
            }
            RegisterMergeContext context;
            context.base = scratch("data_base.sqtmp");
            context.theirs = disk;
            context.merged = merged;
            context.theirsIsLater = diskCounter == 0 || diskCounter > m_baseCounter;
            bool asked = false;
            context.decide = [&](MergeQuestion question, const QString& student) {
                const QByteArray key = QByteArray::number(int(question)) + student.toUtf8();
                if (const auto it = answers.constFind(key); it != answers.cend())
                    return *it;
                // No other desk waits while this user thinks.
                saveLock.release();
                asked = true;
                const MergeChoice choice = decide ? decide(question, student) : MergeChoice::Cancel;
                answers.insert(key, choice);
                return choice;
            };
            MessageBuffer buf;
            result.plan = RegisterMergePlan();
            result.repeatedNumbers.clear();
            const bool ok = Issued::bFunMergeKeepingIssues(buf, context, result.plan, result.repeatedNumbers);
            FileOps::removeFile(disk);
            if (!ok) {
                FileOps::removeFile(merged);
                if (result.plan.cancelled)
                    return result;
                if (result.plan.theirsUnreadable) {
                    result.message =
                        QStringLiteral("Plik\n") + m_path +
                        QStringLiteral("\nnie jest już plikiem rejestru: zastąpił go inny plik albo "
                                       "jest uszkodzony.\n\n") +
                        buf.text() + kUseSaveAs;
                    result.warning = true;
                    result.outcome = Outcome::SaveAs;
                    return result;
                }
                result.message = QStringLiteral("Nie udało się dołączyć zmian innego użytkownika.\n\n") +
                                 buf.text() + kNothingWritten;
                return result;
            }
            if (asked) {
                // The file may have been saved again while the question was open: the
                // join holds only if it is still the one joined.
                if (takeSaveLock(saveLock, waiting, result.message) != 0) {
                    FileOps::removeFile(merged);
                    return result;
                }
                QByteArray again;
                if (copyHashed(m_path, QString(), &again) != 0 || again != diskHash) {
                    FileOps::removeFile(merged);
                    continue;
                }
            }
            source = merged;
            result.joined = true;
        }
        if (const int err = writeOver(source, counter, result.message); err != 0) {
            if (source == merged)
                FileOps::removeFile(merged);
            return result;
        }
        // Read back: what is there must be what was written, or another writer got in
        // and the join is made again.
        // The next base is made while reading what was written; it replaces the base only
        // once the file is known to hold it. A new name rather than a file emptied or
        // renamed over: the file system then has no reason to flush it at once.
        const QString base = scratch("data_base.sqtmp");
        const QString nextBase = scratch("data_base_nowa.sqtmp");
        FileOps::removeFile(nextBase);
        QByteArray written;
        const bool based = copyHashed(source, nextBase, &written) == 0;
        QByteArray back; // without room for the base: compared by hash
        const bool same = based ? sameContent(m_path, nextBase)
                                : copyHashed(source, QString(), &written) == 0 &&
                                      copyHashed(m_path, QString(), &back) == 0 && back == written;
        if (!same) {
            FileOps::removeFile(nextBase);
            if (source == merged)
                FileOps::removeFile(merged);
            continue;
        }
        FileOps::removeFile(base);
        if (based && std::rename(nextBase.toUtf8().constData(), base.toUtf8().constData()) == 0) {
            m_baseHash = written;
        } else {
            m_baseHash.clear(); // without a base the next Save writes over the file as before
            FileOps::removeFile(nextBase);
        }
        if (source == merged &&
            std::rename(merged.toUtf8().constData(), m_workingCopy.toUtf8().constData()) != 0 &&
            FileOps::copyFile(merged, m_workingCopy, false) != 0) {
            FileOps::removeFile(merged);
            result.message =
                QStringLiteral("Nie można zastąpić kopii roboczej połączonymi danymi.") + kNothingWritten;
            return result;
        }
        FileOps::removeFile(merged);
        m_baseCounter = counter;
        if (FileStamp::of(m_path, m_baseStamp) != 0)
            m_baseStamp = FileStamp();
        m_seenStamp = m_baseStamp;
        saveLock.release();
        setDiskNote(QString());
        // Opened while another desk had it: the lock is taken once that desk has left.
        if (!m_lock.held() && RegisterLock::inspect(m_path) == RegisterLock::State::Free &&
            m_lock.acquire(m_path, Clock::instance().nowUtc()) == 0)
            setLockNote(QString());
        result.outcome = Outcome::Written;
        return result;
    }
    result.message = QStringLiteral("Plik rejestru\n") + m_path +
                     QStringLiteral("\nzmieniał się w trakcie zapisu.") + kNothingWritten;
    return result;
}
