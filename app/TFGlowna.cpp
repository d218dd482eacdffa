#include "app/TFGlowna.h"

#include "app/StudentOrder.h"
#include "app/TFBackupFiles.h"
#include "app/TFOProgramie.h"
#include "app/TFWait.h"
#include "app/Version.h"
#include "documents/DocumentFile.h"
#include "documents/DocumentForm.h"
#include "documents/TFDaneSzkoly.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "platform/DesktopOpen.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukuj.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/DataPaths.h"
#include "storage/RecentFiles.h"
#include "storage/SettingsStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIconEngine>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <utility>

const QString TFGlowna::kTransferNotice = QStringLiteral("Zawiadomienie o przekazaniu");
const QString TFGlowna::kAdmissionConfirmation = QStringLiteral("Potwierdzenie przyjęcia ucznia");

namespace {

// The preview's sheet when the blank form cannot be read.
constexpr QSize kBlankSheet(958, 1389);

using Handler = void (TFGlowna::*)();

struct MenuItem {
    const char* menu;
    const char* caption; // "-" is a separator
    const char* objectName;
    Handler handler;
    bool visible = true;
    QKeySequence::StandardKey shortcut = QKeySequence::UnknownKey;
    // Keys of the program's own; a key after a tab is only shown (another control
    // handles it: Enter in the list).
    const char* keys = nullptr;
};

// The main menu as the user sees it. Commands that arrive with later windows are
// listed without a handler and stay disabled until then.
const MenuItem kMenu[] = {
    {"&Plik", "&Nowy plik", "Nowyplik1", &TFGlowna::NowyPlikToolButtonClick, true, QKeySequence::New},
    {"&Plik", "&Otwórz plik", "Otworzplik1", &TFGlowna::OtworzPlikToolButtonClick, true, QKeySequence::Open},
    {"&Plik", "-", nullptr, nullptr},
    {"&Plik", "O&dzyskaj plik z kopi zapasowej", "Otwrzplikzkopizapasowej1",
     &TFGlowna::Otwrzplikzkopizapasowej1Click},
    {"&Plik", "-", nullptr, nullptr},
    {"&Plik", "&Zapisz", "Zapisz1", &TFGlowna::Zapisz1Click, true, QKeySequence::Save},
    {"&Plik", "Zapisz &jako", "Zapiszjako1", &TFGlowna::Zapiszjako1Click, true, QKeySequence::SaveAs},
    {"&Plik", "-", nullptr, nullptr},
    {"&Plik", "&Importuj uczniów z pliku CSV…", "Importujuczniow1", &TFGlowna::Importujuczniow1Click},
    {"&Plik", "&Eksportuj listę uczniów do CSV…", "Eksportujliste1", &TFGlowna::Eksportujliste1Click},
    {"&Plik", "-", nullptr, nullptr},
    {"&Plik", "&Koniec", "Koniec1", &TFGlowna::Koniec1Click, true, QKeySequence::Quit},
    {"&Plik", "Szablon danych szkoły", "Szablondanychszkoy1", &TFGlowna::Szablondanychszkoy1Click, false},
    {"&Uczniowie", "&Dodaj nowego ucznia", "Dodajnowegoucznia1", &TFGlowna::DodajUczniaToolButtonClick, true,
     QKeySequence::UnknownKey, "Ins"},
    {"&Uczniowie", "&Edytuj dane wybranego ucznia", "Edytujdanewybranegoucznia1",
     &TFGlowna::EdytujDaneUczniaToolButtonClick, true, QKeySequence::UnknownKey, "F2"},
    {"&Uczniowie", "&Usuń wybranego ucznia", "Usuwybranegoucznia1", &TFGlowna::UsunUczniaToolButtonClick,
     true, QKeySequence::UnknownKey, "Del"},
    {"&Uczniowie", "-", nullptr, nullptr},
    {"&Uczniowie", "&Szukaj ucznia", "Szukajucznia1", &TFGlowna::SzukajUczniaClick, true, QKeySequence::Find},
    {"Ś&wiadectwa", "&Edytuj wybrane świadectwo / dokument\tEnter", "Edytujwybranewiadectwo1",
     &TFGlowna::EdytujSwiadectwoToolButtonClick},
    {"Ś&wiadectwa", "&Drukuj wybrane świadectwo", "Drukujwybranewiadectwo1", &TFGlowna::DrukujToolButtonClick,
     true, QKeySequence::Print},
    {"Ś&wiadectwa", "Drukuj dla &zaznaczonych uczniów…", "Drukujdlazaznaczonych1",
     &TFGlowna::DrukujDlaZaznaczonychClick},
    {"Ś&wiadectwa", "-", nullptr, nullptr},
    {"Ś&wiadectwa", "&Rejestr wydanych dokumentów…", "Rejestrwydanychdokumentow1",
     &TFGlowna::Rejestrwydanychdokumentow1Click},
    {"Ś&wiadectwa", "&Sprawy w toku…", "Sprawywtoku1", &TFGlowna::Sprawywtoku1Click},
    {"W&idok", "&Następny obszar okna", "Nastepnyobszar1", &TFGlowna::NastepnyObszarClick, true,
     QKeySequence::UnknownKey, "F6"},
    {"W&idok", "&Poprzedni obszar okna", "Poprzedniobszar1", &TFGlowna::PoprzedniObszarClick, true,
     QKeySequence::UnknownKey, "Shift+F6"},
    {"W&idok", "-", nullptr, nullptr},
    {"W&idok", "Po&większ podgląd", "Powieksz1", &TFGlowna::PowiekszClick, true, QKeySequence::ZoomIn,
     "Ctrl+="},
    {"W&idok", "Po&mniejsz podgląd", "Pomniejsz1", &TFGlowna::PomniejszClick, true, QKeySequence::ZoomOut},
    {"W&idok", "&Rzeczywisty rozmiar", "Rzeczywistyrozmiar1", &TFGlowna::RzeczywistyRozmiarClick, true,
     QKeySequence::UnknownKey, "Ctrl+0"},
    {"W&idok", "&Dopasuj do szerokości", "Dopasujdoszerokosci1", &TFGlowna::DopasujDoSzerokosciClick},
    {"U&stawienia", "Formatowanie &podstawowe ( tylko zmienne )", "Formatowaniewiadectwapodstawowe1",
     &TFGlowna::Formatowaniewiadectwapodstawowe1Click},
    {"U&stawienia", "Formatowanie &zaawansowane ( wszystkie obiekty )", "Ustawieniaczcionki1",
     &TFGlowna::Ustawieniaczcionki1Click},
    {"U&stawienia", "-", nullptr, nullptr},
    {"U&stawienia", "&Eksportuj ustawienia kalibracji", "Eksportujustawieniakalibracji1",
     &TFGlowna::EksportujPlikKalibracji},
    {"U&stawienia", "&Importuj ustawienia kalibracji", "Importujustawieniakalibracji1",
     &TFGlowna::ImportujPlikKalibracji},
    {"Po&moc", "&O programie", "Oprogramie1", &TFGlowna::Oprogramie1Click},
    {"Po&moc", "&Sprawdź czy jest nowa wersja", "Sprawdczyjestnowawersja1",
     &TFGlowna::Sprawdczyjestnowawersja1Click},
    {"Po&moc", "-", nullptr, nullptr},
    {"Po&moc", "&Instrukcja obsługi", "Instrukcjaobsugi1", &TFGlowna::Instrukcjaobsugi1Click, true,
     QKeySequence::HelpContents},
    {"Po&moc", "-", nullptr, nullptr},
    {"Po&moc", "&Wyślij wiadomość", "Wylijwiadomo1", &TFGlowna::KontaktButtonClick},
    {"Po&moc", "-", nullptr, nullptr},
    {"Po&moc", "&Logi programu", "Logiprogramu1", &TFGlowna::Logiprogramu1Click},
    {"Po&moc", "-", nullptr, nullptr},
    {"Po&moc", "&Virizize Dazarododiv", "DziennikInternetowy1", &TFGlowna::DziennikInternetowy1Click},
};

// The same commands as the main menu: their keys are shown here and work through it.
const MenuItem kTreeMenu[] = {
    {"", "&Dodaj ucznia\tIns", "Dodajucznia1", &TFGlowna::DodajUczniaToolButtonClick},
    {"", "&Edytuj dane ucznia\tF2", "Edytujdaneucznia1", &TFGlowna::EdytujDaneUczniaToolButtonClick},
    {"", "&Usuń dane ucznia\tDel", "Usudaneucznia1", &TFGlowna::UsunUczniaToolButtonClick},
    {"", "-", nullptr, nullptr},
    {"", "Edytuj wybrane ś&wiadectwo\tEnter", "Edytujdokument1", &TFGlowna::EdytujSwiadectwoToolButtonClick},
    {"", "-", nullptr, nullptr},
    {"", "Dru&kuj wybrane świadectwo\tCtrl+P", "Drukujwybranewiadectwo2", &TFGlowna::DrukujToolButtonClick},
    {"", "Drukuj dla &zaznaczonych uczniów…", "Drukujdlazaznaczonych2",
     &TFGlowna::DrukujDlaZaznaczonychClick},
};

struct ToolButton {
    const char* objectName;
    const char* hint;
    const char* glyph;
    QColor colour;
    Handler handler;
    bool gapBefore = false;
};

const ToolButton kToolButtons[] = {
    {"NowyPlikToolButton", "Nowy plik świadectw", "N", QColor(60, 120, 200),
     &TFGlowna::NowyPlikToolButtonClick},
    {"OtworzPlikToolButton", "Otwórz plik z świadectwami", "O", QColor(60, 120, 200),
     &TFGlowna::OtworzPlikToolButtonClick},
    {"SaveButton", "Zapisz", "Z", QColor(60, 120, 200), &TFGlowna::Zapisz1Click},
    {"DodajUczniaToolButton", "Dodaj nowego ucznia", "+", QColor(40, 150, 70),
     &TFGlowna::DodajUczniaToolButtonClick, true},
    {"EdytujDaneUczniaToolButton", "Edytuj dane wybranego ucznia", "E", QColor(40, 150, 70),
     &TFGlowna::EdytujDaneUczniaToolButtonClick},
    {"UsunUczniaToolButton", "Usuń dane wybranego ucznia", "\u2212", QColor(190, 60, 50),
     &TFGlowna::UsunUczniaToolButtonClick},
    {"EdytujSwiadectwoToolButton", "Edytuj wybrane świadectwo / dokument", "\u00A7", QColor(150, 100, 30),
     &TFGlowna::EdytujSwiadectwoToolButtonClick, true},
    {"DrukujToolButton", "Drukuj świadectwo / dokument", "D", QColor(150, 100, 30),
     &TFGlowna::DrukujToolButtonClick},
    {"PomocToolButton", "Pomoc", "?", QColor(110, 110, 110), &TFGlowna::Instrukcjaobsugi1Click, true},
    {"KontaktButton", "Wyślij wiadomość", "@", QColor(110, 110, 110), &TFGlowna::KontaktButtonClick},
};

QPixmap glyphPixmap(const QString& glyph, const QColor& colour)
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, glyph);
    return pix;
}

