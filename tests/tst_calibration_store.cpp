// The calibration file as the renderer and the calibration editor read and write it,
// including the damaged and hand-edited files a school may end up with.
#include "storage/CalibrationStore.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

class TestCalibrationStore : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    QString calib() { return strFunGetCalibFilePath(env->buf, false); }
    void writeGarbage()
    {
        QFile f(calib());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }

private Q_SLOTS:
    void init()
    {
        env.reset(); // its destructor clears the folder overrides of the next one
        env = std::make_unique<TestEnvironment>(false);
        QFile::remove(calib());
    }

    void loadsEveryRowInFileOrder()
    {
        RawSql::exec(
            calib(),
            RawSql::createCalibrationTable("t") +
                "insert into t values('ZMIENNA_A_STR1_DATA_EDIT', 1, 2, 3, 4, 'Arial', 12, 3, 1, 0, 1, 0);"
                "insert into t values('STALY_\xa3\xf3"
                "d\x9f_STR1_DATA_LABEL', -5, 70000, 2000000000, "
                "-2000000000, 'Arial', 400, 7, 0, 1, 0, 1);"
                "insert into t(name) values(NULL);");
        QList<CalibEntry> entries{CalibEntry{}};
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("t"), entries));
        QCOMPARE(entries.size(), 3);
        const CalibEntry &a = entries.at(0), &b = entries.at(1), &c = entries.at(2);
        // The box columns are read by name: x1, y1, x2, y2 stored in that order.
        QCOMPARE(QList<int>(
                     {a.x1, a.y1, a.x2, a.y2, a.fontSize, a.align, a.bold, a.italic, a.underline, a.strike}),
                 QList<int>({1, 2, 3, 4, 12, 3, 1, 0, 1, 0}));
        QCOMPARE(b.name, QStringLiteral("STALY_Łódź_STR1_DATA_LABEL"));
        QCOMPARE(QList<int>({b.x1, b.y1, b.x2, b.y2}), QList<int>({-5, 70000, 2000000000, -2000000000}));
        // A row of NULL cells reads as empty texts and zeros.
        QVERIFY(c.name.isEmpty() && c.fontName.isEmpty());
        QCOMPARE(QList<int>({c.x1, c.y1, c.x2, c.y2, c.fontSize, c.align, c.bold, c.strike}),
                 QList<int>(8, 0));

        RawSql::exec(calib(), "delete from t");
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("t"), entries));
        QVERIFY(entries.isEmpty());
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("fixture"); // empty: no file; "garbage": not a database
        QTest::addColumn<QString>("expected");   // %1 the path; * any code name
        QTest::newRow("no file") << QByteArray() << QStringLiteral("Plik nie istnieje: \n%1");
        QTest::newRow("no table") << RawSql::createCalibrationTable("inna")
                                  << QStringLiteral("Tablica nie istnieje: \nt");
        QTest::newRow("columns missing")
            << QByteArray("create table t( name TEXT ); insert into t values('X');")
            << QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje.");
        QTest::newRow("not a database") << QByteArray("garbage") << QStringLiteral("Przyczyna: *");
    }
    void loadFailures()
    {
        QFETCH(QByteArray, fixture);
        QFETCH(QString, expected);
        if (fixture == "garbage")
            writeGarbage();
        else if (!fixture.isEmpty())
            RawSql::exec(calib(), fixture);
        QList<CalibEntry> entries;
        QVERIFY(!bFunCalibLoadData(env->buf, calib(), QStringLiteral("t"), entries));
        if (expected.endsWith(QLatin1Char('*')))
            QVERIFY2(env->buf.text().startsWith(expected.chopped(1)), qPrintable(env->buf.text()));
        else
            QCOMPARE(env->buf.text(), expected.replace(QLatin1String("%1"), calib()));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunCalibLoadData()"));
    }

    void update_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("font");
        QTest::newRow("plain") << QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT") << QStringLiteral("Arial");
        QTest::newRow("apostrophes") << QStringLiteral("ZMIENNA_O'Brien_STR1_DATA_EDIT")
                                     << QStringLiteral("Bookman'; drop table t; --");
    }
    void update()
    {
        QFETCH(QString, name);
        QFETCH(QString, font);
        RawSql::exec(calib(), RawSql::createCalibrationTable("t") + "insert into t values('" +
                                  name.toLatin1().replace("'", "''") +
                                  "', 1, 1, 1, 1, 'Arial', 10, 0, 0, 0, 0, 0);"
                                  "insert into t values('inny', 9, 9, 9, 9, 'Arial', 10, 0, 0, 0, 0, 0);");
        const CalibEntry entry{.name = name,
                               .x1 = 10,
                               .x2 = 30,
                               .y1 = 20,
                               .y2 = 40,
                               .fontName = font,
                               .fontSize = 14,
                               .align = 2,
                               .bold = 1,
                               .italic = 1,
                               .underline = 0,
                               .strike = 1};
        QVERIFY(bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        // The same values again still count as an update.
        QVERIFY(bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QList<CalibEntry> entries;
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("t"), entries));
        const CalibEntry& e = entries.value(0);
        QCOMPARE(e.name, name);
        QCOMPARE(e.fontName, font);
        QCOMPARE(QList<int>(
                     {e.x1, e.x2, e.y1, e.y2, e.fontSize, e.align, e.bold, e.italic, e.underline, e.strike}),
                 QList<int>({10, 30, 20, 40, 14, 2, 1, 1, 0, 1}));
        QCOMPARE(entries.value(1).x1, 9);
    }

    void updateFailures()
    {
        CalibEntry entry;
        entry.name = QStringLiteral("BRAK");
        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QCOMPARE(env->buf.text(), QStringLiteral("Plik nie istnieje.\n") + calib());
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunSqlCalibUpdateValue()"));

        RawSql::exec(calib(), RawSql::createCalibrationTable("t") +
                                  "insert into t values('A', 1, 1, 1, 1, 'Arial', 10, 0, 0, 0, 0, 0);");
        QFile file(calib());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QCOMPARE(env->buf.text(),
                 QStringLiteral(
                     "Błąd aktualizacji wpisu kalibracji.\n\nupdate `t` set `x1`='0', `y1`='0', `x2`='0', "
                     "`y2`='0', `font_name`='', `font_size`='0', `font_align`='0', `font_style_bold`='0', "
                     "`font_style_italic`='0', `font_style_underline`='0', `font_style_strike`='0' "
                     "where `name`='BRAK'"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);

        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("brak_tablicy"), entry));
        QCOMPARE(env->buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
    }

    void listing()
    {
        // Without a file the listing leaves an empty one, which then has no document.
        QStringList names{QStringLiteral("stare")};
        QVERIFY(bFunCalibLoadCertList(env->buf, names));
        QVERIFY(names.isEmpty());
        QList<CalibEntry> entries;
        QVERIFY(
            !bFunCalibLoadData(env->buf, calib(), QStringLiteral("zawiadomienie_o_przekazaniu"), entries));
        QCOMPARE(env->buf.text(), QStringLiteral("Tablica nie istnieje: \nzawiadomienie_o_przekazaniu"));

        RawSql::exec(calib(), RawSql::createCalibrationTable("zawiadomienie_o_przekazaniu") +
                                  RawSql::createCalibrationTable("potwierdzenie_przyjecia_ucznia"));
        QVERIFY(bFunCalibLoadCertList(env->buf, names));
        QCOMPARE(names, QStringList({QStringLiteral("zawiadomienie_o_przekazaniu"),
                                     QStringLiteral("potwierdzenie_przyjecia_ucznia")}));

        writeGarbage();
        QVERIFY(!bFunCalibLoadCertList(env->buf, names));
        QVERIFY(env->buf.text().startsWith(QStringLiteral("Przyczyna: ")));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunCalibLoadCertList()"));
    }
};

QTEST_GUILESS_MAIN(TestCalibrationStore)
#include "tst_calibration_store.moc"
