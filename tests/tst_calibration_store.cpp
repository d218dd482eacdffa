// The calibration file as the renderer and the calibration editor read and write it,
// including the damaged and hand-edited files a school may end up with.
#include "storage/CalibrationStore.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

namespace {

const QByteArray kColumns = "( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER, "
                            "`font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, "
                            "`font_style_bold` INTEGER, `font_style_italic` INTEGER, "
                            "`font_style_underline` INTEGER, `font_style_strike` INTEGER );";

QByteArray createTable(const QByteArray& table)
{
    return "create table `" + table + "`" + kColumns;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCalibrationStore : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    QString calib() { return strFunGetCalibFilePath(env->buf, false); }
    LogEntry lastLog()
    {
        MessageBuffer scratch;
        QList<LogEntry> entries;
        bFunSqlGetLogsData(scratch, entries);
        return entries.isEmpty() ? LogEntry{} : entries.last();
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
        RawSql::exec(calib(), createTable("zawiadomienie_o_przekazaniu") +
                                  "insert into `zawiadomienie_o_przekazaniu` values('ZMIENNA_A_STR1_DATA_EDIT', 1, 2, "
                                  "3, 4, 'Times New Roman', 12, 3, 1, 0, 1, 0);"
                                  "insert into `zawiadomienie_o_przekazaniu` values('STALY_\xa3\xf3" "d\x9f_STR1_DATA_LABEL', "
                                  "-5, 70000, 2000000000, -2000000000, 'Arial', 400, 7, 0, 1, 0, 1);"
                                  "insert into `zawiadomienie_o_przekazaniu`(`name`) values(NULL);");
        QList<CalibEntry> entries{CalibEntry{}};
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("zawiadomienie_o_przekazaniu"), entries));
        QCOMPARE(entries.size(), 3);
        const CalibEntry& a = entries.at(0);
        // The box columns are read by name: x1, y1, x2, y2 stored in that order.
        QCOMPARE(QList<int>({a.x1, a.y1, a.x2, a.y2}), QList<int>({1, 2, 3, 4}));
        QCOMPARE(a.fontName, QStringLiteral("Times New Roman"));
        QCOMPARE(QList<int>({a.fontSize, a.align, a.bold, a.italic, a.underline, a.strike}),
                 QList<int>({12, 3, 1, 0, 1, 0}));
        const CalibEntry& b = entries.at(1);
        QCOMPARE(b.name, QStringLiteral("STALY_Łódź_STR1_DATA_LABEL"));
        QCOMPARE(QList<int>({b.x1, b.y1, b.x2, b.y2}), QList<int>({-5, 70000, 2000000000, -2000000000}));
        // A row with nothing but NULL cells reads as an empty name and zeros.
        const CalibEntry& c = entries.at(2);
        QVERIFY(c.name.isEmpty() && c.fontName.isEmpty());
        QCOMPARE(QList<int>({c.x1, c.y1, c.x2, c.y2, c.fontSize, c.align, c.bold, c.strike}), QList<int>(8, 0));
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("fixture"); // empty: no file at all
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("expected"); // %1 the file's path; * any code name
        QTest::newRow("no file") << QByteArray() << QStringLiteral("potwierdzenie_przyjecia_ucznia")
                                 << QStringLiteral("Plik nie istnieje: \n%1");
        QTest::newRow("no table") << createTable("zawiadomienie_o_przekazaniu")
                                  << QStringLiteral("potwierdzenie_przyjecia_ucznia")
                                  << QStringLiteral("Tablica nie istnieje: \npotwierdzenie_przyjecia_ucznia");
        QTest::newRow("columns missing")
            << QByteArray("create table `potwierdzenie_przyjecia_ucznia`( `name` TEXT );"
                          "insert into `potwierdzenie_przyjecia_ucznia` values('X');")
            << QStringLiteral("potwierdzenie_przyjecia_ucznia") << QStringLiteral("SQLite exception: \nCPPSQLITE_ERROR");
        QTest::newRow("not a database") << QByteArray("garbage") << QStringLiteral("potwierdzenie_przyjecia_ucznia")
                                        << QStringLiteral("SQLite exception: \n*");
    }
    void loadFailures()
    {
        QFETCH(QByteArray, fixture);
        QFETCH(QString, table);
        QFETCH(QString, expected);
        if (fixture == "garbage") {
            QFile f(calib());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (!fixture.isEmpty()) {
            RawSql::exec(calib(), fixture);
        }
        QList<CalibEntry> entries;
        QVERIFY(!bFunCalibLoadData(env->buf, calib(), table, entries));
        if (expected.endsWith(QLatin1Char('*'))) // SQLite's own code, whichever it is
            QVERIFY2(env->buf.text().startsWith(expected.chopped(1)), qPrintable(env->buf.text()));
        else
            QCOMPARE(env->buf.text(), expected.replace(QLatin1String("%1"), calib()));
        QCOMPARE(lastLog().fun, QStringLiteral("bFunCalibLoadData()"));
        QCOMPARE(lastLog().info, env->buf.text());
    }

    void emptyTableLoadsAsNoRows()
    {
        RawSql::exec(calib(), createTable("zawiadomienie_o_przekazaniu"));
        QList<CalibEntry> entries{CalibEntry{}};
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("zawiadomienie_o_przekazaniu"), entries));
        QVERIFY(entries.isEmpty());
    }

    void updateWritesTheNamedRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("font");
        QTest::newRow("plain") << QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT") << QStringLiteral("Arial");
        QTest::newRow("apostrophes") << QStringLiteral("ZMIENNA_O'Brien_STR1_DATA_EDIT")
                                     << QStringLiteral("Bookman Old Style'; drop table x; --");
    }
    void updateWritesTheNamedRow()
    {
        QFETCH(QString, name);
        QFETCH(QString, font);
        QByteArray quoted = name.toLatin1();
        quoted.replace("'", "''");
        RawSql::exec(calib(), createTable("t") + "insert into `t` values('" + quoted +
                                  "', 1, 1, 1, 1, 'Arial', 10, 0, 0, 0, 0, 0);"
                                  "insert into `t` values('inny', 9, 9, 9, 9, 'Arial', 10, 0, 0, 0, 0, 0);");
        const CalibEntry entry{.name = name, .x1 = 10, .x2 = 30, .y1 = 20, .y2 = 40, .fontName = font,
                               .fontSize = 14, .align = 2, .bold = 1, .italic = 1, .underline = 0, .strike = 1};
        QVERIFY(bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        // Writing the same values again still counts as an update.
        QVERIFY(bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QList<CalibEntry> entries;
        QVERIFY(bFunCalibLoadData(env->buf, calib(), QStringLiteral("t"), entries));
        QCOMPARE(entries.size(), 2);
        const CalibEntry& e = entries.at(0);
        QCOMPARE(e.name, name);
        QCOMPARE(e.fontName, font);
        QCOMPARE(QList<int>({e.x1, e.x2, e.y1, e.y2, e.fontSize, e.align, e.bold, e.italic, e.underline, e.strike}),
                 QList<int>({10, 30, 20, 40, 14, 2, 1, 1, 0, 1}));
        QCOMPARE(entries.at(1).x1, 9);
    }

    void updateFailures()
    {
        CalibEntry entry;
        entry.name = QStringLiteral("BRAK");
        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QCOMPARE(env->buf.text(), QStringLiteral("Plik nie istnieje.\n") + calib());
        QCOMPARE(lastLog().fun, QStringLiteral("bFunSqlCalibUpdateValue()"));

        RawSql::exec(calib(), createTable("t") + "insert into `t` values('A', 1, 1, 1, 1, 'Arial', 10, 0, 0, 0, 0, 0);");
        const QByteArray before = fileBytes(calib());
        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("t"), entry));
        QCOMPARE(env->buf.text(),
                 QStringLiteral("Błąd aktualizacji wpisu kalibracji.\n\nupdate `t` set `x1`='0', `y1`='0', `x2`='0', "
                                "`y2`='0', `font_name`='', `font_size`='0', `font_align`='0', `font_style_bold`='0', "
                                "`font_style_italic`='0', `font_style_underline`='0', `font_style_strike`='0' "
                                "where `name`='BRAK'"));
        QCOMPARE(lastLog().info, env->buf.text());
        QCOMPARE(fileBytes(calib()), before);

        QVERIFY(!bFunSqlCalibUpdateValue(env->buf, calib(), QStringLiteral("brak_tablicy"), entry));
        QCOMPARE(env->buf.text(), QStringLiteral("SqlException\nSQLITE_ERROR"));
    }

    void listsTablesInCreationOrder()
    {
        RawSql::exec(calib(), createTable("zawiadomienie_o_przekazaniu") + createTable("potwierdzenie_przyjecia_ucznia"));
        QStringList names{QStringLiteral("stare")};
        QVERIFY(bFunCalibLoadCertList(env->buf, names));
        QCOMPARE(names, QStringList({QStringLiteral("zawiadomienie_o_przekazaniu"),
                                     QStringLiteral("potwierdzenie_przyjecia_ucznia")}));
    }

    void listingWithoutAFileLeavesAnEmptyOne()
    {
        QStringList names{QStringLiteral("stare")};
        QVERIFY(bFunCalibLoadCertList(env->buf, names));
        QVERIFY(names.isEmpty());
        QVERIFY(QFile::exists(calib()));
        QList<CalibEntry> entries;
        QVERIFY(!bFunCalibLoadData(env->buf, calib(), QStringLiteral("zawiadomienie_o_przekazaniu"), entries));
        QCOMPARE(env->buf.text(), QStringLiteral("Tablica nie istnieje: \nzawiadomienie_o_przekazaniu"));
    }

    void listingAnUnreadableFileFails()
    {
        QFile f(calib());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        QStringList names;
        QVERIFY(!bFunCalibLoadCertList(env->buf, names));
        QVERIFY(env->buf.text().startsWith(QStringLiteral("Sql exception: ")));
        QCOMPARE(lastLog().fun, QStringLiteral("bFunCalibLoadCertList()"));
    }
};

QTEST_GUILESS_MAIN(TestCalibrationStore)
#include "tst_calibration_store.moc"
