// The main window as a secretary uses it: start-up, the student tree, the commands
// on students and documents, and the life of the open document file.
#include "app/Program.h"
#include "app/StudentOrder.h"
#include "app/TFBackupFiles.h"
#include "app/TFGlowna.h"
#include "app/TFOProgramie.h"
#include "app/TFWait.h"
#include "documents/Pesel.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/SettingsStore.h"
#include "tests/support/Disks.h"
#include "tests/support/Modal.h"
#include "tests/support/OtherProgram.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <cerrno>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace {

struct Student {
    QString surname, firstName, pesel;
    QString sex = QStringLiteral("kobieta");
};

template <class T> T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no component %s", name);
    return w;
}

} // namespace

class TestMainWindow : public QObject, ProgramFixture
{
    Q_OBJECT
private:
    void start(const QString& tail = QString()) { QVERIFY(startProgram(tail)); }
    // Adds a student through the student form, as the user would.
    void addStudent(const Student& s, QList<Prompts::Answer> answers = {})
    {
        // The short numbers these tests use are not whole PESELs: the form's question about
        // them is answered Yes and left out of what the tests read (the student form's own
        // tests check it).
        const bool confirm = !Pesel::faults(s.pesel).isEmpty();
        if (confirm)
            prompts->answers.enqueue(Prompts::Answer::Yes);
        for (auto a : answers)
            prompts->answers.enqueue(a);
        whenModal([this, s, confirm](QWidget* form) {
            child<QLineEdit>(form, "Nazwisko_DATA_EDIT")->setText(s.surname);
            child<QLineEdit>(form, "Imie_DATA_EDIT")->setText(s.firstName);
            child<QLineEdit>(form, "NrPesel_DATA_EDIT")->setText(s.pesel);
            auto* sex = child<QComboBox>(form, "Plec_DATA_COMBOBOX");
            sex->setCurrentIndex(sex->findText(s.sex));
            child<QPushButton>(form, "OKButton")->click();
            if (form->isVisible()) // refused: leave it the way a user gives up
                child<QPushButton>(form, "AnulujButton")->click();
        });
        main()->DodajUczniaToolButtonClick();
        if (confirm)
            dropPeselQuestion();
    }
    void dropPeselQuestion()
    {
        for (qsizetype i = 0; i < prompts->shown.size(); ++i)
            if (prompts->shown.at(i).text.startsWith(QStringLiteral("Numer PESEL nie jest prawidłowy: "))) {
                prompts->shown.removeAt(i);
                return;
            }
        // Not asked: the answer meant for it must not answer another question.
        if (!prompts->answers.isEmpty() && prompts->answers.first() == Prompts::Answer::Yes)
            prompts->answers.removeFirst();
    }
    QStringList treeCaptions()
    {
        QStringList out;
        for (int i = 0; i < main()->treeView()->topLevelItemCount(); ++i)
            out << main()->treeView()->topLevelItem(i)->text(0);
        return out;
    }
    QTreeWidgetItem* node(int student, int document = -1)
    {
        QTreeWidgetItem* s = main()->treeView()->topLevelItem(student);
        return document < 0 ? s : s->child(document);
    }
    QString tmpPath() { return strFunGetTmpFilePath(env->buf); }
    QString writeDocument(const QString& name, const QByteArray& sql)
    {
        const QString path = env->root() + QLatin1Char('/') + name;
        RawSql::exec(path, sql);
        return path;
    }

private Q_SLOTS:
    void init()
    {
        prepare();
        blankCalibration();
    }
    void cleanup() { closeProgram(); }

    void commandLineTail_data();
    void commandLineTail();
    void startUp();
    void startUpShowsTheImportNoticeOnce();
    void startUpEndsWithoutCatalogue();
    void commandLineDocument();
    void polishSortOrder();
    void addStudentsAndStoreAllRows();
    void namesakesAreToldApart();
    void editStudentChangingPesel();
    void editStudentOntoAnotherPesel();
    void documentFormsCopyTheStudent();
    void cancelledStudentEditNeverReachesTheFile_data();
    void cancelledStudentEditNeverReachesTheFile();
    void everyClickLoadsTheStudentOnce();
    void addingAStudentListsTheStudentsOnce();
    void toolkitDialogsArePolish();
    void everyControlHasAName();
    void everyMenuItemHasItsOwnMnemonic();
    void keyboardSelectionLoadsTheStudent();
    void commandsWithoutSelection();
    void saveCancelledKeepsTheFlag();
    void saveAndReopen();
    void failedSaveKeepsTheDocumentWhole();
    void openAfterAFailedSaveKeepsTheStudents();
    void openBadFiles();
    void windows1250Fixture();
    void newDocumentQuestions();
    void closingQuestions();
    void quitQuestionWithUnsavedChanges_data();
    void quitQuestionWithUnsavedChanges();
    void optionBoxesAreStored();
    void refusedCharacterKeepsTheForm();
    void wheelScrollsThePreview();
    void workingCopyLockedByAnotherProgram();
    void settingsUnreadableBeforeEditingADocument();

    // Opening what is not a plain, settled register.
    void notARegisterIsAFailedOpen_data();
    void notARegisterIsAFailedOpen();
    void killedRunsJournalNeverReachesTheNextRegister();
    void registerWithItsOwnLogOrJournal_data();
    void registerWithItsOwnLogOrJournal();
    void longValuesStayWhole();
    void damagedRegisterOffersItsReadablePart_data();
    void damagedRegisterOffersItsReadablePart();
    void printsTheSelectedDocument();
};

void TestMainWindow::commandLineTail_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("tail");
    QTest::newRow("none") << "/opt/melvok/melvok-dokumenty"
                          << "";
    QTest::newRow("path") << "melvok-dokumenty /home/s/a.sqdoc"
                          << "/home/s/a.sqdoc";
    QTest::newRow("blanks kept") << "  prog \t /home/s/moje dokumenty.sqdoc"
                                 << "/home/s/moje dokumenty.sqdoc";
    QTest::newRow("quoted program") << "\"/opt/my prog\" x.sqdoc"
                                    << "x.sqdoc";
    QTest::newRow("quotes stay") << "prog \"a b.sqdoc\""
                                 << "\"a b.sqdoc\"";
}

void TestMainWindow::commandLineTail()
{
    QFETCH(QString, line);
    QFETCH(QString, tail);
    QCOMPARE(strFunCommandLineTail(line), tail);
}

void TestMainWindow::startUp()
{
    QVERIFY(env->installDataFolder());
    FileOps::touch(tmpPath()); // left over from an earlier run
    RawSql::exec(env->dataFile(QStringLiteral("ustawienia.sqset")),
                 "update settings set int_value=0 where name='strike_empty_fields';"
                 "update settings set int_value=1 where name='word_wrap';");
    start();
    QCOMPARE(main()->windowTitle(), QStringLiteral("Drukowanie dokumentów, wersja: 1.0.0"));
    QVERIFY(!main()->WykreskujPusteCheckBox->isChecked());
    QVERIFY(main()->cbWordWrap->isChecked());
    QVERIFY(!main()->PrintNoDotsCheckBox->isChecked());
    QVERIFY(!QFile::exists(tmpPath()));
    QVERIFY(prompts->shown.isEmpty());
    QVERIFY(!main()->unsavedChanges());
    QCOMPARE(main()->openDocumentPath(), QString());
    QVERIFY(!main()->findChild<QAction*>(QStringLiteral("Edytujdaneucznia1"))->isEnabled());
    QVERIFY(!main()->findChild<QAction*>(QStringLiteral("Drukujwybranewiadectwo2"))->isEnabled());
    for (const char* name : {"Nowyplik1", "Otworzplik1", "Zapisz1", "Zapiszjako1", "Koniec1", "Oprogramie1"})
        QVERIFY(main()->findChild<QAction*>(QString::fromLatin1(name))->isEnabled());
}

