// The log viewer, the log sent through a stand-in mail program, and the "Pomoc" menu
// commands that lead to the viewer and the user's manual.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "services/TFLogi.h"
#include "storage/EventLog.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

class TestLogViewer : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedPrompts> prompts;
    const QByteArray savedPath = qgetenv("PATH");

    // Function and message of every row, the viewer shown once more.
    QStringList rowsOf(TFLogi& viewer)
    {
        viewer.show();
        auto* list = viewer.findChild<QTreeWidget*>(QStringLiteral("LogsListView"));
        QStringList rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(1) + QLatin1Char('|') + list->topLevelItem(i)->text(2);
        viewer.hide();
        return rows;
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        QVERIFY(env->installDataFolder());
        prompts = std::make_unique<ScriptedPrompts>();
    }
    void cleanup()
    {
        qputenv("PATH", savedPath);
        prompts.reset();
        env.reset();
    }

    void listsEveryEntryOnce();
    void opensOnTheNewestEntry();
    void sendTheLog_data();
    void sendTheLog();
    void oneMailProgramAtATime_data();
    void oneMailProgramAtATime();
    void helpMenuCommands();
};

void TestLogViewer::listsEveryEntryOnce()
{
    TFLogi viewer;
    QVERIFY(rowsOf(viewer).isEmpty()); // a new installation: no log file, and no message
    QVERIFY(prompts->shown.isEmpty());
    for (const auto& [fun, info] :
         {std::pair{"bFunCopyFile()", QStringLiteral("Plik nie istnieje:\n/home/a.sqdoc")},
          std::pair{"huge()", QString(100000, QLatin1Char('x'))},
          std::pair{"vFunDrawPage", QStringLiteral("Błąd 'zapisu'")}}) {
        env->buf.reset(info);
        vFunLogError(env->buf, QString::fromLatin1(fun));
    }
    const QStringList rows = rowsOf(viewer);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], QStringLiteral("bFunCopyFile()|Plik nie istnieje: /home/a.sqdoc"));
    QVERIFY(rows[1].size() < 1100);
    QCOMPARE(rows[2], QStringLiteral("vFunDrawPage|Błąd 'zapisu'"));
    QCOMPARE(rowsOf(viewer), rows); // shown again: each entry still once
}

void TestLogViewer::opensOnTheNewestEntry()
{
    const QString longest = QStringLiteral("bFunStudentDataLoadProvinceList()");
    for (int i = 0; i < 300; ++i) {
        env->buf.reset(QStringLiteral("Wpis %1").arg(i));
        vFunLogError(env->buf, i == 150 ? longest : QStringLiteral("bFunCopyFile()"));
    }
    TFLogi viewer;
    viewer.show();
    auto* list = viewer.findChild<QTreeWidget*>(QStringLiteral("LogsListView"));
    QCOMPARE(list->topLevelItemCount(), 300);
    QTreeWidgetItem* newest = list->topLevelItem(299);
    QCOMPARE(newest->text(2), QStringLiteral("Wpis 299"));
    QCOMPARE(list->currentItem(), newest);
    const QRect row = list->visualItemRect(newest);
    QVERIFY(row.top() >= 0 && row.bottom() < list->viewport()->height());
    QVERIFY(list->columnWidth(1) > list->fontMetrics().horizontalAdvance(longest));
}

void TestLogViewer::sendTheLog_data()
{
    QTest::addColumn<int>("exitCode"); // of the stand-in; -1: no mail program at all
    QTest::addColumn<bool>("logExists");
    QTest::addColumn<QString>("supportMail"); // configured address; empty: the built-in one

    QTest::newRow("taken") << 0 << true << QString();
    QTest::newRow("configured address") << 0 << true << QStringLiteral("serwis@szkola.example");
    QTest::newRow("refused") << 3 << true << QString();
    QTest::newRow("no mail program") << -1 << true << QString();
    QTest::newRow("no log file") << 0 << false << QString();
}

