// Files made by an attacker or met by an unlucky office: a statement stored in a file is
// never run, a register that is no regular file or larger than any school's is refused
// before it is read, and nothing outside the register changes on the way.
#include "app/TFGlowna.h"
#include "documents/DocumentFile.h"
#include "documents/RegisterMerge.h"
#include "storage/DataPaths.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTreeWidget>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// Every statement any connection of this process prepares, as SQLite sees it.
QList<QByteArray> g_statements;

int noteStatement(unsigned, void*, void* statement, void*)
{
    if (const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement)))
        g_statements.append(sql);
    return 0;
}

int traceEveryConnection(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, noteStatement, nullptr);
    return SQLITE_OK;
}

// What the attacker appends to a stored definition: a file made outside the register and
// a setting rewritten. "zly" marks every piece of it.
QByteArray payload(const QString& root, const QString& settings)
{
    return "; COMMIT; ATTACH '" + root.toUtf8() + "/zly.db' AS zly; CREATE TABLE zly.x(y); ATTACH '" +
           settings.toUtf8() +
           "' AS zly_s; UPDATE zly_s.settings SET int_value=77 WHERE name='word_wrap'; BEGIN";
}

// Appends `tail` to the stored definition of `name`, as PRAGMA writable_schema allows.
QByteArray forge(const QByteArray& name, const QByteArray& tail)
{
    QByteArray quoted = tail;
    quoted.replace('\'', "''");
    return "pragma writable_schema=ON; update sqlite_master set sql = sql || '" + quoted + "' where name='" +
           name + "'; pragma writable_schema=OFF;";
}

QByteArray student(int i)
{
    const QByteArray table = "`PESEL" + QByteArray::number(i) + "`";
    const QByteArray insert = "insert into " + table + "( id, comp_name, value ) values('";
    return "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );" + insert +
           "DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Uczen" + QByteArray::number(i) + "');" + insert +
           "DANE UCZNIA', 'Imie_DATA_EDIT', 'Anna');" + insert +
           "ZAWIADOMIENIE_O_PRZEKAZANIU', 'ZMIENNA_Klasy_STR1_DATA_EDIT', 'II b');";
}

} // namespace

class TestHostileFiles : public QObject, ProgramFixture
{
    Q_OBJECT

