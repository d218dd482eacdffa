// The open register without a window: several desks of one process saving one file at
// the same moment, the locks' life cycle, and the files made beside a register.
#include "documents/RegisterSession.h"
#include "platform/FileOps.h"
#include "platform/RegisterLock.h"
#include "tests/support/RawFile.h"
#include "tests/support/RegisterFiles.h"
#include "tests/support/StandIn.h"

#include <QSysInfo>
#include <QtTest>

#include <barrier>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// One desk without a window: a working copy of its own, and the register open in it.
struct SessionDesk {
    QString dir;
    RegisterSession session;
    SessionDesk(const QString& root, const QString& name)
        : dir(root + QLatin1Char('/') + name), session(dir + QStringLiteral("/data_tmp.sqtmp"), false)
    {
        QDir().mkpath(dir);
    }
    bool open(const QString& path)
    {
        session.claim(path, false);
        QFile::remove(session.workingCopy());
        if (!QFile::copy(path, session.workingCopy()))
            return false;
        QFile(session.workingCopy()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        session.rememberBase();
        return true;
    }
    void put(const QByteArray& pesel, const QByteArray& surname)
    {
        RawSql::exec(session.workingCopy(),
                     "drop table if exists PESEL" + pesel + ";create table PESEL" + pesel +
                         "( id TEXT, comp_name TEXT, value TEXT );insert into PESEL" + pesel +
                         " values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', '" + surname + "');insert into PESEL" +
                         pesel + " values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Anna');");
    }
};

// A disk that never waits for data to reach it: the rounds of a test test the joining,
// not the disk.
class UnsyncedDisk : public StandIn<FileOps::SystemCalls>
{
public:
    int fsync(int) override { return 0; }
};

// A share that answers file details from a cache: what it saw up to 1.5 s ago.
class StaleDetails : public UnsyncedDisk
{
public:
    int stat(const char* path, struct stat* st) override
    {
        const std::lock_guard lock(m_mutex);
        const qint64 now = m_clock.elapsed();
        if (const auto it = m_cache.constFind(QByteArray(path));
            it != m_cache.cend() && now - it->first < 1500) {
            *st = it->second;
            return 0;
        }
        const int result = ::stat(path, st);
        if (result == 0)
            m_cache.insert(QByteArray(path), {now, *st});
        return result;
    }

private:
    std::mutex m_mutex;
    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    QHash<QByteArray, std::pair<qint64, struct stat>> m_cache;
};

// A folder whose server stopped answering: asking about it waits until the test ends.
class HungFolder : public StandIn<FileOps::SystemCalls>
{
public:
    explicit HungFolder(const QString& folder) : m_folder(folder.toUtf8()) {}
    ~HungFolder() override
    {
        std::unique_lock lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_inside == 0; });
    }
    int stat(const char* path, struct stat* st) override
    {
        if (m_folder != path)
            return ::stat(path, st);
        std::unique_lock lock(m_mutex);
        ++m_inside;
        m_changed.wait(lock, [this] { return m_released; });
        --m_inside;
        m_changed.notify_all();
        errno = EIO;
        return -1;
    }

private:
    QByteArray m_folder;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
    int m_inside = 0;
};

// Another writer that does not take the save lock: it puts its file in place right after
// a Save renamed its own (when the folder is flushed), once.
class Interloper : public StandIn<FileOps::SystemCalls>
{
public:
    Interloper(const QString& target, const QString& theirs) : m_target(target), m_theirs(theirs) {}
    int fsync(int fd) override
    {
        struct stat st;
        if (!m_done && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            m_done = true;
            ::rename(m_theirs.toUtf8().constData(), m_target.toUtf8().constData());
        }
        return ::fsync(fd);
    }
    bool done() const { return m_done; }

private:
    QString m_target;
    QString m_theirs;
    bool m_done = false;
};

QByteArray lockText(const char* host, const QByteArray& pid, const char* fullName = "Ewa Nowak")
{
    return QByteArray("ewa\n") + fullName + '\n' + host + '\n' + pid + "\n2024-03-07T07:15:00Z\n";
}

