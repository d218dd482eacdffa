#include "printing/TFKalibracja.h"

#include "documents/FormTable.h"
#include "platform/FileOps.h"
#include "printing/DialogRows.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <type_traits>

namespace {

constexpr int Width = 350;
constexpr int PositionTop = 112;
constexpr int FontTop = 276;

using DialogRows::button;
using DialogRows::label;
using DialogRows::list;

// `role` is the field's accessible name and the name its messages use.
constexpr ComponentEntry number(const char* name, const char* role, int left, int top, int tab,
                                bool readOnly = false)
{
    return {.name = name,
            .kind = ComponentKind::Edit,
            .text = role,
            .left = left,
            .top = top,
            .width = 64,
            .height = 22,
            .tab = tab,
            .readOnly = readOnly};
}

constexpr ComponentEntry Form[] = {
    label("Label1", "&Typ świadectwa:", 12, 10, "TypSwiadectwaComboBox"),
    list("TypSwiadectwaComboBox", 12, 28, Width - 24, 1),
    label("Label2", "&Obiekt na świadectwie:", 12, 60, "VariableComboBox"),
    list("VariableComboBox", 12, 78, Width - 24, 2),

    label("LabelX1", "X&1:", 26, PositionTop + 30, "X1Edit"),
    number("X1Edit", "X1 (lewa krawędź)", 52, PositionTop + 26, 3),
    label("LabelY1", "Y1:", 170, PositionTop + 30, "Y1Edit"),
    number("Y1Edit", "Y1 (górna krawędź)", 196, PositionTop + 26, 4),
    label("LabelX2", "X2:", 26, PositionTop + 60, "X2Edit"),
    number("X2Edit", "X2 (prawa krawędź)", 52, PositionTop + 56, 5),
    label("LabelY2", "Y2:", 170, PositionTop + 60, "Y2Edit"),
    number("Y2Edit", "Y2 (dolna krawędź)", 196, PositionTop + 56, 6),
    label("Label3", "Pozycja ( prawo/lewo )", 26, PositionTop + 90),
    label("Label4", "Pozycja ( góra/dół )", 170, PositionTop + 90),

    label("Label5", "Rozmiar czcionki:", 26, FontTop + 30, "FontSizeEdit"),
    // Between its two arrows in the tab order, as on the screen.
    number("FontSizeEdit", "Rozmiar czcionki", 178, FontTop + 26, 12),
    label("Label6", "&Nazwa czcionki:", 26, FontTop + 58, "FontsNameComboBox"),
    {.name = "FontsNameComboBox",
     .kind = ComponentKind::ComboBox,
     .left = 26,
     .top = FontTop + 76,
     .width = 280,
     .tab = 13},
    label("Label7", "&Wyrównanie:", 26, FontTop + 108, "AdjustmentComboBox"),
    list("AdjustmentComboBox", 26, FontTop + 126, 160, 14, "DO LEWEJ|DO ŚRODKA|DO PRAWEJ|JUSTYFIKACJA"),

    button("PrzywrocUstawieniaButton", "&Przywróć oryginalne ustawienia fomatowania", 12, 496, Width - 24,
           19),
    button("SaveButton", "&Zastosuj", 12, 530, 158, 20),
    button("CloseButton", "Za&mknij", 180, 530, 158, 21),
};

struct Group {
    const char* name;
    const char* caption;
    int top;
    int height;
};

constexpr Group Groups[] = {
    {"GroupBox1", " Współrzędne położenia obiektu ", PositionTop, 152},
    {"GroupBox2", " Ustawienia czcionki ", FontTop, 210},
};

// The arrow buttons change one or two edits by one step; the check boxes carry a style.
struct Control {
    ComponentEntry row;                // name, caption or accessible name, place, tab order
    Qt::ArrowType arrow = Qt::NoArrow; // a check box when none
    const char* edits[2] = {};
    int delta = 0;
};

constexpr ComponentEntry at(const char* name, const char* text, int left, int top, int tab)
{
    return {.name = name, .kind = ComponentKind::Button, .text = text, .left = left, .top = top, .tab = tab};
}

constexpr Control Controls[] = {
    {at("LeftSpeedButton", "Pozycja w lewo", 26, PositionTop + 110, 7),
     Qt::LeftArrow,
     {"X1Edit", "X2Edit"},
     -1},
    {at("RightSpeedButton", "Pozycja w prawo", 58, PositionTop + 110, 8),
     Qt::RightArrow,
     {"X1Edit", "X2Edit"},
     1},
    {at("UpSpeedButton", "Pozycja w górę", 170, PositionTop + 110, 9), Qt::UpArrow, {"Y1Edit", "Y2Edit"}, -1},
    {at("DownSpeedButton", "Pozycja w dół", 202, PositionTop + 110, 10),
     Qt::DownArrow,
     {"Y1Edit", "Y2Edit"},
     1},
    {at("UpFontSizeSpeedButton", "Większa czcionka", 146, FontTop + 24, 11),
     Qt::UpArrow,
     {"FontSizeEdit"},
     1},
    {at("DownFontSizeSpeedButton", "Mniejsza czcionka", 246, FontTop + 24, 12),
     Qt::DownArrow,
     {"FontSizeEdit"},
     -1},
    {at("PogrubienieCheckBox", "Po&grubienie", 26, FontTop + 160, 15)},
    {at("KursywaCheckBox", "&Kursywa", 170, FontTop + 160, 16)},
    {at("PodkreslenieCheckBox", "Po&dkreślenie", 26, FontTop + 184, 17)},
    {at("PrzekreslenieCheckBox", "P&rzekreślenie", 170, FontTop + 184, 18)},
};

const Control& controlNamed(const char* name)
{
    for (const Control& control : Controls)
        if (qstrcmp(control.row.name, name) == 0)
            return control;
    Q_UNREACHABLE();
}

} // namespace