void TestMainWindow::startUpShowsTheImportNoticeOnce()
{
    QVERIFY(env->installDataFolder());
    RawSql::exec(env->dataFile(QStringLiteral("ustawienia.sqset")),
                 "update settings set int_value=1 where name='import_alert'");
    start();
    QCOMPARE(prompts->shown.size(), 1);
    QCOMPARE(prompts->shown[0].text,
             QStringLiteral("UWAGA !!!\n\nNastąpiła zmiana w plikach przechowujących dane. "
                            "Stare pliki można wczytać poprzez funkcję import w menu plik."));
    QCOMPARE(prompts->shown[0].caption, QString());
    QCOMPARE(prompts->shown[0].icon, Prompts::Icon::Warning);
    main()->setCloseWithoutQuestions(true);
    w.reset();
    prompts->clear();
    start();
    QVERIFY(prompts->shown.isEmpty());
}

void TestMainWindow::startUpEndsWithoutCatalogue()
{
    QFile::remove(env->programDir() + QStringLiteral("/pliki_kat.sqset"));
    QVERIFY(!startProgram());
    QCOMPARE(prompts->shown.size(), 1); // and no closing question
    QVERIFY(prompts->shown[0].text.startsWith(QStringLiteral(
        "Błąd podczas próby sprawdzenia wymaganych plików / katalogów.\n\n"
        "Błąd podczas próby sprawdzenia wymaganych plików / katalogów.\nPlik nie istnieje: ")));
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Błąd"));
    QCOMPARE(prompts->shown[0].icon, Prompts::Icon::Error);
    QVERIFY(main()->closeWithoutQuestions());
}

void TestMainWindow::commandLineDocument()
{
    const QString doc =
        writeDocument(QStringLiteral("klasa.sqdoc"),
                      "create table PESEL1( id TEXT, comp_name TEXT, value TEXT );"
                      "insert into PESEL1 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Nowak');"
                      "insert into PESEL1 values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Jan');");
    start(doc);
    QCOMPARE(main()->openDocumentPath(), doc);
    QCOMPARE(treeCaptions(), QStringList{QStringLiteral("Nowak Jan")});
    main()->setCloseWithoutQuestions(true);
    w.reset();

    // A tail of five characters is ignored even when such a file exists.
    QDir::setCurrent(env->root());
    QFile::copy(doc, QStringLiteral("a.sqd"));
    start(QStringLiteral("a.sqd"));
    QCOMPARE(main()->openDocumentPath(), QString());
    QCOMPARE(main()->treeView()->topLevelItemCount(), 0);
    main()->setCloseWithoutQuestions(true);
    w.reset();
    QFile::copy(doc, QStringLiteral("ab.sqd"));
    start(QStringLiteral("ab.sqd"));
    QCOMPARE(main()->openDocumentPath(), QStringLiteral("ab.sqd"));
    main()->setCloseWithoutQuestions(true);
    w.reset();
    start(QStringLiteral("\"") + doc + QStringLiteral("\""));
    QCOMPARE(main()->openDocumentPath(), QString());
}

void TestMainWindow::polishSortOrder()
{
    QList<StudentListEntry> list = {{QStringLiteral("Żak Anna"), QStringLiteral("PESEL1")},
                                    {QStringLiteral("Zając Ewa"), QStringLiteral("PESEL2")},
                                    {QStringLiteral("zawada Piotr"), QStringLiteral("PESEL3")},
                                    {QStringLiteral("Łukasz Lis"), QStringLiteral("PESEL4")},
                                    {QStringLiteral("Żak Anna"), QStringLiteral("PESEL0")}};
    QCOMPARE(strFunStudentSortKey(QStringLiteral("Żak ąnna")), QByteArray("ZAK ANNA"));
    vFunSortStudents(list);
    QStringList tables;
    for (const auto& e : list)
        tables << e.tableName;
    // Equal keys keep the order the file listed them in.
    QCOMPARE(tables, (QStringList{"PESEL4", "PESEL2", "PESEL1", "PESEL0", "PESEL3"}));
    // Also with 60 namesakes in two groups: an unstable sort keeps short runs in order by chance.
    const QStringList spellings = {"Żak Anna", "łukasz lis", "zak anna", "ŻAK ANNA", "Lukasz Lis"};
    QList<StudentListEntry> namesakes;
    QStringList inGroup[2]; // LUKASZ LIS, then ZAK ANNA
    for (int i = 0; i < 60; ++i) {
        namesakes.append({spellings[i % 5], QString::number(i)});
        inGroup[i % 5 == 1 || i % 5 == 4 ? 0 : 1] << QString::number(i);
    }
    vFunSortStudents(namesakes);
    tables.clear();
    for (const auto& e : namesakes)
        tables << e.tableName;
    QCOMPARE(tables, inGroup[0] + inGroup[1]);
    // Letters outside the Polish set compare by their Windows-1250 byte: É (0xC9) after Z.
    QList<StudentListEntry> other = {{QStringLiteral("Émile A"), QStringLiteral("a")},
                                     {QStringLiteral("Zyta B"), QStringLiteral("b")}};
    vFunSortStudents(other);
    QCOMPARE(other[0].tableName, QStringLiteral("b"));
}

void TestMainWindow::addStudentsAndStoreAllRows()
{
    start();
    addStudent({QStringLiteral("Żak"), QStringLiteral("Anna"), QStringLiteral("02210112345")});
    addStudent({QStringLiteral("łukasz"), QStringLiteral("lis"), QStringLiteral("02210154321"),
                QStringLiteral("mężczyzna")});
    QVERIFY(main()->unsavedChanges());
    // The first letter a-z becomes a capital; ł stays as typed.
    QCOMPARE(treeCaptions(), (QStringList{QStringLiteral("łukasz Lis"), QStringLiteral("Żak Anna")}));
    const auto rows = RawSql::rows(tmpPath(), "select id, comp_name from PESEL02210112345");
    QCOMPARE(rows.size(), 34);
    QCOMPARE(rows[0], (QList<QByteArray>{"DANE UCZNIA", "Imie_DATA_EDIT"}));
    QCOMPARE(rows[8], (QList<QByteArray>{"DANE UCZNIA", "NrDziennika_DATA_EDIT"}));
    QCOMPARE(rows[9],
             (QList<QByteArray>{"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Miejscowosc_STR1_DATA_EDIT"}));
    QCOMPARE(rows[22],
             (QList<QByteArray>{"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"}));
    QCOMPARE(rows[23],
             (QList<QByteArray>{"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_Miejscowosc_STR1_DATA_EDIT"}));
    QCOMPARE(rows[33], (QList<QByteArray>{"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_Klasy_STR1_DATA_EDIT"}));
    QCOMPARE(
        RawSql::column(tmpPath(), "select value from PESEL02210154321 where comp_name='Plec_DATA_COMBOBOX'"),
        QList<QByteArray>{"m\xea\xbf"
                          "czyzna"});
    QCOMPARE(
        RawSql::column(tmpPath(), "select value from PESEL02210112345 where comp_name='Nazwisko_DATA_EDIT'"),
        QList<QByteArray>{"\xaf"
                          "ak"});
}

void TestMainWindow::namesakesAreToldApart()
{
    start();
    addStudent({QStringLiteral("Nowak"), QStringLiteral("Jan"), QStringLiteral("111")});
    addStudent({QStringLiteral("Nowak"), QStringLiteral("Jan"), QStringLiteral("222")});
    // The list tells them apart by their PESEL; the commands still name the student.
    QCOMPARE(treeCaptions(),
             (QStringList{QStringLiteral("Nowak Jan (PESEL 111)"), QStringLiteral("Nowak Jan (PESEL 222)")}));
    // Clicking the second namesake loads that one, not the first.
    main()->treeView()->setCurrentItem(node(1));
    const QString second = main()->selectedStudentTable();
    QCOMPARE(w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))->text(),
             second.mid(5));
    prompts->answers.enqueue(Prompts::Answer::Yes);
    main()->UsunUczniaToolButtonClick();
    QCOMPARE(prompts->shown.last().text,
             QStringLiteral("Czy na pewno chcesz skasować dane ucznia: \nNowak Jan"));
    QCOMPARE(prompts->shown.last().caption, QStringLiteral("Usuń"));
    QCOMPARE(prompts->shown.last().icon, Prompts::Icon::Warning);
    QCOMPARE(prompts->shown.last().buttons, Prompts::Buttons::YesNo);
    QCOMPARE(treeCaptions(), QStringList{QStringLiteral("Nowak Jan")});
    QCOMPARE(main()->students().first().tableName == second, false);
    // Answering No drops nothing.
    main()->treeView()->setCurrentItem(node(0));
    main()->setUnsavedChanges(false);
    main()->UsunUczniaToolButtonClick();
    QCOMPARE(treeCaptions().size(), 1);
    QVERIFY(main()->unsavedChanges());
}