void setAge(const QString& path, int seconds, bool link = false)
{
    const timespec when{time(nullptr) - seconds, 0};
    const timespec times[2] = {when, when};
    QVERIFY(utimensat(AT_FDCWD, path.toUtf8().constData(), times, link ? AT_SYMLINK_NOFOLLOW : 0) == 0);
}

// The pid of a process that has just ended.
qint64 deadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

class TestRegisterSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void desksSavingAtOnceLoseNothing_data();
    void desksSavingAtOnceLoseNothing();
    void otherDeskSavesWhileAsked();
    void writerBetweenWriteAndReadBack();
    void vanishedFolder_data();
    void vanishedFolder();
    void openLockLifeCycle_data();
    void openLockLifeCycle();
    void lockOfAnotherDeskInPlaceOfOurs();
    void saveLockLifeCycle_data();
    void saveLockLifeCycle();
    void leftoversOfOtherDesks_data();
    void leftoversOfOtherDesks();
    void newFilesAsTheUsersOthers_data();
    void newFilesAsTheUsersOthers();
    void lockInReadOnlyFolder();
};

void TestRegisterSession::desksSavingAtOnceLoseNothing_data()
{
    QTest::addColumn<int>("desks");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<bool>("stale"); // file details from a cache seconds old
    QTest::newRow("two desks") << 2 << 200 << false;
    QTest::newRow("three desks") << 3 << 50 << false;
    QTest::newRow("four desks") << 4 << 25 << false;
    QTest::newRow("two desks, stale file details") << 2 << 60 << true;
}

