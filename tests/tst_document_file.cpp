// Students in a document file: one table per student, rows stored as Windows-1250
// bytes, the student list, and saving a student without ever losing the old one.
#include "documents/DocumentFile.h"
#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"
#include "storage/EventLog.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/LoggedMessage.h"
#include "tests/support/OtherProgram.h"
#include "tests/support/RawFile.h"
#include "tests/support/TestEnvironment.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <csignal>

#include <QFile>
#include <QtTest>

namespace {

enum Op { CheckExists, TableList, StudentsList, Load, Delete, Save, Replace, StoreMany, LoadMany };

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

FieldRowList studentRows(const QString& surname, const QString& firstName, const QString& pesel)
{
    const QString data = QStringLiteral("DANE UCZNIA");
    return {
        {data, QStringLiteral("Imie_DATA_EDIT"), firstName},
        {data, QStringLiteral("Plec_DATA_COMBOBOX"), QStringLiteral("mężczyzna")},
        {data, QStringLiteral("Nazwisko_DATA_EDIT"), surname},
        {data, QStringLiteral("NrPesel_DATA_EDIT"), pesel},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU"), QStringLiteral("ZMIENNA_PESEL_STR1_DATA_EDIT"),
         pesel},
        {QStringLiteral("POTWIERDZENIE_PRZYJECIA_UCZNIA"), QStringLiteral("ZMIENNA_PESEL_STR1_DATA_EDIT"),
         pesel},
    };
}

// A student table written the way another copy of the program would leave it; the
// texts are given as stored bytes.
QByteArray rawStudent(const QByteArray& table, const QByteArray& surname, const QByteArray& firstName)
{
    return "create table `" + table + "`( id TEXT, comp_name TEXT, value TEXT );" + "insert into `" + table +
           "` values('DANE UCZNIA', 'Imie_DATA_EDIT', '" + firstName + "');" + "insert into `" + table +
           "` values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', '" + surname + "');";
}

} // namespace

class TestDocumentFile : public QObject
{
    Q_OBJECT
private:
    TestEnvironment* m_env = nullptr;
    int m_fileNo = 0;

    QString path(const QString& name) const { return m_env->root() + QLatin1Char('/') + name; }
    // A new, empty document: an empty database file.
    QString newDocument()
    {
        const QString p = path(QStringLiteral("doc%1.sqdoc").arg(++m_fileNo));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        return p;
    }
    QList<LogEntry> logs()
    {
        MessageBuffer scratch;
        QList<LogEntry> entries;
        bFunSqlGetLogsData(scratch, entries);
        return entries;
    }
    // Runs one operation on `file`; the integer result of the existence check, or
    // 1/0 for the boolean operations.
    int run(Op op, const QString& file, const QString& table, const FieldRowList& rows = {})
    {
        MessageBuffer& buf = m_env->buf;
        QStringList names;
        QList<StudentListEntry> students;
        FieldRowList loaded;
        switch (op) {
        case CheckExists:
            return iFunCheckIsStudentExists(buf, file, table, false);
        case TableList:
            return bFunGetTableList(buf, file, names);
        case StudentsList:
            return bFunGetStudentsList(buf, file, students);
        case Load:
            return bFunLoadCertData(buf, file, table, loaded);
        case Delete:
            return bFunDeleteTable(buf, file, table);
        case Save:
            return bFunSaveCertData(buf, file, table, rows);
        case Replace:
            return bFunReplaceCertData(buf, file, table, rows);
        case StoreMany:
            return bFunStoreStudents(buf, file, {{table, rows}});
        case LoadMany: {
            QList<FieldRowList> tables;
            return bFunLoadStudentTables(buf, file, {table}, tables);
        }
        }
        return -2;
    }
    void verifyLogged(const QString& label)
    {
        const QList<LogEntry> entries = logs();
        QVERIFY(!entries.isEmpty());
        QCOMPARE(entries.last().fun, label);
        verifyLoggedMessage(entries.last().info, m_env->buf.text());
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void missingFile_data();
    void missingFile();
    void damagedFile_data();
    void damagedFile();
    void tableListLeavesDatabaseErrorsToCaller();
    void checkExists();
    void storedBytes_data();
    void storedBytes();
    void emptyPeselAndCollision();
    void deleteTable();
    void loadMissingTableAndAppending();
    void getValue_data();
    void getValue();
    void loadKeepsRowsWithUnreadableColumns();
    void windows1250Fixture();
    void studentListOrder();
    void studentListWithForeignObjects();
    void largeStudentList();
    void refusesUnstorableText_data();
    void refusesUnstorableText();
    void replaceDropsAndSteps();
    void replaceIsAtomic_data();
    void replaceIsAtomic();
    void saveFailureLeavesCreatedTableEmpty();
    void storeStudentsIsAllOrNothing_data();
    void storeStudentsIsAllOrNothing();
    void putRowsReplacesOrAddsAndIsAllOrNothing_data();
    void putRowsReplacesOrAddsAndIsAllOrNothing();
    void loadingManyTakesWhatCanBeRead();
};

void TestDocumentFile::init()
{
    m_env = new TestEnvironment;
    QVERIFY(m_env->installDataFolder());
}

void TestDocumentFile::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

void TestDocumentFile::missingFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("label");
    QTest::newRow("exists") << int(CheckExists) << -1 << "Plik nie istnieje: \n"
                            << "iFunCheckIsStudentExists";
    QTest::newRow("table list") << int(TableList) << 0 << "Plik nie istnieje: \n:"
                                << "bFunGetTableList";
    // The student list reports what its catalogue listing met.
    QTest::newRow("student list") << int(StudentsList) << 0 << "Plik nie istnieje: \n:"
                                  << "bFunGetTableList";
    QTest::newRow("load") << int(Load) << 0 << "Plik nie istnieje: \n"
                          << "bFunLoadCertData";
    QTest::newRow("delete") << int(Delete) << 0 << "Plik nie istnieje: \n"
                            << "bFunDeleteTable";
    QTest::newRow("save") << int(Save) << 0 << "Plik nie istnieje: \n"
                          << "bFunSaveCertData()";
    QTest::newRow("replace") << int(Replace) << 0 << "Plik nie istnieje: \n"
                             << "bFunSaveCertData()";
    QTest::newRow("store many") << int(StoreMany) << 0 << "Plik nie istnieje: \n"
                                << "bFunStoreStudents()";
    QTest::newRow("load many") << int(LoadMany) << 0 << "Plik nie istnieje: \n"
                               << "bFunLoadStudentTables()";
}

