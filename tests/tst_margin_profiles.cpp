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

} // namespace

class TestMarginProfiles : public QObject
{
    Q_OBJECT
private:
    TestEnvironment* m_env = nullptr;
    QString settings() { return strFunGetSettingsFilePath(m_env->buf, false); }
    QString source() { return m_env->root() + QStringLiteral("/source.sqset"); }
    MarginProfileList read()
    {
        MarginProfileList profiles;
        MessageBuffer scratch;
        bFunMarginReadData(scratch, settings(), profiles);
        return profiles;
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
        const MarginProfileList installed = read();
        QCOMPARE(installed.size(), 2);
        const QString quoted = QStringLiteral("Pani O'Brien – ksero");
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, settings(), profile(installed.at(0).name, 10)));
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, settings(), profile(quoted, 20)));
        const MarginProfileList added{profile(installed.at(0).name, 10), profile(quoted, 20)};
        QCOMPARE(read(), installed + added);
        QCOMPARE(RawSql::column(settings(), "select name from `margin` where Page1X1 = 21"),
                 QList<QByteArray>{Cp1250::encodeLossy(quoted)});

        QVERIFY(bFunMarginDeleteSettings(m_env->buf, settings(), installed.at(0).name));
        QVERIFY(bFunMarginDeleteSettings(m_env->buf, settings(), quoted));
        QCOMPARE(read(), installed.mid(1));
    }

    void failedDeleteChangesNothing_data()
    {
        QTest::addColumn<bool>("fileMissing");
        QTest::newRow("no such name") << false;
        QTest::newRow("settings file missing") << true;
    }
    void failedDeleteChangesNothing()
    {
        QFETCH(bool, fileMissing);
        const QString name = QStringLiteral("nie ma 'takiego'");
        if (fileMissing)
            QVERIFY(QFile::remove(settings()));
        QVERIFY(!bFunMarginDeleteSettings(m_env->buf, settings(), name));
        QCOMPARE(m_env->buf.text(), fileMissing
                                        ? QStringLiteral("Plik nie istnieje.\n") + settings()
                                        : QStringLiteral("Błąd podczas próby skasowania ustawień ") + name);
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunMarginDeleteSettings()"));
        QCOMPARE(QFile::exists(settings()), !fileMissing);
        QCOMPARE(read().size(), fileMissing ? 0 : 2);
    }

    void restoreReplacesEveryProfile_data()
    {
        QTest::addColumn<MarginProfileList>("installed");
        QTest::newRow("two profiles")
            << MarginProfileList{profile(QStringLiteral("A'4"), 100), profile(QStringLiteral("Łódź"), 200)};
        QTest::newRow("none") << MarginProfileList{};
    }
    void restoreReplacesEveryProfile()
    {
        QFETCH(MarginProfileList, installed);
        // Columns in another order: each value goes by its column's name.
        RawSql::exec(source(),
                     "create table `margin`( `name` TEXT, `Page2Y2`, `Page2X2`, `Page2Y1`, `Page2X1`, "
                     "`Page1Y2`, `Page1X2`, `Page1Y1`, `Page1X1` )");
        for (const MarginProfile& p : installed)
            QVERIFY(bFunMarginWriteNewSettings(m_env->buf, source(), p));
        QVERIFY(bFunMarginWriteNewSettings(m_env->buf, settings(), profile(QStringLiteral("mój"), 0)));

        QVERIFY(bFunMarginRestoreOriginal(m_env->buf, source(), settings()));
        QCOMPARE(read(), installed);
    }

    void failedRestoreKeepsTheProfiles_data()
    {
        QTest::addColumn<QByteArray>("sourceSql");
        QTest::addColumn<QByteArray>("targetSql");
        QTest::newRow("source without the table") << QByteArray("create table `other`( x )") << QByteArray();
        // The second copied row breaks a rule of the target file after the first went in.
        QTest::newRow("fails part-way")
            << QByteArray(
                   "create table `margin`( `name`, `Page1X1`, `Page1Y1`, `Page1X2`, `Page1Y2`, `Page2X1`, "
                   "`Page2Y1`, `Page2X2`, `Page2Y2` ); insert into `margin` values "
                   "('a', 1, 2, 3, 4, 5, 6, 7, 8), ('a', 1, 2, 3, 4, 5, 6, 7, 8);")
            << QByteArray("create unique index `one_name` on `margin`( `name` )");
    }
    void failedRestoreKeepsTheProfiles()
    {
        QFETCH(QByteArray, sourceSql);
        QFETCH(QByteArray, targetSql);
        RawSql::exec(source(), sourceSql);
        if (!targetSql.isEmpty())
            RawSql::exec(settings(), targetSql);
        const MarginProfileList before = read();

        QVERIFY(!bFunMarginRestoreOriginal(m_env->buf, source(), settings()));
        QVERIFY(m_env->buf.text().startsWith(QStringLiteral("Przyczyna: ")));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunMarginRestoreOriginal()"));
        QCOMPARE(read(), before);
    }
};

QTEST_MAIN(TestMarginProfiles)
#include "tst_margin_profiles.moc"
