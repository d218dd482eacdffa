// School data templates ("szablony.sqset") and the town and province dictionaries of
// "ustawienia.sqset".
#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/Templates.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/LoggedMessage.h"
#include "tests/support/OtherProgram.h"
#include "tests/support/TestEnvironment.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <csignal>

#include <QFile>
#include <QtTest>

#include <algorithm>

namespace {

enum Op { WriteTemplate, ReadTemplate, LoadCities, LoadProvinces, AddCity, AddProvince };

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

FieldRowList schoolData(const QString& name)
{
    const QString id = QStringLiteral("DANE SZKOLY");
    return {
        {id, QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT"), name},
        {id, QStringLiteral("ZMIENNA_Miejscowosc_STR1_DATA_EDIT"), QStringLiteral("Łódź")},
        {id, QStringLiteral("ZMIENNA_Klasy_STR1_DATA_EDIT"), QString()},
    };
}

} // namespace

class TestTemplates : public QObject
{
    Q_OBJECT
private:
    TestEnvironment* m_env = nullptr;

    QString templates() { return strFunGetTemplatesFilePath(m_env->buf); }
    QString settings() { return strFunGetSettingsFilePath(m_env->buf, false); }
    QList<LogEntry> logs()
    {
        MessageBuffer scratch;
        QList<LogEntry> entries;
        bFunSqlGetLogsData(scratch, entries);
        return entries;
    }
    void verifyLogged(const QString& label)
    {
        const QList<LogEntry> entries = logs();
        QVERIFY(!entries.isEmpty());
        QCOMPARE(entries.last().fun, label);
        verifyLoggedMessage(entries.last().info, m_env->buf.text());
    }
    QList<QByteArray> storedNames(const char* table)
    {
        return RawSql::column(settings(), QByteArray("select name from `") + table + "`");
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void templateRoundTrip_data();
    void templateRoundTrip();
    void templateOfNoRows();
    void templateNeverSaved();
    void failedTemplateWriteKeepsOldTemplate_data();
    void failedTemplateWriteKeepsOldTemplate();
    void missingFile_data();
    void missingFile();
    void damagedFiles();
    void dictionaryLoadsInByteOrder();
    void dictionaryAdd_data();
    void dictionaryAdd();
    void dictionaryRefusesUnstorableName();
};

void TestTemplates::init()
{
    m_env = new TestEnvironment;
    QVERIFY(m_env->installDataFolder());
}

void TestTemplates::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

void TestTemplates::templateRoundTrip_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("apostrophe")
        << "school_data"
        << "Szkoła Podstawowa im. Jana Paw\u0142a II \"Pod D\u0119bem\" ('Orl\u0119ta')"
        << QByteArray("Szko\xb3"
                      "a Podstawowa im. Jana Paw\xb3"
                      "a II \"Pod D\xea"
                      "bem\" ('Orl\xea"
                      "ta')");
    QTest::newRow("injection") << "school_data"
                               << "x'); drop table school_data; --"
                               << QByteArray("x'); drop table school_data; --");
    QTest::newRow("empty") << "school_data"
                           << "" << QByteArray("");
    QTest::newRow("long") << "school_data" << QString(4000, QChar(u'ż')) << QByteArray(4000, '\xbf');
    QTest::newRow("odd table name") << "it`s 'mine'"
                                    << "v" << QByteArray("v");
}

void TestTemplates::templateRoundTrip()
{
    QFETCH(QString, table);
    QFETCH(QString, value);
    QFETCH(QByteArray, stored);
    MessageBuffer& buf = m_env->buf;
    const QString file = templates();
    FieldRowList rows = schoolData(value);
    rows.append({QStringLiteral("O'Group"), QStringLiteral("It's_DATA_EDIT"), QStringLiteral("'")});
    QVERIFY(bFunSqlTemplateWriteData(buf, file, table, rows));
    // A second save replaces the first whole.
    QVERIFY(bFunSqlTemplateWriteData(buf, file, table, rows));
    QCOMPARE(buf.text(), QString());

    QByteArray ident = table.toLatin1();
    ident.replace('`', "``");
    const auto raw = RawSql::rows(file, "select id, comp_name, value from `" + ident + "`");
    QCOMPARE(raw, (QList<QList<QByteArray>>{
                      {"DANE SZKOLY", "ZMIENNA_Ucz_STR1_DATA_EDIT", stored},
                      {"DANE SZKOLY", "ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "\xa3\xf3\x64\x9f"},
                      {"DANE SZKOLY", "ZMIENNA_Klasy_STR1_DATA_EDIT", ""},
                      {"O'Group", "It's_DATA_EDIT", "'"},
                  }));
    QCOMPARE(RawSql::column(file, "select sql from sqlite_master"),
             QList<QByteArray>{"CREATE TABLE `" + ident + "`( id TEXT, comp_name TEXT, value TEXT )"});

    FieldRowList read{{QStringLiteral("stale"), QStringLiteral("stale"), QStringLiteral("stale")}};
    QVERIFY(bFunSqlTemplateReadData(buf, file, table, read));
    QCOMPARE(read, rows);
}

void TestTemplates::templateOfNoRows()
{
    MessageBuffer& buf = m_env->buf;
    const QString file = templates();
    QVERIFY(
        bFunSqlTemplateWriteData(buf, file, QStringLiteral("school_data"), schoolData(QStringLiteral("A"))));
    QVERIFY(bFunSqlTemplateWriteData(buf, file, QStringLiteral("school_data"), {}));
    QCOMPARE(RawSql::column(file, "select name from sqlite_master"), QList<QByteArray>{"school_data"});
    QCOMPARE(RawSql::column(file, "select count(*) from `school_data`"), QList<QByteArray>{"0"});
    FieldRowList read = schoolData(QStringLiteral("stale"));
    QVERIFY(bFunSqlTemplateReadData(buf, file, QStringLiteral("school_data"), read));
    QVERIFY(read.isEmpty());
    QCOMPARE(buf.text(), QString());
}

void TestTemplates::templateNeverSaved()
{
    MessageBuffer& buf = m_env->buf;
    const QString file = templates();
    QCOMPARE(QFileInfo(file).size(), 0); // asking for the path made an empty database
    RawSql::exec(file, "create table `other`( id TEXT, comp_name TEXT, value TEXT );"
                       "insert into `other` values('DANE SZKOLY', 'a', 'b');"
                       "create view `school_view` as select * from `other`;");
    buf.reset(QStringLiteral("untouched"));
    for (const char* table : {"school_data", "school_view", "x' or '1'='1"}) {
        FieldRowList read = schoolData(QStringLiteral("stale"));
        QVERIFY(bFunSqlTemplateReadData(buf, file, QString::fromLatin1(table), read));
        QVERIFY2(read.isEmpty(), table);
    }
    QCOMPARE(buf.text(), QStringLiteral("untouched"));
}

void TestTemplates::failedTemplateWriteKeepsOldTemplate_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("label");
    QTest::newRow("file read by another process at commit")
        << "reader"
        << "Przyczyna: plik jest zablokowany przez inny program."
        << "bFunSqlWriteTemplateData()";
    QTest::newRow("disk full") << "disk"
                               << "Przyczyna: błąd odczytu lub zapisu dysku."
                               << "bFunSqlWriteTemplateData()";
    QTest::newRow("old table cannot be dropped") << "writer"
                                                 << "Błąd podczas próby kasowania tablicy \"school_data\""
                                                 << "bFunSqlTemplateWriteData()";
    QTest::newRow("text that cannot be stored")
        << "text" << Cp1250::refusalMessage(QStringLiteral("日")) << "bFunSqlWriteTemplateData()";
}

void TestTemplates::failedTemplateWriteKeepsOldTemplate()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);
    QFETCH(QString, label);
    MessageBuffer& buf = m_env->buf;
    const QString file = templates();
    const FieldRowList old = schoolData(QStringLiteral("Szkoła nr 1"));
    QVERIFY(bFunSqlTemplateWriteData(buf, file, QStringLiteral("school_data"), old));
    const QByteArray before = fileBytes(file);

    bool ok = true;
    {
        const ShortBusyWait shortWait;
        std::unique_ptr<ForeignConnection> other;
        std::unique_ptr<FileSizeLimit> diskFull;
        if (failure == QLatin1String("reader"))
            other = std::make_unique<ForeignConnection>(file, "begin; select count(*) from sqlite_master;");
        else if (failure == QLatin1String("writer"))
            other = std::make_unique<ForeignConnection>(file, "begin immediate;");
        else if (failure == QLatin1String("disk"))
            diskFull = std::make_unique<FileSizeLimit>(64 * 1024);
        FieldRowList rows = schoolData(failure == QLatin1String("text") ? QStringLiteral("Szkoła 日")
                                                                        : QStringLiteral("Nowa"));
        if (failure == QLatin1String("disk")) // more than the disk can take
            for (int i = 0; i < 50; ++i)
                rows.append(
                    {QStringLiteral("DANE SZKOLY"), QStringLiteral("Pole%1").arg(i), QString(20000, u'x')});
        ok = bFunSqlTemplateWriteData(buf, file, QStringLiteral("school_data"), rows);
    }
    QVERIFY(!ok);
    QCOMPARE(buf.text(), message);
    verifyLogged(label);
    // Reading first: a write cut short by the disk is undone by the next reader.
    FieldRowList read;
    QVERIFY(bFunSqlTemplateReadData(buf, file, QStringLiteral("school_data"), read));
    QCOMPARE(read, old);
    QCOMPARE(fileBytes(file), before);
    QVERIFY(!QFile::exists(file + QStringLiteral("-journal")));
}

