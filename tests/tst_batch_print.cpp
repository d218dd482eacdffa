// One document printed for many students: the choice in the tree, one job of one page
// per student in the list's order, the progress window that stops it, and students whose
// data cannot be read.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/TFDaneUcznia.h"
#include "storage/Cp1250.h"
#include "storage/DataPaths.h"
#include "tests/support/Modal.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

struct Pupil {
    QByteArray surname, firstName, pesel, town; // UTF-8
};

// Listed in the tree in this order (Polish alphabetical order).
const Pupil Class[] = {
    {"Kowalski-Nowak", "Jan", "08222112345", "Kraków"},
    {"O'Connor", "Maja", "08230254321", QByteArray(130, 'W')},
    {"Wiśniewska", "Zofia", "08241311111", "Tomaszów Mazowiecki"},
    {"Żak", "Łukasz", "08250822222", QByteArray(130, 'M')},
};

// An SQL text literal of the value in Windows-1250, as the program stores it.
QByteArray quoted(const QByteArray& utf8)
{
    QByteArray bytes;
    Cp1250::encode(QString::fromUtf8(utf8), bytes);
    return "'" + bytes.replace('\'', "''") + "'";
}

// A register of `Class`.
QByteArray registerSql()
{
    QByteArray sql = "begin;";
    for (const Pupil& p : Class) {
        const QByteArray table = "`PESEL" + p.pesel + "`";
        sql += "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );";
        const std::pair<const char*, QByteArray> rows[] = {
            {"DANE UCZNIA', 'Nazwisko_DATA_EDIT", p.surname},
            {"DANE UCZNIA', 'Imie_DATA_EDIT", p.firstName},
            {"DANE UCZNIA', 'NrPesel_DATA_EDIT", p.pesel},
            {"ZAWIADOMIENIE_O_PRZEKAZANIU', 'ZMIENNA_Miejscowosc_STR1_DATA_EDIT", p.town},
        };
        for (const auto& [where, value] : rows)
            sql += "insert into " + table + " values('" + where + "', " + quoted(value) + ");";
    }
    return sql + "commit;";
}

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QString pdfText(const QString& pdf)
{
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
}

// Every word of the sheet with its box, in no particular order, and the sheet as a picture.
std::pair<QList<QByteArray>, QImage> sheetOf(const QString& pdf)
{
    QList<QByteArray> words =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}).split('\n');
    words.removeIf([](const QByteArray& line) { return !line.contains("<word"); });
    std::sort(words.begin(), words.end());
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-gray"),
                                     QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, pdf});
    return {words, QImage(pdf + QStringLiteral(".png"))};
}

} // namespace

class TestBatchPrint : public QObject, ProgramFixture
{
    Q_OBJECT

    QString pdf;
    QTreeWidget* tree() { return main()->treeView(); }
    QAction* command() { return main()->findChild<QAction*>(QStringLiteral("Drukujdlazaznaczonych1")); }
    QString studentFormSurname()
    {
        return w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"))->text();
    }
    void choose(std::initializer_list<int> rows)
    {
        tree()->clearSelection();
        for (const int row : rows)
            tree()->topLevelItem(row)->setSelected(true);
    }
    // "Drukuj" into the PDF file, with `during` run whenever the progress window is up.
    void printIntoPdf(std::function<void(QProgressDialog*)> during = {})
    {
        whenModal([during](QWidget* dialog) {
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("DrukarkiComboBox"));
            printers->setCurrentIndex(printers->count() - 1);
            QTimer watch;
            if (during) {
                QObject::connect(&watch, &QTimer::timeout, [dialog, during] {
                    auto* progress = dialog->findChild<QProgressDialog*>(QStringLiteral("PostepDrukowania"));
                    if (progress && progress->isVisible())
                        during(progress);
                });
                watch.start(0);
            }
            dialog->findChild<QPushButton*>(QStringLiteral("DrukujButton"))->click();
        });
        main()->DrukujDlaZaznaczonychClick();
    }