// A tool button's picture, drawn when the button is first painted rather than while the
// window is built: the glyphs need a font of their own.
class GlyphIconEngine : public QIconEngine
{
public:
    GlyphIconEngine(const QString& glyph, const QColor& colour) : m_glyph(glyph), m_colour(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    // As for the drawn picture, without drawing it: its size, made smaller to fit.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const QSize drawn(32, 32);
        return drawn.width() > size.width() || drawn.height() > size.height()
                   ? drawn.scaled(size, Qt::KeepAspectRatio)
                   : drawn;
    }
    QIconEngine* clone() const override { return new GlyphIconEngine(m_glyph, m_colour); }

private:
    QIcon& icon()
    {
        if (m_icon.isNull())
            m_icon = QIcon(glyphPixmap(m_glyph, m_colour));
        return m_icon;
    }

    QString m_glyph;
    QColor m_colour;
    QIcon m_icon;
};

QAction* addMenuItem(TFGlowna* window, QMenu* menu, const MenuItem& item)
{
    if (QString::fromLatin1(item.caption) == QLatin1String("-")) {
        menu->addSeparator();
        return nullptr;
    }
    QAction* action = menu->addAction(QString::fromUtf8(item.caption));
    action->setObjectName(QString::fromLatin1(item.objectName));
    action->setVisible(item.visible);
    QList<QKeySequence> keys;
    if (item.shortcut != QKeySequence::UnknownKey)
        keys = QKeySequence::keyBindings(item.shortcut);
    if (item.keys)
        keys << QKeySequence(QString::fromLatin1(item.keys));
    action->setShortcuts(keys);
    if (item.handler)
        QObject::connect(action, &QAction::triggered, window, item.handler);
    else
        action->setEnabled(false);
    return action;
}

} // namespace

