#include "printing/TFDrukuj.h"

#include "documents/FormTable.h"
#include "platform/CupsPrinters.h"
#include "platform/DesktopOpen.h"
#include "platform/FileOps.h"
#include "printing/DialogRows.h"
#include "printing/TFDrukujSheet.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "storage/RecentFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <climits>

enum Edge { Left, Top, Right, Bottom };

// One millimetre step of a nudge button. A guarded edit holding 1 is not decreased;
// when the guarded step comes first the click does nothing at all.
struct NudgeStep {
    Edge edge;
    int delta;
    bool guarded;
};

struct NudgeButton {
    const char* name;
    const char* role; // accessible name
    Qt::ArrowType arrow;
    const char* caption; // without an arrow
    int page;            // 0 or 1
    int left;
    int top;
    int tab;
    NudgeStep steps[2];
};

namespace {

constexpr int PositionTop = 204;
constexpr int SizeTop = 346;
constexpr int Column[2] = {12, 286};

using DialogRows::button;
using DialogRows::label;
using DialogRows::list;

// A millimetre field of a position group; `role` is its accessible name. The fields of
// a page come in the tab order before its arrows.
constexpr ComponentEntry edge(const char* name, const char* role, int page, int row)
{
    return {.name = name,
            .kind = ComponentKind::Number,
            .text = role,
            .left = Column[page] + 72,
            .top = PositionTop + 22 + 26 * row,
            .width = 66,
            .height = 22,
            .tab = 9 + 8 * page + row};
}

constexpr ComponentEntry edgeLabel(const char* name, const char* caption, int page, int row,
                                   const char* buddy)
{
    return label(name, caption, Column[page] + 12, PositionTop + 26 + 26 * row, buddy);
}

constexpr ComponentEntry Form[] = {
    label("Label1", "&Nazwa drukarki:", 12, 10, "DrukarkiComboBox"),
    list("DrukarkiComboBox", 12, 28, 400, 1),
    button("BitBtn1", "U&stawienia", 422, 27, 126, 2),
    label("Label2", "&Tryb druku ( duplex )", 12, 62, "DuplexComboBox"),
    list("DuplexComboBox", 12, 80, 180, 3, "Wyłączony|Duplex pionowo|Duplex poziomo"),
    label("Label3", "Ustawienia &wydruku", 12, 114, "MarginesyComboBox"),
    list("MarginesyComboBox", 12, 132, 300, 5),
    button("SaveNewButton", "&Zapisz jako nowe ustawienia", 12, 166, 180, 6),
    button("DeleteButton", "&Usuń ustawienia", 198, 166, 150, 7),
    button("ResetButton", "&Przywróć oryginalne ustawienia", 354, 166, 194, 8),

    edgeLabel("Label4", "Lewy:", 0, 0, "Strona1LewyEdit"),
    edge("Strona1LewyEdit", "Strona 1, lewa krawędź (mm)", 0, 0),
    edgeLabel("Label5", "Górny:", 0, 1, "Strona1GornyEdit"),
    edge("Strona1GornyEdit", "Strona 1, górna krawędź (mm)", 0, 1),
    edgeLabel("Label6", "Prawy:", 0, 2, "Strona1PrawyEdit"),
    edge("Strona1PrawyEdit", "Strona 1, prawa krawędź (mm)", 0, 2),
    edgeLabel("Label7", "Dolny:", 0, 3, "Strona1DolnyEdit"),
    edge("Strona1DolnyEdit", "Strona 1, dolna krawędź (mm)", 0, 3),
    edgeLabel("Label8", "Lewy:", 1, 0, "Strona2LewyEdit"),
    edge("Strona2LewyEdit", "Strona 2, lewa krawędź (mm)", 1, 0),
    edgeLabel("Label9", "Górny:", 1, 1, "Strona2GornyEdit"),
    edge("Strona2GornyEdit", "Strona 2, górna krawędź (mm)", 1, 1),
    edgeLabel("Label10", "Prawy:", 1, 2, "Strona2PrawyEdit"),
    edge("Strona2PrawyEdit", "Strona 2, prawa krawędź (mm)", 1, 2),
    edgeLabel("Label11", "Dolny:", 1, 3, "Strona2DolnyEdit"),
    edge("Strona2DolnyEdit", "Strona 2, dolna krawędź (mm)", 1, 3),

    button("PomocButton", "Po&moc", 12, 446, 100, 33),
    button("DrukujButton", "&Drukuj", 336, 446, 100, 34),
    button("AnulujButton", "&Anuluj", 448, 446, 100, 35),
};

// The check box takes its place in the tab order through the same kind of row.
constexpr ComponentEntry RotateBox = {.name = "cbRotateSecondPage",
                                      .kind = ComponentKind::Button,
                                      .text = "&obróć drugą stronę o 180 stopni",
                                      .left = 202,
                                      .top = 82,
                                      .tab = 4};

struct Group {
    const char* name;
    const char* caption;
    int left;
    int top;
    int height;
};

constexpr Group Groups[] = {
    {"GroupBox1", " Pozycjonowanie wydruku str 1 ", Column[0], PositionTop, 134},
    {"GroupBox2", " Pozycjonowanie wydruku str 2 ", Column[1], PositionTop, 134},
    {"GroupBox3", " Szerokość / wysokość wydruku str 1", Column[0], SizeTop, 88},
    {"GroupBox4", " Szerokość / wysokość wydruku str 2", Column[1], SizeTop, 88},
};

constexpr int CrossLeft = 146;
constexpr int CrossTop = PositionTop + 24;

constexpr NudgeButton Nudges[] = {
    {"SpeedButton1",
     "Strona 1: wydruk wyżej",
     Qt::UpArrow,
     "",
     0,
     Column[0] + CrossLeft + 30,
     CrossTop,
     13,
     {{Top, -1, true}, {Bottom, -1, false}}},
    {"SpeedButton2",
     "Strona 1: wydruk w lewo",
     Qt::LeftArrow,
     "",
     0,
     Column[0] + CrossLeft,
     CrossTop + 34,
     14,
     {{Left, -1, true}, {Right, -1, true}}},
    {"SpeedButton4",
     "Strona 1: wydruk w prawo",
     Qt::RightArrow,
     "",
     0,
     Column[0] + CrossLeft + 60,
     CrossTop + 34,
     15,
     {{Left, 1, false}, {Right, 1, false}}},
    {"SpeedButton3",
     "Strona 1: wydruk niżej",
     Qt::DownArrow,
     "",
     0,
     Column[0] + CrossLeft + 30,
     CrossTop + 68,
     16,
     {{Top, 1, false}, {Bottom, 1, false}}},
    {"SpeedButton5",
     "Strona 2: wydruk wyżej",
     Qt::UpArrow,
     "",
     1,
     Column[1] + CrossLeft + 30,
     CrossTop,
     21,
     {{Top, -1, true}, {Bottom, -1, false}}},
    {"SpeedButton6",
     "Strona 2: wydruk w lewo",
     Qt::LeftArrow,
     "",
     1,
     Column[1] + CrossLeft,
     CrossTop + 34,
     22,
     {{Left, -1, true}, {Right, -1, false}}},
    {"SpeedButton8",
     "Strona 2: wydruk w prawo",
     Qt::RightArrow,
     "",
     1,
     Column[1] + CrossLeft + 60,
     CrossTop + 34,
     23,
     {{Left, 1, false}, {Right, 1, false}}},
    {"SpeedButton7",
     "Strona 2: wydruk niżej",
     Qt::DownArrow,
     "",
     1,
     Column[1] + CrossLeft + 30,
     CrossTop + 68,
     24,
     {{Top, 1, false}, {Bottom, 1, false}}},
    {"SpeedButton9",
     "Strona 1: wydruk szerszy",
     Qt::NoArrow,
     "Szerszy",
     0,
     Column[0] + 12,
     SizeTop + 22,
     25,
     {{Left, -1, true}, {Right, 1, false}}},
    {"SpeedButton10",
     "Strona 1: wydruk węższy",
     Qt::NoArrow,
     "Węższy",
     0,
     Column[0] + 136,
     SizeTop + 22,
     26,
     {{Right, -1, true}, {Left, 1, false}}},
    {"SpeedButton11",
     "Strona 1: wydruk wyższy",
     Qt::NoArrow,
     "Wyższy",
     0,
     Column[0] + 12,
     SizeTop + 54,
     27,
     {{Top, -1, true}, {Bottom, 1, false}}},
    {"SpeedButton12",
     "Strona 1: wydruk niższy",
     Qt::NoArrow,
     "Niższy",
     0,
     Column[0] + 136,
     SizeTop + 54,
     28,
     {{Top, 1, false}, {Bottom, -1, true}}},
    {"SpeedButton13",
     "Strona 2: wydruk szerszy",
     Qt::NoArrow,
     "Szerszy",
     1,
     Column[1] + 12,
     SizeTop + 22,
     29,
     {{Left, -1, true}, {Right, 1, false}}},
    {"SpeedButton14",
     "Strona 2: wydruk węższy",
     Qt::NoArrow,
     "Węższy",
     1,
     Column[1] + 136,
     SizeTop + 22,
     30,
     {{Left, 1, false}, {Right, -1, false}}},
    {"SpeedButton16",
     "Strona 2: wydruk wyższy",
     Qt::NoArrow,
     "Wyższy",
     1,
     Column[1] + 12,
     SizeTop + 54,
     31,
     {{Top, -1, true}, {Bottom, 1, false}}},
    {"SpeedButton15",
     "Strona 2: wydruk niższy",
     Qt::NoArrow,
     "Niższy",
     1,
     Column[1] + 136,
     SizeTop + 54,
     32,
     {{Top, 1, false}, {Bottom, -1, false}}},
};

// Rows standing for the nudge buttons in the tab order.
struct NudgeRows {
    ComponentEntry rows[std::size(Nudges)];
    constexpr NudgeRows() : rows()
    {
        for (std::size_t i = 0; i < std::size(Nudges); ++i)
            rows[i] = {.name = Nudges[i].name, .kind = ComponentKind::Button, .tab = Nudges[i].tab};
    }
};
constexpr NudgeRows NudgeTabRows;

const char* const EditNames[2][4] = {
    {"Strona1LewyEdit", "Strona1GornyEdit", "Strona1PrawyEdit", "Strona1DolnyEdit"},
    {"Strona2LewyEdit", "Strona2GornyEdit", "Strona2PrawyEdit", "Strona2DolnyEdit"},
};

CupsPrinters::Sides sidesOf(const QComboBox* duplex)
{
    if (duplex->isEnabled() && duplex->currentIndex() == 1)
        return CupsPrinters::Sides::TwoSidedLongEdge;
    if (duplex->isEnabled() && duplex->currentIndex() == 2)
        return CupsPrinters::Sides::TwoSidedShortEdge;
    return CupsPrinters::Sides::OneSided;
}

QPrinter::DuplexMode duplexOf(CupsPrinters::Sides sides)
{
    switch (sides) {
    case CupsPrinters::Sides::TwoSidedLongEdge:
        return QPrinter::DuplexLongSide;
    case CupsPrinters::Sides::TwoSidedShortEdge:
        return QPrinter::DuplexShortSide;
    case CupsPrinters::Sides::OneSided:
        break;
    }
    return QPrinter::DuplexNone;
}

QString withPdfSuffix(const QString& name)
{
    return name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? name : name + QStringLiteral(".pdf");
}

} // namespace