private Q_SLOTS:
    void init()
    {
        prepare();
        QVERIFY(QFile::copy(env->programDir() + QStringLiteral("/dokumenty_kalibracja.sqset"),
                            env->dataFile(QStringLiteral("dokumenty_kalibracja.sqset"))));
        const QString doc = env->root() + QStringLiteral("/klasa.sqdoc");
        RawSql::exec(doc, registerSql());
        QVERIFY(startProgram(doc));
        QCOMPARE(tree()->topLevelItemCount(), 4);
        pdf = env->root() + QStringLiteral("/wydruk.pdf");
    }
    void cleanup() { closeProgram(); }

    void onePagePerStudentInTheListsOrder();
    void cancelledJobLeavesNothing();
    void unreadableStudentIsListedAndSkipped();
    void theCommandFollowsTheSelection();
    void aPageOfTheBatchIsThePrintedDocument();
};

// Three of four students, one of them chosen through a document node: three pages in
// the tree's order, one warning for the cut fields of two of them, the forms back on the
// student that has the focus.
void TestBatchPrint::onePagePerStudentInTheListsOrder()
{
    tree()->setCurrentItem(tree()->topLevelItem(3));
    tree()->topLevelItem(1)->child(1)->setSelected(true);
    tree()->topLevelItem(0)->setSelected(true);
    QCOMPARE(main()->selectedStudentCaption(), QStringLiteral("Żak Łukasz")); // single commands: the focus
    prompts->choices.enqueue(0);                                              // the transfer notice
    prompts->choices.enqueue(0);                                              // "Drukuj mimo to"
    prompts->files.enqueue(pdf);
    printIntoPdf();

    QCOMPARE(prompts->shown.size(), 3);
    const ShownBox& which = prompts->shown.at(0);
    QCOMPARE(which.caption, QStringLiteral("Drukowanie dla zaznaczonych uczniów"));
    QCOMPARE(which.text, QStringLiteral("Który dokument wydrukować dla każdego z zaznaczonych uczniów (3)?"));
    QCOMPARE(which.choices,
             (QStringList{QStringLiteral("Zawiadomienie o przekazaniu"),
                          QStringLiteral("Potwierdzenie przyjęcia ucznia"), QStringLiteral("Anuluj")}));
    const QStringList cut = prompts->shown.at(1).text.split(u'\n');
    QCOMPARE(cut.size(), 3);
    QCOMPARE(cut.at(0),
             QStringLiteral("Niektóre pola nie mieszczą się w wyznaczonym miejscu i zostaną obcięte:"));
    QVERIFY2(cut.at(1).startsWith(QStringLiteral("O'Connor Maja – miejscowość: „WWW")),
             qPrintable(cut.at(1)));
    QVERIFY2(cut.at(2).startsWith(QStringLiteral("Żak Łukasz – miejscowość: „MMM")), qPrintable(cut.at(2)));
    QCOMPARE(prompts->shown.at(2).initialName, QStringLiteral("Zawiadomienie o przekazaniu - 3 uczniów.pdf"));

    const QStringList pages = pdfText(pdf).split(u'\f', Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 3);
    const QString names[] = {QStringLiteral("Kowalski-Nowak Jan"), QStringLiteral("O'Connor Maja"),
                             QStringLiteral("Żak Łukasz"), QStringLiteral("Wiśniewska")};
    for (int page = 0; page < 3; ++page) {
        QVERIFY2(pages.at(page).contains(QStringLiteral("ZAWIADOMIENIE O PRZEKAZANIU UCZNIA")),
                 qPrintable(pages[page]));
        for (int n = 0; n < 4; ++n)
            QCOMPARE(pages.at(page).contains(names[n]), n == page);
    }
    QVERIFY(pages.at(0).contains(QStringLiteral("08222112345")) &&
            pages.at(0).contains(QStringLiteral("Kraków")));
    QCOMPARE(studentFormSurname(), QStringLiteral("Żak"));
    QVERIFY(!main()->printing());
}

// "Anuluj" in the progress window stops the job before anything is printed: no file is
// asked for or written, the file already there keeps its bytes, and the forms go back to
// the student that has the focus.
void TestBatchPrint::cancelledJobLeavesNothing()
{
    QVERIFY(RawFile::write(pdf, "stary wydruk"));
    tree()->setCurrentItem(tree()->topLevelItem(2));
    choose({0, 1, 2, 3});
    prompts->choices.enqueue(1);
    QString shownStep;
    printIntoPdf([&](QProgressDialog* progress) {
        if (!shownStep.isEmpty())
            return;
        shownStep = progress->labelText();
        progress->findChild<QPushButton*>()->click();
    });
    QVERIFY2(QRegularExpression(QStringLiteral("^Drukowanie: [1-4] z 4$")).match(shownStep).hasMatch(),
             qPrintable(shownStep));
    // Only the choice of the document.
    QVERIFY2(prompts->shown.size() == 1, qPrintable(prompts->shown.constLast().text));
    QCOMPARE(RawFile::bytes(pdf), QByteArray("stary wydruk"));
    QCOMPARE(studentFormSurname(), QStringLiteral("Wiśniewska"));
}

