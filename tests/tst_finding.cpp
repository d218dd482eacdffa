// Finding and reaching students and registers in the main window: the filter, namesakes,
// the keys and the selection after each command, the recent registers, the last folder
// of each kind of file, dropped files and the preview's scale.
#include "app/StudentOrder.h"
#include "app/TFGlowna.h"
#include "documents/TFDaneUcznia.h"
#include "storage/Cp1250.h"
#include "storage/RecentFiles.h"
#include "tests/support/Modal.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QtTest>

namespace {

struct Pupil {
    const char* surname;
    const char* firstName;
    const char* pesel;
};

// The class every test opens, listed in this order.
const Pupil kClass[] = {
    {"Łukasz", "Lis", "01"},         {"Nowak", "Jan", "111"},        {"Nowak", "Jan", "222"},
    {"Zając", "Ewa", "02210112345"}, {"Żak", "Anna", "05270812345"},
};

QByteArray registerSql(const QList<Pupil>& pupils)
{
    QByteArray sql = "begin;";
    for (const Pupil& p : pupils) {
        const QByteArray table = "`PESEL" + QByteArray(p.pesel) + "`";
        sql += "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );";
        for (const auto& [name, value] :
             {std::pair{"Nazwisko_DATA_EDIT", p.surname}, std::pair{"Imie_DATA_EDIT", p.firstName},
              std::pair{"NrPesel_DATA_EDIT", p.pesel}})
            sql += "insert into " + table + " values('DANE UCZNIA', '" + name + "', '" +
                   Cp1250::encodeLossy(QString::fromUtf8(value)) + "');";
    }
    return sql + "commit;";
}

} // namespace

class TestFinding : public QObject, ProgramFixture
{
    Q_OBJECT
private:
    QTreeWidget* tree() { return main()->treeView(); }
    QString writeRegister(const QString& name,
                          const QList<Pupil>& pupils = {std::begin(kClass), std::end(kClass)})
    {
        const QString path = env->root() + QLatin1Char('/') + name;
        RawSql::exec(path, registerSql(pupils));
        return path;
    }
    // The program with the class open, shown and active, so that its keys work.
    void startWithClass()
    {
        QVERIFY(startProgram(writeRegister(QStringLiteral("klasa.sqdoc"))));
        main()->show();
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }
    QStringList shownCaptions()
    {
        QStringList out;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            if (!tree()->topLevelItem(i)->isHidden())
                out << tree()->topLevelItem(i)->text(0);
        return out;
    }
    void select(int student, int document = -1)
    {
        QTreeWidgetItem* node = tree()->topLevelItem(student);
        tree()->setCurrentItem(document < 0 ? node : node->child(document));
        tree()->setFocus();
    }
    QStringList recentEntries()
    {
        emit main()->recentMenu()->aboutToShow();
        QStringList out;
        for (QAction* item : main()->recentMenu()->actions())
            out << (item->isEnabled() ? QString() : QStringLiteral("[wyłączone] ")) + item->text();
        return out;
    }
    QLabel* page() { return main()->scrollBox()->findChild<QLabel*>(QStringLiteral("Image1")); }

private Q_SLOTS:
    void init()
    {
        prepare();
        const QString calibration = env->dataFile(QStringLiteral("dokumenty_kalibracja.sqset"));
        if (!QFile::exists(calibration))
            RawSql::exec(calibration, RawSql::createCalibrationTable("zawiadomienie_o_przekazaniu") +
                                          RawSql::createCalibrationTable("potwierdzenie_przyjecia_ucznia"));
    }
    void cleanup() { closeProgram(); }

    void studentMatches_data();
    void studentMatches();
    void filterNarrowsTheList_data();
    void filterNarrowsTheList();
    void filterKeys();
    void keysAndTheSelectionAfterThem_data();
    void keysAndTheSelectionAfterThem();
    void f6CyclesTheAreas();
    void everyCommandKeyIsShown();
    void recentRegisters();
    void dialogsStartInTheLastFolder();
    void droppedFiles_data();
    void droppedFiles();
    void previewZoom();
};