TFDrukuj::TFDrukuj(MessageBuffer& buf, QWidget* parent) : QDialog(parent), m_buf(buf)
{
    setObjectName(QStringLiteral("FDrukuj"));
    setWindowTitle(QStringLiteral("Drukowanie"));
    setFixedSize(560, 486);

    // The frames first, so that the controls they hold lie above them.
    for (const Group& group : Groups) {
        auto* box = new QGroupBox(QString::fromUtf8(group.caption), this);
        box->setObjectName(QString::fromLatin1(group.name));
        box->setGeometry(group.left, group.top, 262, group.height);
    }
    QList<BuiltComponent> built = FormTable::build(this, Form);

    cbRotateSecondPage = new QCheckBox(QString::fromUtf8(RotateBox.text), this);
    cbRotateSecondPage->setObjectName(QString::fromLatin1(RotateBox.name));
    cbRotateSecondPage->move(RotateBox.left, RotateBox.top);
    cbRotateSecondPage->adjustSize();
    cbRotateSecondPage->setAccessibleName(QStringLiteral("obróć drugą stronę o 180 stopni"));
    built.append({&RotateBox, cbRotateSecondPage});

    for (std::size_t i = 0; i < std::size(Nudges); ++i) {
        const NudgeButton& nudge = Nudges[i];
        auto* tool = new QToolButton(this);
        tool->setObjectName(QString::fromLatin1(nudge.name));
        tool->setAccessibleName(QString::fromUtf8(nudge.role));
        tool->setToolTip(tool->accessibleName());
        tool->setFocusPolicy(Qt::StrongFocus);
        if (nudge.arrow != Qt::NoArrow) {
            tool->setArrowType(nudge.arrow);
            tool->setGeometry(nudge.left, nudge.top, 28, 28);
        } else {
            tool->setText(QString::fromUtf8(nudge.caption));
            tool->setGeometry(nudge.left, nudge.top, 112, 26);
        }
        connect(tool, &QToolButton::clicked, this, [this, &nudge] { this->nudge(nudge); });
        built.append({&NudgeTabRows.rows[i], tool});
    }
    FormTable::applyTabOrder(built);

    DrukarkiComboBox = findChild<QComboBox*>(QStringLiteral("DrukarkiComboBox"));
    DuplexComboBox = findChild<QComboBox*>(QStringLiteral("DuplexComboBox"));
    MarginesyComboBox = findChild<QComboBox*>(QStringLiteral("MarginesyComboBox"));
    for (int page = 0; page < 2; ++page)
        for (int e = 0; e < 4; ++e) {
            m_edits[page][e] = findChild<QSpinBox*>(QString::fromLatin1(EditNames[page][e]));
            m_edits[page][e]->setValue(0);
        }

    connect(DrukarkiComboBox, &QComboBox::currentIndexChanged, this, &TFDrukuj::DrukarkiComboBoxChange);
    connect(MarginesyComboBox, &QComboBox::currentIndexChanged, this, &TFDrukuj::MarginesyComboBoxChange);
    const std::pair<const char*, void (TFDrukuj::*)()> clicks[] = {
        {"SaveNewButton", &TFDrukuj::SaveNewButtonClick},
        {"DeleteButton", &TFDrukuj::DeleteButtonClick},
        {"ResetButton", &TFDrukuj::ResetButtonClick},
        {"PomocButton", &TFDrukuj::PomocButtonClick},
        {"BitBtn1", &TFDrukuj::BitBtn1Click},
        {"DrukujButton", &TFDrukuj::DrukujButtonClick},
        {"AnulujButton", &TFDrukuj::AnulujButtonClick},
    };
    for (const auto& [name, slot] : clicks)
        connect(findChild<QPushButton*>(QString::fromLatin1(name)), &QPushButton::clicked, this, slot);
    auto* print = findChild<QPushButton*>(QStringLiteral("DrukujButton"));
    print->setDefault(true);
    print->setAutoDefault(true);
    BitBtn1 = findChild<QPushButton*>(QStringLiteral("BitBtn1"));

    // The number of a recorded document, between the help and the print buttons; shown
    // only for such a document.
    auto* numberLabel = new QLabel(QStringLiteral("L. d&z.:"), this);
    numberLabel->setObjectName(QStringLiteral("NumerLDzLabel"));
    numberLabel->setGeometry(120, 450, 40, 20);
    m_numberEdit = new QLineEdit(this);
    m_numberEdit->setObjectName(QStringLiteral("NumerLDzEdit"));
    m_numberEdit->setAccessibleName(QStringLiteral("Numer L. dz. dokumentu"));
    m_numberEdit->setGeometry(160, 447, 100, 24);
    m_numberEdit->setMaxLength(60);
    numberLabel->setBuddy(m_numberEdit);
    m_duplicateBox = new QCheckBox(QStringLiteral("Dup&likat"), this);
    m_duplicateBox->setObjectName(QStringLiteral("DuplikatCheckBox"));
    m_duplicateBox->setToolTip(QStringLiteral("Dopisz na wydruku \"Duplikat\" i dzisiejszą datę"));
    m_duplicateBox->setGeometry(264, 449, 70, 20);
    m_numberLabel = numberLabel;
    auto* help = findChild<QPushButton*>(QStringLiteral("PomocButton"));
    QWidget::setTabOrder(help, m_numberEdit);
    QWidget::setTabOrder(m_numberEdit, m_duplicateBox);
    QWidget::setTabOrder(m_duplicateBox, print);
    setIssue({});
}