TFKalibracja::TFKalibracja(MessageBuffer& buf, QWidget* parent) : QDialog(parent), m_buf(buf)
{
    setObjectName(QStringLiteral("FKalibracja"));
    // No title-bar buttons: the editor closes through "Zamknij" only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(Width, 568);

    for (const Group& group : Groups) {
        auto* box = new QGroupBox(QString::fromUtf8(group.caption), this);
        box->setObjectName(QString::fromLatin1(group.name));
        box->setGeometry(12, group.top, Width - 24, group.height);
    }
    QList<BuiltComponent> built = FormTable::build(this, Form);
    for (const Control& control : Controls) {
        const QString text = QString::fromUtf8(control.row.text);
        QAbstractButton* widget = nullptr;
        if (control.arrow != Qt::NoArrow) {
            auto* tool = new QToolButton(this);
            tool->setArrowType(control.arrow);
            tool->setAccessibleName(text);
            tool->setToolTip(text);
            tool->setFocusPolicy(Qt::StrongFocus);
            tool->setGeometry(control.row.left, control.row.top, 28, 28);
            connect(tool, &QToolButton::clicked, this, [this, &control] { nudge(control.row.name); });
            widget = tool;
        } else {
            widget = new QCheckBox(text, this);
            widget->setAccessibleName(QString(text).remove(QLatin1Char('&')));
            widget->move(control.row.left, control.row.top);
            widget->adjustSize();
        }
        widget->setObjectName(QString::fromLatin1(control.row.name));
        built.append({&control.row, widget});
    }
    FormTable::applyTabOrder(built);

    auto find = [this](auto* member, const char* name) {
        using Widget = std::remove_pointer_t<std::remove_reference_t<decltype(*member)>>;
        *member = findChild<Widget*>(QString::fromLatin1(name));
        Q_ASSERT(*member);
    };
    find(&TypSwiadectwaComboBox, "TypSwiadectwaComboBox");
    find(&VariableComboBox, "VariableComboBox");
    find(&X1Edit, "X1Edit");
    find(&Y1Edit, "Y1Edit");
    find(&X2Edit, "X2Edit");
    find(&Y2Edit, "Y2Edit");
    find(&FontSizeEdit, "FontSizeEdit");
    find(&FontsNameComboBox, "FontsNameComboBox");
    find(&AdjustmentComboBox, "AdjustmentComboBox");
    find(&PogrubienieCheckBox, "PogrubienieCheckBox");
    find(&KursywaCheckBox, "KursywaCheckBox");
    find(&PodkreslenieCheckBox, "PodkreslenieCheckBox");
    find(&PrzekreslenieCheckBox, "PrzekreslenieCheckBox");

    connect(TypSwiadectwaComboBox, &QComboBox::currentIndexChanged, this,
            &TFKalibracja::TypSwiadectwaComboBoxChange);
    connect(VariableComboBox, &QComboBox::currentIndexChanged, this, &TFKalibracja::VariableComboBoxChange);
    const std::pair<const char*, void (TFKalibracja::*)()> clicks[] = {
        {"SaveButton", &TFKalibracja::SaveButtonClick},
        {"PrzywrocUstawieniaButton", &TFKalibracja::PrzywrocUstawieniaButtonClick},
        {"CloseButton", &TFKalibracja::CloseButtonClick},
    };
    for (const auto& [name, slot] : clicks)
        connect(findChild<QPushButton*>(QString::fromLatin1(name)), &QPushButton::clicked, this, slot);
    auto* save = findChild<QPushButton*>(QStringLiteral("SaveButton"));
    save->setDefault(true); // Enter applies
    auto* restore = findChild<QPushButton*>(QStringLiteral("PrzywrocUstawieniaButton"));
    QFont bold = restore->font();
    bold.setBold(true);
    restore->setFont(bold);
    X1Edit->installEventFilter(this);
}