void TestDocumentFile::missingFile()
{
    QFETCH(int, op);
    QFETCH(int, result);
    QFETCH(QString, prefix);
    QFETCH(QString, label);
    const QString file = path(QStringLiteral("nowhere.sqdoc"));
    m_env->buf.reset(QStringLiteral("earlier text"));
    QCOMPARE(run(Op(op), file, QStringLiteral("PESEL1"), studentRows("A", "B", "1")), result);
    QCOMPARE(m_env->buf.text(), prefix + file);
    verifyLogged(label);
    QVERIFY(!QFile::exists(file)); // asking never creates the file
}

void TestDocumentFile::damagedFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("label");
    // SQLITE_NOTADB has no name of its own.
    QTest::newRow("exists") << int(CheckExists) << -1
                            << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                            << "iFunCheckIsStudentExists";
    QTest::newRow("student list") << int(StudentsList) << 0
                                  << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                                  << "bFunGetStudentsList";
    QTest::newRow("load") << int(Load) << 0
                          << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                          << "bFunLoadCertData()";
    QTest::newRow("delete") << int(Delete) << 0
                            << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                            << "bFunDeleteTable()";
    QTest::newRow("save") << int(Save) << 0
                          << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                          << "bFunSqlSaveCertData()";
    QTest::newRow("replace") << int(Replace) << 0
                             << "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."
                             << "bFunSqlSaveCertData()";
}

void TestDocumentFile::damagedFile()
{
    QFETCH(int, op);
    QFETCH(int, result);
    QFETCH(QString, message);
    QFETCH(QString, label);
    const QString file = path(QStringLiteral("damaged.sqdoc"));
    QByteArray garbage;
    for (int i = 0; i < 64; ++i)
        garbage += "this is not a database file ";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    QCOMPARE(run(Op(op), file, QStringLiteral("PESEL1"), studentRows("A", "B", "1")), result);
    QCOMPARE(m_env->buf.text(), message);
    verifyLogged(label);
    QCOMPARE(fileBytes(file), garbage);
}

void TestDocumentFile::tableListLeavesDatabaseErrorsToCaller()
{
    const QString file = path(QStringLiteral("damaged.sqdoc"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    m_env->buf.reset(QStringLiteral("untouched"));
    QStringList names{QStringLiteral("kept")};
    try {
        bFunGetTableList(m_env->buf, file, names);
        QFAIL("a damaged file must not list");
    } catch (const CppSQLite3Exception& e) {
        QCOMPARE(e.code(), 26); // SQLITE_NOTADB
    }
    QCOMPARE(m_env->buf.text(), QStringLiteral("untouched"));
    QCOMPARE(names, QStringList{QStringLiteral("kept")});
    QVERIFY(logs().isEmpty());
    // The connection did not outlive the call: the file can be replaced at once.
    QVERIFY(QFile::remove(file));
}

void TestDocumentFile::checkExists()
{
    MessageBuffer& buf = m_env->buf;
    // The working copy of a new document comes into being on the first check.
    const QString created = path(QStringLiteral("work.sqtmp"));
    QCOMPARE(iFunCheckIsStudentExists(buf, created, QStringLiteral("PESEL1"), true), 0);
    QVERIFY(QFile::exists(created));
    QCOMPARE(QFileInfo(created).size(), 0);

    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("A", "B", "1")));
    RawSql::exec(doc,
                 "create view `PESEL2` as select * from `PESEL1`; create index `PESEL3` on `PESEL1`(id);");
    QCOMPARE(iFunCheckIsStudentExists(buf, doc, QStringLiteral("PESEL1"), false), 1);
    QCOMPARE(iFunCheckIsStudentExists(buf, doc, QStringLiteral("PESEL2"), true), 0); // a view is no student
    QCOMPARE(iFunCheckIsStudentExists(buf, doc, QStringLiteral("PESEL3"), true), 0);
    QCOMPARE(iFunCheckIsStudentExists(buf, doc, QStringLiteral("pesel1"), true), 0); // names compare exactly
    QCOMPARE(iFunCheckIsStudentExists(buf, doc, QStringLiteral("PESEL1' or '1'='1"), true), 0);
    QCOMPARE(buf.text(), QString());

    // A folder that is not there cannot hold a new file.
    const QString unreachable = path(QStringLiteral("no/such/folder/work.sqtmp"));
    QCOMPARE(iFunCheckIsStudentExists(buf, unreachable, QStringLiteral("PESEL1"), true), -1);
    QCOMPARE(buf.text(), QStringLiteral("Przyczyna: nie można otworzyć pliku."));
    verifyLogged(QStringLiteral("iFunCheckIsStudentExists"));
}