TFDrukuj::~TFDrukuj() = default;

QString TFDrukuj::pdfChoice()
{
    return QStringLiteral("Plik PDF…");
}

void TFDrukuj::setPage(const QPicture& picture, int pageCount, const QString& proposedPdfName)
{
    m_page = picture;
    m_pageCount = pageCount;
    m_pdfName = proposedPdfName;
    m_batchCount = 0;
    m_drawBatchPage = nullptr;
    setIssue({});
}

void TFDrukuj::setBatch(int count, BatchPageSource drawPage, const QString& proposedPdfName)
{
    m_page = QPicture();
    m_pageCount = 1; // each page is a document of its own
    m_pdfName = proposedPdfName;
    m_clippedFields.clear();
    m_batchCount = count;
    m_drawBatchPage = std::move(drawPage);
    setIssue({});
}

void TFDrukuj::setIssue(IssueHooks hooks)
{
    m_issue = std::move(hooks);
    const bool shown = !m_issue.number.isEmpty();
    m_numberLabel->setVisible(shown);
    m_numberEdit->setVisible(shown);
    m_numberEdit->setText(m_issue.number);
    m_duplicateBox->setVisible(shown && m_issue.reprint);
    m_duplicateBox->setChecked(false);
}

void TFDrukuj::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window shown again by the desktop (restored from the task bar) keeps the
    // positions the user has nudged; only an opening reloads the profiles.
    if (!event->spontaneous())
        FormShow();
}