TFGlowna::TFGlowna(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FGlowna"));
    setWindowTitle(Version::mainCaption());
    buildMenus();
    buildToolBar();
    buildCentre();
    vFunUpdateStudentMenuItems();

    m_timerBackup = new QTimer(this);
    m_timerBackup->setObjectName(QStringLiteral("timerBackup"));
    m_timerBackup->setInterval(600000);
    // Ticks are events of this thread, so a backup falls between commands, never into one.
    connect(m_timerBackup, &QTimer::timeout, this, &TFGlowna::timerBackupTimer);
    m_timerBackup->start();
    m_updateTimer = new QTimer(this);
    m_updateTimer->setObjectName(QStringLiteral("AktualizacjaTimer"));
}

TFGlowna::~TFGlowna()
{
    // A copy still being written completes its record before the window is gone.
    IssueDesk::finishCopies();
}

void TFGlowna::setWindows(const Windows& windows)
{
    m_windows = windows;
    m_windows.daneUcznia.whenBuilt([this](TFDaneUcznia* form) {
        form->setStudentSaver(this);
        form->setMessageBuffer(&m_buf);
    });
    m_windows.daneSzkoly.whenBuilt([this](TFDaneSzkoly* form) { form->setMessageBuffer(&m_buf); });
    m_windows.backupFiles.whenBuilt([this](TFBackupFiles* form) { form->setMessageBuffer(&m_buf); });
    for (const WindowSlot<DocumentForm>& form : {m_windows.zawiadomienie, m_windows.potwierdzenie})
        form.whenBuilt([this](DocumentForm* built) { built->setStudentSaver(this); });
    connectMaintenance();
    connectCalibration();
}

void TFGlowna::buildMenus()
{
    QMap<QString, QMenu*> menus;
    for (const MenuItem& item : kMenu) {
        const QString title = QString::fromUtf8(item.menu);
        QMenu*& menu = menus[title];
        if (!menu)
            menu = menuBar()->addMenu(title);
        addMenuItem(this, menu, item);
    }
    buildRecentMenu(menus.value(QStringLiteral("&Plik")));
    m_treeMenu = new QMenu(this);
    m_treeMenu->setObjectName(QStringLiteral("TreeViewPopupMenu"));
    for (const MenuItem& item : kTreeMenu)
        addMenuItem(this, m_treeMenu, item);
}