void TestDocumentFile::storedBytes_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("compName");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("stored");
    struct Case {
        const char* name;
        QString compName;
        QString value;
        QByteArray stored;
    };
    const QList<Case> cases = {
        {"apostrophe", "Nazwisko_DATA_EDIT", "O'Neil", "O'Neil"},
        {"only apostrophes", "Nazwisko_DATA_EDIT", "''''", "''''"},
        {"injection", "Nazwisko_DATA_EDIT", "x'); drop table t; --", "x'); drop table t; --"},
        {"polish letters", "Imie_DATA_EDIT", "Łukasz Żółć", "\xa3ukasz \xaf\xf3\xb3\xe6"},
        {"male", "Plec_DATA_COMBOBOX", "mężczyzna", QByteArray("m\xea\xbf") + "czyzna"},
        {"quoted school name", "ZMIENNA_Ucz_STR1_DATA_EDIT", "Szkoła \"Orląt\" im. 'Lwowskich' – nr 1",
         QByteArray("Szko\xb3"
                    "a \"Orl\xb9t\" im. 'Lwowskich' \x96 nr 1")},
        {"empty", "NrDziennika_DATA_EDIT", "", ""},
        {"backquote and line break", "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT", "a`b\nc", "a`b\nc"},
        {"apostrophe in the name", "O'Name_DATA_EDIT", "v", "v"},
        {"longer than any slot", "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT", QString(3000, QChar(u'ą')),
         QByteArray(3000, '\xb9')},
    };
    for (const bool replace : {false, true})
        for (const Case& c : cases)
            QTest::addRow("%s %s", replace ? "replace" : "save", c.name)
                << replace << c.compName << c.value << c.stored;
}

void TestDocumentFile::storedBytes()
{
    QFETCH(bool, replace);
    QFETCH(QString, compName);
    QFETCH(QString, value);
    QFETCH(QByteArray, stored);
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    const FieldRowList rows = {
        {QStringLiteral("DANE UCZNIA"), compName, value},
        {QStringLiteral("DANE UCZNIA"), QStringLiteral("After_DATA_EDIT"), QStringLiteral("after")},
    };
    int steps = 0;
    const auto step = [&steps] { ++steps; };
    const QString table = QStringLiteral("PESEL12345678901");
    QVERIFY(replace ? bFunReplaceCertData(buf, doc, table, rows, {}, step)
                    : bFunSaveCertData(buf, doc, table, rows, step));
    QCOMPARE(steps, 2);
    QCOMPARE(buf.text(), QString());

    const QList<QList<QByteArray>> raw =
        RawSql::rows(doc, "select id, comp_name, value from `PESEL12345678901`");
    QCOMPARE(raw.size(), 2);
    QCOMPARE(raw[0][0], QByteArray("DANE UCZNIA"));
    QCOMPARE(raw[0][1], compName.toLatin1());
    QCOMPARE(raw[0][2], stored);
    QCOMPARE(raw[1][2], QByteArray("after"));
    // The only object in the file is the student table, made by the one fixed statement.
    QCOMPARE(RawSql::rows(doc, "select type, name, sql from sqlite_master"),
             (QList<QList<QByteArray>>{
                 {"table", "PESEL12345678901",
                  "CREATE TABLE `PESEL12345678901`( id TEXT, comp_name TEXT, value TEXT )"}}));

    FieldRowList loaded;
    QVERIFY(bFunLoadCertData(buf, doc, table, loaded));
    QCOMPARE(loaded, rows);
}

void TestDocumentFile::emptyPeselAndCollision()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL"), studentRows("Nowak", "Anna", "")));
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), QList<QByteArray>{"PESEL"});
    const QByteArray before = fileBytes(doc);

    int steps = 0;
    QVERIFY(!bFunSaveCertData(buf, doc, QStringLiteral("PESEL"), studentRows("Kowal", "Jan", ""),
                              [&steps] { ++steps; }));
    QCOMPARE(buf.text(), QStringLiteral("Tablica już istnieje: PESEL"));
    verifyLogged(QStringLiteral("bFunSaveCertData()"));
    QCOMPARE(steps, 0);
    QCOMPARE(fileBytes(doc), before);
    FieldRowList loaded;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL"), loaded));
    QCOMPARE(loaded, studentRows("Nowak", "Anna", ""));
}