void TestFinding::studentMatches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("matches");
    QTest::newRow("without diacritics") << "Żak Anna"
                                        << "PESEL1"
                                        << "zak" << true;
    QTest::newRow("with diacritics") << "Zając Ewa"
                                     << "PESEL1"
                                     << "ZAJĄ" << true;
    QTest::newRow("diacritics typed, plain stored") << "Zak Anna"
                                                    << "PESEL1"
                                                    << "żak" << true;
    QTest::newRow("capital Ł") << "Łukasz Lis"
                               << "PESEL1"
                               << "łuk" << true;
    QTest::newRow("first name first") << "Nowak Jan"
                                      << "PESEL1"
                                      << "jan nowak" << true;
    QTest::newRow("PESEL part") << "Nowak Jan"
                                << "PESEL02210112345"
                                << "0221" << true;
    QTest::newRow("name and PESEL") << "Nowak Jan"
                                    << "PESEL02210112345"
                                    << "nowak 345" << true;
    QTest::newRow("one word missing") << "Nowak Jan"
                                      << "PESEL02210112345"
                                      << "nowak ewa" << false;
    QTest::newRow("other student") << "Kowalski Jan"
                                   << "PESEL1"
                                   << "nowak" << false;
    QTest::newRow("other letter") << "Lis Anna"
                                  << "PESEL1"
                                  << "łis" << true;
    QTest::newRow("letters of the table name") << "Nowak Jan"
                                               << "PESEL1"
                                               << "pesel" << false;
    QTest::newRow("blank filter") << "Nowak Jan"
                                  << "PESEL1"
                                  << "  " << true;
}

void TestFinding::studentMatches()
{
    QFETCH(QString, name);
    QFETCH(QString, table);
    QFETCH(QString, filter);
    QFETCH(bool, matches);
    QCOMPARE(bFunStudentMatches({name, table}, filter), matches);
}

void TestFinding::filterNarrowsTheList_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("nothing") << ""
                             << QStringList{"Łukasz Lis", "Nowak Jan (PESEL 111)", "Nowak Jan (PESEL 222)",
                                            "Zając Ewa", "Żak Anna"};
    QTest::newRow("plain letters find Polish ones") << "zak" << QStringList{"Żak Anna"};
    QTest::newRow("Polish letters") << "łukasz" << QStringList{"Łukasz Lis"};
    QTest::newRow("namesakes") << "nowak jan"
                               << QStringList{"Nowak Jan (PESEL 111)", "Nowak Jan (PESEL 222)"};
    QTest::newRow("one namesake by PESEL") << "nowak 222" << QStringList{"Nowak Jan (PESEL 222)"};
    QTest::newRow("PESEL") << "0527" << QStringList{"Żak Anna"};
    QTest::newRow("none") << "kowalski" << QStringList{};
}

void TestFinding::filterNarrowsTheList()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    startWithClass();
    // Żak Anna is selected; a filter that hides her leaves nothing for the commands.
    select(4, 0);
    main()->filterBox()->setText(filter); // typed: QTest types no Polish letters
    QCOMPARE(shownCaptions(), shown);
    QCOMPARE(main()->selectedStudentCaption(), shown.contains(QStringLiteral("Żak Anna")) ? "Żak Anna" : "");
    // A list read again keeps the filter.
    QVERIFY(main()->vFunRefreshStudentList());
    QCOMPARE(shownCaptions(), shown);
}