void TFGlowna::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Narzędzia"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(32, 32));
    for (const ToolButton& def : kToolButtons) {
        if (def.gapBefore)
            m_toolBar->addSeparator();
        auto* button = new QToolButton(m_toolBar);
        button->setObjectName(QString::fromLatin1(def.objectName));
        const QString hint = QString::fromUtf8(def.hint);
        button->setToolTip(hint);
        button->setAccessibleName(hint);
        button->setIcon(QIcon(new GlyphIconEngine(QString::fromUtf8(def.glyph), def.colour)));
        button->setFixedSize(46, 38);
        connect(button, &QToolButton::clicked, this, def.handler);
        m_toolBar->addWidget(button);
    }
    // The school data template and import buttons exist but are not shown.
    for (const auto& [name, hint] : {std::pair{"SzablonToolButton", "Szablon danych szkoły"},
                                     std::pair{"ImportToolButton", "Importuj dane"}}) {
        auto* hidden = new QToolButton(m_toolBar);
        hidden->setObjectName(QString::fromLatin1(name));
        hidden->setToolTip(QString::fromUtf8(hint));
        hidden->setAccessibleName(QString::fromUtf8(hint));
        m_toolBar->addWidget(hidden)->setVisible(false);
    }
    connect(m_toolBar->findChild<QToolButton*>(QStringLiteral("SzablonToolButton")), &QToolButton::clicked,
            this, &TFGlowna::Szablondanychszkoy1Click);
    m_toolBar->addSeparator();

    auto addBox = [this](const char* name, const char* caption, bool ticked, void (TFGlowna::*handler)()) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), m_toolBar);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(ticked);
        box->setAccessibleName(box->text().remove(QLatin1Char('&')));
        connect(box, &QCheckBox::clicked, this, handler);
        return std::pair{box, m_toolBar->addWidget(box)};
    };
    WykreskujPusteCheckBox =
        addBox("WykreskujPusteCheckBox", "W&ykresuj puste pola", true, &TFGlowna::WykreskujPusteCheckBoxClick)
            .first;
    auto [dots, dotsAction] =
        addBox("PrintNoDotsCheckBox", "Wyłącz kropki", false, &TFGlowna::PrintNoDotsCheckBoxClick);
    PrintNoDotsCheckBox = dots;
    dotsAction->setVisible(false); // present for its setting, never shown
    cbWordWrap = addBox("cbWordWrap", "O&granicz pola tekstowe", false, &TFGlowna::cbWordWrapClick).first;
}

void TFGlowna::buildCentre()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The path of the open document stands right under the tool bar.
    m_statusBar = new QStatusBar(central);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusText = new QLabel(m_statusBar);
    m_statusText->setObjectName(QStringLiteral("StatusBarText"));
    m_statusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setOpenDocumentPath(QString());
    m_statusBar->addWidget(m_statusText, 1);
    // Notes on the open register: read-only, who else changed it, what a Save joined.
    m_statusNote = new QLabel(m_statusBar);
    m_statusNote->setObjectName(QStringLiteral("StatusBarNote"));
    m_statusNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusBar->addWidget(m_statusNote);
    setStatusNote(QString());
    layout->addWidget(m_statusBar);

    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    auto* listColumn = new QVBoxLayout;
    listColumn->setSpacing(0);
    QLabel* filterLabel = buildFilter();
    listColumn->addWidget(filterLabel);
    listColumn->addWidget(m_filter);
    m_tree = new QTreeWidget(central);
    m_tree->setObjectName(QStringLiteral("TreeView"));
    m_tree->setAccessibleName(QStringLiteral("Lista uczniów"));
    m_tree->setHeaderHidden(true);
    m_tree->setFixedWidth(265);
    m_tree->setIndentation(19);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Many students are chosen for a batch print with Ctrl, Shift and Ctrl+A; the commands
    // on one student act on the node that has the focus.
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_treeMenu->popup(m_tree->viewport()->mapToGlobal(pos)); });
    // Loading on every change of the selection keeps the forms on the selected
    // student, whether it was chosen with the mouse or the keyboard.
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &TFGlowna::TreeViewClick);
    // A click on the node that is already selected loads the student again, as any
    // click does.
    m_tree->viewport()->installEventFilter(this);
    m_tree->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] {
        if (std::exchange(m_pressOnSelected, false))
            TreeViewClick();
    });
    // Double-click or Enter on a document opens it for editing.
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item && item->parent())
            EdytujSwiadectwoToolButtonClick();
    });
    listColumn->addWidget(m_tree, 1);
    body->addLayout(listColumn);

    m_pageControl = new QTabWidget(central);
    m_pageControl->setObjectName(QStringLiteral("PageControl"));
    m_pageControl->setAccessibleName(QStringLiteral("Strony dokumentu"));
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setAccessibleName(QStringLiteral("Podgląd dokumentu"));
    // The keyboard reaches the preview to scroll and zoom it (F6, Tab).
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_image = new QLabel;
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setAccessibleName(QStringLiteral("Strona dokumentu"));
    m_scroll->setWidget(m_image);
    m_scroll->viewport()->installEventFilter(this);
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet1"));
    auto* tabLayout = new QVBoxLayout(tab);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->addWidget(m_scroll);
    m_pageControl->addTab(tab, QStringLiteral("Strona 1"));
    body->addWidget(m_pageControl, 1);
    layout->addLayout(body, 1);
    setCentralWidget(central);
    setTabOrder(m_filter, m_tree);
    setTabOrder(m_tree, m_scroll);
    setAcceptDrops(true);
}