void TestDocumentFile::deleteTable()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    RawSql::exec(doc, rawStudent("PESEL1", "A", "B") + rawStudent("we``ird'name", "C", "D") +
                          "create view `PESEL9` as select * from `PESEL1`;");
    const QByteArray before = fileBytes(doc);
    buf.reset(QStringLiteral("untouched"));
    QVERIFY(bFunDeleteTable(buf, doc, QStringLiteral("PESEL2")));
    QVERIFY(bFunDeleteTable(buf, doc, QStringLiteral("PESEL9"))); // a view is no table: left alone
    QCOMPARE(buf.text(), QStringLiteral("untouched"));
    QCOMPARE(fileBytes(doc), before);

    QVERIFY(bFunDeleteTable(buf, doc, QStringLiteral("we`ird'name")));
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), (QList<QByteArray>{"PESEL1", "PESEL9"}));
    QVERIFY(bFunDeleteTable(buf, doc, QStringLiteral("PESEL9' or name='PESEL1")));
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), (QList<QByteArray>{"PESEL1", "PESEL9"}));
    QCOMPARE(buf.text(), QStringLiteral("untouched"));
}

void TestDocumentFile::loadMissingTableAndAppending()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("A", "B", "1")));
    RawSql::exec(doc, "create view `PESEL2` as select * from `PESEL1`;");
    const FieldRow earlier{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};

    for (const char* missing : {"PESEL999", "PESEL2"}) {
        FieldRowList rows{earlier};
        QVERIFY(!bFunLoadCertData(buf, doc, QString::fromLatin1(missing), rows));
        QCOMPARE(buf.text(), QStringLiteral("Tablica nie istnieje: \n") + QString::fromLatin1(missing));
        verifyLogged(QStringLiteral("bFunLoadCertData"));
        QCOMPARE(rows, FieldRowList{earlier});
    }

    // Loading appends; the caller empties the list.
    FieldRowList rows{earlier};
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL1"), rows));
    QCOMPARE(rows, FieldRowList{earlier} + studentRows("A", "B", "1"));
}

void TestDocumentFile::getValue_data()
{
    QTest::addColumn<QByteArray>("column");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");
    QTest::newRow("text") << QByteArray("value") << true << QStringLiteral("Łódź");
    QTest::newRow("null reads empty") << QByteArray("comp_name") << true << QString();
    QTest::newRow("names are case-sensitive") << QByteArray("Value") << false << QStringLiteral("before");
    QTest::newRow("missing column") << QByteArray("nothing") << false << QStringLiteral("before");
}

void TestDocumentFile::getValue()
{
    QFETCH(QByteArray, column);
    QFETCH(bool, ok);
    QFETCH(QString, value);
    const QString doc = newDocument();
    RawSql::exec(doc, "create table `t`( id TEXT, comp_name TEXT, value TEXT );"
                      "insert into `t` values('DANE UCZNIA', NULL, '\xa3\xf3\x64\x9f');");
    CppSQLite3DB db;
    db.openFile(doc);
    CppSQLite3Query q = db.runQuery("select * from `t`");
    QString read = QStringLiteral("before");
    m_env->buf.reset(QStringLiteral("untouched"));
    QCOMPARE(bFunGetValue(m_env->buf, q, column.constData(), read), ok);
    QCOMPARE(read, value);
    if (ok) {
        QCOMPARE(m_env->buf.text(), QStringLiteral("untouched"));
    } else {
        QCOMPARE(m_env->buf.text(),
                 QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
        verifyLogged(QStringLiteral("bFunGetValue"));
    }
    q.release();
    db.closeFile();
}

void TestDocumentFile::loadKeepsRowsWithUnreadableColumns()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    RawSql::exec(doc, "create table `PESEL5`( id TEXT, comp_name TEXT );"
                      "insert into `PESEL5` values('DANE UCZNIA', 'Imie_DATA_EDIT');"
                      "insert into `PESEL5` values(NULL, 'Nazwisko_DATA_EDIT');");
    FieldRowList rows;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL5"), rows));
    QCOMPARE(rows, (FieldRowList{{QStringLiteral("DANE UCZNIA"), QStringLiteral("Imie_DATA_EDIT"), QString()},
                                 {QString(), QStringLiteral("Nazwisko_DATA_EDIT"), QString()}}));
    // Each unreadable value was reported on its own, without failing the load.
    QCOMPARE(buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
    const QList<LogEntry> entries = logs();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].fun, QStringLiteral("bFunGetValue"));
    QCOMPARE(entries[1].fun, QStringLiteral("bFunGetValue"));
}

void TestDocumentFile::windows1250Fixture()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    RawSql::exec(doc,
                 rawStudent("PESEL80010112345", "Pi\xb9tek", "\xa3ukasz") +
                     "insert into `PESEL80010112345` values('DANE UCZNIA', 'Plec_DATA_COMBOBOX', 'm\xea\xbf"
                     "czyzna');");
    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students, (QList<StudentListEntry>{
                           {QStringLiteral("Piątek Łukasz"), QStringLiteral("PESEL80010112345")}}));

    FieldRowList rows;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL80010112345"), rows));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].value, QStringLiteral("Łukasz"));
    QCOMPARE(rows[1].value, QStringLiteral("Piątek"));
    QCOMPARE(rows[2].value, QStringLiteral("mężczyzna"));
}

