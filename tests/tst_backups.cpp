// Automatic backups and their recovery: what stays in the backup folder after a tick,
// and what the recovery command writes, or refuses to write, from a chosen backup.
#include "app/Program.h"
#include "app/TFBackupFiles.h"
#include "app/TFGlowna.h"
#include "platform/FileOps.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <functional>
#include <sys/resource.h>
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

QString backupName(int day)
{
    return QStringLiteral("2024-03-%1_081502.sqdoc").arg(day, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<ProgramWindows> w;
    QString backupDir() { return strFunGetBackupDirPath(env->buf); }
    QStringList backupEntries()
    {
        return QDir(backupDir())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Runs the recovery command; `inWindow` acts in the recovery window once it is up.
    void recover(std::function<void(TFBackupFiles*)> inWindow)
    {
        QTimer::singleShot(0, [inWindow] {
            auto* window = qobject_cast<TFBackupFiles*>(QApplication::activeModalWidget());
            QVERIFY(window);
            inWindow(window);
            if (window->isVisible()) // a failed check must not leave the test waiting
                window->reject();
        });
        w->glowna->Otwrzplikzkopizapasowej1Click();
    }
    static void choose(TFBackupFiles* window, const QString& name)
    {
        const QList<QTreeWidgetItem*> rows = window->lvFiles->findItems(name, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        window->lvFiles->setCurrentItem(rows.constFirst());
        window->findChild<QPushButton*>(QStringLiteral("btnRecoverFromBackupFile"))->click();
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        QVERIFY(env->installDataFolder());
        prompts = std::make_unique<ScriptedPrompts>();
        w = std::make_unique<ProgramWindows>();
        QVERIFY(bFunStartProgram(*w, QString()));
    }
    void cleanup()
    {
        Clock::install(nullptr);
        FileOps::failCopiesAfter(-1, 0);
        w->glowna->setCloseWithoutQuestions(true);
        w.reset();
        prompts.reset();
        env.reset();
    }

    void tickKeepsTheTenGreatestNames_data();
    void tickKeepsTheTenGreatestNames();
    void copyCutShortLeavesTheBackupsAlone_data();
    void copyCutShortLeavesTheBackupsAlone();
    void recoveryWritesTheChosenBackup_data();
    void recoveryWritesTheChosenBackup();
    void nothingWrittenWithoutAChoice_data();
    void nothingWrittenWithoutAChoice();
    void failedRecoveryKeepsTheTarget_data();
    void failedRecoveryKeepsTheTarget();
};

void TestBackups::tickKeepsTheTenGreatestNames_data()
{
    QTest::addColumn<int>("backups");         // made on 1 March and the days after
    QTest::addColumn<QStringList>("foreign"); // other files, and folders ending in '/'
    QTest::addColumn<QStringList>("gone");
    QTest::newRow("eleventh backup") << 10 << QStringList() << QStringList{backupName(1)};
    QTest::newRow("foreign file sorts first") << 9 << QStringList{QStringLiteral("1999-notatka.txt")}
                                              << QStringList{QStringLiteral("1999-notatka.txt")};
    // A folder counts like a file: with one sorting last the oldest backup goes.
    QTest::newRow("folder sorts last")
        << 9 << QStringList{QStringLiteral("zapas/")} << QStringList{backupName(1)};
    // A folder among the oldest cannot be deleted; every backup stays.
    QTest::newRow("folder sorts first") << 9 << QStringList{QStringLiteral("0-stare/")} << QStringList();
}

void TestBackups::tickKeepsTheTenGreatestNames()
{
    QFETCH(int, backups);
    QFETCH(QStringList, foreign);
    QFETCH(QStringList, gone);
    for (int day = 1; day <= backups; ++day)
        write(backupDir() + backupName(day), "old");
    for (const QString& name : foreign) {
        if (name.endsWith(QLatin1Char('/')))
            QDir().mkpath(backupDir() + name);
        else
            FileOps::touch(backupDir() + name);
    }
    QStringList expected = backupEntries();
    for (QString& name : expected)
        if (QFileInfo(backupDir() + name).isDir())
            name += QLatin1Char('/');
    const QByteArray working = "SQLite format 3\0 working copy of the register";
    write(strFunGetTmpFilePath(env->buf), working);

    FixedClock clock(QDateTime(QDate(2024, 3, 20), QTime(9, 5, 7), Qt::LocalTime).toUTC());
    Clock::install(&clock);
    auto* timer = w->glowna->findChild<QTimer*>(QStringLiteral("timerBackup"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 600000);
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));

    for (const QString& name : gone)
        expected.removeOne(name);
    expected.append(QStringLiteral("2024-03-20_090507.sqdoc"));
    QStringList entries = backupEntries();
    for (QString& name : entries)
        if (QFileInfo(backupDir() + name).isDir())
            name += QLatin1Char('/');
    expected.sort();
    QCOMPARE(entries, expected);
    QCOMPARE(contents(backupDir() + QStringLiteral("2024-03-20_090507.sqdoc")), working);
}

void TestBackups::copyCutShortLeavesTheBackupsAlone_data()
{
    QTest::addColumn<bool>("programEnds");
    QTest::newRow("disk full") << false;
    QTest::newRow("program ends in the middle") << true;
}

void TestBackups::copyCutShortLeavesTheBackupsAlone()
{
    QFETCH(bool, programEnds);
    QStringList expected;
    for (int day = 1; day <= 10; ++day) {
        write(backupDir() + backupName(day), "old");
        expected << backupName(day);
    }
    // No working copy yet: a tick makes nothing and says nothing.
    w->glowna->timerBackupTimer();
    QCOMPARE(backupEntries(), expected);

    write(strFunGetTmpFilePath(env->buf), QByteArray(200000, 'w'));
    if (programEnds) {
        // A process of its own is killed by the system when the copy outgrows 70000 bytes.
        const pid_t child = fork();
        if (child == 0) {
            const rlimit fileSize{70000, 70000};
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_FSIZE, &fileSize);
            setrlimit(RLIMIT_CORE, &noCore);
            std::signal(SIGXFSZ, SIG_DFL);
            MessageBuffer buf;
            vFunBackupWorkingCopy(buf);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
    } else {
        FileOps::failCopiesAfter(70000, ENOSPC);
        w->glowna->timerBackupTimer();
        FileOps::failCopiesAfter(-1, 0);
        QCOMPARE(QDir(env->dataDir()).entryList({QStringLiteral("*sqpart*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
    QCOMPARE(backupEntries(), expected);
    for (const QString& name : expected)
        QCOMPARE(contents(backupDir() + name), QByteArray("old"));
    QVERIFY(prompts->shown.isEmpty());
}

void TestBackups::recoveryWritesTheChosenBackup_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<Prompts::Answer>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("new file") << false << Prompts::Answer::No << true;
    QTest::newRow("existing file, Yes") << true << Prompts::Answer::Yes << true;
    QTest::newRow("existing file, No") << true << Prompts::Answer::No << false;
}

void TestBackups::recoveryWritesTheChosenBackup()
{
    QFETCH(bool, targetExists);
    QFETCH(Prompts::Answer, answer);
    QFETCH(bool, written);
    QByteArray backup("SQLite format 3\0", 16);
    for (int i = 0; i < 5000; ++i)
        backup.append(char(i * 7));
    write(backupDir() + QStringLiteral("2024-03-07_081502.sqdoc"), backup);
    write(backupDir() + QStringLiteral("2024-03-08_081502.sqdoc"), "another");
    QDir().mkpath(backupDir() + QStringLiteral("zapas"));
    const QString target = env->root() + QStringLiteral("/odzyskane 1a.sqdoc");
    if (targetExists)
        write(target, "the user's own register");
    const QByteArray before = contents(target);
    prompts->files.enqueue(target);
    prompts->answers.enqueue(answer);

    QStringList listed;
    recover([&listed](TFBackupFiles* window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Kopie bezpieczeństwa"));
        QVERIFY(window->lvFiles->selectedItems().isEmpty()); // nothing preselected
        for (int i = 0; i < window->lvFiles->topLevelItemCount(); ++i)
            listed << window->lvFiles->topLevelItem(i)->text(0);
        choose(window, QStringLiteral("2024-03-07_081502.sqdoc"));
    });

    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("2024-03-07_081502.sqdoc"),
                                  QStringLiteral("2024-03-08_081502.sqdoc"), QStringLiteral("zapas")}));
    QCOMPARE(prompts->shown.first().kind, ShownBox::Kind::SaveFile);
    QCOMPARE(prompts->shown.first().caption, QStringLiteral("Zapisz dane z kopii"));
    QCOMPARE(prompts->shown.first().filter, QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"));
    QStringList questions;
    if (targetExists)
        questions << QStringLiteral(
            "Plik o takiej nazwie już istnieje, czy chcesz nadpisać istniejący plik ?");
    QCOMPARE(prompts->texts(), questions);
    if (targetExists) {
        QCOMPARE(prompts->shown.last().caption, QStringLiteral("Duplikat"));
        QCOMPARE(prompts->shown.last().icon, Prompts::Icon::Warning);
    }
    QCOMPARE(contents(target), written ? backup : before);
    // Recovery writes only the target; the open document stays as it was.
    QCOMPARE(w->glowna->openDocumentPath(), QString());
    QVERIFY(!w->glowna->unsavedChanges());
}

void TestBackups::nothingWrittenWithoutAChoice_data()
{
    QTest::addColumn<bool>("cancelWindow");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("window cancelled") << true << QStringList();
    QTest::newRow("nothing selected, then cancelled")
        << true << QStringList{QStringLiteral("Proszę wybrać plik")};
    QTest::newRow("save dialog cancelled") << false << QStringList();
}

void TestBackups::nothingWrittenWithoutAChoice()
{
    QFETCH(bool, cancelWindow);
    QFETCH(QStringList, messages);
    write(backupDir() + backupName(7), "backup");
    bool stayedOpen = true;
    recover([&](TFBackupFiles* window) {
        if (!messages.isEmpty()) {
            window->findChild<QPushButton*>(QStringLiteral("btnRecoverFromBackupFile"))->click();
            stayedOpen = window->isVisible();
        }
        if (cancelWindow)
            window->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        else
            choose(window, backupName(7));
    });
    QVERIFY(stayedOpen);
    QCOMPARE(prompts->texts(), messages);
    for (const ShownBox& box : std::as_const(prompts->shown)) {
        if (box.kind == ShownBox::Kind::Message) {
            QCOMPARE(box.caption, QStringLiteral("Brak wyboru"));
            QCOMPARE(box.icon, Prompts::Icon::Warning);
        }
    }
    QCOMPARE(prompts->shown.size() - messages.size(), cancelWindow ? 0 : 1); // the save dialog
    QCOMPARE(QDir(env->root()).entryList({QStringLiteral("*.sqdoc")}, QDir::Files), QStringList());
}

void TestBackups::failedRecoveryKeepsTheTarget_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<long long>("failAfter");
    QTest::addColumn<int>("error");
    QTest::newRow("a folder chosen") << QStringLiteral("zapas") << -1LL << EISDIR;
    QTest::newRow("disk full part-way") << backupName(7) << 70000LL << ENOSPC;
}

void TestBackups::failedRecoveryKeepsTheTarget()
{
    QFETCH(QString, chosen);
    QFETCH(long long, failAfter);
    QFETCH(int, error);
    write(backupDir() + backupName(7), QByteArray(200000, 'b'));
    QDir().mkpath(backupDir() + QStringLiteral("zapas"));
    const QString target = env->root() + QStringLiteral("/klasa.sqdoc");
    write(target, "the user's own register");
    prompts->files.enqueue(target);
    prompts->answers.enqueue(Prompts::Answer::Yes);

    FileOps::failCopiesAfter(failAfter, error);
    recover([&chosen](TFBackupFiles* window) { choose(window, chosen); });
    FileOps::failCopiesAfter(-1, 0);

    const QString text =
        QStringLiteral("Funkcja: btnRecoverFromBackupFile()\n\nBłąd podczas próby kopiowania pliku\nz\n") +
        backupDir() + chosen + QStringLiteral("\ndo\n") + target +
        QStringLiteral("\nKod błędu: %1\n\nDane nie zostały zapisane.").arg(error);
    QCOMPARE(prompts->texts().last(), text);
    QCOMPARE(prompts->shown.last().caption, QStringLiteral("Atrybuty"));
    QCOMPARE(prompts->shown.last().icon, Prompts::Icon::Warning);
    QCOMPARE(contents(target), QByteArray("the user's own register"));
    QCOMPARE(QDir(env->root()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("klasa.sqdoc")});
    QList<LogEntry> log;
    QVERIFY(bFunSqlGetLogsData(env->buf, log));
    QCOMPARE(log.last().fun, QStringLiteral("btnRecoverFromBackupFile()"));
    QCOMPARE(log.last().info, text);
}

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