void TFDrukuj::FormShow()
{
    fillPrinters();
    vFunUstawDrukarke();
    loadProfiles();
    DrukarkiComboBox->setFocus();
}

void TFDrukuj::fillPrinters()
{
    // The printer chosen last stays chosen while it exists; else the default one.
    const QString previous = DrukarkiComboBox->currentText();
    const QSignalBlocker quiet(DrukarkiComboBox);
    DrukarkiComboBox->clear();
    DrukarkiComboBox->addItems(CupsPrinters::printers());
    DrukarkiComboBox->addItem(pdfChoice());
    int index = previous.isEmpty() ? -1 : DrukarkiComboBox->findText(previous);
    if (index < 0)
        index = DrukarkiComboBox->findText(CupsPrinters::defaultPrinter());
    DrukarkiComboBox->setCurrentIndex(index < 0 ? 0 : index);
}

QString TFDrukuj::chosenPrinter() const
{
    const QString name = DrukarkiComboBox->currentText();
    return name == pdfChoice() ? QString() : name;
}

void TFDrukuj::vFunUstawDrukarke()
{
    const QString printer = chosenPrinter();
    // One request to the print server both stores the settings and tells whether the
    // printer prints on both sides; without that the choice is one-sided.
    CupsPrinters::Result result;
    if (!printer.isEmpty())
        result = CupsPrinters::storeDefaults(printer, sidesOf(DuplexComboBox));
    if (!result.twoSided)
        DuplexComboBox->setCurrentIndex(0);
    DuplexComboBox->setEnabled(result.twoSided);
    cbRotateSecondPage->setEnabled(result.twoSided);
    // A file has no printer to set up.
    BitBtn1->setEnabled(!printer.isEmpty());
    if (printer.isEmpty())
        return;

    QString text;
    switch (result.failure) {
    case CupsPrinters::Failure::None:
        return;
    case CupsPrinters::Failure::Open:
        text = QStringLiteral("Błąd otwarcia ustawień drukarki.\nOpenPrinter() error code: ");
        break;
    case CupsPrinters::Failure::Read:
        text = QStringLiteral("Błąd odczytu ustawień drukarki.\nGetPrinter() error code: ");
        break;
    case CupsPrinters::Failure::Write:
        text = QStringLiteral("Błąd zapisu ustawień drukarki.\nSetPrinter() error code: ");
        break;
    }
    m_buf.reset(text + result.error);
    vFunLogError(m_buf, QStringLiteral("vFunUstawDrukarke()"));
    Prompts::instance().error(this, m_buf.text());
}