void TestDocumentFile::studentListOrder()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QVERIFY(students.isEmpty());

    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL111"), studentRows("Nowak", "Anna", "111")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL222"), studentRows("Nowak", "Anna", "222")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL333"), studentRows("O'Brien", "Zoë", "333")));
    const StudentListEntry earlier{QStringLiteral("kept"), QStringLiteral("kept")};
    students = {earlier};
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students,
             (QList<StudentListEntry>{earlier,
                                      {QStringLiteral("Nowak Anna"), QStringLiteral("PESEL111")},
                                      {QStringLiteral("Nowak Anna"), QStringLiteral("PESEL222")},
                                      {QStringLiteral("O'Brien Zoë"), QStringLiteral("PESEL333")}}));

    // An edited student is stored anew and so comes last; a changed PESEL takes the
    // old table away in the same step.
    QVERIFY(
        bFunReplaceCertData(buf, doc, QStringLiteral("PESEL111"), studentRows("Nowak", "Anna Maria", "111")));
    QVERIFY(bFunReplaceCertData(buf, doc, QStringLiteral("PESEL444"), studentRows("Nowak", "Anna", "444"),
                                {QStringLiteral("PESEL222")}));
    students.clear();
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students,
             (QList<StudentListEntry>{{QStringLiteral("O'Brien Zoë"), QStringLiteral("PESEL333")},
                                      {QStringLiteral("Nowak Anna Maria"), QStringLiteral("PESEL111")},
                                      {QStringLiteral("Nowak Anna"), QStringLiteral("PESEL444")}}));
    QCOMPARE(buf.text(), QString());
}

void TestDocumentFile::studentListWithForeignObjects()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    RawSql::exec(doc, rawStudent("PESEL1", "Nowak", "Anna") +
                          // another program's table, and a student table that lost a row
                          "create table `notes`( a TEXT, b TEXT ); insert into `notes` values('x', 'y');"
                          "create table `PESEL2`( id TEXT, comp_name TEXT, value TEXT );"
                          "insert into `PESEL2` values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Kowal');"
                          // what an interrupted save leaves behind
                          "create table `PESEL3`( id TEXT, comp_name TEXT, value TEXT );"
                          "create view `v_all` as select * from `PESEL1`;"
                          "create index `i_notes` on `notes`(a);"
                          "create trigger `t_notes` after insert on `notes` begin select 1; end;" +
                          rawStudent("odd``name'here", "Wi\x9cniewska",
                                     "\x8cwi\xea"
                                     "tos\xb3"
                                     "awa") +
                          // a name row whose value is NULL reads as an empty text
                          "create table `PESEL4`( id TEXT, comp_name TEXT, value TEXT );"
                          "insert into `PESEL4` values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', NULL);"
                          "insert into `PESEL4` values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Ewa');");
    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students, (QList<StudentListEntry>{
                           {QStringLiteral("Nowak Anna"), QStringLiteral("PESEL1")},
                           {QStringLiteral("notes"), QStringLiteral("notes")},
                           {QStringLiteral("PESEL2"), QStringLiteral("PESEL2")},
                           {QStringLiteral("PESEL3"), QStringLiteral("PESEL3")},
                           {QStringLiteral("Wiśniewska Świętosława"), QStringLiteral("odd`name'here")},
                           {QStringLiteral(" Ewa"), QStringLiteral("PESEL4")},
                       }));
    QCOMPARE(buf.text(), QString());

    // The catalogue listing names every schema object.
    QStringList names{QStringLiteral("kept")};
    QVERIFY(bFunGetTableList(buf, doc, names));
    QCOMPARE(names, (QStringList{"kept", "PESEL1", "notes", "PESEL2", "PESEL3", "v_all", "i_notes", "t_notes",
                                 "odd`name'here", "PESEL4"}));

    // The odd name reaches its table whole.
    FieldRowList rows;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("odd`name'here"), rows));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].value, QStringLiteral("Wiśniewska"));
}

void TestDocumentFile::largeStudentList()
{
    const int count = 3000;
    const QString doc = newDocument();
    QByteArray sql = "begin;";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        QByteArray table = "PESEL" + n;
        sql += rawStudent(table, "Nazwisko\xb3" + n, "Imi\xea" + n);
        // the other rows of a real student, which the listing must pass over
        for (int r = 0; r < 10; ++r)
            sql += "insert into `" + table + "` values('ZAWIADOMIENIE_O_PRZEKAZANIU', 'Pole" +
                   QByteArray::number(r) + "', 'warto\x9c\xe6');";
    }
    sql += "commit;";
    RawSql::exec(doc, sql);

    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(m_env->buf, doc, students));
    QCOMPARE(students.size(), count);
    for (int i = 0; i < count; i += 499) {
        QCOMPARE(students[i].tableName, QStringLiteral("PESEL%1").arg(i));
        QCOMPARE(students[i].displayName, QStringLiteral("Nazwiskoł%1 Imię%1").arg(i));
    }
}

