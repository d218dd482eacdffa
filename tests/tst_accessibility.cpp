// Every window of the program as a screen reader and a keyboard meet it: each control
// has a name, each field a label that names it, and Tab reaches every control.
#include "app/TFGlowna.h"
#include "documents/TFDaneSzkoly.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFImportUczniow.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "printing/TFDrukuj.h"
#include "printing/TFKalibracja.h"
#include "printing/TFRejestrWydanych.h"
#include "printing/TFSprawyWToku.h"
#include "services/TFAktualizacja.h"
#include "services/TFLogi.h"
#include "tests/support/RunningProgram.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

namespace {

// What a screen reader user or a keyboard user would stumble on in one window.
struct Findings {
    QStringList unnamed;
    QStringList unlabelled;
    QStringList unreachable;
};

// Parts of a compound control (the edit of a spin box, the arrows of a tab bar, the
// scroll bars of a list) are reached through the control itself.
bool isPart(const QWidget* w)
{
    if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QHeaderView*>(w))
        return true;
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QTabBar*>(p) || qobject_cast<const QAbstractItemView*>(p))
            return true;
    return false;
}

bool isField(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}

// A tab bar offers a choice only when there are pages to choose from.
bool isPageChoice(const QWidget* w)
{
    const auto* bar = qobject_cast<const QTabBar*>(w);
    return bar && bar->count() > 1;
}

bool isControl(const QWidget* w)
{
    return isField(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           isPageChoice(w) || (qobject_cast<const QLabel*>(w) && (w->focusPolicy() & Qt::TabFocus));
}

// A tool bar button whose command is also in the window's menus is reached by its keys.
bool isInMenus(const QWidget* w)
{
    const auto* tool = qobject_cast<const QToolButton*>(w);
    if (!tool || !qobject_cast<const QToolBar*>(tool->parentWidget()))
        return false;
    // The button that shows the tool bar's hidden buttons, each in the menus too.
    if (tool->objectName() == QLatin1String("qt_toolbar_ext_button"))
        return true;
    if (!tool->defaultAction())
        return false;
    const auto* bar = w->window()->findChild<QMenuBar*>();
    if (!bar)
        return false;
    for (const QMenu* menu : bar->findChildren<QMenu*>())
        if (menu->actions().contains(tool->defaultAction()))
            return true;
    return false;
}

// Tab stops at one radio button of a group; the arrow keys move between them.
bool isRadioOfReachedGroup(const QWidget* w, const QSet<const QWidget*>& reached)
{
    const auto* radio = qobject_cast<const QRadioButton*>(w);
    if (!radio || !radio->autoExclusive())
        return false;
    for (const QRadioButton* other :
         w->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (reached.contains(other))
            return true;
    return false;
}

QString describe(const QWidget* w)
{
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(QLatin1String(w->metaObject()->className()), w->objectName(), w->accessibleName());
}

// The controls Tab reaches from the window's first, pressed as the user would.
QSet<const QWidget*> tabbed(QWidget* window, qsizetype most)
{
    QSet<const QWidget*> reached;
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return reached;
    if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != window)
        QTest::keyClick(window, Qt::Key_Tab);
    for (qsizetype i = 0; i < most && QApplication::focusWidget(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        reached.insert(focus);
        for (QWidget* p = focus->parentWidget(); p && p != window; p = p->parentWidget())
            if (p->focusProxy() == focus)
                reached.insert(p);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return reached;
}

Findings walkPage(QWidget* window)
{
    Findings found;
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && w->window() == window && isControl(w) && !isPart(w))
            controls.append(w);
    const QSet<const QWidget*> reached = tabbed(window, 4 * controls.size() + 10);
    for (QWidget* w : std::as_const(controls)) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            found.unnamed << describe(w);
        if (isField(w) && (!face || face->relations(QAccessible::Label).isEmpty()))
            found.unlabelled << describe(w);
        const bool viaProxy = w->focusProxy() && reached.contains(w->focusProxy());
        if (!reached.contains(w) && !viaProxy && !isInMenus(w) && !isRadioOfReachedGroup(w, reached))
            found.unreachable << describe(w);
    }
    return found;
}

// The window as it is, then every page of each of its page controls.
Findings walk(QWidget* window)
{
    Findings all = walkPage(window);
    for (QTabWidget* pages : window->findChildren<QTabWidget*>()) {
        const int current = pages->currentIndex();
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            const Findings page = walkPage(window);
            all.unnamed += page.unnamed;
            all.unlabelled += page.unlabelled;
            all.unreachable += page.unreachable;
        }
        pages->setCurrentIndex(current);
    }
    all.unnamed.removeDuplicates();
    all.unlabelled.removeDuplicates();
    all.unreachable.removeDuplicates();
    return all;
}

