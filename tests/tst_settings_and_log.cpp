// The settings store, the event log and the single-instance lock.
#include "platform/FileOps.h"
#include "platform/SingleInstance.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

class TestSettingsAndLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void installedSettings();
    void writeInsertsThenUpdates();
    void readWithoutRowOrValueIsZero();
    void keysWithQuotes();
    void missingSettingsFile();
    void settingsFileThatIsNotADatabase();
    void logCreatesItsTableAndKeepsTexts();
    void logWithoutItsTable();
    void logIsNotReadWhenMissing();
    void secondInstanceIsRefused();
    void lockOfACrashedInstanceIsTakenOver();
};

void TestSettingsAndLog::installedSettings()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    const QList<std::pair<const char*, int>> expected = {{"import_alert", 0},
                                                         {"strike_empty_fields", 1},
                                                         {"print_without_dots", 0},
                                                         {"word_wrap", 0},
                                                         {"create_school_data_template", 1}};
    for (const auto& [key, value] : expected) {
        int read = -1;
        QVERIFY(bFunSqlGetSettingsValue(env.buf, QString::fromLatin1(key), read));
        QCOMPARE(read, value);
    }
    const QString settings = env.dataFile(QStringLiteral("ustawienia.sqset"));
    QCOMPARE(RawSql::column(settings, "select count(*) from province"), QList<QByteArray>{"16"});
    QVERIFY(RawSql::column(settings, "select name from province").contains("\x9cl\xb9skie")); // śląskie
    // Every margin profile keeps the page's proportions (885 x 1314) within 1%.
    for (const auto& row :
         RawSql::rows(settings, "select Page1X1, Page1Y1, Page1X2, Page1Y2, Page2X1, Page2Y1, "
                                "Page2X2, Page2Y2 from margin")) {
        for (int page = 0; page < 2; ++page) {
            const double w = row[page * 4 + 2].toInt() - row[page * 4].toInt();
            const double h = row[page * 4 + 3].toInt() - row[page * 4 + 1].toInt();
            QVERIFY(qAbs((w / h) / (885.0 / 1314.0) - 1.0) < 0.01);
            QVERIFY(row[page * 4].toInt() >= 4 && row[page * 4 + 2].toInt() <= 206);
            QVERIFY(row[page * 4 + 1].toInt() >= 4 && row[page * 4 + 3].toInt() <= 293);
        }
    }
}

void TestSettingsAndLog::writeInsertsThenUpdates()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    const QString settings = env.dataFile(QStringLiteral("ustawienia.sqset"));
    RawSql::exec(settings, "insert into settings(name, text_value, int_value) values('kept', 'tekst', 3)");
    QVERIFY(bFunSqlSettingWriteValue(env.buf, QStringLiteral("nowy"), 1));
    QVERIFY(bFunSqlSettingWriteValue(env.buf, QStringLiteral("nowy"), 5));
    QVERIFY(bFunSqlSettingWriteValue(env.buf, QStringLiteral("nowy"), 5));
    QCOMPARE(RawSql::column(settings, "select int_value from settings where name='nowy'"),
             QList<QByteArray>{"5"});
    QVERIFY(bFunSqlSettingWriteValue(env.buf, QStringLiteral("kept"), 4));
    QCOMPARE(RawSql::rows(settings, "select text_value, int_value from settings where name='kept'"),
             (QList<QList<QByteArray>>{{"tekst", "4"}}));
}

void TestSettingsAndLog::readWithoutRowOrValueIsZero()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    RawSql::exec(env.dataFile(QStringLiteral("ustawienia.sqset")),
                 "insert into settings(name, int_value) values('pusty', NULL)");
    int value = 9;
    QVERIFY(bFunSqlGetSettingsValue(env.buf, QStringLiteral("brak"), value));
    QCOMPARE(value, 0);
    value = 9;
    QVERIFY(bFunSqlGetSettingsValue(env.buf, QStringLiteral("pusty"), value));
    QCOMPARE(value, 0);
}

void TestSettingsAndLog::keysWithQuotes()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    const QString key = QStringLiteral("szkoła 'Orła'; drop table settings; --");
    QVERIFY(bFunSqlSettingWriteValue(env.buf, key, 2));
    int value = 0;
    QVERIFY(bFunSqlGetSettingsValue(env.buf, key, value));
    QCOMPARE(value, 2);
    QCOMPARE(RawSql::column(env.dataFile(QStringLiteral("ustawienia.sqset")),
                            "select name from settings where int_value=2"),
             QList<QByteArray>{"szko\xb3"
                               "a 'Or\xb3"
                               "a'; drop table settings; --"});
    // A key that cannot be stored is refused, and nothing is inserted.
    QVERIFY(!bFunSqlSettingWriteValue(env.buf, QStringLiteral("klucz ∞"), 1));
    QVERIFY(env.buf.text().contains(QStringLiteral("U+221E")));
}