void TestDocumentFile::refusesUnstorableText_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("code"); // how the message names the character
    const QString save = QStringLiteral("bFunSqlSaveCertData()");
    QTest::newRow("save value") << int(Save) << "PESEL9"
                                << "Zoë 日本" << save << "U+65E5";
    QTest::newRow("replace value") << int(Replace) << "PESEL1"
                                   << "Zoë 日本" << save << "U+65E5";
    QTest::newRow("save table") << int(Save) << "PESEL日"
                                << "x" << save << "U+65E5";
    QTest::newRow("replace table") << int(Replace) << "PESEL日"
                                   << "x" << save << "U+65E5";
    QTest::newRow("delete table") << int(Delete) << "PESEL日"
                                  << "x"
                                  << "bFunDeleteTable()"
                                  << "U+65E5";
    QTest::newRow("load table") << int(Load) << "PESEL日"
                                << "x"
                                << "bFunLoadCertData()"
                                << "U+65E5";
    QTest::newRow("exists table") << int(CheckExists) << "PESEL日"
                                  << "x"
                                  << "iFunCheckIsStudentExists"
                                  << "U+65E5";
    // A NUL would cut the statement short; a lone surrogate is no character at all.
    QTest::newRow("save NUL") << int(Save) << "PESEL9" << QStringLiteral("a").append(QChar(0)).append(u'b')
                              << save << "U+0000";
    QTest::newRow("replace NUL") << int(Replace) << "PESEL1" << QString(QChar(0)) << save << "U+0000";
    QTest::newRow("lone high surrogate")
        << int(Save) << "PESEL9" << QStringLiteral("x").append(QChar(0xD83D)).append(u'y') << save
        << "U+D83D";
    QTest::newRow("lone low surrogate")
        << int(Replace) << "PESEL1" << QStringLiteral("x").append(QChar(0xDE00)) << save << "U+DE00";
}

void TestDocumentFile::refusesUnstorableText()
{
    QFETCH(int, op);
    QFETCH(QString, table);
    QFETCH(QString, value);
    QFETCH(QString, label);
    QFETCH(QString, code);
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(m_env->buf, doc, QStringLiteral("PESEL1"), studentRows("Nowak", "Anna", "1")));
    const QByteArray before = fileBytes(doc);
    FieldRowList rows = studentRows("Nowak", "Anna", "1");
    rows.append({QStringLiteral("DANE UCZNIA"), QStringLiteral("UrodzonyMiasto_DATA_COMBOBOX"), value});
    QCOMPARE(run(Op(op), doc, table, rows), op == CheckExists ? -1 : 0);
    const QString text = m_env->buf.text();
    QVERIFY2(text.startsWith(QStringLiteral("Znak \u201E")) &&
                 text.contains(QStringLiteral("\u201D (") + code +
                               QStringLiteral(") nie może zostać zapisany w pliku")),
             qPrintable(text));
    verifyLogged(label);
    QCOMPARE(fileBytes(doc), before);
}

void TestDocumentFile::replaceDropsAndSteps()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("A", "B", "1")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL2"), studentRows("C", "D", "2")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL3"), studentRows("E", "F", "3")));
    RawSql::exec(doc, "create view `PESEL7` as select * from `PESEL3`;");

    // Names listed twice, the table itself among the others, a table that is not
    // there and a view: each existing table goes once, the view stays.
    int steps = 0;
    const FieldRowList rows = studentRows("G", "H", "2");
    QVERIFY(bFunReplaceCertData(buf, doc, QStringLiteral("PESEL2"), rows,
                                {QStringLiteral("PESEL1"), QStringLiteral("PESEL2"), QStringLiteral("PESEL1"),
                                 QStringLiteral("PESEL8"), QStringLiteral("PESEL7")},
                                [&steps] { ++steps; }));
    QCOMPARE(steps, rows.size());
    QCOMPARE(buf.text(), QString());
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"),
             (QList<QByteArray>{"PESEL3", "PESEL7", "PESEL2"}));
    FieldRowList loaded;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL2"), loaded));
    QCOMPARE(loaded, rows);

    // A student with no rows still gets a table.
    QVERIFY(bFunReplaceCertData(buf, doc, QStringLiteral("PESEL3"), {}));
    QCOMPARE(RawSql::column(doc, "select count(*) from `PESEL3`"), QList<QByteArray>{"0"});
}

void TestDocumentFile::replaceIsAtomic_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("file read by another process at commit")
        << "reader"
        << "Przyczyna: plik jest zablokowany przez inny program.";
    QTest::newRow("file written by another process")
        << "writer"
        << "Przyczyna: plik jest zablokowany przez inny program.";
    QTest::newRow("disk full") << "disk"
                               << "Przyczyna: błąd odczytu lub zapisu dysku.";
    QTest::newRow("new table name taken by a view")
        << "view"
        << "Przyczyna: plik nie ma budowy, której program oczekuje.";
    QTest::newRow("failure between two inserts") << "step"
                                                 << "Przyczyna: błąd odczytu lub zapisu dysku.";
}