void TFDrukuj::DrukarkiComboBoxChange()
{
    // What was set up belongs to the printer it was set up for.
    if (m_setUp && m_setUp->printerName() != chosenPrinter())
        m_setUp.reset();
    vFunUstawDrukarke();
}

void TFDrukuj::loadProfiles()
{
    MarginProfileList profiles;
    if (!bFunMarginReadData(m_buf, strFunGetSettingsFilePath(m_buf, false), profiles)) {
        m_profiles.clear();
        Prompts::instance().error(this, QStringLiteral("Błąd podczas próby uzyskania listy ustawień.\n\n") +
                                            m_buf.text());
        return;
    }
    m_profiles = std::move(profiles);
    const QSignalBlocker quiet(MarginesyComboBox);
    MarginesyComboBox->clear();
    for (const MarginProfile& profile : std::as_const(m_profiles))
        MarginesyComboBox->addItem(profile.name);
    if (!m_profiles.isEmpty()) {
        MarginesyComboBox->setCurrentIndex(0);
        MarginesyComboBoxChange();
    }
}

void TFDrukuj::MarginesyComboBoxChange()
{
    const QString name = MarginesyComboBox->currentText();
    for (const MarginProfile& p : std::as_const(m_profiles)) {
        if (p.name != name)
            continue;
        const int values[2][4] = {{p.page1X1, p.page1Y1, p.page1X2, p.page1Y2},
                                  {p.page2X1, p.page2Y1, p.page2X2, p.page2Y2}};
        for (int page = 0; page < 2; ++page)
            for (int e = 0; e < 4; ++e)
                m_edits[page][e]->setValue(values[page][e]);
        return;
    }
}