void TestMainWindow::editStudentChangingPesel()
{
    start();
    addStudent({QStringLiteral("Kowalska"), QStringLiteral("Ewa"), QStringLiteral("111")});
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("222")});
    main()->treeView()->setCurrentItem(node(1));    // Kowalska
    prompts->answers.enqueue(Prompts::Answer::Yes); // "333" is no whole PESEL: stored all the same
    whenModal([](QWidget* form) {
        child<QLineEdit>(form, "NrPesel_DATA_EDIT")->setText(QStringLiteral("333"));
        child<QPushButton>(form, "OKButton")->click();
    });
    main()->EdytujDaneUczniaToolButtonClick();
    dropPeselQuestion();
    QCOMPARE(treeCaptions(), (QStringList{QStringLiteral("Adamska Ola"), QStringLiteral("Kowalska Ewa")}));
    const auto tables = RawSql::column(tmpPath(), "select name from sqlite_master");
    QCOMPARE(tables, (QList<QByteArray>{"PESEL222", "PESEL333"}));
}

void TestMainWindow::editStudentOntoAnotherPesel()
{
    start();
    addStudent({QStringLiteral("Kowalska"), QStringLiteral("Ewa"), QStringLiteral("111")});
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("222")});
    main()->treeView()->setCurrentItem(node(1)); // Kowalska
    prompts->clear();
    prompts->answers.enqueue(Prompts::Answer::Yes); // "222" is no whole PESEL: stored all the same
    prompts->answers.enqueue(Prompts::Answer::No);
    whenModal([](QWidget* form) {
        child<QLineEdit>(form, "NrPesel_DATA_EDIT")->setText(QStringLiteral("222"));
        child<QPushButton>(form, "OKButton")->click();
        QVERIFY(form->isVisible()); // No: the form stays for a correction
        child<QPushButton>(form, "AnulujButton")->click();
    });
    main()->EdytujDaneUczniaToolButtonClick();
    dropPeselQuestion();
    QCOMPARE(prompts->shown.size(), 1);
    QCOMPARE(prompts->shown[0].text, QStringLiteral("Uczeń o tym numerze PESEL już istnieje:\nAdamska Ola\n"
                                                    "Czy chcesz nadpisać dane tego ucznia ?"));
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Zapis"));
    QCOMPARE(prompts->shown[0].defaultAnswer, Prompts::Answer::No);
    QCOMPARE(RawSql::column(tmpPath(), "select name from sqlite_master"),
             (QList<QByteArray>{"PESEL111", "PESEL222"}));
    QCOMPARE(RawSql::column(tmpPath(), "select value from PESEL222 where comp_name='Nazwisko_DATA_EDIT'"),
             QList<QByteArray>{"Adamska"});
}

void TestMainWindow::documentFormsCopyTheStudent()
{
    start();
    addStudent({QStringLiteral("Wiśniewska"), QStringLiteral("Zofia"), QStringLiteral("05270812345")});
    main()->treeView()->setCurrentItem(node(0, 0));
    QCOMPARE(main()->selectedDocumentCaption(), QStringLiteral("Zawiadomienie o przekazaniu"));
    whenModal([](QWidget* form) {
        QCOMPARE(form->windowTitle(), QStringLiteral("Zawiadomienie o przekazaniu ucznia"));
        QCOMPARE(child<QLineEdit>(form, "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT")->text(),
                 QStringLiteral("Wiśniewska Zofia"));
        QCOMPARE(child<QLineEdit>(form, "ZMIENNA_PESEL_STR1_DATA_EDIT")->text(),
                 QStringLiteral("05270812345"));
        child<QLineEdit>(form, "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT")
            ->setText(QStringLiteral("zmiana adresu 'na wieś'"));
        child<QPushButton>(form, "OKButton")->click();
    });
    main()->EdytujSwiadectwoToolButtonClick();
    // The document is selected again and shows what was stored.
    QCOMPARE(main()->selectedDocumentCaption(), QStringLiteral("Zawiadomienie o przekazaniu"));
    QCOMPARE(
        w->zawiadomienie->findChild<QLineEdit*>(QStringLiteral("ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"))
            ->text(),
        QStringLiteral("zmiana adresu 'na wieś'"));

    // Cancel drops what was typed.
    whenModal([](QWidget* form) {
        child<QLineEdit>(form, "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT")->setText(QStringLiteral("inny"));
        child<QPushButton>(form, "CancelButton")->click();
    });
    main()->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(
        w->zawiadomienie->findChild<QLineEdit*>(QStringLiteral("ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"))
            ->text(),
        QStringLiteral("zmiana adresu 'na wieś'"));
    QCOMPARE(w->potwierdzenie->findChild<QLineEdit*>(QStringLiteral("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"))
                 ->text(),
             QStringLiteral("Wiśniewska Zofia"));
}

void TestMainWindow::cancelledStudentEditNeverReachesTheFile_data()
{
    QTest::addColumn<QString>("cancelledPesel");
    QTest::addColumn<QByteArray>("storedPesel"); // the PESEL row of the edited student's table PESEL111
    QTest::newRow("a new PESEL") << "99999999999" << QByteArray("111");
    QTest::newRow("another student's PESEL") << "222" << QByteArray("111");
    QTest::newRow("PESEL row apart from the table name") << "222" << QByteArray("333");
}

// Cancel in the student form, then OK in a document form: only the document change
// reaches the working copy, and only the selected student's own table.
void TestMainWindow::cancelledStudentEditNeverReachesTheFile()
{
    QFETCH(QString, cancelledPesel);
    QFETCH(QByteArray, storedPesel);
    start();
    addStudent({QStringLiteral("Kowalska"), QStringLiteral("Ewa"), QStringLiteral("111")});
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("222")});
    RawSql::exec(tmpPath(),
                 "update PESEL111 set value='" + storedPesel + "' where comp_name='NrPesel_DATA_EDIT'");
    main()->treeView()->setCurrentItem(node(1, 0)); // Kowalska's transfer notice
    // A first OK stores the copied name and PESEL into the documents as well.
    whenModal([](QWidget* form) { child<QPushButton>(form, "OKButton")->click(); });
    main()->EdytujSwiadectwoToolButtonClick();
    const QByteArray dump = "select id, comp_name, value from ";
    auto expected = RawSql::rows(tmpPath(), dump + "PESEL111");
    const auto other = RawSql::rows(tmpPath(), dump + "PESEL222");
    prompts->clear();
    whenModal([cancelledPesel](QWidget* form) {
        child<QLineEdit>(form, "NrPesel_DATA_EDIT")->setText(cancelledPesel);
        child<QLineEdit>(form, "Nazwisko_DATA_EDIT")->setText(QStringLiteral("Zmieniona"));
        child<QPushButton>(form, "AnulujButton")->click();
    });
    main()->EdytujDaneUczniaToolButtonClick();
    whenModal([](QWidget* form) {
        child<QLineEdit>(form, "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT")
            ->setText(QStringLiteral("przeprowadzka"));
        child<QPushButton>(form, "OKButton")->click();
    });
    main()->EdytujSwiadectwoToolButtonClick();

    QCOMPARE(prompts->texts().size(), 1); // the question about the school data template only
    QCOMPARE(RawSql::column(tmpPath(), "select name from sqlite_master order by name"),
             (QList<QByteArray>{"PESEL111", "PESEL222"}));
    QCOMPARE(RawSql::rows(tmpPath(), dump + "PESEL222"), other);
    for (auto& row : expected)
        if (row[1] == "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT")
            row[2] = "przeprowadzka";
    QCOMPARE(RawSql::rows(tmpPath(), dump + "PESEL111"), expected);
}