void TestFinding::filterKeys()
{
    startWithClass();
    QTest::keyClick(main()->treeView(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), main()->filterBox());
    QTest::keyClicks(main()->filterBox(), QStringLiteral("xnowak"));
    // Delete edits the filter; it deletes no student.
    QTest::keyClick(main()->filterBox(), Qt::Key_Home);
    QTest::keyClick(main()->filterBox(), Qt::Key_Delete);
    QCOMPARE(prompts->shown.size(), 0);
    QCOMPARE(main()->filterBox()->text(), QStringLiteral("nowak"));
    QCOMPARE(shownCaptions().size(), 2);
    // Enter goes into the list, on the first student left.
    QTest::keyClick(main()->filterBox(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tree());
    QCOMPARE(main()->selectedStudentTable(), QStringLiteral("PESEL111"));
    // Escape empties the filter; a second one goes back to the list.
    QTest::keyClick(main()->treeView(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(main()->filterBox(), Qt::Key_Escape);
    QCOMPARE(main()->filterBox()->text(), QString());
    QCOMPARE(shownCaptions().size(), 5);
    QCOMPARE(QApplication::focusWidget(), main()->filterBox());
    QTest::keyClick(main()->filterBox(), Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), tree());
    QCOMPARE(main()->selectedStudentTable(), QStringLiteral("PESEL111"));
}

void TestFinding::keysAndTheSelectionAfterThem_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("student");      // selected before the key
    QTest::addColumn<int>("document");     // -1: the student node
    QTest::addColumn<bool>("yes");         // the answer to the question, or OK in the form
    QTest::addColumn<QString>("selected"); // the student's table afterwards
    QTest::addColumn<int>("students");     // left in the list
    QTest::newRow("Delete, Tak") << int(Qt::Key_Delete) << 1 << -1 << true << "PESEL222" << 4;
    QTest::newRow("Delete the last, Tak") << int(Qt::Key_Delete) << 4 << 1 << true << "PESEL02210112345" << 4;
    QTest::newRow("Delete, Nie") << int(Qt::Key_Delete) << 2 << 0 << false << "PESEL222" << 5;
    QTest::newRow("F2, OK") << int(Qt::Key_F2) << 3 << 1 << true << "PESEL02210112345" << 5;
    QTest::newRow("F2, Anuluj") << int(Qt::Key_F2) << 3 << -1 << false << "PESEL02210112345" << 5;
    QTest::newRow("Insert, OK") << int(Qt::Key_Insert) << 0 << -1 << true << "PESEL12230701248" << 6;
    QTest::newRow("Insert, Anuluj") << int(Qt::Key_Insert) << 2 << 1 << false << "PESEL222" << 5;
}

void TestFinding::keysAndTheSelectionAfterThem()
{
    QFETCH(int, key);
    QFETCH(int, student);
    QFETCH(int, document);
    QFETCH(bool, yes);
    QFETCH(QString, selected);
    QFETCH(int, students);
    startWithClass();
    select(student, document);
    const QString documentBefore = main()->selectedDocumentCaption();
    QString formTitle;
    if (key == Qt::Key_Delete) {
        prompts->answers << (yes ? Prompts::Answer::Yes : Prompts::Answer::No);
    } else {
        whenModal([&formTitle, yes, key](QWidget* form) {
            formTitle = form->windowTitle();
            if (key == Qt::Key_Insert) {
                form->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"))
                    ->setText(QStringLiteral("Adamska"));
                form->findChild<QLineEdit*>(QStringLiteral("Imie_DATA_EDIT"))->setText(QStringLiteral("Ola"));
                form->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))
                    ->setText(QStringLiteral("12230701248"));
                auto* sex = form->findChild<QComboBox*>(QStringLiteral("Plec_DATA_COMBOBOX"));
                sex->setCurrentIndex(sex->findText(QStringLiteral("kobieta")));
            }
            form->findChild<QPushButton*>(yes ? QStringLiteral("OKButton") : QStringLiteral("AnulujButton"))
                ->click();
        });
    }
    QTest::keyClick(tree(), Qt::Key(key));
    if (key == Qt::Key_Delete)
        QCOMPARE(prompts->shown.value(0).caption, QStringLiteral("Usuń"));
    else
        QVERIFY2(!formTitle.isEmpty(), "the student form did not open");
    QCOMPARE(tree()->topLevelItemCount(), students);
    QCOMPARE(main()->selectedStudentTable(), selected);
    // The same node when the student stays; the student node of the one that follows a delete.
    if (key != Qt::Key_Delete || !yes)
        QCOMPARE(main()->selectedDocumentCaption(),
                 key == Qt::Key_Insert && yes ? QString() : documentBefore);
    QCOMPARE(main()->focusWidget(), tree());
    // The forms hold the selected student: the next command acts on the one shown.
    QCOMPARE(w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))->text(),
             selected.mid(5));
}

void TestFinding::f6CyclesTheAreas()
{
    startWithClass();
    tree()->setFocus();
    QWidget* const cycle[] = {main()->filterBox(), main()->scrollBox(), tree()};
    for (QWidget* next : cycle) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), main()->scrollBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), main()->filterBox());
}