QAction* TFGlowna::action(const char* objectName) const
{
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

void TFGlowna::showError(const QString& text, const QString& caption)
{
    Prompts::instance().error(this, text, caption);
}

QString TFGlowna::openDocumentPath() const
{
    return m_statusText->text();
}

void TFGlowna::setOpenDocumentPath(const QString& path)
{
    m_statusText->setText(path);
    // A screen reader gets a label's text only through its accessible name.
    m_statusText->setAccessibleName(QStringLiteral("Otwarty plik: ") +
                                    (path.isEmpty() ? QStringLiteral("brak") : path));
    m_statusText->setAccessibleDescription(path);
    m_statusText->repaint();
    // Every register that became the open one is offered again in "Ostatnio otwierane".
    if (!path.isEmpty())
        RecentFiles::rememberRegister(path);
}

// ---------------------------------------------------------------- the tree

QTreeWidgetItem* TFGlowna::selectedNode() const
{
    if (QTreeWidgetItem* current = m_tree->currentItem(); current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    return items.isEmpty() ? nullptr : items.constFirst();
}

QStringList TFGlowna::selectedStudentTables() const
{
    QStringList tables;
    if (m_tree->selectedItems().isEmpty())
        return tables;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* student = m_tree->topLevelItem(i);
        bool chosen = student->isSelected();
        for (int j = 0; !chosen && j < student->childCount(); ++j)
            chosen = student->child(j)->isSelected();
        if (chosen)
            tables << student->data(0, kTableRole).toString();
    }
    return tables;
}

QString TFGlowna::selectedStudentCaption() const
{
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return QString();
    return (node->parent() ? node->parent() : node)->data(0, kNameRole).toString();
}

QString TFGlowna::selectedStudentTable() const
{
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return QString();
    return (node->parent() ? node->parent() : node)->data(0, kTableRole).toString();
}

QString TFGlowna::selectedDocumentCaption() const
{
    QTreeWidgetItem* node = selectedNode();
    return node && node->parent() ? node->text(0) : QString();
}

bool TFGlowna::vFunRefreshStudentList(const QString& hint)
{
    const QString path = strFunGetTmpFilePath(m_buf);
    if (!QFileInfo::exists(path))
        return true;
    QList<StudentListEntry> students;
    if (!bFunGetStudentsList(m_buf, path, students)) {
        showError(QStringLiteral("Błąd podczas próby wczytania listy uczniów\n\n") + m_buf.text() + hint);
        return false;
    }
    fillStudentTree(std::move(students));
    return true;
}

void TFGlowna::fillStudentTree(QList<StudentListEntry> students)
{
    vFunSortStudents(students);
    m_students = students;

    const QSignalBlocker blocker(m_tree);
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    QList<QTreeWidgetItem*> roots;
    roots.reserve(students.size());
    const QStringList captions = strFunStudentCaptions(students);
    for (qsizetype i = 0; i < students.size(); ++i) {
        const StudentListEntry& s = students.at(i);
        auto* node = new QTreeWidgetItem(QStringList{captions.at(i)});
        node->setData(0, kTableRole, s.tableName);
        node->setData(0, kNameRole, s.displayName);
        node->addChild(new QTreeWidgetItem(QStringList{kTransferNotice}));
        node->addChild(new QTreeWidgetItem(QStringList{kAdmissionConfirmation}));
        roots.append(node);
    }
    m_tree->addTopLevelItems(roots);
    applyFilter();
    m_tree->setUpdatesEnabled(true);
    vFunUpdateStudentMenuItems();
}

void TFGlowna::vFunUpdateStudentMenuItems()
{
    const bool student = !selectedStudentCaption().isEmpty();
    const bool document = !selectedDocumentCaption().isEmpty();
    action("Edytujdaneucznia1")->setEnabled(student);
    action("Usudaneucznia1")->setEnabled(student);
    action("Edytujdokument1")->setEnabled(document);
    action("Drukujwybranewiadectwo2")->setEnabled(document);
    const bool anyStudent = !m_tree->selectedItems().isEmpty();
    action("Drukujdlazaznaczonych1")->setEnabled(anyStudent);
    action("Drukujdlazaznaczonych2")->setEnabled(anyStudent);
}

bool TFGlowna::selectDocument(const QString& tableName, const QString& documentCaption)
{
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* student = m_tree->topLevelItem(i);
        if (student->data(0, kTableRole).toString() != tableName)
            continue;
        for (int j = 0; j < student->childCount(); ++j) {
            if (student->child(j)->text(0) == documentCaption) {
                m_tree->setCurrentItem(student->child(j));
                return true;
            }
        }
    }
    return false;
}

void TFGlowna::TreeViewClick()
{
    if (selectedStudentCaption().isEmpty()) {
        vFunUpdateStudentMenuItems();
        return;
    }
    m_fieldRows.clear();
    if (!bFunLoadStudent(selectedStudentTable()))
        return;
    showIssuesInTree();
    const QString document = selectedDocumentCaption();
    if (document == kTransferNotice)
        vFunDrawPage(m_windows.zawiadomienie, false, 0, 1);
    else if (document == kAdmissionConfirmation)
        vFunDrawPage(m_windows.potwierdzenie, false, 1, 1);
    vFunUpdateStudentMenuItems();
}

// ---------------------------------------------------------------- binding

bool TFGlowna::bFunSaveStudent(const QString& previousTableName)
{
    const auto* pesel = m_windows.daneUcznia->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"));
    const QString tableName = QStringLiteral("PESEL") + (pesel ? pesel->text() : QString());
    QStringList alsoDrop;
    if (!previousTableName.isEmpty() && previousTableName != tableName)
        alsoDrop << previousTableName;
    return storeStudent(tableName, alsoDrop);
}

bool TFGlowna::bFunSaveDocument()
{
    const QString tableName = selectedStudentTable();
    if (tableName.isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Nie wybrano ucznia z listy"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return false;
    }
    return storeStudent(tableName, {});
}

