// The margin profiles of the print dialog in "ustawienia.sqset".
#include "storage/Cp1250.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "storage/MarginProfiles.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

namespace {

MarginProfile profile(const QString& name, int base)
{
    return {name, base + 1, base + 2, base + 3, base + 4, base + 5, base + 6, base + 7, base + 8};
}

QStringList names(const MarginProfileList& profiles)
{
    QStringList out;
    for (const MarginProfile& p : profiles)
        out << p.name;
    return out;
}

} // namespace

class TestMarginProfiles : public QObject
{
    Q_OBJECT
private:
    TestEnvironment* m_env = nullptr;
    QString settings() { return strFunGetSettingsFilePath(m_env->buf, false); }
    QString installed() { return strFunGetSettingsFilePath(m_env->buf, true); }
    MarginProfileList read(const QString& path)
    {
        MarginProfileList profiles;
        MessageBuffer scratch;
        if (!bFunMarginReadData(scratch, path, profiles))
            qWarning("%s", qPrintable(scratch.text()));
        return profiles;
    }
    QString lastLogged()
    {
        MessageBuffer scratch;
        QList<LogEntry> entries;
        bFunSqlGetLogsData(scratch, entries);
        return entries.isEmpty() ? QString() : entries.last().fun;
    }

private Q_SLOTS:
    void init()
    {
        m_env = new TestEnvironment;
        QVERIFY(m_env->installDataFolder());
    }
    void cleanup() { delete m_env; }

    void namesakesAreAddedAndDeletedTogether()
    {
        const QString path = settings();
        const MarginProfileList installedProfiles = read(path);
        QCOMPARE(installedProfiles.size(), 2);
        const QString quoted = QStringLiteral("Pani O'Brien – ksero");
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, path, profile(QStringLiteral("Domyślne"), 10)));
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, path, profile(quoted, 20)));

        MarginProfileList all = read(path);
        QCOMPARE(names(all), QStringList({QStringLiteral("Domyślne"), QStringLiteral("Wąskie marginesy"),
                                          QStringLiteral("Domyślne"), quoted}));
        QCOMPARE(all.at(3), profile(quoted, 20));
        // Stored in the settings file's code page, the quote as it is.
        QCOMPARE(RawSql::column(path, "select name from `margin` where Page1X1 = 21"),
                 QList<QByteArray>{Cp1250::encodeLossy(quoted)});

        QVERIFY(bFunMarginDeleteSettings(m_env->buf, path, QStringLiteral("Domyślne")));
        QVERIFY(bFunMarginDeleteSettings(m_env->buf, path, quoted));
        QCOMPARE(names(read(path)), QStringList{QStringLiteral("Wąskie marginesy")});
    }

    void deletingAnUnknownNameFails()
    {
        const QString name = QStringLiteral("nie ma 'takiego'");
        QVERIFY(!bFunMarginDeleteSettings(m_env->buf, settings(), name));
        QCOMPARE(m_env->buf.text(), QStringLiteral("Błąd podczas próby skasowania ustawień ") + name);
        QCOMPARE(lastLogged(), QStringLiteral("bFunMarginDeleteSettings()"));
        QCOMPARE(read(settings()).size(), 2);
    }

    void missingFileIsNotCreated_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("label");
        QTest::newRow("read") << 0 << "bFunMarginReadData()";
        QTest::newRow("add") << 1 << "bFunMarginWriteNewSettings()";
        QTest::newRow("delete") << 2 << "bFunMarginDeleteSettings()";
        QTest::newRow("restore") << 3 << "bFunMarginRestoreOriginal()";
    }
    void missingFileIsNotCreated()
    {
        QFETCH(int, op);
        QFETCH(QString, label);
        const QString path = settings();
        QVERIFY(QFile::remove(path));
        MarginProfileList profiles{profile(QStringLiteral("stary"), 0)};
        const bool ok = op == 0   ? bFunMarginReadData(m_env->buf, path, profiles)
                        : op == 1 ? bFunMarginWriteNewSettings(m_env->buf, path, profile(QStringLiteral("x"), 0))
                        : op == 2 ? bFunMarginDeleteSettings(m_env->buf, path, QStringLiteral("Domyślne"))
                                  : bFunMarginRestoreOriginal(m_env->buf, installed(), path);
        QVERIFY(!ok);
        QCOMPARE(m_env->buf.text(), QStringLiteral("Plik nie istnieje.\n") + path);
        QCOMPARE(lastLogged(), label);
        QVERIFY(!QFile::exists(path));
    }

    void restoreReplacesEveryProfile_data()
    {
        QTest::addColumn<MarginProfileList>("source");
        QTest::newRow("two profiles") << MarginProfileList{profile(QStringLiteral("A'4"), 100),
                                                           profile(QStringLiteral("Łódź"), 200)};
        QTest::newRow("none") << MarginProfileList{};
    }
    void restoreReplacesEveryProfile()
    {
        QFETCH(MarginProfileList, source);
        const QString from = m_env->root() + QStringLiteral("/source.sqset");
        RawSql::exec(from, "create table `margin`( `name` TEXT, `Page2Y2` INTEGER, `Page2X2` INTEGER, "
                           "`Page2Y1` INTEGER, `Page2X1` INTEGER, `Page1Y2` INTEGER, `Page1X2` INTEGER, "
                           "`Page1Y1` INTEGER, `Page1X1` INTEGER )");
        for (const MarginProfile& p : source)
            QVERIFY(bFunMarginWriteNewSettings(m_env->buf, from, p));
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, settings(), profile(QStringLiteral("mój"), 0)));

        QVERIFY(bFunMarginRestoreOriginal(m_env->buf, from, settings()));
        QCOMPARE(read(settings()), source);
    }

    void failedRestoreKeepsTheProfiles_data()
    {
        QTest::addColumn<QByteArray>("sourceSql");
        QTest::addColumn<QByteArray>("targetSql");
        QTest::newRow("source without the table") << QByteArray("create table `other`( x )") << QByteArray();
        // The second copied row breaks a rule of the target file after the first went in.
        QTest::newRow("fails part-way")
            << QByteArray("create table `margin`( `name` TEXT, `Page1X1`, `Page1Y1`, `Page1X2`, `Page1Y2`, "
                          "`Page2X1`, `Page2Y1`, `Page2X2`, `Page2Y2` );"
                          "insert into `margin` values ('a', 1, 2, 3, 4, 5, 6, 7, 8), ('a', 1, 2, 3, 4, 5, 6, 7, 8);")
            << QByteArray("create unique index `one_name` on `margin`( `name` )");
    }
    void failedRestoreKeepsTheProfiles()
    {
        QFETCH(QByteArray, sourceSql);
        QFETCH(QByteArray, targetSql);
        const QString from = m_env->root() + QStringLiteral("/source.sqset");
        RawSql::exec(from, sourceSql);
        if (!targetSql.isEmpty())
            RawSql::exec(settings(), targetSql);
        const MarginProfileList before = read(settings());

        QVERIFY(!bFunMarginRestoreOriginal(m_env->buf, from, settings()));
        QVERIFY(m_env->buf.text().startsWith(QStringLiteral("Sql exception: ")));
        QCOMPARE(lastLogged(), QStringLiteral("bFunMarginRestoreOriginal()"));
        QCOMPARE(read(settings()), before);
    }
};

QTEST_MAIN(TestMarginProfiles)
#include "tst_margin_profiles.moc"