void TestFinding::everyCommandKeyIsShown()
{
    QVERIFY(startProgram());
    // The commands a secretary reaches by key, and the key each menu shows.
    const std::pair<const char*, const char*> keys[] = {
        {"Dodajnowegoucznia1", "Ins"},     {"Edytujdanewybranegoucznia1", "F2"},
        {"Usuwybranegoucznia1", "Del"},    {"Szukajucznia1", "Ctrl+F"},
        {"Nastepnyobszar1", "F6"},         {"Poprzedniobszar1", "Shift+F6"},
        {"Powieksz1", "Ctrl++"},           {"Pomniejsz1", "Ctrl+-"},
        {"Rzeczywistyrozmiar1", "Ctrl+0"}, {"Drukujwybranewiadectwo1", "Ctrl+P"},
    };
    for (const auto& [name, key] : keys) {
        const auto* item = main()->findChild<QAction*>(QString::fromLatin1(name));
        QVERIFY2(item, name);
        QCOMPARE(item->shortcut().toString(), QString::fromLatin1(key));
    }
    // The pop-up menu of the list and Enter, which the list handles itself.
    for (const char* name : {"Dodajucznia1", "Edytujdaneucznia1", "Usudaneucznia1", "Edytujdokument1",
                             "Drukujwybranewiadectwo2", "Edytujwybranewiadectwo1"})
        QVERIFY2(main()->findChild<QAction*>(QString::fromLatin1(name))->text().contains(QLatin1Char('\t')),
                 name);
}

void TestFinding::recentRegisters()
{
    QVERIFY(startProgram());
    QCOMPARE(recentEntries(), QStringList{"[wyłączone] &Brak ostatnio otwieranych plików"});
    QStringList opened;
    for (int i = 1; i <= 11; ++i) {
        opened.prepend(writeRegister(QStringLiteral("klasa%1.sqdoc").arg(i), {kClass[i % 5]}));
        prompts->files << opened.first();
        main()->OtworzPlikToolButtonClick();
        QCOMPARE(main()->openDocumentPath(), opened.first());
    }
    QVERIFY(QFile::remove(opened.at(2)));
    QStringList expected;
    for (int i = 0; i < RecentFiles::kLimit; ++i)
        expected << (i == 2 ? QStringLiteral("[wyłączone] ") : QString()) +
                        (i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("1&0 ")) + opened.at(i) +
                        (i == 2 ? QStringLiteral(" (brak pliku)") : QString());
    QCOMPARE(recentEntries(), expected);
    // Chosen from the list: opened as from the menu, and first in the list again.
    prompts->clear();
    main()->recentMenu()->actions().at(4)->trigger();
    QCOMPARE(main()->openDocumentPath(), opened.at(4));
    QCOMPARE(prompts->shown.size(), 0);
    QVERIFY(recentEntries().first().endsWith(opened.at(4)));
    // The list is the program's, not the window's: a new run offers it too.
    main()->setCloseWithoutQuestions(true);
    w.reset();
    QVERIFY(startProgram());
    QVERIFY(recentEntries().first().endsWith(opened.at(4)));
    QCOMPARE(recentEntries().size(), RecentFiles::kLimit);
}

void TestFinding::dialogsStartInTheLastFolder()
{
    QVERIFY(startProgram());
    QVERIFY(QDir(env->root()).mkpath(QStringLiteral("rejestry")));
    QVERIFY(QDir(env->root()).mkpath(QStringLiteral("listy")));
    const QString registers = env->root() + QStringLiteral("/rejestry");
    prompts->files << writeRegister(QStringLiteral("rejestry/a.sqdoc")) << QString() << QString()
                   << QString();
    main()->OtworzPlikToolButtonClick();
    main()->OtworzPlikToolButtonClick();
    main()->Importujuczniow1Click();
    main()->Zapiszjako1Click();
    QCOMPARE(prompts->shown.size(), 4);
    QCOMPARE(prompts->shown[0].initialName, QString());
    QCOMPARE(prompts->shown[1].initialName, registers);
    QCOMPARE(prompts->shown[2].initialName, QString()); // class lists have a folder of their own
    QCOMPARE(prompts->shown[3].initialName, registers + QStringLiteral("/nowy"));
    // A folder that is gone is not offered.
    QVERIFY(QFile::remove(registers + QStringLiteral("/a.sqdoc")) && QDir(registers).removeRecursively());
    main()->OtworzPlikToolButtonClick();
    QCOMPARE(prompts->shown.last().initialName, QString());
}