void TestMainWindow::everyClickLoadsTheStudentOnce()
{
    start();
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("1")});
    addStudent({QStringLiteral("Baran"), QStringLiteral("Piotr"), QStringLiteral("2")});
    main()->show();
    QVERIFY(QTest::qWaitForWindowExposed(main()));
    QTreeWidget* tree = main()->treeView();
    const auto click = [tree](QTreeWidgetItem* item) {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    };
    auto* surname = w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"));
    click(node(0));
    surname->setText(QStringLiteral("Inna")); // left behind in the form
    click(node(0));
    QCOMPARE(surname->text(), QStringLiteral("Adamska"));
    // A click that changes the selection loads once: one message when that fails.
    RawSql::exec(tmpPath(), "drop table PESEL2");
    prompts->clear();
    click(node(1));
    QCOMPARE(prompts->texts().size(), 1);
    main()->hide();
}

void TestMainWindow::addingAStudentListsTheStudentsOnce()
{
    start();
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("1")});
    QSignalSpy rebuilt(main()->treeView()->model(), &QAbstractItemModel::modelReset);
    addStudent({QStringLiteral("Baran"), QStringLiteral("Piotr"), QStringLiteral("2")});
    QCOMPARE(treeCaptions(), (QStringList{QStringLiteral("Adamska Ola"), QStringLiteral("Baran Piotr")}));
    QCOMPARE(rebuilt.size(), 1);
}

void TestMainWindow::everyControlHasAName()
{
    start();
    QStringList unnamed;
    for (QWidget* window : {static_cast<QWidget*>(main()), static_cast<QWidget*>(w->oProgramie),
                            static_cast<QWidget*>(w->backupFiles), static_cast<QWidget*>(w->wait)}) {
        QList<QWidget*> controls = window->findChildren<QWidget*>();
        for (QWidget* control : std::as_const(controls)) {
            // Each window's own controls; a combo box's list and edit are the combo box's.
            if (control->window() != window || qobject_cast<QComboBox*>(control->parentWidget()) ||
                qobject_cast<QComboBox*>(control->parentWidget() ? control->parentWidget()->parentWidget()
                                                                 : nullptr))
                continue;
            const bool picture =
                qobject_cast<QLabel*>(control) && qobject_cast<QLabel*>(control)->text().isEmpty();
            if (control->focusPolicy() == Qt::NoFocus && !picture)
                continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
            if (face && face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << window->objectName() + QLatin1Char('/') + control->objectName() +
                               QLatin1Char(':') + QString::fromLatin1(control->metaObject()->className());
        }
    }
    QCOMPARE(unnamed.join(QLatin1Char('\n')), QString());
}

void TestMainWindow::everyMenuItemHasItsOwnMnemonic()
{
    start();
    QList<QMenu*> menus = main()->findChildren<QMenu*>();
    QVERIFY(menus.size() >= 6); // five menus of the menu bar and the tree's pop-up menu
    for (QMenu* menu : std::as_const(menus)) {
        QSet<QChar> keys;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator() || !item->isVisible())
                continue;
            const qsizetype amp = item->text().indexOf(QLatin1Char('&'));
            QVERIFY2(amp >= 0 && amp + 1 < item->text().size(), qPrintable(item->text()));
            const QChar key = item->text().at(amp + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(item->text()));
            keys.insert(key);
        }
    }
}

void TestMainWindow::toolkitDialogsArePolish()
{
    QVERIFY(bFunLoadQtTranslations()); // as the program starts
    QFileDialog dialog(nullptr, QStringLiteral("Wczytaj plik"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
             QStringLiteral("Anuluj"));
    QCOMPARE(buttons->button(QDialogButtonBox::Open)->text().remove(QLatin1Char('&')),
             QStringLiteral("Otwórz"));

    // The desktop's question box lets Enter give the answer the question asks for.
    QString pressed;
    whenModal([&pressed](QWidget* box) {
        QPushButton* enter = qobject_cast<QMessageBox*>(box)->defaultButton();
        pressed = enter->text();
        enter->click();
    });
    QtPrompts desktop;
    QVERIFY(!desktop.askYesNo(nullptr, QStringLiteral("Nadpisać ?"), QStringLiteral("Zapis"),
                              Prompts::Icon::Warning, Prompts::Answer::No));
    QCOMPARE(pressed, QStringLiteral("&Nie"));

    // Whatever the system's language, a file's size, type and date read in Polish, in a
    // dialog wide enough for them.
    const QString folder = env->root() + QStringLiteral("/rejestry");
    QVERIFY(QDir().mkpath(folder));
    const QString doc = writeDocument(QStringLiteral("rejestry/klasa.sqdoc"), "create table t(a);");
    QFile file(doc);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(QDateTime(QDate(2024, 12, 9), QTime(10, 30)),
                                                                QFileDevice::FileModificationTime));
    file.close();
    QStringList columns;
    int width = 0;
    whenModal([&](QWidget* box) {
        width = box->width();
        auto* view = box->findChild<QTreeView*>(QStringLiteral("treeView"));
        QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) == 1);
        for (int column = 1; column < 4; ++column)
            columns << view->model()->index(0, column, view->rootIndex()).data().toString();
        qobject_cast<QDialog*>(box)->reject();
    });
    desktop.openFileName(nullptr, QStringLiteral("Otwórz"), QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"),
                         folder);
    QCOMPARE(columns, QStringList({QStringLiteral("8,00 KiB"), QStringLiteral("Baza danych SQLite3"),
                                   QStringLiteral("9.12.2024 10:30")}));
    QVERIFY(width >= 900);
}

void TestMainWindow::keyboardSelectionLoadsTheStudent()
{
    start();
    addStudent({QStringLiteral("Adamska"), QStringLiteral("Ola"), QStringLiteral("1")});
    addStudent({QStringLiteral("Baran"), QStringLiteral("Piotr"), QStringLiteral("2")});
    QCOMPARE(main()->focusWidget(), main()->treeView()); // where the keyboard starts
    // After a refill nothing is selected: the first Down selects the node with the focus
    // frame, not the one after it.
    main()->treeView()->setCurrentItem(node(0));
    main()->treeView()->clearSelection();
    QTest::keyClick(main()->treeView(), Qt::Key_Down);
    QCOMPARE(main()->selectedStudentCaption(), QStringLiteral("Adamska Ola"));
    main()->treeView()->setCurrentItem(node(0));
    main()->treeView()->setFocus();
    QTest::keyClick(main()->treeView(), Qt::Key_Down); // moves past the collapsed first student
    QCOMPARE(main()->selectedStudentCaption(), QStringLiteral("Baran Piotr"));
    QCOMPARE(w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"))->text(),
             QStringLiteral("Baran"));
    QVERIFY(main()->findChild<QAction*>(QStringLiteral("Usudaneucznia1"))->isEnabled());
    QVERIFY(!main()->findChild<QAction*>(QStringLiteral("Edytujdokument1"))->isEnabled());
    // Enter on a student opens nothing; Enter on a document opens its form.
    QTest::keyClick(main()->treeView(), Qt::Key_Return);
    QVERIFY(prompts->shown.isEmpty());
    main()->treeView()->setCurrentItem(node(1, 1));
    QString opened;
    whenModal([&opened](QWidget* form) { opened = form->windowTitle(); });
    QTest::keyClick(main()->treeView(), Qt::Key_Return);
    QCOMPARE(opened, QStringLiteral("Potwierdzenie przyjęcia ucznia"));
}