void TFDrukuj::nudge(const NudgeButton& button)
{
    for (int i = 0; i < 2; ++i) {
        const NudgeStep& step = button.steps[i];
        QSpinBox* edit = m_edits[button.page][step.edge];
        const int value = edit->value();
        if (step.guarded && value == 1) {
            if (i == 0)
                return;
            continue;
        }
        // A stored value at the end of the integer range stays there instead of wrapping round.
        edit->setValue(int(std::clamp<qint64>(qint64(value) + step.delta, INT_MIN, INT_MAX)));
    }
}

MarginProfile TFDrukuj::profileFromEdits(const QString& name) const
{
    auto v = [this](int page, Edge e) { return m_edits[page][e]->value(); };
    return {name,       v(0, Left), v(0, Top),   v(0, Right), v(0, Bottom),
            v(1, Left), v(1, Top),  v(1, Right), v(1, Bottom)};
}

void TFDrukuj::SaveNewButtonClick()
{
    QString name = QStringLiteral("nowa nazwa");
    if (!Prompts::instance().inputText(this, QStringLiteral("Nazwa"),
                                       QStringLiteral("Proszę podać nazwę ustawień"), name))
        return;
    for (const MarginProfile& profile : std::as_const(m_profiles)) {
        if (profile.name == name) {
            Prompts::instance().message(this, QStringLiteral("Ustawienia pod tą nazwą już istnieją"),
                                        QStringLiteral("Duplikat"), Prompts::Icon::Warning,
                                        Prompts::Buttons::Ok);
            return;
        }
    }
    if (!bFunMarginWriteNewSettings(m_buf, strFunGetSettingsFilePath(m_buf, false), profileFromEdits(name))) {
        Prompts::instance().error(
            this,
            QStringLiteral("Błąd podczas próby zapisania nowych ustawień marginesów.\n\n") + m_buf.text());
        return;
    }
    loadProfiles();
}

void TFDrukuj::DeleteButtonClick()
{
    const QString name = MarginesyComboBox->currentText();
    if (!Prompts::instance().askYesNo(
            this, QStringLiteral("Czy na pewno chcesz skasować ustawienia: ") + name + QStringLiteral(" ?"),
            QStringLiteral("Kasowanie")))
        return;
    if (!bFunMarginDeleteSettings(m_buf, strFunGetSettingsFilePath(m_buf, false), name))
        Prompts::instance().error(this, QStringLiteral("Błąd podczas próby kasowania ustawień marginesów."));
    loadProfiles();
}

void TFDrukuj::ResetButtonClick()
{
    if (!Prompts::instance().askYesNo(
            this, QStringLiteral("Czy na pewno chcesz przywrócić oryginalne ustawienia ?"),
            QStringLiteral("Przywracanie")))
        return;
    if (!bFunMarginRestoreOriginal(m_buf, strFunGetSettingsFilePath(m_buf, true),
                                   strFunGetSettingsFilePath(m_buf, false))) {
        Prompts::instance().error(
            this, QStringLiteral("Błąd podczas próby przywrócenia ustawień dmyślnych.\n\n") + m_buf.text());
        return;
    }
    loadProfiles();
}