void TestTemplates::missingFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("label");
    QTest::newRow("template write") << int(WriteTemplate) << "Plik nie istnieje.\n\n"
                                    << "bFunSqlTemplateWriteData()";
    QTest::newRow("template read") << int(ReadTemplate) << "Plik nie istnieje.\n"
                                   << "bFunSqlTemplateReadData()";
    QTest::newRow("city load") << int(LoadCities) << "Plik nie istnieje.\n"
                               << "bFunStudentDataLoadCityList()";
    QTest::newRow("province load") << int(LoadProvinces) << "Plik nie istnieje.\n"
                                   << "bFunStudentDataLoadProvinceList()";
    QTest::newRow("city add") << int(AddCity) << "Plik nie istnieje.\n"
                              << "bFunStudentDataAddCity()";
    QTest::newRow("province add") << int(AddProvince) << "Plik nie istnieje.\n"
                                  << "bFunStudentDataAddProvince()";
}

void TestTemplates::missingFile()
{
    QFETCH(int, op);
    QFETCH(QString, prefix);
    QFETCH(QString, label);
    MessageBuffer& buf = m_env->buf;
    const QString templateFile = m_env->root() + QStringLiteral("/gone/szablony.sqset");
    const QString settingsFile = settings();
    QVERIFY(QFile::remove(settingsFile));
    FieldRowList rows = schoolData(QStringLiteral("kept"));
    QStringList names{QStringLiteral("kept")};
    bool ok = true;
    switch (op) {
    case WriteTemplate:
        ok = bFunSqlTemplateWriteData(buf, templateFile, QStringLiteral("school_data"), rows);
        break;
    case ReadTemplate:
        ok = bFunSqlTemplateReadData(buf, templateFile, QStringLiteral("school_data"), rows);
        break;
    case LoadCities:
        ok = bFunStudentDataLoadCityList(buf, names);
        break;
    case LoadProvinces:
        ok = bFunStudentDataLoadProvinceList(buf, names);
        break;
    case AddCity:
        ok = bFunStudentDataAddCity(buf, QStringLiteral("Kraków"));
        break;
    case AddProvince:
        ok = bFunStudentDataAddProvince(buf, QStringLiteral("małopolskie"));
        break;
    }
    QVERIFY(!ok);
    const bool templateOp = op == WriteTemplate || op == ReadTemplate;
    QCOMPARE(buf.text(), prefix + (templateOp ? templateFile : settingsFile));
    verifyLogged(label);
    QCOMPARE(rows, schoolData(QStringLiteral("kept")));
    QCOMPARE(names, QStringList{QStringLiteral("kept")});
    QVERIFY(!QFile::exists(settingsFile));
    QVERIFY(!QFile::exists(templateFile));
}