void TFKalibracja::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the desktop keeps its choices; each opening starts afresh.
    if (event->spontaneous())
        return;
    m_closing = false;
    FormShow();
    X1Edit->setFocus();
}

void TFKalibracja::FormShow()
{
    FontsNameComboBox->clear();
    FontsNameComboBox->addItems(QFontDatabase::families());
    if (m_host.fillSampleValues)
        m_host.fillSampleValues();
    QStringList keys;
    const bool listed = bFunCalibLoadCertList(m_buf, keys);
    {
        const QSignalBlocker quiet(TypSwiadectwaComboBox);
        TypSwiadectwaComboBox->clear();
        TypSwiadectwaComboBox->addItems(keys);
        TypSwiadectwaComboBox->setCurrentIndex(keys.isEmpty() ? -1 : 0);
    }
    if (!listed) {
        Prompts::instance().error(
            this, QStringLiteral("Błąd podczas próby wczytania zmiennych kalibracji.\n\n") + m_buf.text());
        return;
    }
    TypSwiadectwaComboBoxChange();
}

QString TFKalibracja::selectedKey() const
{
    return TypSwiadectwaComboBox->currentText();
}

void TFKalibracja::TypSwiadectwaComboBoxChange()
{
    QList<CalibEntry> loaded;
    if (!bFunCalibLoadData(m_buf, strFunGetCalibFilePath(m_buf, false), selectedKey(), loaded)) {
        Prompts::instance().error(
            this, QStringLiteral("Błąd podczas próby wczytania zmiennych kalibracji.\n\n") + m_buf.text());
        return;
    }
    m_entries = std::move(loaded);
    {
        const QSignalBlocker quiet(VariableComboBox);
        VariableComboBox->clear();
        for (const CalibEntry& entry : std::as_const(m_entries))
            if (m_mode == Mode::Advanced || entry.name.contains(QLatin1String("ZMIENNA")))
                VariableComboBox->addItem(entry.name);
        VariableComboBox->setCurrentIndex(VariableComboBox->count() > 0 ? 0 : -1);
    }
    VariableComboBoxChange();
}

void TFKalibracja::VariableComboBoxChange()
{
    const QString name = VariableComboBox->currentText();
    for (const CalibEntry& e : std::as_const(m_entries)) {
        if (e.name != name)
            continue;
        X1Edit->setText(QString::number(e.x1));
        Y1Edit->setText(QString::number(e.y1));
        X2Edit->setText(QString::number(e.x2));
        Y2Edit->setText(QString::number(e.y2));
        FontSizeEdit->setText(QString::number(e.fontSize));
        FontsNameComboBox->setCurrentText(e.fontName);
        AdjustmentComboBox->setCurrentIndex(e.align >= 0 && e.align < AdjustmentComboBox->count() ? e.align
                                                                                                  : -1);
        PogrubienieCheckBox->setChecked(e.bold != 0);
        KursywaCheckBox->setChecked(e.italic != 0);
        PodkreslenieCheckBox->setChecked(e.underline != 0);
        PrzekreslenieCheckBox->setChecked(e.strike != 0);
        break;
    }
    redraw();
}

void TFKalibracja::redraw()
{
    if (m_host.drawPreview)
        m_host.drawPreview(selectedKey(), VariableComboBox->currentText());
}

bool TFKalibracja::readInteger(const QLineEdit* edit, int& value)
{
    bool ok = false;
    value = edit->text().trimmed().toInt(&ok);
    if (!ok)
        Prompts::instance().message(
            this,
            QStringLiteral("Pole \"") + edit->accessibleName() +
                QStringLiteral("\" nie zawiera liczby całkowitej: \"") + edit->text() +
                QStringLiteral("\".\n\nPopraw wartość; ustawienia nie zostały zapisane."),
            QStringLiteral("Niepoprawne dane"), Prompts::Icon::Warning, Prompts::Buttons::Ok);
    return ok;
}