void TFDrukuj::PomocButtonClick()
{
    DesktopOpen::open(QUrl::fromLocalFile(strFunGetHelpFilePath()));
}

void TFDrukuj::BitBtn1Click()
{
    const QString chosen = chosenPrinter();
    if (chosen.isEmpty())
        return;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (m_setUp && m_setUp->printerName() == chosen)
        printer = std::move(m_setUp); // the choices made before are shown again
    else
        printer->setPrinterName(chosen);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setDuplex(duplexOf(sidesOf(DuplexComboBox)));
    // The toolkit's print dialog as a set-up dialog: it sets up the printer for the
    // job "Drukuj" starts and prints nothing itself.
    QPrintDialog dialog(printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Ustawienia drukarki"));
    dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
        // The copies and the options are what is set up here: shown from the start.
        for (QAbstractButton* button : buttons->buttons())
            if (button->text() == QPrintDialog::tr("&Options >>"))
                button->click();
    }
    if (dialog.exec() != QDialog::Accepted) {
        if (printer->printerName() == chosen && !m_setUp)
            m_setUp = std::move(printer); // cancelled: the earlier choices stay
        return;
    }
    if (printer->outputFormat() == QPrinter::PdfFormat) {
        DrukarkiComboBox->setCurrentIndex(DrukarkiComboBox->findText(pdfChoice()));
        return;
    }
    const QPrinter::DuplexMode duplex = printer->duplex();
    m_setUp = std::move(printer);
    const int index = DrukarkiComboBox->findText(m_setUp->printerName());
    if (index >= 0 && index != DrukarkiComboBox->currentIndex())
        DrukarkiComboBox->setCurrentIndex(index); // applies the printer's settings
    else
        vFunUstawDrukarke();
    // Two-sided printing chosen there is the dialog's choice too.
    if (DuplexComboBox->isEnabled())
        DuplexComboBox->setCurrentIndex(duplex == QPrinter::DuplexLongSide    ? 1
                                        : duplex == QPrinter::DuplexShortSide ? 2
                                                                              : 0);
}

QString TFDrukuj::askPdfFile()
{
    QString file = Prompts::instance().saveFileName(
        this, QStringLiteral("Zapisz jako PDF"), QStringLiteral("PDF (*.pdf)|*.pdf"),
        strFunDialogStart(FileKind::Pdf, withPdfSuffix(m_pdfName)));
    if (file.isEmpty())
        return QString();
    vFunRememberFolder(FileKind::Pdf, file);
    file = withPdfSuffix(file);
    if (FileOps::exists(file) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Plik ") + file + QStringLiteral(" już istnieje.\nCzy chcesz go zastąpić ?"),
            QStringLiteral("Zapisz jako PDF")))
        return QString();
    return file;
}

DrukujSheet::Edges TFDrukuj::page1Edges() const
{
    return {m_edits[0][Left]->value(), m_edits[0][Top]->value(), m_edits[0][Right]->value(),
            m_edits[0][Bottom]->value()};
}

qreal TFDrukuj::paperScale() const
{
    return DrukujSheet::paperScale(page1Edges());
}

void TFDrukuj::reportFailure(const QString& text, const QString& fun)
{
    m_buf.reset(text);
    vFunLogError(m_buf, fun);
    Prompts::instance().error(this, m_buf.text());
}

bool TFDrukuj::sendJob(const QList<DrukujSheet::PagePainter>& pages)
{
    DrukujSheet::Target target;
    target.printerName = chosenPrinter();
    if (target.printerName.isEmpty()) {
        target.pdfFile = askPdfFile();
        if (target.pdfFile.isEmpty())
            return false;
    }
    target.duplex = duplexOf(sidesOf(DuplexComboBox));
    target.setUp = m_setUp.get();
    if (!m_pdfName.isEmpty())
        target.jobName = m_pdfName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)
                             ? m_pdfName.chopped(4)
                             : m_pdfName;
    QString error;
    if (!DrukujSheet::printPages(target, pages, page1Edges(), error))
        reportFailure(error, QStringLiteral("DrukujButtonClick()"));
    else if (m_issue.issued)
        m_issue.issued(target.printerName, target.pdfFile);
    return true;
}

