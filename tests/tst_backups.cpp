// Automatic backups and their recovery: what stays in the backup folder after a tick,
// and what the recovery command writes, or refuses to write, from a chosen backup.
#include "app/Program.h"
#include "app/TFBackupFiles.h"
#include "app/TFGlowna.h"
#include "platform/FileOps.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "tests/support/Disks.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void written(const QString& path, const QDateTime& at)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(at, QFileDevice::FileModificationTime));
}

const QByteArray kHeader("SQLite format 3", 16);

QString backupName(int day)
{
    return QStringLiteral("2024-03-%1_081502.sqdoc").arg(day, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<RunningProgram> p;
    QString backupDir() { return strFunGetBackupDirPath(p->env.buf); }
    QStringList backupEntries()
    {
        return QDir(backupDir()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }
    // The recovery command; in its window `row` is chosen ("" takes nothing, then cancels).
    void recover(const QString& row)
    {
        QTimer::singleShot(0, [row] {
            auto* window = qobject_cast<TFBackupFiles*>(QApplication::activeModalWidget());
            QVERIFY(window);
            QVERIFY(window->lvFiles->selectedItems().isEmpty());
            for (QTreeWidgetItem* item : window->lvFiles->findItems(row, Qt::MatchExactly))
                window->lvFiles->setCurrentItem(item);
            window->findChild<QPushButton*>(QStringLiteral("btnRecoverFromBackupFile"))->click();
            if (window->isVisible()) // nothing taken: the window stays until cancelled
                window->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        });
        p->w.glowna->Otwrzplikzkopizapasowej1Click();
    }

private Q_SLOTS:
    void init()
    {
        p = std::make_unique<RunningProgram>();
        QVERIFY(p->start());
        for (int day = 1; day <= 9; ++day) {
            write(backupDir() + backupName(day), kHeader + "backup " + QByteArray::number(day));
            written(backupDir() + backupName(day), QDateTime(QDate(2024, 3, day), QTime(8, 15, 2)));
        }
    }
    void cleanup() { p.reset(); }

    void tickKeepsTheTenNewestBackups_data()
    {
        // Entries added to the backups of 1 to 9 March: a folder when the name ends in '/',
        // a link to a file outside when in '@', else a file, the n-th written at `at` + n s.
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QDateTime>("at");
        QTest::addColumn<QStringList>("gone");
        const QDateTime march10(QDate(2024, 3, 10), QTime(8, 15, 2), Qt::LocalTime);
        QStringList letters, future, later;
        for (char c = 'a'; c < 'k'; ++c)
            letters << QStringLiteral("klasa_1%1.sqdoc").arg(QLatin1Char(c));
        for (int day = 10; day < 20; ++day) {
            future << QStringLiteral("2031-01-%1_120000.sqdoc").arg(day);
            later << backupName(day);
        }
        QStringList tenGone{backupName(10)};
        for (int day = 1; day < 10; ++day)
            tenGone << backupName(day);
        QTest::newRow("eleventh backup")
            << QStringList{backupName(10)} << march10 << QStringList{backupName(1)};
        QTest::newRow("written before the others")
            << QStringList{backupName(15)} << march10.addMonths(-1) << QStringList{backupName(15)};
        QTest::newRow("foreign entries") << QStringList{backupName(10),
                                                        "1999-notatka.txt",
                                                        "zapas/",
                                                        "2024-03-16_081502.sqdoc/",
                                                        "2024-02-30_081502.sqdoc",
                                                        "2024-03-01_000000.sqdoc@"}
                                         << march10 << QStringList{backupName(1)};
        QTest::newRow("ten names of letters") << letters << march10 << QStringList();
        QTest::newRow("ten dated in the future")
            << (future << backupName(10)) << march10.addYears(7) << QStringList{backupName(1)};
        QTest::newRow("ten written after the clock") << later << march10.addYears(6) << tenGone;
    }
    void tickKeepsTheTenNewestBackups()
    {
        QFETCH(QStringList, extra);
        QFETCH(QDateTime, at);
        QFETCH(QStringList, gone);
        const QString outside = p->env.root() + QStringLiteral("/obcy.sqdoc");
        write(outside, "someone else's register");
        for (int i = 0; i < extra.size(); ++i) {
            QString path = backupDir() + extra.at(i);
            if (path.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(path));
            } else if (path.endsWith(QLatin1Char('@'))) {
                path.chop(1);
                QVERIFY(QFile::link(outside, path));
            } else {
                write(path, "extra");
                written(path, at.addSecs(i));
            }
        }
        write(strFunGetTmpFilePath(p->env.buf), "working copy");
        QStringList expected = backupEntries() << QStringLiteral("2024-03-20_090507.sqdoc");
        for (const QString& name : std::as_const(gone))
            QVERIFY(expected.removeOne(name));
        expected.sort();

        FixedClock clock(QDateTime(QDate(2024, 3, 20), QTime(9, 5, 7), Qt::LocalTime).toUTC());
        auto* timer = p->w.glowna->findChild<QTimer*>(QStringLiteral("timerBackup"));
        QVERIFY(timer->isActive() && timer->interval() == 600000);
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(backupEntries(), expected);
        QCOMPARE(contents(backupDir() + QStringLiteral("2024-03-20_090507.sqdoc")), "working copy");
        QCOMPARE(contents(outside), "someone else's register");
    }

    void copyCutShortLeavesTheBackupsAlone()
    {
        const QStringList before = backupEntries();
        p->w.glowna->timerBackupTimer(); // no working copy yet: nothing happens
        QCOMPARE(backupEntries(), before);
        // The program is ended by the system in the middle of the copy.
        write(strFunGetTmpFilePath(p->env.buf), QByteArray(200000, 'w'));
        const pid_t child = fork();
        if (child == 0) {
            const rlimit fileSize{70000, 70000}, noCore{0, 0};
            setrlimit(RLIMIT_FSIZE, &fileSize);
            setrlimit(RLIMIT_CORE, &noCore);
            std::signal(SIGXFSZ, SIG_DFL);
            p->w.glowna->timerBackupTimer();
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(backupEntries(), before);
        QVERIFY(p->prompts.shown.isEmpty());
    }

    void recovery_data()
    {
        QTest::addColumn<QString>("row");    // "" selects nothing
        QTest::addColumn<QString>("saveAs"); // "" cancels the save dialog
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<Prompts::Answer>("answer");
        QTest::addColumn<long long>("failAfter"); // bytes copied before the disk is full; -1 never
        QTest::addColumn<QStringList>("boxes");   // captions of the boxes and dialogs shown
        QTest::addColumn<bool>("written");
        const auto yes = Prompts::Answer::Yes;
        const QString save = QStringLiteral("Zapisz dane z kopii");
        const QString b7 = backupName(7), file = QStringLiteral("kopia.sqdoc");
        QTest::newRow("new file") << b7 << file << false << yes << -1LL << QStringList{save} << true;
        QTest::newRow("existing, Yes")
            << b7 << file << true << yes << -1LL << QStringList{save, "Duplikat"} << true;
        QTest::newRow("existing, No")
            << b7 << file << true << Prompts::Answer::No << -1LL << QStringList{save, "Duplikat"} << false;
        QTest::newRow("save dialog cancelled")
            << b7 << "" << false << yes << -1LL << QStringList{save} << false;
        QTest::newRow("nothing selected")
            << "" << file << false << yes << -1LL << QStringList{"Brak wyboru"} << false;
        QTest::newRow("disk full part-way")
            << b7 << file << true << yes << 20000LL << QStringList{save, "Duplikat", "Atrybuty"} << false;
    }
    void recovery()
    {
        QFETCH(QString, row);
        QFETCH(QString, saveAs);
        QFETCH(bool, targetExists);
        QFETCH(Prompts::Answer, answer);
        QFETCH(long long, failAfter);
        QFETCH(QStringList, boxes);
        QFETCH(bool, written);
        const QByteArray backup = QByteArray("SQLite format 3\0\x10\xff", 18).repeated(3000);
        write(backupDir() + backupName(7), backup);
        const QString target = p->env.root() + QLatin1Char('/') + saveAs;
        if (targetExists)
            write(target, "the user's own register");
        const QByteArray before = contents(target);
        p->prompts.files.enqueue(saveAs.isEmpty() ? QString() : target);
        p->prompts.answers.enqueue(answer);
        FullDisk disk(failAfter);
        recover(row);

        QStringList shown;
        for (const ShownBox& box : std::as_const(p->prompts.shown)) {
            shown << box.caption;
            if (box.kind == ShownBox::Kind::SaveFile)
                QCOMPARE(box.filter, QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"));
            else
                QCOMPARE(box.icon, Prompts::Icon::Warning);
        }
        QCOMPARE(shown, boxes);
        QCOMPARE(contents(target), written ? backup : before);
        QCOMPARE(QDir(p->env.root()).entryList(QDir::Files | QDir::Hidden),
                 targetExists || written ? QStringList{saveAs} : QStringList());
        QCOMPARE(p->w.glowna->openDocumentPath(), QString()); // the recovered file is not opened
        if (failAfter < 0)
            return;
        const QString text =
            QStringLiteral(
                "Funkcja: btnRecoverFromBackupFile()\n\nBłąd podczas próby kopiowania pliku\nz\n") +
            backupDir() + row + QStringLiteral("\ndo\n") + target +
            QStringLiteral("\nKod błędu: 28\nNa dysku zabrakło miejsca.\n\nDane nie zostały zapisane.");
        QCOMPARE(p->prompts.texts().last(), text);
        QList<LogEntry> log;
        QVERIFY(bFunSqlGetLogsData(p->env.buf, log));
        QCOMPARE(log.last().fun + log.last().info, QStringLiteral("btnRecoverFromBackupFile()") + text);
    }

    // A file named like a backup that holds no database is not offered; an empty one (a
    // register without students) is.
    void recoveryListsOnlyDatabases()
    {
        write(backupDir() + backupName(20), "just some text, not a register");
        write(backupDir() + backupName(21), QByteArray());
        write(backupDir() + backupName(22), QByteArray("SQLite format 2", 16) + "backup");
        write(backupDir() + backupName(23), kHeader.left(15));
        QStringList listed;
        QTimer::singleShot(0, [&listed] {
            auto* window = qobject_cast<TFBackupFiles*>(QApplication::activeModalWidget());
            QVERIFY(window);
            for (int i = 0; i < window->lvFiles->topLevelItemCount(); ++i)
                listed << window->lvFiles->topLevelItem(i)->text(0);
            window->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        });
        p->w.glowna->Otwrzplikzkopizapasowej1Click();
        QStringList expected{backupName(21)};
        for (int day = 1; day <= 9; ++day)
            expected << backupName(day);
        listed.sort();
        expected.sort();
        QCOMPARE(listed, expected);
    }

    // Such an entry is not offered; a listed backup that becomes one before it is copied
    // is refused, and nothing is written.
    void recoveryReadsOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind"); // "" the backup is gone
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "fifo" << EINVAL
                              << "Wskazany plik jest potokiem (FIFO), a nie zwykłym plikiem.";
        QTest::newRow("socket") << "socket" << EINVAL
                                << "Wskazany plik jest gniazdem, a nie zwykłym plikiem.";
        QTest::newRow("folder") << "folder" << EISDIR << "Wskazana ścieżka jest katalogiem, a nie plikiem.";
        QTest::newRow("link to a file outside")
            << "link" << ELOOP
            << "Wybrana kopia bezpieczeństwa jest dowiązaniem symbolicznym, a nie zwykłym plikiem.";
        QTest::newRow("vanished") << "" << ENOENT << "Wybrana kopia bezpieczeństwa już nie istnieje.";
    }
    void recoveryReadsOnlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, code);
        QFETCH(QString, reason);
        const QString outside = p->env.root() + QStringLiteral("/obcy.sqdoc");
        write(outside, "someone else's register");
        auto make = [&](const QString& path) {
            const QByteArray native = path.toUtf8();
            if (kind == QStringLiteral("fifo")) {
                QCOMPARE(::mkfifo(native.constData(), 0600), 0);
            } else if (kind == QStringLiteral("socket")) {
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                QVERIFY(size_t(native.size()) < sizeof address.sun_path);
                qstrcpy(address.sun_path, native.constData());
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
                ::close(fd);
            } else if (kind == QStringLiteral("folder")) {
                QVERIFY(QDir().mkpath(path));
            } else if (kind == QStringLiteral("link")) {
                QVERIFY(QFile::link(outside, path));
            }
        };
        make(backupDir() + backupName(20));
        const QString chosen = backupDir() + backupName(7);
        const QString target = p->env.root() + QStringLiteral("/kopia.sqdoc");
        p->prompts.files.enqueue(target);
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TFBackupFiles*>(QApplication::activeModalWidget());
            QVERIFY(window);
            QCOMPARE(window->lvFiles->topLevelItemCount(), 9);
            window->lvFiles->setCurrentItem(
                window->lvFiles->findItems(backupName(7), Qt::MatchExactly).value(0));
            QVERIFY(QFile::remove(chosen));
            make(chosen);
            window->findChild<QPushButton*>(QStringLiteral("btnRecoverFromBackupFile"))->click();
        });
        p->w.glowna->Otwrzplikzkopizapasowej1Click();
        QCOMPARE(
            p->prompts.texts(),
            QStringList{QStringLiteral("Funkcja: btnRecoverFromBackupFile()\n\nBłąd podczas próby kopiowania "
                                       "pliku\nz\n") +
                        chosen + QStringLiteral("\ndo\n") + target + QStringLiteral("\nKod błędu: ") +
                        QString::number(code) + QLatin1Char('\n') + reason +
                        QStringLiteral("\n\nDane nie zostały zapisane.")});
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(contents(outside), "someone else's register");
    }
};

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