using Visit = std::function<void(QWidget*)>;
// Opens one window, has it visited, closes it.
using Opener = std::function<void(RunningProgram&, const Visit&)>;

template <class Window> Opener shown(std::function<Window*(RunningProgram&)> window)
{
    return [window](RunningProgram& p, const Visit& visit) {
        QWidget* w = window(p);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        visit(w);
        w->hide();
    };
}

// A box of the toolkit is modal: it is visited from inside its own event loop.
Opener modal(std::function<void(QtPrompts&, QWidget*)> open)
{
    return [open](RunningProgram& p, const Visit& visit) {
        bool visited = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            QVERIFY(QTest::qWaitForWindowExposed(box));
            visit(box);
            visited = true;
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->reject();
        });
        QtPrompts desktop;
        open(desktop, p.w.glowna.get());
        QVERIFY(visited);
    };
}

} // namespace

Q_DECLARE_METATYPE(Opener)

class TestAccessibility : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyWindow_data();
    void everyWindow();
    void walkFindsEachFault();
};

void TestAccessibility::everyWindow_data()
{
    QTest::addColumn<Opener>("open");

    QTest::newRow("Drukowanie dokumentów")
        << Opener([](RunningProgram& p, const Visit& visit) { visit(p.w.glowna.get()); });
    QTest::newRow("Dane ucznia") << shown<TFDaneUcznia>(
        [](RunningProgram& p) { return p.w.daneUcznia.get(); });
    QTest::newRow("Zawiadomienie o przekazaniu")
        << shown<TFZawiadomieniePrzek>([](RunningProgram& p) { return p.w.zawiadomienie.get(); });
    QTest::newRow("Potwierdzenie przyjęcia")
        << shown<TFPotwierdzeniePrzyjUcznia>([](RunningProgram& p) { return p.w.potwierdzenie.get(); });
    QTest::newRow("Dane szkoły") << shown<TFDaneSzkoly>(
        [](RunningProgram& p) { return p.w.daneSzkoly.get(); });
    QTest::newRow("Drukowanie") << shown<TFDrukuj>([](RunningProgram& p) { return p.w.drukuj.get(); });
    QTest::newRow("Kalibracja") << shown<TFKalibracja>(
        [](RunningProgram& p) { return p.w.kalibracja.get(); });
    QTest::newRow("Logi") << shown<TFLogi>([](RunningProgram& p) { return p.w.logi.get(); });
    QTest::newRow("Aktualizacja") << shown<TFAktualizacja>([](RunningProgram& p) {
        // The download fails at once, on a port where nothing listens.
        RawSql::exec(p.env.dataFile(QStringLiteral("ustawienia.sqset")),
                     "delete from settings where name='update_address';"
                     "insert into settings( name, text_value ) values( 'update_address', "
                     "'http://127.0.0.1:9/melvok/' )");
        return p.w.aktualizacja.get();
    });
    QTest::newRow("Import uczniów") << Opener([](RunningProgram& p, const Visit& visit) {
        TFImportUczniow window(p.w.glowna.get());
        const QByteArray list = "Nazwisko;Imię;PESEL\nNowak;Anna;02270803628\nKowal;Jan;02270803628\n";
        QVERIFY(window.setFile(QStringLiteral("klasa.csv"), list, {}));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        visit(&window);
    });
    // The book of issued documents and the open cases, each with one transfer waiting.
    const auto waiting = [] {
        Issued::Record record;
        record.key = QStringLiteral("1");
        record.tableName = QStringLiteral("PESEL02270803628");
        record.pupil = QStringLiteral("Nowak Anna");
        record.number = QStringLiteral("SP12.4340.1.2026");
        record.issuedAt = QDateTime(QDate(2026, 9, 1), QTime(9, 0));
        record.state = Issued::CaseState::AwaitingConfirmation;
        return QList<Issued::Record>{record};
    };
    QTest::newRow("Rejestr wydanych dokumentów") << Opener([waiting](RunningProgram& p, const Visit& visit) {
        TFRejestrWydanych window(p.w.glowna.get());
        window.setRecords(waiting());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        visit(&window);
    });
    QTest::newRow("Sprawy w toku") << Opener([waiting](RunningProgram& p, const Visit& visit) {
        TFSprawyWToku window(p.w.glowna.get());
        window.setRecords(waiting(), QDate(2026, 10, 1), [](const Issued::Record&) { return true; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        visit(&window);
    });
    QTest::newRow("toolkit: open file") << modal([](QtPrompts& d, QWidget* parent) {
        d.openFileName(parent, QStringLiteral("Otwórz"), QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"), {});
    });
    QTest::newRow("toolkit: save file") << modal([](QtPrompts& d, QWidget* parent) {
        d.saveFileName(parent, QStringLiteral("Zapisz"), QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"), {});
    });
    QTest::newRow("toolkit: printer set-up") << modal([](QtPrompts&, QWidget* parent) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPrintDialog dialog(&printer, parent);
        dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
        // As "Ustawienia" of Drukowanie shows it: with its options.
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
            if (button->text() == QPrintDialog::tr("&Options >>"))
                button->click();
        dialog.exec();
    });
    QTest::newRow("toolkit: input") << modal([](QtPrompts& d, QWidget* parent) {
        QString text = QStringLiteral("nowa nazwa");
        d.inputText(parent, QStringLiteral("Nazwa"), QStringLiteral("Proszę podać nazwę ustawień"), text);
    });
    QTest::newRow("toolkit: question") << modal([](QtPrompts& d, QWidget* parent) {
        d.askYesNo(parent, QStringLiteral("Czy na pewno?"), QStringLiteral("Pytanie"));
    });
}

void TestAccessibility::everyWindow()
{
    QFETCH(Opener, open);
    RunningProgram p;
    QVERIFY(p.start());
    p.w.glowna->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.w.glowna.get()));
    Findings found;
    bool visited = false;
    open(p, [&](QWidget* window) {
        found = walk(window);
        visited = true;
    });
    QVERIFY(visited);
    QVERIFY2(found.unnamed.isEmpty(), qPrintable("without a name: " + found.unnamed.join(", ")));
    QVERIFY2(found.unlabelled.isEmpty(), qPrintable("without a label: " + found.unlabelled.join(", ")));
    QVERIFY2(found.unreachable.isEmpty(), qPrintable("not reached by Tab: " + found.unreachable.join(", ")));
}

// The walk itself, on a window built with one fault of each kind beside sound controls.
void TestAccessibility::walkFindsEachFault()
{
    QDialog window;
    auto* layout = new QVBoxLayout(&window);
    auto* caption = new QLabel(QStringLiteral("&Nazwisko:"), &window);
    auto* named = new QLineEdit(&window);
    caption->setBuddy(named);
    auto* unlabelled = new QLineEdit(&window);
    unlabelled->setObjectName(QStringLiteral("bezEtykiety"));
    unlabelled->setAccessibleName(QStringLiteral("imię"));
    auto* nameless = new QToolButton(&window);
    nameless->setObjectName(QStringLiteral("bezNazwy"));
    auto* mouseOnly = new QPushButton(QStringLiteral("Tylko myszą"), &window);
    mouseOnly->setObjectName(QStringLiteral("tylkoMysza"));
    mouseOnly->setFocusPolicy(Qt::ClickFocus);
    auto* trap = new QPlainTextEdit(&window); // Tab is typed into it
    trap->setObjectName(QStringLiteral("pulapka"));
    trap->setAccessibleName(QStringLiteral("uwagi"));
    auto* trapCaption = new QLabel(QStringLiteral("Uwagi:"), &window);
    trapCaption->setBuddy(trap);
    auto* after = new QPushButton(QStringLiteral("OK"), &window);
    after->setObjectName(QStringLiteral("zaPulapka"));
    for (QWidget* w : std::initializer_list<QWidget*>{caption, named, unlabelled, nameless, mouseOnly,
                                                      trapCaption, trap, after})
        layout->addWidget(w);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    named->setFocus();
    const Findings found = walk(&window);
    const auto names = [](const QStringList& described) {
        QStringList out;
        for (const QString& d : described)
            out << d.section(QLatin1Char(' '), 1, 1);
        out.sort();
        return out;
    };
    QCOMPARE(names(found.unnamed), QStringList{"bezNazwy"});
    QCOMPARE(names(found.unlabelled), QStringList{"bezEtykiety"});
    QCOMPARE(names(found.unreachable), (QStringList{"tylkoMysza", "zaPulapka"}));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