void TestLogViewer::sendTheLog()
{
    QFETCH(int, exitCode);
    QFETCH(bool, logExists);
    QFETCH(QString, supportMail);
    if (logExists)
        vFunLogError(env->buf, QStringLiteral("bFunCopyFile()"));
    if (!supportMail.isEmpty())
        RawSql::exec(env->dataFile(QStringLiteral("ustawienia.sqset")),
                     "insert into settings( name, text_value ) values( 'support_mail', '" +
                         supportMail.toLatin1() + "' )");
    // A stand-in xdg-email that writes down its arguments, one a line; its folder is
    // the whole PATH.
    const QString bin = env->root() + QStringLiteral("/bin");
    const QString argsFile = env->root() + QStringLiteral("/mail-args");
    QDir().mkpath(bin);
    qputenv("PATH", bin.toUtf8());
    QFile script(bin + QStringLiteral("/xdg-email"));
    if (exitCode >= 0) {
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + argsFile.toUtf8() +
                     "'\nexit " + QByteArray::number(exitCode) + "\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    TFLogi viewer;
    viewer.show();
    QSignalSpy finished(&viewer, &TFLogi::mailFinished);
    viewer.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
    QVERIFY(finished.wait(10000));
    QVERIFY(viewer.isVisible());
    const bool sent = exitCode == 0 && logExists;
    QCOMPARE(finished.at(0).at(0).toBool(), sent);
    if (!sent) {
        QCOMPARE(prompts->texts(), QStringList{QStringLiteral("Błąd podczas próby wysłania maila")});
        QCOMPARE(prompts->shown[0].caption, QStringLiteral("Błąd"));
        return;
    }
    QVERIFY(prompts->shown.isEmpty());
    QFile args(argsFile);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{"--subject", "Logi", "--body", "Logi programu Melvok-Gimnazjum", "--attach",
                          env->dataFile(QStringLiteral("logs.sqdb")),
                          supportMail.isEmpty() ? QStringLiteral("pomoc@melvok.pl") : supportMail}));
}

void TestLogViewer::oneMailProgramAtATime_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("viewerClosed"); // before the mail program returns

    QTest::newRow("fails while the viewer is open") << 3 << false;
    QTest::newRow("fails after the viewer has closed") << 3 << true;
    QTest::newRow("taken after the viewer has closed") << 0 << true;
}

void TestLogViewer::oneMailProgramAtATime()
{
    QFETCH(int, exitCode);
    QFETCH(bool, viewerClosed);
    vFunLogError(env->buf, QStringLiteral("bFunCopyFile()"));
    // A stand-in xdg-email that notes every start and returns when the test lets it.
    const QString bin = env->root() + QStringLiteral("/bin");
    const QString starts = env->root() + QStringLiteral("/starts");
    const QString release = env->root() + QStringLiteral("/release");
    QVERIFY(QDir().mkpath(bin));
    QFile script(bin + QStringLiteral("/xdg-email"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho >> '" + starts.toUtf8() + "'\nwhile [ ! -e '" + release.toUtf8() +
                 "' ]; do /bin/sleep 0.05; done\nexit " + QByteArray::number(exitCode) + "\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8());
    const auto restorePath = qScopeGuard([path] { qputenv("PATH", path); });

    TFLogi viewer;
    viewer.show();
    QSignalSpy finished(&viewer, &TFLogi::mailFinished);
    auto* send = viewer.findChild<QPushButton*>(QStringLiteral("BitBtn2"));
    for (int i = 0; i < 3; ++i)
        send->click();
    QVERIFY(!send->isEnabled());
    QTRY_VERIFY(QFile::exists(starts));
    if (viewerClosed)
        viewer.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    QFile(release).open(QIODevice::WriteOnly);
    QVERIFY(finished.wait(10000));
    QVERIFY(send->isEnabled());
    QFile started(starts);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll(), QByteArray("\n")); // started once
    // A failure is always logged, and shown only where the user still looks.
    QCOMPARE(prompts->texts(), exitCode != 0 && !viewerClosed
                                   ? QStringList{QStringLiteral("Błąd podczas próby wysłania maila")}
                                   : QStringList());
    QCOMPARE(lastLoggedFunction(),
             exitCode != 0 ? QStringLiteral("bFunSendMail()") : QStringLiteral("bFunCopyFile()"));
}

void TestLogViewer::helpMenuCommands()
{
    RecordingDesktop desktop;
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    w.glowna->findChild<QAction*>(QStringLiteral("Instrukcjaobsugi1"))->trigger();
    w.glowna->findChild<QToolButton*>(QStringLiteral("PomocToolButton"))->click();
    const QUrl manual = QUrl::fromLocalFile(env->programDir() + QStringLiteral("/Zoravavivo.html"));
    QCOMPARE(desktop.opened, (QList<QUrl>{manual, manual}));

    QVERIFY(w.glowna->findChild<QAction*>(QStringLiteral("Sprawdczyjestnowawersja1"))->isEnabled());
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        auto* viewer = qobject_cast<TFLogi*>(QApplication::activeModalWidget());
        shown = viewer != nullptr;
        if (viewer)
            viewer->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    w.glowna->findChild<QAction*>(QStringLiteral("Logiprogramu1"))->trigger();
    QVERIFY(shown);
    w.glowna->setCloseWithoutQuestions(true);
}

QTEST_MAIN(TestLogViewer)
#include "tst_log_viewer.moc"