void TestMainWindow::commandsWithoutSelection()
{
    start();
    main()->EdytujDaneUczniaToolButtonClick();
    main()->UsunUczniaToolButtonClick();
    main()->EdytujSwiadectwoToolButtonClick(); // the template is not made yet: asked first
    main()->DrukujToolButtonClick();
    QCOMPARE(prompts->texts(),
             (QStringList{QStringLiteral("Nie wybrano ucznia z listy"),
                          QStringLiteral("Nie wybrano ucznia z listy"),
                          QStringLiteral("Szablon danych szkoły nie został jeszcze utworzony.\n"
                                         "Czy chcesz utworzyć szablon teraz ?"),
                          QStringLiteral("Nie wybrano świadectwa z listy"),
                          QStringLiteral("Zaznacz świadectwo które chciesz wydrukować")}));
    QCOMPARE(prompts->shown[2].caption, QStringLiteral("Szablon"));
    QCOMPARE(prompts->shown[2].icon, Prompts::Icon::Question);
    QCOMPARE(prompts->shown[2].buttons, Prompts::Buttons::YesNo);
    prompts->shown.removeAt(2);
    for (const ShownBox& box : prompts->shown) {
        QCOMPARE(box.caption, QStringLiteral("Brak wyboru"));
        QCOMPARE(box.icon, Prompts::Icon::Warning);
    }
    QVERIFY(main()->unsavedChanges()); // set as the first step, even when the command stops
}

void TestMainWindow::saveCancelledKeepsTheFlag()
{
    start();
    addStudent({QStringLiteral("Nowak"), QStringLiteral("Jan"), QStringLiteral("1")});
    prompts->clear();
    main()->Zapisz1Click(); // the save dialog is cancelled
    QCOMPARE(prompts->shown.size(), 1);
    QCOMPARE(prompts->shown[0].kind, ShownBox::Kind::SaveFile);
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Zapisz"));
    QCOMPARE(prompts->shown[0].filter, QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"));
    QCOMPARE(prompts->shown[0].initialName, QStringLiteral("nowy"));
    QVERIFY(main()->unsavedChanges());
    QCOMPARE(main()->openDocumentPath(), QString());
}

void TestMainWindow::saveAndReopen()
{
    start();
    addStudent({QStringLiteral("O'Neil"), QStringLiteral("Anna"), QStringLiteral("1")});
    addStudent({QStringLiteral("Zięba"), QStringLiteral("Łucja"), QStringLiteral("2")});
    const QString doc = env->root() + QStringLiteral("/klasa 1a.sqdoc");
    prompts->files.enqueue(doc);
    main()->Zapisz1Click();
    QVERIFY(!main()->unsavedChanges());
    QCOMPARE(main()->openDocumentPath(), doc);
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), (QList<QByteArray>{"PESEL1", "PESEL2"}));

    // Save as onto itself asks first.
    prompts->files.enqueue(doc);
    prompts->answers.enqueue(Prompts::Answer::No);
    main()->Zapiszjako1Click();
    QCOMPARE(prompts->shown.last().text,
             QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"));
    QCOMPARE(prompts->shown.last().caption, QStringLiteral("Zapisz"));

    main()->setCloseWithoutQuestions(true);
    w.reset();
    prompts->clear();
    start(doc);
    QCOMPARE(treeCaptions(), (QStringList{QStringLiteral("O'Neil Anna"), QStringLiteral("Zięba Łucja")}));
    QVERIFY(prompts->shown.isEmpty());
}

void TestMainWindow::failedSaveKeepsTheDocumentWhole()
{
    const QString doc =
        writeDocument(QStringLiteral("stary.sqdoc"),
                      "create table PESEL9( id TEXT, comp_name TEXT, value TEXT );"
                      "insert into PESEL9 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Stary');");
    QFile f(doc);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    start(doc);
    addStudent({QStringLiteral("Nowy"), QStringLiteral("Uczeń"), QStringLiteral("1")});
    prompts->clear();
    std::optional<FullDisk> disk(std::in_place, 2048); // the disk fills up while saving
    main()->Zapisz1Click();
    disk.reset();
    QCOMPARE(prompts->shown.size(), 1);
    QCOMPARE(prompts->shown[0].text,
             QStringLiteral("Błąd kopiowania pliku z\n") + tmpPath() + QStringLiteral("\ndo:\n") + doc +
                 QStringLiteral("\nKod błędu: ") + QString::number(ENOSPC) +
                 QStringLiteral("\nNa dysku zabrakło miejsca.\n\nDane nie zostały zapisane."));
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Błąd"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QVERIFY(main()->unsavedChanges());
    // Closing still asks to save; "Zapisz" saves for real this time.
    prompts->clear();
    prompts->choices << 0;
    QVERIFY(main()->close());
    QCOMPARE(RawSql::column(doc, "select name from sqlite_master"), (QList<QByteArray>{"PESEL9", "PESEL1"}));
}

void TestMainWindow::openAfterAFailedSaveKeepsTheStudents()
{
    const QString doc = writeDocument(QStringLiteral("klasa.sqdoc"),
                                      "create table PESEL9( id TEXT, comp_name TEXT, value TEXT );");
    const QString other = writeDocument(QStringLiteral("inna.sqdoc"),
                                        "create table PESEL8( id TEXT, comp_name TEXT, value TEXT );");
    start(doc);
    addStudent({QStringLiteral("Nowy"), QStringLiteral("Uczeń"), QStringLiteral("1")});
    prompts->clear();
    prompts->answers.enqueue(Prompts::Answer::Yes); // save first, and the disk is full
    prompts->files.enqueue(other);
    std::optional<FullDisk> disk(std::in_place, 2048);
    main()->OtworzPlikToolButtonClick();
    disk.reset();
    QCOMPARE(prompts->shown.size(), 2); // the question and the save failure, no open dialog
    QCOMPARE(main()->openDocumentPath(), doc);
    QCOMPARE(RawSql::column(tmpPath(), "select name from sqlite_master order by name"),
             (QList<QByteArray>{"PESEL1", "PESEL9"}));
    QVERIFY(main()->unsavedChanges());
}