bool TFGlowna::storeStudent(const QString& tableName, const QStringList& alsoDrop)
{
    TFWait* wait = m_windows.wait;
    if (wait)
        wait->showAndPaint();
    const QString path = strFunGetTmpFilePath(m_buf);
    // The student's issued documents stay with the student, also under a new PESEL.
    QList<FieldRowList> before;
    MessageBuffer quiet;
    bFunLoadStudentTables(quiet, path, {alsoDrop.isEmpty() ? tableName : alsoDrop.constFirst()}, before);
    m_fieldRows.clear();
    m_windows.daneUcznia->CollectFields(m_fieldRows);
    m_windows.zawiadomienie->CollectFields(m_fieldRows);
    m_windows.potwierdzenie->CollectFields(m_fieldRows);
    Issued::carryRecords(before.value(0), m_fieldRows);
    if (wait) {
        wait->ProgressBar1->setRange(0, int(m_fieldRows.size()));
        wait->ProgressBar1->setValue(0);
        wait->repaint();
    }
    const bool stored = bFunReplaceCertData(m_buf, path, tableName, m_fieldRows, alsoDrop, [wait] {
        if (wait)
            wait->ProgressBar1->setValue(wait->ProgressBar1->value() + 1);
    });
    if (wait)
        wait->close();
    if (!stored) {
        showError(QStringLiteral("Błąd zapisu danych.\n\n") + m_buf.text());
        return false;
    }
    m_storedTable = tableName;
    vFunRefreshStudentList();
    return true;
}

bool TFGlowna::bFunLoadStudent(const QString& tableName)
{
    const QString path = strFunGetTmpFilePath(m_buf);
    m_fieldRows.clear();
    if (!bFunLoadCertData(m_buf, path, tableName, m_fieldRows)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
        return false;
    }
    m_windows.daneUcznia->FillFields(m_fieldRows);
    m_windows.zawiadomienie->FillFields(m_fieldRows);
    m_windows.potwierdzenie->FillFields(m_fieldRows);
    return true;
}

void TFGlowna::vFunDrawPage(DocumentForm* form, bool printing, int documentType, int pages)
{
    finishStartPage();
    if (!bFunLoadPageCalibration(form != nullptr, documentType))
        return;
    m_printing = printing;
    m_pageCount = pages;
    PageRenderer renderer(m_buf, pageOptions(), strFunGetMainDirPath(m_buf));
    PageTexts texts = pageTextsOf(*form);
    // While the calibration editor is open, the issue's number and the reprint's mark show
    // where they will stand.
    if (m_highlightMode)
        texts = IssueDesk::withIssue(texts, QStringLiteral("SP12.4340.1.2026"),
                                     QStringLiteral("Duplikat, 01.09.2026"), {});
    renderer.record(m_pagePicture, m_calibEntries, texts, printing);
    m_clippedFields = clippedLines(*form, renderer);
    if (!printing) {
        vFunShowRecordedPage(renderer);
        describePreview(documentType);
    }
}

QStringList TFGlowna::clippedLines(const DocumentForm& form, const PageRenderer& renderer)
{
    return PageRenderer::describeClipped(renderer.clipped(), [&form](const QString& name) {
        const QWidget* field = form.component(name);
        // A fixed text is named by its own wording.
        return !field                               ? QString()
               : !field->accessibleName().isEmpty() ? field->accessibleName()
                                                    : form.componentText(name);
    });
}

void TFGlowna::vFunDrawStartPage()
{
    // The calibration is read at once, so that a failure is reported in its place among
    // the start-up messages. The page itself (the blank transfer notice) is drawn and
    // laid over the decoded blank form when the window first appears, before anything of
    // it is on screen, or earlier when anything else needs the preview. The preview
    // takes its size now, so that the window is laid out once.
    finishStartPage();
    if (!bFunLoadPageCalibration(true, 0))
        return;
    m_printing = false;
    m_pageCount = 1;
    m_startPage = pageOptions();
    applyZoom();
    describePreview(0);
}

void TFGlowna::finishStartPage()
{
    const std::optional<PageOptions> options = std::exchange(m_startPage, std::nullopt);
    if (!options)
        return;
    if (QWindow* window = windowHandle())
        window->removeEventFilter(this);
    PageRenderer renderer(m_buf, *options, strFunGetMainDirPath(m_buf));
    renderer.record(m_pagePicture, m_calibEntries, blankPageTexts(TFZawiadomieniePrzek::pageTable()), false);
    vFunShowRecordedPage(renderer);
}

const QPicture& TFGlowna::pagePicture()
{
    finishStartPage();
    return m_pagePicture;
}

bool TFGlowna::bFunLoadPageCalibration(bool haveForm, int documentType)
{
    m_pagePicture = QPicture();
    m_calibEntries.clear();
    m_clippedFields.clear();
    QString key;
    if (documentType == 0)
        key = QStringLiteral("zawiadomienie_o_przekazaniu");
    else if (documentType == 1)
        key = QStringLiteral("potwierdzenie_przyjecia_ucznia");
    if (key.isEmpty() || !haveForm) {
        Prompts::instance().message(this, QStringLiteral("Niepoprawny typ świadectwa"),
                                    QStringLiteral("Błąd"), Prompts::Icon::Warning, Prompts::Buttons::Ok);
        return false;
    }
    if (!bFunCalibLoadData(m_buf, strFunGetCalibFilePath(m_buf, false), key, m_calibEntries)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych kalibracji.\n\n") + m_buf.text());
        return false;
    }
    return true;
}

PageOptions TFGlowna::pageOptions() const
{
    PageOptions options;
    options.strikeEmpty = WykreskujPusteCheckBox->isChecked();
    options.noDots = PrintNoDotsCheckBox->isChecked();
    options.wordWrap = cbWordWrap->isChecked();
    options.highlightMode = m_highlightMode;
    options.highlighted = m_highlightedName;
    // The preview fits the values for the sheet the print dialog last placed the page on.
    if (m_windows.drukuj.isBuilt() && m_windows.drukuj)
        options.paperScale = m_windows.drukuj->paperScale();
    return options;
}