void TestRegisterSession::desksSavingAtOnceLoseNothing()
{
    QFETCH(int, desks);
    QFETCH(int, rounds);
    QFETCH(bool, stale);
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, QByteArray());
    const std::unique_ptr<UnsyncedDisk> disk =
        stale ? std::make_unique<StaleDetails>() : std::make_unique<UnsyncedDisk>();
    std::vector<std::unique_ptr<SessionDesk>> all;
    for (int d = 0; d < desks; ++d) {
        all.push_back(std::make_unique<SessionDesk>(env.root(), QStringLiteral("biurko%1").arg(d)));
        QVERIFY(all.back()->open(doc));
    }
    std::barrier together(desks);
    std::mutex mutex;
    QStringList failures;
    std::vector<std::thread> threads;
    for (int d = 0; d < desks; ++d)
        threads.emplace_back([&, d] {
            SessionDesk& desk = *all[size_t(d)];
            for (int round = 0; round < rounds; ++round) {
                desk.put(QByteArray::number(round * 10 + d), "D" + QByteArray::number(d));
                together.arrive_and_wait(); // every desk presses Save at the same moment
                const RegisterSession::SaveResult result = desk.session.save({});
                if (result.outcome != RegisterSession::SaveResult::Outcome::Written ||
                    !result.message.isEmpty()) {
                    const std::lock_guard lock(mutex);
                    failures << QStringLiteral("%1/%2: %3").arg(d).arg(round).arg(result.message);
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(failures, QStringList());
    QCOMPARE(studentsOf(doc).split(',').size(), desks * rounds);
    // One more Save each, in turn: every desk then has every student, none taken as deleted.
    for (const auto& desk : all) {
        QVERIFY(desk->session.save({}).message.isEmpty());
        QCOMPARE(studentsOf(desk->session.workingCopy()).split(',').size(), desks * rounds);
    }
}

void TestRegisterSession::otherDeskSavesWhileAsked()
{
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A,2=B");
    SessionDesk a(env.root(), QStringLiteral("a"));
    SessionDesk b(env.root(), QStringLiteral("b"));
    QVERIFY(a.open(doc) && b.open(doc));
    a.put("1", "M");
    b.put("1", "T");
    QVERIFY(b.session.save({}).outcome == RegisterSession::SaveResult::Outcome::Written);
    QStringList asked;
    RegisterSession::SaveResult meanwhile;
    const RegisterSession::SaveResult result = a.session.save([&](MergeQuestion, const QString& student) {
        asked << student;
        if (asked.size() == 1) { // the other desk saves while the question is open
            b.put("2", "Z");
            meanwhile = b.session.save({});
        }
        return MergeChoice::Mine;
    });
    QVERIFY(meanwhile.outcome == RegisterSession::SaveResult::Outcome::Written);
    QCOMPARE(meanwhile.message, QString());
    QVERIFY(result.outcome == RegisterSession::SaveResult::Outcome::Written);
    QCOMPARE(asked, QStringList{QStringLiteral("M Anna")}); // answered once, not again at the new join
    QCOMPARE(studentsOf(doc), QByteArray("1=M,2=Z"));
    QCOMPARE(studentsOf(a.session.workingCopy()), QByteArray("1=M,2=Z"));
}

void TestRegisterSession::writerBetweenWriteAndReadBack()
{
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A");
    SessionDesk desk(env.root(), QStringLiteral("a"));
    QVERIFY(desk.open(doc));
    desk.put("2", "B");
    const QString theirs = env.root() + QStringLiteral("/inny.sqdoc");
    writeRegister(theirs, "1=A,3=C");
    Interloper interloper(doc, theirs);
    const RegisterSession::SaveResult result = desk.session.save({});
    QVERIFY(interloper.done());
    QVERIFY(result.outcome == RegisterSession::SaveResult::Outcome::Written);
    QVERIFY(result.joined);
    QCOMPARE(studentsOf(doc), QByteArray("1=A,2=B,3=C"));
}

void TestRegisterSession::vanishedFolder_data()
{
    QTest::addColumn<bool>("hung"); // the server does not answer at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder gone") << false << QStringLiteral("nie istnieje");
    QTest::newRow("server not answering") << true << QStringLiteral("serwer nie odpowiada");
}

void TestRegisterSession::vanishedFolder()
{
    QFETCH(bool, hung);
    QFETCH(QString, reason);
    TestEnvironment env(false);
    const QString share = env.root() + QStringLiteral("/udzial");
    QDir().mkpath(share);
    const QString doc = share + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A");
    SessionDesk desk(env.root(), QStringLiteral("a"));
    QVERIFY(desk.open(doc));
    desk.put("2", "B");
    std::unique_ptr<HungFolder> server;
    if (hung)
        server = std::make_unique<HungFolder>(share);
    else
        QVERIFY(QDir(share).removeRecursively());
    const RegisterSession::SaveResult result = desk.session.save({});
    QVERIFY(result.outcome == RegisterSession::SaveResult::Outcome::Stopped);
    QVERIFY2(result.message.startsWith(QStringLiteral("Folder „") + share +
                                       QStringLiteral("” jest niedostępny (") + reason +
                                       QStringLiteral(").")),
             qPrintable(result.message));
    QCOMPARE(studentsOf(desk.session.workingCopy()), QByteArray("1=A,2=B"));
}

void TestRegisterSession::openLockLifeCycle_data()
{
    QTest::addColumn<QByteArray>("lock"); // beside the register; empty: none
    QTest::addColumn<int>("age");         // seconds since the lock was last touched
    QTest::addColumn<int>("state");       // RegisterLock::State
    QTest::addColumn<QString>("asked");   // the question's end; empty: none asked
    QTest::addColumn<bool>("takenWhenAsked");
    const QByteArray here = QSysInfo::machineHostName().toUtf8();
    using S = RegisterLock::State;
    const QString since = QStringLiteral(" na komputerze sekretariat-2 od 07.03.2024 08:15");
    QTest::newRow("fresh") << QByteArray() << 0 << int(S::Free) << QString() << true;
    QTest::newRow("held on another computer")
        << lockText("sekretariat-2", "4242") << 30 << int(S::Foreign)
        << QStringLiteral("Ewa Nowak (ewa)") + since + QLatin1Char('.') << false;
    QTest::newRow("refreshed four minutes ago")
        << lockText("sekretariat-2", "4242") << 4 * 60 << int(S::Foreign)
        << QStringLiteral("Ewa Nowak (ewa)") + since + QLatin1Char('.') << false;
    QTest::newRow("stale by age on another computer")
        << lockText("sekretariat-2", "4242") << 12 * 60 + 5 << int(S::Inactive)
        << QStringLiteral("Ewa Nowak (ewa)") + since + QStringLiteral(" (ostatnio aktywny 12 min temu).")
        << true;
    QTest::newRow("killed program of this computer")
        << lockText(here.constData(), QByteArray::number(deadPid())) << 0 << int(S::Stale) << QString()
        << true;
    QTest::newRow("pid past its width") // read as this process, it would be replaced
        << lockText(here.constData(), QByteArray::number(4294967296LL + getpid())) << 0 << int(S::Foreign)
        << QStringLiteral("Ewa Nowak (ewa) na komputerze ") + QString::fromUtf8(here) +
               QStringLiteral(" od 07.03.2024 08:15.")
        << false;
    QTest::newRow("right-to-left override in the name")
        << lockText("sekretariat-2", "4242",
                    "Ewa \xe2\x80\xae"
                    "kawoN")
        << 0 << int(S::Foreign) << QStringLiteral("Ewa <U+202E>kawoN (ewa)") + since + QLatin1Char('.')
        << false;
}

void TestRegisterSession::openLockLifeCycle()
{
    QFETCH(QByteArray, lock);
    QFETCH(int, age);
    QFETCH(int, state);
    QFETCH(QString, asked);
    QFETCH(bool, takenWhenAsked);
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A");
    const QString lockFile = RegisterLock::lockPath(doc);
    if (!lock.isEmpty()) {
        QVERIFY(RawFile::write(lockFile, lock));
        setAge(lockFile, age);
    }
    const RegisterSession::OtherDesk other = RegisterSession::otherDesk(doc);
    QCOMPARE(int(other.state), state);
    QCOMPARE(other.question, asked.isEmpty()
                                 ? QString()
                                 : QStringLiteral("Rejestr „klasa.sqdoc” jest otwarty przez ") + asked);
    // "Otwórz mimo to": an inactive desk's lock is taken over, a working desk's stays.
    SessionDesk desk(env.root(), QStringLiteral("a"));
    desk.session.claim(doc, false, other.state == RegisterLock::State::Inactive);
    QCOMPARE(desk.session.lockHeld(), takenWhenAsked);
    QCOMPARE(RawFile::bytes(lockFile) == lock, !takenWhenAsked);
    if (takenWhenAsked) {
        setAge(lockFile, 10 * 60); // refreshed every minute: the age starts again
        desk.session.refreshLock();
        QFileInfo info(lockFile);
        QVERIFY(info.lastModified().secsTo(QDateTime::currentDateTime()) < 60);
        QCOMPARE(desk.session.lockNote(), QString());
    } else {
        QVERIFY(desk.session.lockNote().startsWith(QStringLiteral("Rejestr ma otwarty także Ewa")));
        // The other desk leaves: this one takes the lock at the next look.
        QVERIFY(QFile::remove(lockFile));
        desk.session.checkDisk();
        QVERIFY(desk.session.lockHeld());
        QVERIFY(RegisterLock::inspect(doc) == RegisterLock::State::Ours);
        QCOMPARE(desk.session.lockNote(), QString());
    }
    desk.session.forget();
    QVERIFY(!QFile::exists(lockFile));
}

void TestRegisterSession::lockOfAnotherDeskInPlaceOfOurs()
{
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A");
    SessionDesk desk(env.root(), QStringLiteral("a"));
    QVERIFY(desk.open(doc) && desk.session.lockHeld());
    // Another desk thought this one gone and put its lock in place of ours.
    const QByteArray theirs = lockText("sekretariat-2", "4242");
    QVERIFY(RawFile::write(RegisterLock::lockPath(doc), theirs));
    desk.session.refreshLock();
    QVERIFY(!desk.session.lockHeld());
    QCOMPARE(
        desk.session.lockNote(),
        QStringLiteral("Rejestr ma otwarty także Ewa Nowak (ewa) na komputerze sekretariat-2: przy zapisie "
                       "zmiany obu osób zostaną połączone."));
    desk.session.forget(); // closing: ours is not deleted over theirs
    QCOMPARE(RawFile::bytes(RegisterLock::lockPath(doc)), theirs);
}

void TestRegisterSession::saveLockLifeCycle_data()
{
    QTest::addColumn<QString>("kind"); // what stands in the save lock's place
    QTest::addColumn<int>("age");
    QTest::addColumn<int>("result");     // of one attempt
    QTest::addColumn<QString>("holder"); // login of the desk saving; empty: unknown
    const QByteArray here = QSysInfo::machineHostName().toUtf8();
    QTest::newRow("free") << QString() << 0 << 0 << QString();
    QTest::newRow("another desk saving") << QStringLiteral("lock") << 1 << EEXIST << QStringLiteral("ewa");
    QTest::newRow("crashed desk of another computer")
        << QStringLiteral("lock") << SaveLock::kStaleSeconds + 5 << 0 << QString();
    QTest::newRow("killed desk of this computer") << QStringLiteral("dead") << 1 << 0 << QString();
    QTest::newRow("garbage, just written") << QStringLiteral("garbage") << 1 << EEXIST << QString();
    QTest::newRow("garbage, old") << QStringLiteral("garbage") << SaveLock::kStaleSeconds + 5 << 0
                                  << QString();
    QTest::newRow("symbolic link") << QStringLiteral("link") << 1 << 0 << QString();
    QTest::newRow("folder") << QStringLiteral("folder") << 1 << EISDIR << QString();
}

void TestRegisterSession::saveLockLifeCycle()
{
    QFETCH(QString, kind);
    QFETCH(int, age);
    QFETCH(int, result);
    QFETCH(QString, holder);
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    const QString path = SaveLock::lockPath(doc);
    const QString pointed = env.root() + QStringLiteral("/wskazany");
    QVERIFY(RawFile::write(pointed, "inny plik"));
    if (kind == QLatin1String("lock"))
        QVERIFY(RawFile::write(path, lockText("sekretariat-2", "4242")));
    if (kind == QLatin1String("dead"))
        QVERIFY(RawFile::write(
            path, lockText(QSysInfo::machineHostName().toUtf8().constData(), QByteArray::number(deadPid()))));
    if (kind == QLatin1String("garbage"))
        QVERIFY(RawFile::write(path, QByteArray("\x00\xff\x13", 3)));
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(pointed, path));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    if (!kind.isEmpty())
        setAge(path, age, kind == QLatin1String("link"));
    SaveLock lock;
    RegisterLock::Owner owner;
    QCOMPARE(lock.tryTake(doc, &owner), result);
    QCOMPARE(lock.held(), result == 0);
    if (result == EEXIST)
        QCOMPARE(owner.login, holder);
    QCOMPARE(RawFile::bytes(pointed), QByteArray("inny plik"));
    // Held: no second desk gets it; released: gone.
    SaveLock second;
    if (result == 0) {
        QCOMPARE(second.tryTake(doc), EEXIST);
        lock.release();
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(second.tryTake(doc), 0);
    }
}

void TestRegisterSession::leftoversOfOtherDesks_data()
{
    QTest::addColumn<QString>("owner"); // "<host>-<pid>" of the desk that made the file
    QTest::addColumn<int>("age");
    QTest::addColumn<bool>("removed");
    const QString here = FileOps::ownerTag().section(QLatin1Char('-'), 0, -2);
    const QString dead = here + QLatin1Char('-') + QString::number(deadPid());
    QTest::newRow("another computer, being written") << QStringLiteral("sekretariat-2-4242") << 60 << false;
    QTest::newRow("another computer, two days old")
        << QStringLiteral("sekretariat-2-4242") << 2 * 86400 << true;
    QTest::newRow("this computer, process gone") << dead << 1 << true;
    QTest::newRow("this computer, process running") << here + QStringLiteral("-1") << 11 * 60 << false;
    QTest::newRow("this process, being written") << FileOps::ownerTag() << 60 << false;
    QTest::newRow("this process, interrupted long ago") << FileOps::ownerTag() << 11 * 60 << true;
    QTest::newRow("an older program's, being written") << QString() << 60 << false;
}

void TestRegisterSession::leftoversOfOtherDesks()
{
    QFETCH(QString, owner);
    QFETCH(int, age);
    QFETCH(bool, removed);
    TestEnvironment env(false);
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    const QString leftover =
        env.root() + QStringLiteral("/.klasa.sqdoc.") + owner + QStringLiteral(".a1B2c3");
    QVERIFY(RawFile::write(leftover, "w trakcie zapisu"));
    setAge(leftover, age);
    QVERIFY(RawFile::write(env.root() + QStringLiteral("/kopia"), "rejestr"));
    QCOMPARE(FileOps::copyFile(env.root() + QStringLiteral("/kopia"), doc, false), 0);
    QCOMPARE(QFile::exists(leftover), !removed);
    QCOMPARE(RawFile::bytes(doc), QByteArray("rejestr"));
}

void TestRegisterSession::newFilesAsTheUsersOthers_data()
{
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("mode");
    QTest::newRow("shared with the group") << 0002 << 0664;
    QTest::newRow("private") << 0077 << 0600;
    QTest::newRow("usual") << 0022 << 0644;
}

void TestRegisterSession::newFilesAsTheUsersOthers()
{
    QFETCH(int, umask);
    QFETCH(int, mode);
    TestEnvironment env(false);
    const mode_t old = ::umask(mode_t(umask));
    const auto restore = qScopeGuard([old] { ::umask(old); });
    const QString source = env.root() + QStringLiteral("/kopia");
    QVERIFY(RawFile::write(source, "rejestr"));
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    QCOMPARE(FileOps::copyFile(source, doc, false), 0); // Save as into a shared folder
    RegisterLock lock;
    QCOMPARE(lock.acquire(doc, QDateTime::currentDateTimeUtc()), 0);
    for (const QString& file : {doc, RegisterLock::lockPath(doc)}) {
        struct stat st;
        QVERIFY(::stat(file.toUtf8().constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), mode);
    }
}

void TestRegisterSession::lockInReadOnlyFolder()
{
    TestEnvironment env(false);
    const QString folder = env.root() + QStringLiteral("/zamkniety");
    QDir().mkpath(folder);
    const QString doc = folder + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, "1=A");
    QVERIFY(::chmod(env.root().toUtf8().constData(), 0755) == 0 &&
            ::chmod(folder.toUtf8().constData(), 0555) == 0 && ::chmod(doc.toUtf8().constData(), 0644) == 0);
    const auto restore = qScopeGuard([&] { ::chmod(folder.toUtf8().constData(), 0755); });
    // Root writes into any folder: the desk runs as an ordinary user then.
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        RegisterSession session(QStringLiteral("/nonexistent/data_tmp.sqtmp"), false);
        session.claim(doc, false);
        const bool told = session.lockNote().startsWith(
            QStringLiteral("Inni użytkownicy nie zobaczą, że rejestr jest otwarty: w jego katalogu nie można "
                           "utworzyć pliku blokady (kod błędu: 13)."));
        _exit(!session.lockHeld() && told ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(!QFile::exists(RegisterLock::lockPath(doc)));
}

int main(int argc, char** argv)
{
    // Lock times are shown in local time; the expected texts are Polish office hours.
    qputenv("TZ", "Europe/Warsaw");
    QCoreApplication app(argc, argv);
    TestRegisterSession test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_register_session.moc"