void TestMainWindow::openBadFiles()
{
    start();
    const QString junk = env->root() + QStringLiteral("/notatka.sqdoc");
    QFile j(junk);
    QVERIFY(j.open(QIODevice::WriteOnly));
    const QByteArray note = QByteArray("To nie jest plik dokumentów.\n").repeated(200);
    j.write(note);
    j.close();
    prompts->files.enqueue(junk);
    main()->OtworzPlikToolButtonClick();
    QCOMPARE(prompts->texts(), QStringList{QStringLiteral(
                                   "Błąd podczas próby wczytania listy uczniów\n\n"
                                   "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu.\n\n"
                                   "Wybrany plik nie jest plikiem dokumentów albo jest uszkodzony.")});
    QCOMPARE(main()->treeView()->topLevelItemCount(), 0);
    QVERIFY(j.open(QIODevice::ReadOnly));
    QCOMPARE(j.readAll(), note); // untouched
    j.close();

    // An empty file is an empty register.
    prompts->clear();
    const QString empty = env->root() + QStringLiteral("/pusty.sqdoc");
    FileOps::touch(empty);
    prompts->files.enqueue(empty);
    main()->OtworzPlikToolButtonClick();
    QVERIFY(prompts->texts().isEmpty());
    QCOMPARE(main()->openDocumentPath(), empty);

    // A file that vanished between choosing and copying.
    prompts->clear();
    const QString gone = env->root() + QStringLiteral("/zniknal.sqdoc");
    prompts->files.enqueue(gone);
    main()->OtworzPlikToolButtonClick();
    QCOMPARE(prompts->shown.size(), 2);
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Wczytaj plik"));
    QCOMPARE(prompts->shown[0].filter, QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"));
    QCOMPARE(prompts->shown[1].caption, QStringLiteral("Błąd"));
    QCOMPARE(prompts->shown[1].text, QStringLiteral("Błąd kopiowania pliku\nz :") + gone +
                                         QStringLiteral("\ndo :") + tmpPath() +
                                         QStringLiteral("\nKod błędu: ") + QString::number(ENOENT) +
                                         QStringLiteral("\nDane świadectw nie zostały wczytane."));
    QCOMPARE(main()->openDocumentPath(), QString());
    QVERIFY(!QFile::exists(tmpPath()));

    // A read-only file becomes writable so that Save can replace it.
    prompts->clear();
    const QString ro = writeDocument(QStringLiteral("ro.sqdoc"),
                                     "create table PESEL5( id TEXT, comp_name TEXT, value TEXT );");
    QFile::setPermissions(ro, QFileDevice::ReadOwner);
    prompts->files.enqueue(ro);
    main()->OtworzPlikToolButtonClick();
    QVERIFY(QFileInfo(ro).permissions() & QFileDevice::WriteOwner);
    QCOMPARE(treeCaptions(), QStringList{QStringLiteral("PESEL5")}); // a student without name rows
}

void TestMainWindow::windows1250Fixture()
{
    // Written as a Windows machine writes it: Windows-1250 bytes.
    const QString doc = writeDocument(
        QStringLiteral("windows.sqdoc"),
        "create table `PESEL99010112345`( id TEXT, comp_name TEXT, value TEXT );"
        "insert into `PESEL99010112345`( id, comp_name, value ) values( 'DANE UCZNIA', 'Imie_DATA_EDIT', "
        "'\xa3ucja' );"
        "insert into `PESEL99010112345`( id, comp_name, value ) values( 'DANE UCZNIA', 'Nazwisko_DATA_EDIT', "
        "'\x8cwi\xea"
        "tokrzyska-\xafy\xbfy\xf1ska' );"
        "insert into `PESEL99010112345`( id, comp_name, value ) values( 'DANE UCZNIA', 'Plec_DATA_COMBOBOX', "
        "'m\xea\xbf"
        "czyzna' );"
        "insert into `PESEL99010112345`( id, comp_name, value ) values( 'DANE UCZNIA', "
        "'UrodzonyMiasto_DATA_COMBOBOX', '\xa3\xf3"
        "d\x9f' );"
        "insert into `PESEL99010112345`( id, comp_name, value ) values( 'ZAWIADOMIENIE_O_PRZEKAZANIU', "
        "'ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT', 'zmiana miejsca zamieszkania \x84w\xb9tpliwa\x94' );");
    start(doc);
    QCOMPARE(treeCaptions(), QStringList{QStringLiteral("Świętokrzyska-Żyżyńska Łucja")});
    main()->treeView()->setCurrentItem(node(0, 0));
    QCOMPARE(w->daneUcznia->findChild<QComboBox*>(QStringLiteral("Plec_DATA_COMBOBOX"))->currentText(),
             QStringLiteral("mężczyzna"));
    QCOMPARE(
        w->daneUcznia->findChild<QComboBox*>(QStringLiteral("UrodzonyMiasto_DATA_COMBOBOX"))->currentText(),
        QStringLiteral("Łódź"));
    QCOMPARE(
        w->zawiadomienie->findChild<QLineEdit*>(QStringLiteral("ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"))
            ->text(),
        QStringLiteral("zmiana miejsca zamieszkania „wątpliwa”"));
    QCOMPARE(w->zawiadomienie->findChild<QLineEdit*>(QStringLiteral("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"))
                 ->text(),
             QStringLiteral("Świętokrzyska-Żyżyńska Łucja"));
}

void TestMainWindow::newDocumentQuestions()
{
    start();
    addStudent({QStringLiteral("Nowak"), QStringLiteral("Jan"), QStringLiteral("1")});
    prompts->clear();
    prompts->answers.enqueue(Prompts::Answer::Yes); // save? yes, then cancel the dialog
    main()->NowyPlikToolButtonClick();
    QCOMPARE(prompts->shown[0].text, QStringLiteral("Czy chcesz zapisać zmiany ?"));
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Edycja"));
    QCOMPARE(prompts->shown[0].icon, Prompts::Icon::Question);
    QCOMPARE(treeCaptions().size(), 1); // nothing changed
    QVERIFY(QFile::exists(tmpPath()));

    prompts->answers.enqueue(Prompts::Answer::No);
    main()->NowyPlikToolButtonClick();
    QCOMPARE(treeCaptions().size(), 0);
    QVERIFY(!QFile::exists(tmpPath()));
    QVERIFY(main()->unsavedChanges()); // not saved, so the next New, Open or closing asks again

    // Save as before any student: an empty document file.
    const QString doc = env->root() + QStringLiteral("/pusty.sqdoc");
    prompts->files.enqueue(doc);
    main()->Zapiszjako1Click();
    QVERIFY(QFile::exists(doc));
    QCOMPARE(main()->openDocumentPath(), doc);
    // A screen reader hears the path too, and hears it change.
    QAccessibleInterface* path =
        QAccessible::queryAccessibleInterface(child<QLabel>(main(), "StatusBarText"));
    QCOMPARE(path->text(QAccessible::Name), QStringLiteral("Otwarty plik: ") + doc);
    main()->NowyPlikToolButtonClick();
    QCOMPARE(path->text(QAccessible::Name), QStringLiteral("Otwarty plik: brak"));
}

void TestMainWindow::closingQuestions()
{
    start();
    // Without changes only the end question; No keeps the program running.
    QVERIFY(!main()->close());
    QCOMPARE(prompts->texts(), QStringList{QStringLiteral("Czy na pewno chcesz zakończyć pracę ?")});
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Koniec"));
}

// With unsaved changes one question decides: "Zapisz", "Nie zapisuj" or "Anuluj".
void TestMainWindow::quitQuestionWithUnsavedChanges_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("saveTo"); // the file the save dialog answers; empty cancels it
    QTest::addColumn<bool>("closes");
    QTest::newRow("Zapisz") << 0 << QStringLiteral("zapisany.sqdoc") << true;
    QTest::newRow("Zapisz, its dialog cancelled") << 0 << QString() << false;
    QTest::newRow("Nie zapisuj") << 1 << QString() << true;
    QTest::newRow("Anuluj") << 2 << QString() << false;
}

void TestMainWindow::quitQuestionWithUnsavedChanges()
{
    QFETCH(int, choice);
    QFETCH(QString, saveTo);
    QFETCH(bool, closes);
    start();
    addStudent({QStringLiteral("Kowalska"), QStringLiteral("Ewa"), QStringLiteral("1")});
    const QString target = saveTo.isEmpty() ? QString() : env->root() + QLatin1Char('/') + saveTo;
    const QByteArray working = RawFile::bytes(tmpPath());
    prompts->clear();
    prompts->choices << choice;
    prompts->files << target;
    QCOMPARE(main()->close(), closes);
    const ShownBox box = prompts->shown.value(0);
    QCOMPARE(box.kind, ShownBox::Kind::Choice);
    QCOMPARE(box.text, QStringLiteral("Czy chcesz zapisać zmiany ?"));
    QCOMPARE(box.choices, (QStringList{"Zapisz", "Nie zapisuj", "Anuluj"}));
    QCOMPARE(box.defaultChoice, 0);
    // No second question after the answer.
    QCOMPARE(prompts->texts().size(), 1);
    QCOMPARE(QFileInfo::exists(target), !target.isEmpty());
    QCOMPARE(main()->unsavedChanges(), choice != 0 || target.isEmpty());
    // The work stays as it was whatever was answered.
    QCOMPARE(RawFile::bytes(tmpPath()), working);
    QCOMPARE(treeCaptions(), QStringList{QStringLiteral("Kowalska Ewa")});
}

void TestMainWindow::optionBoxesAreStored()
{
    start();
    main()->cbWordWrap->click();
    int value = 0;
    QVERIFY(bFunSqlGetSettingsValue(env->buf, QStringLiteral("word_wrap"), value));
    QCOMPARE(value, 1);
    main()->WykreskujPusteCheckBox->click();
    QVERIFY(bFunSqlGetSettingsValue(env->buf, QStringLiteral("strike_empty_fields"), value));
    QCOMPARE(value, 0);
}