bool TFDrukuj::drawBatch(QList<DrukujSheet::PagePainter>& pages)
{
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("PostepDrukowania"));
    progress.setWindowTitle(QStringLiteral("Drukowanie"));
    progress.setCancelButtonText(QStringLiteral("Anuluj"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setRange(0, m_batchCount);
    QStringList clipped, unreadable;
    // The window is painted a few times a second, not for every page; "Anuluj" is heard
    // before every page.
    QElapsedTimer sincePainted;
    for (int i = 0; i < m_batchCount; ++i) {
        if (i == 0 || sincePainted.elapsed() >= 40) {
            const QString step = QStringLiteral("Drukowanie: %1 z %2").arg(i + 1).arg(m_batchCount);
            progress.setLabelText(step);
            progress.setAccessibleName(step);
            if (i == 0)
                progress.show();
            progress.setValue(i);
            sincePainted.start();
        }
        QCoreApplication::processEvents();
        if (progress.wasCanceled())
            return false;
        BatchPage page = m_drawBatchPage(i);
        if (!page.unreadable.isEmpty()) {
            unreadable << page.unreadable;
            continue;
        }
        pages << page.draw;
        clipped << page.clippedFields;
    }
    progress.setValue(m_batchCount);
    if (progress.wasCanceled())
        return false;
    progress.close();

    const QString caption = QStringLiteral("Drukowanie");
    if (pages.isEmpty()) {
        Prompts::instance().error(this, QStringLiteral("Nie można odczytać danych żadnego z uczniów:\n") +
                                            unreadable.join(u'\n'));
        return false;
    }
    if (!unreadable.isEmpty() &&
        !Prompts::instance().askProceed(
            this,
            QStringLiteral(
                "Danych tych uczniów nie można odczytać, ich dokumenty nie zostaną wydrukowane:\n") +
                unreadable.join(u'\n'),
            caption, QStringLiteral("Drukuj pozostałe"), QStringLiteral("Anuluj")))
        return false;
    // One warning for the whole job; a long list is cut short rather than running off the screen.
    constexpr int kShownFields = 15;
    if (clipped.size() > kShownFields) {
        const qsizetype more = clipped.size() - kShownFields;
        clipped.resize(kShownFields);
        const bool few = more % 10 >= 2 && more % 10 <= 4 && (more % 100 < 12 || more % 100 > 14);
        clipped << (more == 1 ? QStringLiteral("… oraz jedno inne pole")
                    : few     ? QStringLiteral("… oraz %1 inne pola").arg(more)
                              : QStringLiteral("… oraz %1 innych pól").arg(more));
    }
    return clipped.isEmpty() ||
           Prompts::instance().askProceed(this, PageRenderer::clippedWarning(clipped), caption,
                                          QStringLiteral("Drukuj mimo to"), QStringLiteral("Anuluj"));
}

void TFDrukuj::DrukujButtonClick()
{
    if (m_batchCount > 0) {
        QPicture unused;
        if (m_issue.prepare && !m_issue.prepare(m_numberEdit->text().trimmed(), false, unused))
            return;
        // Stopped or refused: the dialog stays for another choice, and nothing was printed.
        QList<DrukujSheet::PagePainter> pages;
        if (!drawBatch(pages))
            return;
        vFunUstawDrukarke();
        if (sendJob(pages))
            accept();
        return;
    }
    // The values are fitted for the sheet as the chosen profile places the page on it.
    if (m_redrawPage)
        m_redrawPage(paperScale(), m_page, m_clippedFields);
    // Paper is not used before the user knows that some values will be cut.
    if (!m_clippedFields.isEmpty() &&
        !Prompts::instance().askProceed(this, PageRenderer::clippedWarning(m_clippedFields),
                                        QStringLiteral("Drukowanie"), QStringLiteral("Drukuj mimo to"),
                                        QStringLiteral("Anuluj")))
        return;
    if (m_issue.prepare) {
        QPicture page = m_page;
        if (!m_issue.prepare(m_numberEdit->text().trimmed(), m_duplicateBox->isChecked(), page))
            return;
        m_page = page;
    }
    vFunUstawDrukarke();
    // Cancelling the file name leaves the dialog open for another choice.
    if (m_pageCount == 1 && !sendJob({[this](QPainter& painter, const QRectF& onSheet) {
            PageRenderer::stretch(painter, m_page, onSheet);
        }}))
        return;
    accept();
}

void TFDrukuj::AnulujButtonClick()
{
    reject();
}