void TestTemplates::damagedFiles()
{
    MessageBuffer& buf = m_env->buf;
    const QString file = templates();
    QByteArray garbage;
    for (int i = 0; i < 64; ++i)
        garbage += "this is not a database file ";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    FieldRowList rows;
    QVERIFY(
        !bFunSqlTemplateWriteData(buf, file, QStringLiteral("school_data"), schoolData(QStringLiteral("A"))));
    QCOMPARE(buf.text(),
             QStringLiteral("Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."));
    verifyLogged(QStringLiteral("bFunSqlWriteTemplateData()"));
    QVERIFY(!bFunSqlTemplateReadData(buf, file, QStringLiteral("school_data"), rows));
    QCOMPARE(buf.text(),
             QStringLiteral("Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."));
    verifyLogged(QStringLiteral("bFunSqlTemplateReadData()"));
    QCOMPARE(fileBytes(file), garbage);

    // A settings file without the dictionaries.
    RawSql::exec(settings(), "drop table `city`; drop table `province`;");
    QStringList names{QStringLiteral("kept")};
    const struct {
        bool (*load)(MessageBuffer&, QStringList&);
        bool (*add)(MessageBuffer&, const QString&);
        const char* loadLabel;
        const char* addLabel;
    } dictionaries[] = {
        {bFunStudentDataLoadCityList, bFunStudentDataAddCity, "bFunStudentDataLoadCityList()",
         "bFunStudentDataAddCity()"},
        {bFunStudentDataLoadProvinceList, bFunStudentDataAddProvince, "bFunStudentDataLoadProvinceList()",
         "bFunStudentDataAddProvince()"},
    };
    for (const auto& dict : dictionaries) {
        QVERIFY(!dict.load(buf, names));
        QCOMPARE(buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
        verifyLogged(QString::fromLatin1(dict.loadLabel));
        QCOMPARE(names, QStringList{QStringLiteral("kept")}); // a failed load leaves the list
        QVERIFY(!dict.add(buf, QStringLiteral("Kraków")));
        QCOMPARE(buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
        verifyLogged(QString::fromLatin1(dict.addLabel));
    }
}

void TestTemplates::dictionaryLoadsInByteOrder()
{
    MessageBuffer& buf = m_env->buf;
    const struct {
        bool (*load)(MessageBuffer&, QStringList&);
        const char* table;
        QStringList ascending;
    } dictionaries[] = {
        // Z (0x5A) < Ś (0x8C) < Ł (0xA3) < Ż (0xAF) in Windows-1250
        {bFunStudentDataLoadCityList, "city", {"Zawiercie", "Świdnica", "Łódź", "Żory"}},
        // z (0x7A) < ś (0x9C) < ł (0xB3)
        {bFunStudentDataLoadProvinceList, "province", {"zachodniopomorskie", "śląskie", "łódzkie"}},
    };
    for (const auto& dict : dictionaries) {
        QStringList names{QStringLiteral("stale")};
        QVERIFY(dict.load(buf, names));
        QList<QByteArray> bytes = storedNames(dict.table);
        std::sort(bytes.begin(), bytes.end());
        QStringList expected;
        for (const QByteArray& b : std::as_const(bytes))
            expected << Cp1250::decode(b);
        QCOMPARE(names, expected);
        qsizetype previous = -1;
        for (const QString& name : dict.ascending) {
            const qsizetype at = names.indexOf(name);
            QVERIFY2(at > previous, qPrintable(name));
            previous = at;
        }
    }
    QCOMPARE(buf.text(), QString());
}

void TestTemplates::dictionaryAdd_data()
{
    QTest::addColumn<bool>("city");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("added");
    QTest::addColumn<int>("position"); // in the loaded list afterwards
    QTest::newRow("existing city") << true << "Łódź" << QByteArray("\xa3\xf3\x64\x9f") << false << -1;
    QTest::newRow("new city") << true << "Ząbki"
                              << QByteArray("Z\xb9"
                                            "bki")
                              << true << -1;
    QTest::newRow("empty city") << true << "" << QByteArray("") << true << 0;
    QTest::newRow("apostrophe") << true << "L'Aquila" << QByteArray("L'Aquila") << true << -1;
    QTest::newRow("injection") << true << "x' where 1; drop table city; --"
                               << QByteArray("x' where 1; drop table city; --") << true << -1;
    QTest::newRow("existing province") << false << "śląskie" << QByteArray("\x9cl\xb9skie") << false << -1;
    QTest::newRow("new province") << false << "Wołyńskie" << QByteArray("Wo\xb3y\xf1skie") << true << -1;
}

void TestTemplates::dictionaryAdd()
{
    QFETCH(bool, city);
    QFETCH(QString, name);
    QFETCH(QByteArray, stored);
    QFETCH(bool, added);
    QFETCH(int, position);
    MessageBuffer& buf = m_env->buf;
    const char* table = city ? "city" : "province";
    const QList<QByteArray> before = storedNames(table);
    QCOMPARE(before.contains(stored), !added);

    buf.reset(QStringLiteral("untouched"));
    for (int round = 0; round < 2; ++round) { // the second add finds the name
        QVERIFY(city ? bFunStudentDataAddCity(buf, name) : bFunStudentDataAddProvince(buf, name));
        QCOMPARE(storedNames(table), before + (added ? QList<QByteArray>{stored} : QList<QByteArray>{}));
    }
    QCOMPARE(buf.text(), QStringLiteral("untouched"));

    QStringList names;
    QVERIFY(city ? bFunStudentDataLoadCityList(buf, names) : bFunStudentDataLoadProvinceList(buf, names));
    QCOMPARE(names.count(name), 1);
    if (position >= 0)
        QCOMPARE(names.indexOf(name), position);
    // In its sorted place: between its byte-wise neighbours.
    const qsizetype at = names.indexOf(name);
    QByteArray here;
    QVERIFY(Cp1250::encode(name, here));
    if (at > 0) {
        QByteArray prev;
        QVERIFY(Cp1250::encode(names[at - 1], prev));
        QVERIFY(prev <= here);
    }
    if (at + 1 < names.size()) {
        QByteArray next;
        QVERIFY(Cp1250::encode(names[at + 1], next));
        QVERIFY(here <= next);
    }
}

void TestTemplates::dictionaryRefusesUnstorableName()
{
    MessageBuffer& buf = m_env->buf;
    const QByteArray before = fileBytes(settings());
    QVERIFY(!bFunStudentDataAddCity(buf, QStringLiteral("東京")));
    QCOMPARE(buf.text(), Cp1250::refusalMessage(QStringLiteral("東")));
    verifyLogged(QStringLiteral("bFunStudentDataAddCity()"));
    QVERIFY(!bFunStudentDataAddProvince(buf, QStringLiteral("Ωmega")));
    QCOMPARE(buf.text(), Cp1250::refusalMessage(QStringLiteral("Ω")));
    verifyLogged(QStringLiteral("bFunStudentDataAddProvince()"));
    QCOMPARE(fileBytes(settings()), before);
}

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