void TFGlowna::vFunShowRecordedPage(const PageRenderer& renderer)
{
    vFunShowPagePreview();
    if (const auto& request = renderer.highlight()) {
        m_pageControl->setCurrentIndex(request->pageIndex);
        m_scroll->verticalScrollBar()->setValue(request->scrollY * m_zoom / 100);
    }
}

void TFGlowna::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_startPage && windowHandle())
        windowHandle()->installEventFilter(this);
}

void TFGlowna::vFunShowPagePreview()
{
    // The blank form is read again only when the file has changed, so that a picture
    // replaced on disk shows at the next drawing. Without it the last background stays
    // (a white sheet before any), never the previous page underneath the new one.
    // Only a regular file is read: a pipe or a device in its place would never end.
    const QFileInfo file(previewBackgroundPath());
    const QString stamp = file.isFile() ? file.filePath() + QString::number(file.size()) +
                                              file.lastModified().toString(Qt::ISODateWithMs)
                                        : QString();
    QPixmap background;
    if (!stamp.isEmpty() && stamp != m_previewBackgroundStamp && background.load(file.filePath())) {
        m_previewBackground = background;
        m_previewBackgroundStamp = stamp;
    }
    if (m_previewBackground.isNull()) {
        m_previewBackground = QPixmap(kBlankSheet);
        m_previewBackground.fill(Qt::white);
    }
    QPixmap page = m_previewBackground;
    QPainter painter(&page);
    PageRenderer::stretch(painter, m_pagePicture, QRectF(QPointF(74, 74), QPointF(957, 1388)));
    painter.end();
    m_image->setPixmap(page);
    applyZoom();
}

QString TFGlowna::previewBackgroundPath()
{
    return strFunGetMainDirPath(m_buf) + QStringLiteral("/grafika/a4_prw.bmp");
}

QSize TFGlowna::previewBackgroundSize()
{
    // Only the header is read; a picture that will not load leaves the white sheet.
    if (!m_previewBackground.isNull())
        return m_previewBackground.size();
    const QString path = previewBackgroundPath();
    const QSize size = QFileInfo(path).isFile() ? QImageReader(path).size() : QSize();
    return size.isValid() ? size : kBlankSheet;
}

void TFGlowna::setHighlightMode(bool on, const QString& highlightedName)
{
    m_highlightMode = on;
    m_highlightedName = highlightedName;
}

// ---------------------------------------------------------------- commands

void TFGlowna::DodajUczniaToolButtonClick()
{
    m_unsavedChanges = true;
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    m_windows.daneUcznia->EditMode = false;
    m_windows.daneUcznia->ClearFields();
    m_windows.zawiadomienie->ClearFields();
    m_windows.potwierdzenie->ClearFields();
    // The form closes with OK only once the student is stored, and storing refills the
    // tree: reading the list again would only repeat it. The new student is the
    // selected one then; after Anuluj the one selected before.
    if (m_windows.daneUcznia->exec() == QDialog::Accepted) {
        selectStudent(m_storedTable);
        return;
    }
    TreeViewClick(); // nothing typed into a cancelled form stays in the forms
    vFunRefreshStudentList();
    selectStudent(table, document);
}