void TestSettingsAndLog::missingSettingsFile()
{
    TestEnvironment env;
    const QString path = env.dataFile(QStringLiteral("ustawienia.sqset"));
    int value = 7;
    QVERIFY(!bFunSqlGetSettingsValue(env.buf, QStringLiteral("word_wrap"), value));
    QCOMPARE(env.buf.text(), QStringLiteral("Plik nie istnieje:\n") + path);
    QCOMPARE(value, 7);
    QVERIFY(!bFunSqlSettingWriteValue(env.buf, QStringLiteral("word_wrap"), 1));
    QCOMPARE(env.buf.text(), QStringLiteral("Plik nie istnieje.\n\n") + path);
    QVERIFY(!QFile::exists(path)); // neither call creates the file
}

void TestSettingsAndLog::settingsFileThatIsNotADatabase()
{
    TestEnvironment env;
    const QString path = env.dataFile(QStringLiteral("ustawienia.sqset"));
    QFile junk(path);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("To nie jest baza danych, tylko notatka sekretarki.");
    junk.close();
    int value = 0;
    QVERIFY(!bFunSqlGetSettingsValue(env.buf, QStringLiteral("import_alert"), value));
    QCOMPARE(env.buf.text(),
             QStringLiteral("Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."));
    // A database without the table.
    QFile::remove(path);
    RawSql::exec(path, "create table other(x)");
    QVERIFY(!bFunSqlSettingWriteValue(env.buf, QStringLiteral("word_wrap"), 1));
    QCOMPARE(env.buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
    QVERIFY(!bFunSqlGetSettingsValue(env.buf, QStringLiteral("word_wrap"), value));
    QCOMPARE(env.buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
}

void TestSettingsAndLog::logCreatesItsTableAndKeepsTexts()
{
    TestEnvironment env;
    FixedClock clock(QDateTime(QDate(2024, 3, 7), QTime(8, 5, 2), Qt::UTC));
    MessageBuffer buf;
    buf.reset(QStringLiteral("Plik 'Zażółć.sqdoc' nie istnieje: \"x\"'); drop table error; --"));
    vFunLogError(buf, QStringLiteral("bFunCopyFile()"));
    vFunLogError(buf, QStringLiteral("bFunCopyFile()"));
    buf.reset(QStringLiteral("znak spoza strony kodowej: ☃"));
    vFunLogError(buf, QStringLiteral("inny"));

    QList<LogEntry> entries;
    QVERIFY(bFunSqlGetLogsData(env.buf, entries));
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0].datetime, QStringLiteral("2024.3.7 8:5:2"));
    QCOMPARE(entries[1].datetime, entries[0].datetime);
    QCOMPARE(entries[0].fun, QStringLiteral("bFunCopyFile()"));
    QCOMPARE(entries[0].info,
             QStringLiteral("Plik 'Zażółć.sqdoc' nie istnieje: \"x\"'); drop table error; --"));
    QCOMPARE(entries[2].info, QStringLiteral("znak spoza strony kodowej: ?"));
}

void TestSettingsAndLog::logWithoutItsTable()
{
    TestEnvironment env;
    const QString log = env.dataFile(QStringLiteral("logs.sqdb"));
    RawSql::exec(log, "create table something(x)");
    QList<LogEntry> entries;
    QVERIFY(!bFunSqlGetLogsData(env.buf, entries));
    QCOMPARE(env.buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
    // The failure was itself logged, which created the table.
    QVERIFY(bFunSqlGetLogsData(env.buf, entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].fun, QStringLiteral("bFunSqlGetLogsData()"));
    // The user reads the reason; the log keeps the layer's own code after it.
    QCOMPARE(entries[0].info, QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje.\n"
                                             "Sql exception: SQLITE_ERROR"));
}

void TestSettingsAndLog::logIsNotReadWhenMissing()
{
    TestEnvironment env;
    env.buf.reset(QStringLiteral("poprzedni"));
    QList<LogEntry> entries;
    QVERIFY(!bFunSqlGetLogsData(env.buf, entries));
    QCOMPARE(env.buf.text(), QStringLiteral("poprzedni"));
    QVERIFY(!QFile::exists(env.dataFile(QStringLiteral("logs.sqdb"))));
}

void TestSettingsAndLog::secondInstanceIsRefused()
{
    QTemporaryDir dir;
    {
        SingleInstance first(QStringLiteral("MELVOK-DOKUMENTY"), dir.path());
        QCOMPARE(first.acquire(), SingleInstance::State::First);
        SingleInstance second(QStringLiteral("MELVOK-DOKUMENTY"), dir.path());
        QCOMPARE(second.acquire(), SingleInstance::State::AlreadyRunning);
    }
    // After the first one ended, the next start is the first again.
    SingleInstance again(QStringLiteral("MELVOK-DOKUMENTY"), dir.path());
    QCOMPARE(again.acquire(), SingleInstance::State::First);
}

void TestSettingsAndLog::lockOfACrashedInstanceIsTakenOver()
{
    QTemporaryDir dir;
    SingleInstance probe(QStringLiteral("MELVOK-DOKUMENTY"), dir.path());
    // A process that has ended leaves its lock file behind, as a crash would.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    QFile lock(probe.lockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(child) + "\nmelvok-dokumenty\n" + QSysInfo::machineHostName().toUtf8() +
               "\n");
    lock.close();
    QCOMPARE(probe.acquire(), SingleInstance::State::First);
}

QTEST_GUILESS_MAIN(TestSettingsAndLog)
#include "tst_settings_and_log.moc"