void TestFinding::droppedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("register") << "rejestr.sqdoc" << false << true;
    QTest::newRow("register over unsaved work") << "rejestr.sqdoc" << true << true;
    QTest::newRow("class list") << "lista.csv" << false << true;
    QTest::newRow("other file") << "notatka.txt" << false << false;
}

void TestFinding::droppedFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, unsaved);
    QFETCH(bool, accepted);
    QVERIFY(startProgram());
    main()->setUnsavedChanges(unsaved);
    const QString path = env->root() + QLatin1Char('/') + name;
    if (name.endsWith(QLatin1String(".sqdoc")))
        writeRegister(name);
    else
        QVERIFY(RawFile::write(path, "Kowalski,Jan,M,a\r\n"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QString window;
    if (name.endsWith(QLatin1String(".csv")))
        whenModal([&window](QWidget* modal) { window = modal->windowTitle(); });
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main(), &drop);
    if (name.endsWith(QLatin1String(".csv")))
        QCOMPARE(window, QStringLiteral("Import uczniów"));
    // Over unsaved work the same question as "Otwórz plik"; No there opens it unsaved.
    QCOMPARE(prompts->texts(), unsaved ? QStringList{"Czy chcesz zapisać zmiany ?"} : QStringList{});
    QCOMPARE(main()->openDocumentPath(), name.endsWith(QLatin1String(".sqdoc")) ? path : QString());
    QCOMPARE(tree()->topLevelItemCount(), name.endsWith(QLatin1String(".sqdoc")) ? 5 : 0);
}

void TestFinding::previewZoom()
{
    startWithClass();
    main()->resize(1000, 700);
    const QSize sheet = page()->size();
    QCOMPARE(main()->previewZoom(), 100);
    struct Step {
        Qt::Key key;
        int wheel; // a Ctrl+wheel turn instead of a key when not 0
        int zoom;
    };
    const Step steps[] = {{Qt::Key_Plus, 0, 110},      {Qt::Key_Minus, 0, 100},
                          {Qt::Key_Minus, 0, 90},      {Qt::Key_0, 0, 100},
                          {Qt::Key_unknown, 120, 110}, {Qt::Key_unknown, -120, 100},
                          {Qt::Key_unknown, -120, 90}};
    for (const Step& step : steps) {
        if (step.wheel != 0) {
            QWidget* view = main()->scrollBox()->viewport();
            QWheelEvent turn(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(),
                             QPoint(0, step.wheel), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                             false);
            QApplication::sendEvent(view, &turn);
        } else {
            QTest::keyClick(main()->scrollBox(), step.key, Qt::ControlModifier);
        }
        QCOMPARE(main()->previewZoom(), step.zoom);
        QCOMPARE(page()->size(), sheet * step.zoom / 100);
    }
    for (int i = 0; i < 20; ++i)
        main()->PomniejszClick();
    QCOMPARE(main()->previewZoom(), TFGlowna::kMinZoom);
    // Fitted: the sheet as wide as the view, no wider.
    main()->DopasujDoSzerokosciClick();
    QVERIFY(qAbs(page()->width() - main()->scrollBox()->viewport()->width()) <= sheet.width() / 100 + 1);
    const int fitted = main()->previewZoom();
    // What the preview shows, in words.
    select(3, 1);
    QCOMPARE(
        page()->accessibleDescription(),
        QStringLiteral("Potwierdzenie przyjęcia ucznia, uczeń: Zając Ewa, powiększenie %1%").arg(fitted));
    // The scale stays for the next run.
    main()->setCloseWithoutQuestions(true);
    w.reset();
    QVERIFY(startProgram());
    QCOMPARE(main()->previewZoom(), fitted);
    QCOMPARE(page()->accessibleDescription(),
             QStringLiteral("Zawiadomienie o przekazaniu, pusty druk, powiększenie %1%").arg(fitted));
}

QTEST_MAIN(TestFinding)
#include "tst_finding.moc"