bool TFKalibracja::nudge(const char* buttonName)
{
    const Control& control = controlNamed(buttonName);
    QLineEdit* edits[2] = {};
    int values[2] = {};
    for (int i = 0; i < 2 && control.edits[i]; ++i) {
        edits[i] = findChild<QLineEdit*>(QString::fromLatin1(control.edits[i]));
        if (!readInteger(edits[i], values[i]))
            return false;
    }
    // A value at the end of the integer range stays there instead of wrapping round.
    for (int i = 0; i < 2 && edits[i]; ++i)
        edits[i]->setText(
            QString::number(std::clamp<qint64>(qint64(values[i]) + control.delta, INT_MIN, INT_MAX)));
    return true;
}

bool TFKalibracja::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == X1Edit && event->type() == QEvent::KeyPress) {
        static const std::pair<int, const char*> arrows[] = {{Qt::Key_Left, "LeftSpeedButton"},
                                                             {Qt::Key_Up, "UpSpeedButton"},
                                                             {Qt::Key_Right, "RightSpeedButton"},
                                                             {Qt::Key_Down, "DownSpeedButton"}};
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (const auto& [arrow, button] : arrows) {
            if (key != arrow)
                continue;
            if (nudge(button))
                SaveButtonClick();
            X1Edit->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFKalibracja::SaveButtonClick()
{
    CalibEntry entry;
    entry.name = VariableComboBox->currentText();
    // Every number is checked before anything is written.
    if (!readInteger(X1Edit, entry.x1) || !readInteger(Y1Edit, entry.y1) || !readInteger(X2Edit, entry.x2) ||
        !readInteger(Y2Edit, entry.y2) || !readInteger(FontSizeEdit, entry.fontSize))
        return;
    entry.fontName = FontsNameComboBox->currentText();
    entry.align = AdjustmentComboBox->currentIndex();
    entry.bold = PogrubienieCheckBox->isChecked() ? 1 : 0;
    entry.italic = KursywaCheckBox->isChecked() ? 1 : 0;
    entry.underline = PodkreslenieCheckBox->isChecked() ? 1 : 0;
    entry.strike = PrzekreslenieCheckBox->isChecked() ? 1 : 0;
    const QString path = strFunGetCalibFilePath(m_buf, false);
    if (!bFunSqlCalibUpdateValue(m_buf, path, selectedKey(), entry))
        Prompts::instance().error(
            this, QStringLiteral("Błąd podczas próby zapisania danych kalibracji.\n\n") + m_buf.text());

    QList<CalibEntry> loaded;
    if (bFunCalibLoadData(m_buf, path, selectedKey(), loaded))
        m_entries = std::move(loaded);
    else
        Prompts::instance().error(
            this, QStringLiteral("Błąd podczas próby wczytania zmiennych kalibracji.\n\n") + m_buf.text());
    {
        const QSignalBlocker quiet(VariableComboBox);
        VariableComboBox->setCurrentIndex(VariableComboBox->findText(entry.name, Qt::MatchExactly));
    }
    VariableComboBoxChange();
}

void TFKalibracja::PrzywrocUstawieniaButtonClick()
{
    if (Prompts::instance().askYesNo(this,
                                     QStringLiteral("Czy na pewno chcesz przywrócić oryginalne ustawienia ?"),
                                     QStringLiteral("Przywracanie"), Prompts::Icon::None)) {
        const QString source = strFunGetCalibFilePath(m_buf, true);
        const QString target = strFunGetCalibFilePath(m_buf, false);
        if (FileOps::copyFile(source, target, false) != 0) {
            m_buf.reset();
            m_buf << "Błąd podczas próby przywrócenia oryginalnego pliku kalibracji.\nŹródło: " << source
                  << "\nCel: " << target;
            vFunLogError(m_buf, QStringLiteral("PrzywrocUstawieniaButtonClick()"));
            // Confirmed with Yes, a restore that did not happen is said so.
            Prompts::instance().error(this, m_buf.text());
        }
    }
    TypSwiadectwaComboBoxChange();
}

void TFKalibracja::CloseButtonClick()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_host.reloadStudents)
        m_host.reloadStudents();
    if (m_host.clearPreview)
        m_host.clearPreview();
    accept();
}

void TFKalibracja::reject()
{
    CloseButtonClick();
}

void TFKalibracja::closeEvent(QCloseEvent* event)
{
    event->ignore();
    CloseButtonClick();
}