void TestMainWindow::refusedCharacterKeepsTheForm()
{
    start();
    whenModal([](QWidget* form) {
        child<QLineEdit>(form, "Nazwisko_DATA_EDIT")->setText(QStringLiteral("Nowak ☺"));
        child<QLineEdit>(form, "Imie_DATA_EDIT")->setText(QStringLiteral("Jan"));
        child<QComboBox>(form, "Plec_DATA_COMBOBOX")->setCurrentIndex(0);
        child<QPushButton>(form, "OKButton")->click();
        QVERIFY(form->isVisible());
        QCOMPARE(child<QLineEdit>(form, "Nazwisko_DATA_EDIT")->text(), QStringLiteral("Nowak ☺"));
        child<QPushButton>(form, "AnulujButton")->click();
    });
    main()->DodajUczniaToolButtonClick();
    const QString text = prompts->texts().last();
    QVERIFY2(text.startsWith(QStringLiteral("Błąd zapisu danych.\n\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("☺")) && text.contains(QStringLiteral("U+263A")), qPrintable(text));
    QCOMPARE(RawSql::column(tmpPath(), "select count(*) from sqlite_master"), QList<QByteArray>{"0"});
}

void TestMainWindow::wheelScrollsThePreview()
{
    start();
    main()->resize(1000, 600);
    main()->show();
    QVERIFY(QTest::qWaitForWindowExposed(main()));
    QScrollBar* bar = main()->scrollBox()->verticalScrollBar();
    QVERIFY(bar->maximum() > 240);
    main()->FormMouseWheel(120); // forward at the top stays at the top
    QCOMPARE(bar->value(), 0);
    main()->FormMouseWheel(-240);
    QCOMPARE(bar->value(), 240);
    main()->FormMouseWheel(120);
    QCOMPARE(bar->value(), 120);
    main()->hide();
}

void TestMainWindow::workingCopyLockedByAnotherProgram()
{
    start();
    addStudent({QStringLiteral("Nowak"), QStringLiteral("Jan"), QStringLiteral("1")});
    main()->treeView()->setCurrentItem(node(0, 1));
    // Another program holds the working copy; the wait is shortened for the test.
    ShortBusyWait shortWait;
    ForeignConnection other(tmpPath(), "begin exclusive;");
    prompts->clear();
    bool stayedOpen = false;
    whenModal([&](QWidget* form) {
        child<QLineEdit>(form, "ZMIENNA_Klasy_STR1_DATA_EDIT")->setText(QStringLiteral("2a"));
        child<QPushButton>(form, "OKButton")->click();
        stayedOpen = form->isVisible();
        // The other program lets go; the second OK goes through.
        other.release();
        child<QPushButton>(form, "OKButton")->click();
    });
    main()->EdytujSwiadectwoToolButtonClick();
    QVERIFY(stayedOpen);
    QCOMPARE(prompts->texts().at(1),
             QStringLiteral("Błąd zapisu danych.\n\nPrzyczyna: plik jest zablokowany przez inny program."));
    QCOMPARE(
        RawSql::column(tmpPath(), "select value from PESEL1 where comp_name='ZMIENNA_Klasy_STR1_DATA_EDIT'"),
        QList<QByteArray>{"2a"});
}

void TestMainWindow::settingsUnreadableBeforeEditingADocument()
{
    start();
    QFile::remove(env->dataFile(QStringLiteral("ustawienia.sqset")));
    main()->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(prompts->texts(), QStringList{QStringLiteral("Błąd uzyskania zmiennej z pliku ustawień")});
    QCOMPARE(prompts->shown[0].caption, QStringLiteral("Błąd"));
    QCOMPARE(prompts->shown[0].icon, Prompts::Icon::Error);
    QVERIFY(!main()->unsavedChanges());
}

// ---------------------------------------------------------------- opening unusual files

namespace {

// `count` students "<surname><i> Anna" in tables PESEL1.., each with a document text
// of `padding` characters; `rename` instead gives every row of them a new value.
QByteArray registerSql(int count, const QByteArray& surname, int padding = 10, bool rename = false)
{
    QByteArray sql = rename ? "" : "begin;";
    for (int i = 1; i <= count; ++i) {
        const QByteArray table = "`PESEL" + QByteArray::number(i) + "`";
        const QByteArray insert = "insert into " + table + " values('";
        sql += rename ? "update " + table + " set value='ZMIENIONY';"
                      : "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );" + insert +
                            "DANE UCZNIA', 'Nazwisko_DATA_EDIT', '" + surname + QByteArray::number(i) +
                            "');" + insert + "DANE UCZNIA', 'Imie_DATA_EDIT', 'Anna');" + insert +
                            "ZAWIADOMIENIE_O_PRZEKAZANIU', 'ZMIENNA_Klasy_STR1_DATA_EDIT', '" +
                            QByteArray(padding, 'p') + "');";
    }
    return rename ? sql : sql + "commit;";
}

} // namespace

void TestMainWindow::notARegisterIsAFailedOpen_data()
{
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("command line") << true;
    QTest::newRow("open") << false;
}

void TestMainWindow::notARegisterIsAFailedOpen()
{
    QFETCH(bool, commandLine);
    QByteArray bytes(8192, '\0');
    QRandomGenerator(2049).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    const QString bad = env->root() + QStringLiteral("/zly.sqdoc");
    QVERIFY(RawFile::write(bad, bytes));
    start(commandLine ? bad : writeDocument(QStringLiteral("dobry.sqdoc"), registerSql(2, "Dobry")));
    if (!commandLine) {
        prompts->files.enqueue(bad);
        main()->OtworzPlikToolButtonClick();
    }
    QCOMPARE(prompts->texts(), QStringList{QStringLiteral(
                                   "Błąd podczas próby wczytania listy uczniów\n\n"
                                   "Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu.\n\n"
                                   "Wybrany plik nie jest plikiem dokumentów albo jest uszkodzony.")});
    QCOMPARE(main()->openDocumentPath(), QString());
    QCOMPARE(main()->treeView()->topLevelItemCount(), 0);
    QVERIFY(!QFileInfo::exists(tmpPath()));
}

void TestMainWindow::killedRunsJournalNeverReachesTheNextRegister()
{
    const QString big = writeDocument(QStringLiteral("duzy.sqdoc"), registerSql(200, "Stary", 2000));
    const QString other = writeDocument(QStringLiteral("inny.sqdoc"), registerSql(3, "Nowy"));
    const QByteArray otherBytes = RawFile::bytes(other);
    start(big);
    QVERIFY(killMidTransaction(tmpPath(), registerSql(200, "", 0, true)));
    QVERIFY(QFileInfo(tmpPath() + QStringLiteral("-journal")).size() > 0);
    main()->setCloseWithoutQuestions(true);
    w.reset();

    start();
    prompts->files.enqueue(other);
    main()->OtworzPlikToolButtonClick();
    QCOMPARE(RawFile::bytes(tmpPath()), otherBytes);
    main()->Zapisz1Click();
    // The same file, with its first save counted in the header (SQLite's user_version).
    QByteArray saved = RawFile::bytes(other);
    QCOMPARE(saved.mid(60, 4), QByteArray("\0\0\0\1", 4));
    QCOMPARE(saved.replace(60, 4, otherBytes.mid(60, 4)), otherBytes);
    QVERIFY(prompts->texts().isEmpty());
}

void TestMainWindow::registerWithItsOwnLogOrJournal_data()
{
    QTest::addColumn<QString>("companion");
    QTest::addColumn<bool>("settles");
    QTest::newRow("uncheckpointed log") << "-wal" << true;
    QTest::newRow("hot journal") << "-journal" << true;
    QTest::newRow("log whose index cannot be made") << "-shm" << false;
}

void TestMainWindow::registerWithItsOwnLogOrJournal()
{
    QFETCH(QString, companion);
    QFETCH(bool, settles);
    const QString doc = env->root() + QStringLiteral("/rejestr.sqdoc");
    if (companion == QStringLiteral("-journal")) {
        RawSql::exec(doc, registerSql(40, "Uczen", 2000));
        QVERIFY(killMidTransaction(doc, registerSql(40, "", 0, true)));
    } else { // as another SQLite program leaves it: the last students in the log only
        sqlite3* db = nullptr;
        sqlite3_open(doc.toUtf8().constData(), &db);
        sqlite3_exec(db, "pragma journal_mode=WAL;", nullptr, nullptr, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_exec(db, registerSql(40, "Uczen").constData(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        if (!settles)
            QVERIFY(QFile::remove(doc + companion) && QDir().mkpath(doc + companion + QStringLiteral("/x")));
    }
    QVERIFY(QFileInfo::exists(doc + companion));
    start(doc);
    QCOMPARE(treeCaptions().filter(QStringLiteral("Uczen")).size(), settles ? 40 : 0);
    QCOMPARE(main()->openDocumentPath(), settles ? doc : QString());
    if (settles) {
        QCOMPARE(prompts->texts(), QStringList());
        QCOMPARE(int(RawFile::bytes(tmpPath()).at(18)), 1); // the working copy keeps no log of its own
    } else {
        QVERIFY(prompts->texts().value(0).startsWith(
            QStringLiteral("Błąd podczas próby wczytania pliku\n") + doc +
            QStringLiteral("\nObok pliku leży niedokończony zapis bazy danych (rejestr.sqdoc-wal)")));
        QVERIFY(!QFileInfo::exists(tmpPath()));
    }
}

void TestMainWindow::longValuesStayWhole()
{
    // Longer than an edit line holds (32,767 characters), in an edit and a combo box.
    const QByteArray insert = "insert into `PESEL1` values('";
    start(writeDocument(QStringLiteral("dlugi.sqdoc"),
                        registerSql(1, "Dlugi") + insert + "DANE UCZNIA', 'UrodzonyMiasto_DATA_COMBOBOX', '" +
                            QByteArray(40000, 'm') + "');" + insert + "ZAWIADOMIENIE_O_PRZEKAZANIU', " +
                            "'ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT', '" + QByteArray(40000, 'r') + "');"));
    main()->treeView()->setCurrentItem(node(0, 0));
    whenModal([](QWidget* form) { child<QPushButton>(form, "OKButton")->click(); });
    main()->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(RawSql::column(tmpPath(),
                            "select length(value) from PESEL1 where comp_name in "
                            "('UrodzonyMiasto_DATA_COMBOBOX', 'ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT')"),
             (QList<QByteArray>{"40000", "40000"}));
}

void TestMainWindow::damagedRegisterOffersItsReadablePart_data()
{
    QTest::addColumn<int>("choice"); // 0 opens the readable part, 1 is "Anuluj"
    QTest::newRow("readable part") << 0;
    QTest::newRow("cancelled") << 1;
}

// The second student's long value runs over pages of its own; they are overwritten.
void TestMainWindow::damagedRegisterOffersItsReadablePart()
{
    QFETCH(int, choice);
    const QString doc =
        writeDocument(QStringLiteral("klasa.sqdoc"),
                      registerSql(3, "Uczen") + "insert into `PESEL2` values('DANE UCZNIA', " +
                          "'UrodzonyMiasto_DATA_COMBOBOX', '" + QByteArray(30000, 'x') + "');");
    QVERIFY(RawFile::damageValuePages(doc, 'x') >= 5);
    const QByteArray bytes = RawFile::bytes(doc);
    start();
    prompts->choices.enqueue(choice);
    prompts->files.enqueue(doc);
    main()->OtworzPlikToolButtonClick();

    const ShownBox box = prompts->shown.value(1);
    QCOMPARE(box.kind, ShownBox::Kind::Choice);
    QCOMPARE(box.caption, QStringLiteral("Uszkodzony plik"));
    QCOMPARE(box.icon, Prompts::Icon::Warning);
    QCOMPARE(box.choices, (QStringList{"Otwórz to, co da się odczytać", "Anuluj"}));
    QVERIFY2(box.text.startsWith(QStringLiteral("Plik „klasa.sqdoc” jest uszkodzony.\n\n"
                                                "Nie da się odczytać danych uczniów wymienionych poniżej "
                                                "(1 z 3):\nUczen2 Anna\n\n")),
             qPrintable(box.text));
    QCOMPARE(lastLoggedFunction(), QStringLiteral("bFunWczytajPlikSwiadectw()"));
    QCOMPARE(RawFile::bytes(doc), bytes); // the damaged file as it was
    QCOMPARE(prompts->shown.size(), 2);
    if (choice == 1) {
        QCOMPARE(main()->treeView()->topLevelItemCount(), 0);
        QVERIFY(!QFileInfo::exists(tmpPath()));
        return;
    }
    // A new document without a name, whose students all read whole.
    QCOMPARE(treeCaptions(), (QStringList{"Uczen1 Anna", "Uczen3 Anna"}));
    QCOMPARE(main()->openDocumentPath(), QString());
    QVERIFY(main()->unsavedChanges());
    QVERIFY(!QFileInfo::exists(env->root() + QStringLiteral("/.~lock.klasa.sqdoc#"))); // not open any more
    QCOMPARE(RawSql::column(tmpPath(), "pragma integrity_check"), QList<QByteArray>{"ok"});
    for (int i = 0; i < 2; ++i)
        main()->treeView()->setCurrentItem(node(i, 1));
    QCOMPARE(prompts->shown.size(), 2);
    // Save asks for a new name beside the damaged file.
    main()->Zapisz1Click();
    QCOMPARE(prompts->shown.last().kind, ShownBox::Kind::SaveFile);
    QCOMPARE(prompts->shown.last().initialName, env->root() + QStringLiteral("/klasa - odczytane.sqdoc"));
    QCOMPARE(RawFile::bytes(doc), bytes);
}

QTEST_MAIN(TestMainWindow)
// From the tree to a PDF sheet through the print dialog, with the installed calibration;
// "Anuluj" in the dialog prints nothing.
void TestMainWindow::printsTheSelectedDocument()
{
    QVERIFY(QFile::remove(env->dataFile(QStringLiteral("dokumenty_kalibracja.sqset"))));
    QVERIFY(QFile::copy(env->programDir() + QStringLiteral("/dokumenty_kalibracja.sqset"),
                        env->dataFile(QStringLiteral("dokumenty_kalibracja.sqset"))));
    start();
    addStudent({QStringLiteral("Wiśniewska"), QStringLiteral("Zofia"), QStringLiteral("05270812345")});
    main()->treeView()->setCurrentItem(node(0, 0));

    for (const bool print : {false, true}) {
        const QString pdf = env->root() + QStringLiteral("/wydruk.pdf");
        prompts->files.enqueue(pdf);
        whenModal([print](QWidget* dialog) {
            auto* printers = child<QComboBox>(dialog, "DrukarkiComboBox");
            printers->setCurrentIndex(printers->count() - 1);
            child<QPushButton>(dialog, print ? "DrukujButton" : "AnulujButton")->click();
        });
        main()->DrukujToolButtonClick();
        QVERIFY(!main()->printing());
        QCOMPARE(QFile::exists(pdf), print);
        if (!print)
            continue;
        // The file dialog; a register without a file is told afterwards that no copy was kept.
        const auto asked =
            std::find_if(prompts->shown.crbegin(), prompts->shown.crend(),
                         [](const ShownBox& box) { return box.kind == ShownBox::Kind::SaveFile; });
        QVERIFY(asked != prompts->shown.crend());
        QCOMPARE(asked->initialName, QStringLiteral("Wiśniewska Zofia - Zawiadomienie o przekazaniu.pdf"));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(words.contains(QStringLiteral("ZAWIADOMIENIE O PRZEKAZANIU UCZNIA")) &&
                     words.contains(QStringLiteral("Wiśniewska Zofia")) &&
                     words.contains(QStringLiteral("05270812345")),
                 qPrintable(words));
    }
}

#include "tst_main_window.moc"