void TestDocumentFile::replaceIsAtomic()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("Nowak", "Anna", "1")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL2"), studentRows("Kowal", "Jan", "2")));
    if (failure == QLatin1String("view"))
        RawSql::exec(doc, "create view `PESEL3` as select * from `PESEL2`;");
    const QByteArray before = fileBytes(doc);

    // The student PESEL2 is edited and gets PESEL3; PESEL1 is stored anew as well.
    int steps = 0;
    const auto step = [&steps, &failure] {
        if (++steps == 2 && failure == QLatin1String("step"))
            throw CppSQLite3Exception(SQLITE_IOERR, "disk I/O error");
    };
    bool ok = false;
    {
        const ShortBusyWait shortWait;
        std::unique_ptr<ForeignConnection> other;
        std::unique_ptr<FileSizeLimit> diskFull;
        if (failure == QLatin1String("reader"))
            other = std::make_unique<ForeignConnection>(doc, "begin; select count(*) from sqlite_master;");
        else if (failure == QLatin1String("writer"))
            other = std::make_unique<ForeignConnection>(doc, "begin immediate;");
        else if (failure == QLatin1String("disk"))
            diskFull = std::make_unique<FileSizeLimit>(64 * 1024);
        FieldRowList rows = studentRows("Kowalski", "Jan", "3");
        if (failure == QLatin1String("disk")) // more than the disk can take
            for (int i = 0; i < 50; ++i)
                rows.append(
                    {QStringLiteral("DANE UCZNIA"), QStringLiteral("Pole%1").arg(i), QString(20000, u'x')});
        ok = bFunReplaceCertData(buf, doc, QStringLiteral("PESEL3"), rows,
                                 {QStringLiteral("PESEL2"), QStringLiteral("PESEL1")}, step);
    }
    QVERIFY(!ok);
    QCOMPARE(buf.text(), message);
    verifyLogged(QStringLiteral("bFunSqlSaveCertData()"));

    // Reading first: a write cut short by the disk is undone by the next reader.
    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students, (QList<StudentListEntry>{{QStringLiteral("Nowak Anna"), QStringLiteral("PESEL1")},
                                                {QStringLiteral("Kowal Jan"), QStringLiteral("PESEL2")}}));
    FieldRowList rows;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL2"), rows));
    QCOMPARE(rows, studentRows("Kowal", "Jan", "2"));
    rows.clear();
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL1"), rows));
    QCOMPARE(rows, studentRows("Nowak", "Anna", "1"));
    QCOMPARE(fileBytes(doc), before);
    QVERIFY(!QFile::exists(doc + QStringLiteral("-journal")));
}

void TestDocumentFile::saveFailureLeavesCreatedTableEmpty()
{
    // Unlike a replace, a plain save creates its table before its transaction: a
    // failure among the inserts keeps none of them but leaves the table, empty.
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    int steps = 0;
    QVERIFY(!bFunSaveCertData(buf, doc, QStringLiteral("PESEL5"), studentRows("A", "B", "5"), [&steps] {
        if (++steps == 3)
            throw CppSQLite3Exception(SQLITE_FULL, "database or disk is full");
    }));
    QCOMPARE(buf.text(), QStringLiteral("Przyczyna: brak miejsca na dysku."));
    verifyLogged(QStringLiteral("bFunSqlSaveCertData()"));
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), QList<QByteArray>{"PESEL5"});
    QCOMPARE(RawSql::column(doc, "select count(*) from `PESEL5`"), QList<QByteArray>{"0"});

    // A view of the same name is no table, but the name is taken.
    RawSql::exec(doc, "create view `PESEL6` as select * from `PESEL5`;");
    QVERIFY(!bFunSaveCertData(buf, doc, QStringLiteral("PESEL6"), studentRows("A", "B", "6")));
    QCOMPARE(buf.text(), QStringLiteral("Przyczyna: plik nie ma budowy, której program oczekuje."));
    verifyLogged(QStringLiteral("bFunSqlSaveCertData()"));
}

void TestDocumentFile::putRowsReplacesOrAddsAndIsAllOrNothing_data()
{
    QTest::addColumn<QString>("secondTable");
    QTest::addColumn<bool>("stored");
    QTest::newRow("both tables there") << "PESEL2" << true;
    QTest::newRow("second table missing") << "PESEL9" << false;
}

// Single rows put into student tables: a row with the same id and name replaced, a new
// one added, every other row kept; a missing table leaves the file as it was.
void TestDocumentFile::putRowsReplacesOrAddsAndIsAllOrNothing()
{
    QFETCH(QString, secondTable);
    QFETCH(bool, stored);
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("Nowak", "Anna", "1")));
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL2"), studentRows("Żak", "Łucja", "2")));
    const FieldRowList first = studentRows("Nowak", "Anna", "1");
    const QByteArray before = fileBytes(doc);
    const FieldRow replaced{first.at(0).id, first.at(0).compName, QStringLiteral("Wiśniewska")};
    const FieldRow added{QStringLiteral("WYDANE"), QStringLiteral("K1"), QStringLiteral("Żółć")};
    QCOMPARE(bFunPutStudentRows(buf, doc, {{QStringLiteral("PESEL1"), replaced}, {secondTable, added}}),
             stored);
    QList<FieldRowList> loaded;
    QVERIFY(bFunLoadStudentTables(buf, doc, {QStringLiteral("PESEL1"), QStringLiteral("PESEL2")}, loaded));
    if (!stored) {
        QCOMPARE(fileBytes(doc), before);
        verifyLogged(QStringLiteral("bFunPutStudentRows()"));
        return;
    }
    QCOMPARE(loaded.at(0).size(), first.size());
    QVERIFY(loaded.at(0).contains(replaced));
    QVERIFY(!loaded.at(0).contains(first.at(0)));
    for (const FieldRow& row : first.mid(1))
        QVERIFY(loaded.at(0).contains(row));
    QCOMPARE(loaded.at(1), studentRows("Żak", "Łucja", "2") + FieldRowList{added});
}