void TFGlowna::EdytujDaneUczniaToolButtonClick()
{
    m_unsavedChanges = true;
    if (selectedStudentCaption().isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Nie wybrano ucznia z listy"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    m_windows.daneUcznia->OldTableName = table;
    m_windows.daneUcznia->EditMode = true;
    // A cancelled edit is dropped from the forms at once, so that no later command
    // (a document's OK above all) can store it. A stored one refilled the list: the
    // student, under its PESEL as it is now, is selected again.
    if (m_windows.daneUcznia->exec() != QDialog::Accepted) {
        TreeViewClick();
        selectStudent(table, document);
    } else {
        selectStudent(m_storedTable, document);
    }
}

void TFGlowna::UsunUczniaToolButtonClick()
{
    m_unsavedChanges = true;
    const QString caption = selectedStudentCaption();
    if (caption.isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Nie wybrano ucznia z listy"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    // After a delete the next student in the list is the selected one (the one before
    // it at the end of the list).
    QString neighbour;
    QTreeWidgetItem* node = selectedNode();
    const int index = m_tree->indexOfTopLevelItem(node->parent() ? node->parent() : node);
    for (const int step : {1, -1}) {
        for (int i = index + step; neighbour.isEmpty() && i >= 0 && i < m_tree->topLevelItemCount();
             i += step)
            if (!m_tree->topLevelItem(i)->isHidden())
                neighbour = m_tree->topLevelItem(i)->data(0, kTableRole).toString();
    }
    const bool drop = Prompts::instance().askYesNo(
        this, QStringLiteral("Czy na pewno chcesz skasować dane ucznia: \n") + caption,
        QStringLiteral("Usuń"), Prompts::Icon::Warning);
    // Exactly the selected student: a namesake has a table of its own.
    if (drop)
        bFunDeleteTable(m_buf, strFunGetTmpFilePath(m_buf), table);
    vFunRefreshStudentList();
    if (drop)
        selectStudent(neighbour);
    else
        selectStudent(table, document);
}

void TFGlowna::EdytujSwiadectwoToolButtonClick()
{
    int createTemplate = 0;
    if (!bFunSqlGetSettingsValue(m_buf, QStringLiteral("create_school_data_template"), createTemplate)) {
        showError(QStringLiteral("Błąd uzyskania zmiennej z pliku ustawień"));
        return;
    }
    if (createTemplate != 0 &&
        Prompts::instance().askYesNo(this,
                                     QStringLiteral("Szablon danych szkoły nie został jeszcze utworzony.\n"
                                                    "Czy chcesz utworzyć szablon teraz ?"),
                                     QStringLiteral("Szablon")) &&
        m_windows.daneSzkoly) {
        m_windows.daneSzkoly->exec();
    }
    m_unsavedChanges = true;
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    if (document.isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Nie wybrano świadectwa z listy"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    DocumentForm* form = document == kTransferNotice ? m_windows.zawiadomienie : m_windows.potwierdzenie;
    form->exec();
    // Selecting the document again reloads the student: what Cancel left is dropped.
    {
        const QSignalBlocker blocker(m_tree);
        m_tree->clearSelection();
    }
    if (!selectStudent(table, document))
        vFunUpdateStudentMenuItems();
}

void TFGlowna::DrukujToolButtonClick()
{
    const QString document = selectedDocumentCaption();
    if (document.isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Zaznacz świadectwo które chciesz wydrukować"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    if (document == kTransferNotice)
        vFunDrawPage(m_windows.zawiadomienie, true, 0, 1);
    else
        vFunDrawPage(m_windows.potwierdzenie, true, 1, 1);
    // A page that could not be drawn has already been reported; a blank sheet is no printout.
    if (!m_pagePicture.isNull() && m_windows.drukuj) {
        // "Kowalski Jan - Zawiadomienie o przekazaniu"; a slash cannot stand in a file name.
        QString name = selectedNode()->parent()->text(0) + QStringLiteral(" - ") + document;
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        m_windows.drukuj->setPage(m_pagePicture, m_pageCount, name);
        m_windows.drukuj->setClippedFields(m_clippedFields);
        // The number of the issue is proposed in the dialog and the issue recorded after it.
        IssueDesk desk(issueContext());
        if (desk.begin()) {
            const int type = document == kTransferNotice ? 0 : 1;
            DocumentForm* form = type == 0 ? m_windows.zawiadomienie.get() : m_windows.potwierdzenie.get();
            if (desk.keeping())
                m_windows.drukuj->setIssue(
                    desk.single(selectedStudentTable(), type, *form,
                                [this](const PageTexts& texts) { return drawIssuedPage(texts); }));
            m_windows.drukuj->setPageRedraw(
                [this, form](qreal paperScale, QPicture& page, QStringList& clipped) {
                    PageOptions options = pageOptions();
                    options.paperScale = paperScale;
                    PageRenderer renderer(m_buf, options, strFunGetMainDirPath(m_buf));
                    renderer.record(page, m_calibEntries, pageTextsOf(*form), true);
                    clipped = clippedLines(*form, renderer);
                });
            m_windows.drukuj->exec();
            m_windows.drukuj->setPageRedraw(nullptr);
            m_windows.drukuj->setIssue({});
        }
    }
    m_printing = false;
}

void TFGlowna::optionClicked(QCheckBox* box, const char* key)
{
    bFunSqlSettingWriteValue(m_buf, QString::fromLatin1(key), box->isChecked() ? 1 : 0);
    TreeViewClick();
}

void TFGlowna::WykreskujPusteCheckBoxClick()
{
    optionClicked(WykreskujPusteCheckBox, "strike_empty_fields");
}

void TFGlowna::PrintNoDotsCheckBoxClick()
{
    optionClicked(PrintNoDotsCheckBox, "print_without_dots");
}

void TFGlowna::cbWordWrapClick()
{
    optionClicked(cbWordWrap, "word_wrap");
}

void TFGlowna::FormMouseWheel(int delta)
{
    QScrollBar* bar = m_scroll->verticalScrollBar();
    bar->setValue(bar->value() - delta);
}

bool TFGlowna::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QTreeWidgetItem* node = m_tree->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        m_pressOnSelected = node && node->isSelected();
    }
    // With nothing selected (after every refill) the first arrow key selects the node
    // that has the focus frame instead of moving past it: a list of one student could
    // not be selected otherwise, and Down would skip the first.
    if (watched == m_tree && event->type() == QEvent::KeyPress && m_tree->selectedItems().isEmpty() &&
        m_tree->currentItem()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            m_tree->setCurrentItem(m_tree->currentItem());
            return true;
        }
    }
    if (event->type() == QEvent::Expose && watched == windowHandle())
        finishStartPage();
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (!(wheel->modifiers() & Qt::ControlModifier))
            FormMouseWheel(delta);
        else if (delta > 0)
            PowiekszClick();
        else if (delta < 0)
            PomniejszClick();
        return true;
    }
    if (watched == m_filter && event->type() == QEvent::KeyPress &&
        (static_cast<QKeyEvent*>(event)->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        filterKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void TFGlowna::Instrukcjaobsugi1Click()
{
    DesktopOpen::open(QUrl::fromLocalFile(strFunGetHelpFilePath()));
}

void TFGlowna::KontaktButtonClick()
{
    DesktopOpen::open(QUrl(QString::fromLatin1(Maker::contactPage)));
}

void TFGlowna::DziennikInternetowy1Click()
{
    DesktopOpen::open(QUrl(QString::fromLatin1(Maker::webPage)));
}

void TFGlowna::Oprogramie1Click()
{
    if (m_windows.oProgramie)
        m_windows.oProgramie->exec();
}