    QString tmpPath() { return strFunGetTmpFilePath(env->buf); }
    QString settingsPath() { return env->dataFile(QStringLiteral("ustawienia.sqset")); }
    QStringList treeCaptions()
    {
        QStringList out;
        for (int i = 0; i < main()->treeView()->topLevelItemCount(); ++i)
            out << main()->treeView()->topLevelItem(i)->text(0);
        return out;
    }

private Q_SLOTS:
    void initTestCase() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(traceEveryConnection)); }
    void init()
    {
        prepare();
        blankCalibration();
    }
    void cleanup() { closeProgram(); }

    void studentTableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("student");
        QTest::newRow("no PESEL at all") << "PESEL" << true;
        QTest::newRow("eleven digits") << "PESEL05270812345" << true;
        QTest::newRow("thirty letters and digits") << "PESEL" + QString(29, u'a') + "Z" << true;
        QTest::newRow("thirty-one") << "PESEL" + QString(31, u'1') << false;
        QTest::newRow("small prefix") << "pesel1" << false;
        QTest::newRow("a blank") << "PESEL1 " << false;
        QTest::newRow("a backquote") << "PESEL1`" << false;
        QTest::newRow("a Polish letter") << "PESELą" << false;
        QTest::newRow("a full-width digit") << "PESEL\uff11" << false;
        QTest::newRow("another table") << "settings" << false;
    }
    void studentTableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, student);
        QCOMPARE(isStudentTableName(name), student);
    }

    // Each register holds two sound students and one hostile object; opening it offers its
    // readable part, which holds the two students in tables of the program's own making
    // and nothing else, while no stored statement ever reaches SQLite.
    void hostileRegisterIsRepairedNeverRun_data()
    {
        QTest::addColumn<QByteArray>("object"); // made after the students
        QTest::addColumn<QByteArray>("forged"); // the name whose stored definition gets the payload
        QTest::addColumn<QString>("named");     // how the question names it
        QTest::addColumn<QStringList>("students");
        QTest::newRow("statements after a student's table")
            << QByteArray() << QByteArray("PESEL2")
            << "Tablice uczniów o nieznanej budowie (ich dane zostaną przepisane do nowych tablic): PESEL2\n"
            << QStringList{"Uczen1 Anna", "Uczen2 Anna"};
        QTest::newRow("extra column")
            << student(3).replace("value TEXT )", "value TEXT, note TEXT DEFAULT 'x' )")
            << QByteArray("PESEL3")
            << "Tablice uczniów o nieznanej budowie (ich dane zostaną przepisane do nowych tablic): PESEL3\n"
            << QStringList{"Uczen1 Anna", "Uczen2 Anna", "Uczen3 Anna"};
        QTest::newRow("trigger") << QByteArray(
                                        "create trigger `t1` after insert on `PESEL1` begin delete from "
                                        "`PESEL2`; end;")
                                 << QByteArray("t1") << "wyzwalacz „t1”\n"
                                 << QStringList{"Uczen1 Anna", "Uczen2 Anna"};
        QTest::newRow("view of a student's name")
            << QByteArray("create view `PESEL3` as select * from `PESEL1`;") << QByteArray("PESEL3")
            << "widok „PESEL3”\n"
            << QStringList{"Uczen1 Anna", "Uczen2 Anna"};
        QTest::newRow("index") << QByteArray("create index `i1` on `PESEL1`(id);") << QByteArray("i1")
                               << "indeks „i1”\n"
                               << QStringList{"Uczen1 Anna", "Uczen2 Anna"};
        QTest::newRow("table of another name")
            << QByteArray("create table `uwagi; x`( id TEXT, comp_name TEXT, value TEXT );"
                          "insert into `uwagi; x` values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Obcy');")
            << QByteArray("uwagi; x") << "tablica „uwagi; x”\n"
            << QStringList{"Uczen1 Anna", "Uczen2 Anna"};
    }
    void hostileRegisterIsRepairedNeverRun()
    {
        QFETCH(QByteArray, object);
        QFETCH(QByteArray, forged);
        QFETCH(QString, named);
        QFETCH(QStringList, students);
        QVERIFY(startProgram());
        const QString doc = env->root() + QStringLiteral("/klasa.sqdoc");
        RawSql::exec(doc, student(1) + student(2) + object);
        RawSql::exec(doc, forge(forged, payload(env->root(), settingsPath())));
        const QByteArray docBytes = RawFile::bytes(doc);
        const auto settingsRows = [this] {
            // Opening a register rightly records it among the recent ones and its folder.
            return RawSql::rows(settingsPath(), "select * from settings where name != 'recent_registers' "
                                                "and name not like 'last_folder_%' order by name");
        };
        const QList<QList<QByteArray>> settingsBefore = settingsRows();

        g_statements.clear();
        prompts->files.enqueue(doc);
        prompts->choices.enqueue(0); // "Otwórz to, co da się odczytać"
        main()->OtworzPlikToolButtonClick();

        const ShownBox box = prompts->shown.value(1);
        QCOMPARE(box.caption, QStringLiteral("Uszkodzony plik"));
        QVERIFY2(box.text.contains(named), qPrintable(box.text));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunWczytajPlikSwiadectw()"));
        QCOMPARE(prompts->shown.size(), 2);
        QCOMPARE(treeCaptions(), students);
        for (const QList<QByteArray>& row :
             RawSql::rows(tmpPath(), "select type, name, sql from sqlite_master")) {
            QCOMPARE(row.value(0), QByteArray("table"));
            QCOMPARE(row.value(2),
                     "CREATE TABLE `" + row.value(1) + "`( id TEXT, comp_name TEXT, value TEXT )");
            QCOMPARE(RawSql::column(tmpPath(), "select count(*) from `" + row.value(1) + "`"),
                     QList<QByteArray>{"3"});
        }
        for (const QByteArray& statement : std::as_const(g_statements))
            QVERIFY2(!statement.contains("zly"), statement.constData());
        QVERIFY(!QFile::exists(env->root() + QStringLiteral("/zly.db")));
        QCOMPARE(settingsRows(), settingsBefore);
        QCOMPARE(RawFile::bytes(doc), docBytes);
    }

    // The same registers as the other desk's save, joined into this desk's copy: a table
    // that is no student table is named as damaged, this desk's students stay as they are,
    // and nothing of the payload runs (a student table's rows are only ever copied by the
    // program's own statements, so one whose definition runs on is still a student).
    void hostileRegisterJoinedNeverRun_data()
    {
        QTest::addColumn<QByteArray>("object");
        QTest::addColumn<QByteArray>("forged");
        QTest::addColumn<QString>("damaged"); // the student named by the join as damaged, if any
        QTest::newRow("statements after a student's table")
            << QByteArray() << QByteArray("PESEL2") << QString();
        QTest::newRow("extra column")
            << student(3).replace("value TEXT )", "value TEXT, note TEXT DEFAULT 'x' )")
            << QByteArray("PESEL3") << "PESEL3";
        QTest::newRow("trigger")
            << QByteArray("create trigger `t1` after insert on `PESEL1` begin delete from `PESEL2`; end;")
            << QByteArray("t1") << QString();
        QTest::newRow("view of a student's name")
            << QByteArray("create view `PESEL3` as select * from `PESEL1`;") << QByteArray("PESEL3")
            << QString();
        QTest::newRow("index") << QByteArray("create index `i1` on `PESEL1`(id);") << QByteArray("i1")
                               << QString();
    }
    void hostileRegisterJoinedNeverRun()
    {
        QFETCH(QByteArray, object);
        QFETCH(QByteArray, forged);
        QFETCH(QString, damaged);
        const QString base = env->root() + QStringLiteral("/baza.sqdoc");
        const QString mine = env->root() + QStringLiteral("/moja.sqdoc");
        const QString theirs = env->root() + QStringLiteral("/inne_biurko.sqdoc");
        RawSql::exec(base, student(1) + student(2));
        QVERIFY(QFile::copy(base, mine) && QFile::copy(base, theirs));
        RawSql::exec(mine, "update `PESEL1` set value='Moja' where comp_name='Imie_DATA_EDIT';");
        RawSql::exec(theirs, object);
        RawSql::exec(theirs, forge(forged, payload(env->root(), settingsPath())));
        const QByteArray settingsBefore = RawFile::bytes(settingsPath());
        const QStringList filesBefore = QDir(env->root()).entryList(QDir::Files);

        g_statements.clear();
        MessageBuffer buf;
        RegisterMergePlan plan;
        const bool joined = bFunMergeRegisters(buf, {base, theirs, mine, true, {}}, plan);

        QVERIFY2(joined, qPrintable(buf.text()));
        QVERIFY(plan.fromTheirs.isEmpty());
        QCOMPARE(plan.students(StudentChange::Kind::Damaged),
                 damaged.isEmpty() ? QStringList() : QStringList{damaged});
        QCOMPARE(plan.changes.size(), damaged.isEmpty() ? 0 : 1);
        for (const QByteArray& statement : std::as_const(g_statements))
            QVERIFY2(!statement.contains("zly"), statement.constData());
        QCOMPARE(QDir(env->root()).entryList(QDir::Files), filesBefore);
        QCOMPARE(RawFile::bytes(settingsPath()), settingsBefore);
        QCOMPARE(RawSql::column(mine, "select value from `PESEL1` where comp_name='Imie_DATA_EDIT'"),
                 QList<QByteArray>{"Moja"});
        QCOMPARE(RawSql::column(mine, "select name from sqlite_master order by name"),
                 (QList<QByteArray>{"PESEL1", "PESEL2"}));
    }

    // The same registers, repaired without the window: the storage call alone keeps to
    // the program's own statements.
    void rebuildTakesOnlyStudentRows()
    {
        const QString doc = env->root() + QStringLiteral("/klasa.sqdoc");
        RawSql::exec(doc,
                     student(1) + student(2) +
                         "create view `PESEL3` as select * from `PESEL1`;"
                         "create trigger `t1` after insert on `PESEL1` begin delete from `PESEL2`; end;");
        RawSql::exec(doc,
                     forge("PESEL1", payload(env->root(), doc)) + forge("t1", payload(env->root(), doc)));
        RegisterDamage damage;
        QVERIFY(bFunFindDamage(env->buf, doc, damage));
        QVERIFY(damage.damaged);
        QCOMPARE(damage.redefined, QStringList{"PESEL1"});
        QCOMPARE(damage.foreign, (QStringList{"widok „PESEL3”", "wyzwalacz „t1”"}));
        QCOMPARE(damage.readable, 2);
        g_statements.clear();
        QVERIFY(bFunRebuildFromReadableTables(env->buf, doc, {}));
        for (const QByteArray& statement : std::as_const(g_statements))
            QVERIFY2(!statement.contains("zly"), statement.constData());
        QVERIFY(!QFile::exists(env->root() + QStringLiteral("/zly.db")));
        QCOMPARE(RawSql::column(doc, "select name from sqlite_master"),
                 (QList<QByteArray>{"PESEL1", "PESEL2"}));
        QVERIFY(bFunFindDamage(env->buf, doc, damage));
        QVERIFY(!damage.damaged);
    }

    // A path that is no regular file, or a file larger than a school's register, is refused
    // before anything reads it: the register open so far stays open, untouched.
    void unfitRegisterIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "fifo"
                              << "Wskazany plik jest potokiem (FIFO), a nie zwykłym plikiem.";
        QTest::newRow("device") << "device"
                                << "Wskazany plik jest urządzeniem, a nie zwykłym plikiem.";
        QTest::newRow("folder") << "folder"
                                << "Wskazana ścieżka jest katalogiem, a nie plikiem.";
        QTest::newRow("201 MB") << "large"
                                << "Plik ma 201 MB, a plik dokumentów szkoły ma najwyżej 200 MB.";
    }
    void unfitRegisterIsRefusedAtOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QVERIFY(startProgram());
        const QString good = env->root() + QStringLiteral("/dobra.sqdoc");
        RawSql::exec(good, student(1));
        prompts->files.enqueue(good);
        main()->OtworzPlikToolButtonClick();
        QCOMPARE(treeCaptions(), QStringList{"Uczen1 Anna"});
        const QByteArray working = RawFile::bytes(tmpPath());
        const QByteArray settingsBytes = RawFile::bytes(settingsPath());

        const QString path = env->root() + QStringLiteral("/zly.sqdoc");
        const QByteArray native = path.toUtf8();
        if (kind == QStringLiteral("fifo")) {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        } else if (kind == QStringLiteral("device")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == QStringLiteral("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QFile large(path);
            QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(RegisterSizeLimit + 1024 * 1024));
        }
        prompts->shown.clear();
        prompts->files.enqueue(path);
        main()->OtworzPlikToolButtonClick();

        QCOMPARE(prompts->shown.size(), 2);
        QCOMPARE(prompts->shown.at(1).caption, QStringLiteral("Błąd"));
        QCOMPARE(prompts->shown.at(1).text, QStringLiteral("Błąd podczas próby wczytania pliku\n") + path +
                                                QLatin1Char('\n') + reason +
                                                QStringLiteral("\nDane świadectw nie zostały wczytane."));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunWczytajPlikSwiadectw()"));
        QCOMPARE(treeCaptions(), QStringList{"Uczen1 Anna"});
        QCOMPARE(main()->openDocumentPath(), good);
        QCOMPARE(RawFile::bytes(tmpPath()), working);
        QCOMPARE(RawFile::bytes(settingsPath()), settingsBytes);
    }

    // Only the SQLite layer hands text to SQLite, and it does so in one place: every
    // statement goes through CppSQLite3DB, whose callers build it from the program's own
    // pieces (checked above against files that try otherwise).
    void onlyTheLayerTalksToSqlite()
    {
        QStringList found;
        const QString root = QStringLiteral(MELVOK_SOURCE_DIR);
        for (const char* folder :
             {"app", "storage", "documents", "printing", "services", "platform", "prompts"}) {
            QDirIterator it(root + QLatin1Char('/') + QLatin1String(folder), {"*.cpp", "*.h"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                const QByteArray text = RawFile::bytes(file);
                for (const char* call : {"sqlite3_exec", "sqlite3_prepare", "sqlite3_get_table",
                                         "sqlite3_load_extension", "sqlite3_enable_load_extension"})
                    if (text.contains(call))
                        found << QDir(root).relativeFilePath(file) + QLatin1Char(' ') + QLatin1String(call);
            }
        }
        QCOMPARE(found, (QStringList{"storage/CppSQLite3.cpp sqlite3_exec",
                                     "storage/CppSQLite3.cpp sqlite3_prepare"}));
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostile_files.moc"