void TestDocumentFile::storeStudentsIsAllOrNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("label");
    QTest::newRow("stored") << ""
                            << ""
                            << "";
    QTest::newRow("table there, not to be replaced") << "taken"
                                                     << "Tablica już istnieje: PESEL1"
                                                     << "bFunStoreStudents()";
    QTest::newRow("text outside the code page")
        << "emoji" << Cp1250::refusalMessage(QStringLiteral("\U0001F600")) << "bFunStoreStudents()";
    QTest::newRow("file written by another process") << "writer"
                                                     << "Przyczyna: plik jest zablokowany przez inny program."
                                                     << "bFunStoreStudents()";
    QTest::newRow("failure between two students") << "step"
                                                  << "Przyczyna: błąd odczytu lub zapisu dysku."
                                                  << "bFunStoreStudents()";
}

void TestDocumentFile::storeStudentsIsAllOrNothing()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);
    QFETCH(QString, label);
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL1"), studentRows("Nowak", "Anna", "1")));
    const QByteArray before = fileBytes(doc);

    QList<StudentTable> students = {
        {QStringLiteral("PESEL2"), studentRows("Żak", "Łucja", "2")},
        {QStringLiteral("PESEL1"), studentRows("O'Neil", "Anna", "1"), failure != QLatin1String("taken")},
        {QStringLiteral("PESEL3"), studentRows("Kowal-Wiśniewski", "Jan", "3")},
    };
    if (failure == QLatin1String("emoji"))
        students[2].rows[0].value = QStringLiteral("Jan \U0001F600");
    int steps = 0;
    bool ok = false;
    {
        const ShortBusyWait shortWait;
        std::unique_ptr<ForeignConnection> other;
        if (failure == QLatin1String("writer"))
            other = std::make_unique<ForeignConnection>(doc, "begin immediate;");
        ok = bFunStoreStudents(buf, doc, students, [&] {
            if (++steps == 2 && failure == QLatin1String("step"))
                throw CppSQLite3Exception(SQLITE_IOERR, "disk I/O error");
        });
    }
    if (failure.isEmpty()) {
        QVERIFY(ok);
        QCOMPARE(steps, 3);
        QCOMPARE(RawSql::column(doc, "select name from sqlite_master order by name"),
                 (QList<QByteArray>{"PESEL1", "PESEL2", "PESEL3"}));
        // Stored as Windows-1250 bytes, apostrophes whole, rows in the given order.
        QCOMPARE(RawSql::column(doc, "select value from `PESEL2` where comp_name = 'Nazwisko_DATA_EDIT'"),
                 QList<QByteArray>{"\xAF"
                                   "ak"});
        QCOMPARE(RawSql::column(doc, "select value from `PESEL1` where comp_name = 'Nazwisko_DATA_EDIT'"),
                 QList<QByteArray>{"O'Neil"});
        QList<FieldRowList> loaded;
        QVERIFY(
            bFunLoadStudentTables(buf, doc, {QStringLiteral("PESEL3"), QStringLiteral("PESEL9")}, loaded));
        QCOMPARE(loaded, (QList<FieldRowList>{studentRows("Kowal-Wiśniewski", "Jan", "3"), {}}));
        return;
    }
    QVERIFY(!ok);
    QCOMPARE(buf.text(), message);
    verifyLogged(label);
    QCOMPARE(fileBytes(doc), before);
    QVERIFY(!QFile::exists(doc + QStringLiteral("-journal")));
}

// Many students read at once: a damaged or missing table is named and skipped, the
// others are read whole; without the list of reasons the damage fails the reading.
void TestDocumentFile::loadingManyTakesWhatCanBeRead()
{
    MessageBuffer& buf = m_env->buf;
    const QString doc = newDocument();
    for (const char* pesel : {"1", "2", "3"})
        QVERIFY(bFunSaveCertData(buf, doc, QStringLiteral("PESEL") + QLatin1String(pesel),
                                 studentRows("Nowak", "Anna", QString::fromLatin1(pesel))));
    RawSql::exec(doc, "insert into `PESEL2` values('DANE UCZNIA', 'Imie_DATA_EDIT', '" +
                          QByteArray(20000, 'x') + "');");
    QVERIFY(RawFile::damageValuePages(doc, 'x') >= 3);
    const QStringList names{"PESEL1", "PESEL2", "PESEL9", "PESEL3"};
    QList<FieldRowList> loaded;
    QVERIFY(!bFunLoadStudentTables(buf, doc, names, loaded));
    QStringList unreadable;
    QVERIFY2(bFunLoadStudentTables(buf, doc, names, loaded, &unreadable), qPrintable(buf.text()));
    QCOMPARE(loaded, (QList<FieldRowList>{
                         studentRows("Nowak", "Anna", "1"), {}, {}, studentRows("Nowak", "Anna", "3")}));
    QCOMPARE(unreadable.size(), 4);
    QVERIFY(unreadable.at(0).isEmpty() && unreadable.at(3).isEmpty());
    QCOMPARE(unreadable.at(1), QStringLiteral("plik jest uszkodzony"));
    QCOMPARE(unreadable.at(2), QStringLiteral("Tablica nie istnieje: PESEL9"));
}

QTEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_document_file.moc"