// A student whose stored pages are damaged after the open is named and left out; the
// others are printed. With every chosen student unreadable nothing is printed.
void TestBatchPrint::unreadableStudentIsListedAndSkipped()
{
    const QString workingCopy = strFunGetTmpFilePath(env->buf);
    RawSql::exec(workingCopy, "drop table `PESEL08230254321`;");
    choose({0, 1, 2});
    prompts->choices.enqueue(1); // the admission confirmation
    prompts->choices.enqueue(0); // "Drukuj pozostałe"
    prompts->files.enqueue(pdf);
    printIntoPdf();
    const ShownBox& skipped = prompts->shown.at(1);
    QCOMPARE(skipped.choices, (QStringList{QStringLiteral("Drukuj pozostałe"), QStringLiteral("Anuluj")}));
    QVERIFY2(
        skipped.text.startsWith(QStringLiteral("Danych tych uczniów nie można odczytać, ich dokumenty nie "
                                               "zostaną wydrukowane:\nO'Connor Maja (")),
        qPrintable(skipped.text));
    const QStringList pages = pdfText(pdf).split(u'\f', Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages.at(0).contains(QStringLiteral("Kowalski-Nowak Jan")));
    QVERIFY(pages.at(1).contains(QStringLiteral("Wiśniewska Zofia")));

    QVERIFY(QFile::remove(pdf));
    choose({1});
    prompts->clear(); // the tree itself says that the student cannot be read
    prompts->choices.enqueue(0);
    printIntoPdf();
    QCOMPARE(prompts->shown.at(1).icon, Prompts::Icon::Error);
    QVERIFY(prompts->shown.at(1).text.startsWith(
        QStringLiteral("Nie można odczytać danych żadnego z uczniów:\nO'Connor Maja (")));
    QVERIFY(!QFile::exists(pdf));
}

// From the keyboard: Down chooses the first student, Shift+Down adds the next, Ctrl+A
// chooses everybody; the command is enabled only while somebody is chosen, and the
// single-student commands follow the focus.
void TestBatchPrint::theCommandFollowsTheSelection()
{
    QVERIFY(!command()->isEnabled());
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Down);
    QVERIFY(command()->isEnabled());
    QTest::keyClick(tree(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(main()->selectedStudentTables(),
             (QStringList{QStringLiteral("PESEL08222112345"), QStringLiteral("PESEL08230254321")}));
    QCOMPARE(main()->selectedStudentCaption(), QStringLiteral("O'Connor Maja"));
    QCOMPARE(studentFormSurname(), QStringLiteral("O'Connor"));
    QTest::keyClick(tree(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(main()->selectedStudentTables().size(), 4);
    tree()->clearSelection();
    QVERIFY(!command()->isEnabled());
    // "Anuluj" in the choice of the document opens nothing.
    choose({2});
    main()->DrukujDlaZaznaczonychClick();
    QCOMPARE(prompts->shown.size(), 1);
    QVERIFY(!main()->printing());
}

// A page of the batch is the sheet that printing the student's document alone gives.
void TestBatchPrint::aPageOfTheBatchIsThePrintedDocument()
{
    tree()->setCurrentItem(tree()->topLevelItem(2)->child(0));
    const QString alone = env->root() + QStringLiteral("/sam.pdf");
    prompts->files.enqueue(alone);
    whenModal([](QWidget* dialog) {
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("DrukarkiComboBox"));
        printers->setCurrentIndex(printers->count() - 1);
        dialog->findChild<QPushButton*>(QStringLiteral("DrukujButton"))->click();
    });
    main()->DrukujToolButtonClick();
    prompts->choices.enqueue(0);
    prompts->files.enqueue(pdf);
    printIntoPdf();
    const auto [words, picture] = sheetOf(alone);
    QVERIFY(words.size() > 30 && !picture.isNull());
    const auto [batchWords, batchPicture] = sheetOf(pdf);
    QCOMPARE(batchWords, words);
    QCOMPARE(batchPicture, picture);
}

QTEST_MAIN(TestBatchPrint)
#include "tst_batch_print.moc"
