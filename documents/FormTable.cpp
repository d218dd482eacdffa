#include "documents/FormTable.h"

#include "documents/FormBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>

#include <climits>

#include <algorithm>

namespace {

// The pages were laid out for the narrower glyphs that the Windows renderer gives the
// serif face at these small sizes; 7 % narrower keeps every caption clear of the field
// that follows it.
constexpr int SerifStretch = 93;

QString str(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The largest character height whose cell (ascent plus descent) fits the given height,
// which is how a font given by its cell height is matched. Every size tried loads a
// font, so the search starts at the top and each answer is kept for the run.
int pixelSizeForCell(QFont font, int cellHeight)
{
    static QHash<QString, int> known;
    const QString key = font.key() + QLatin1Char('/') + QString::number(cellHeight);
    if (const auto found = known.constFind(key); found != known.cend())
        return *found;
    int size = 1;
    for (int candidate = cellHeight; candidate > 1; --candidate) {
        font.setPixelSize(candidate);
        if (QFontMetrics(font).height() <= cellHeight) {
            size = candidate;
            break;
        }
    }
    known.insert(key, size);
    return size;
}

QWidget* create(QWidget* parent, const ComponentEntry& entry)
{
    const QString text = str(entry.text);
    switch (entry.kind) {
    case ComponentKind::Label: {
        auto* label = new QLabel(text, parent);
        if (entry.pixelSize > 0 || entry.cellHeight > 0) {
            QFont font = label->font();
            font.setFamilies(FormTable::serifFamilies());
            font.setStretch(SerifStretch);
            font.setPixelSize(entry.pixelSize > 0 ? entry.pixelSize
                                                  : pixelSizeForCell(font, entry.cellHeight));
            label->setFont(font);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(palette);
        }
        return label;
    }
    case ComponentKind::Edit: {
        auto* edit = new QLineEdit(parent);
        if (entry.limit > 0)
            FormBinding::setInputLimit(edit, entry.limit);
        return edit;
    }
    case ComponentKind::PickList:
    case ComponentKind::ComboBox:
    case ComponentKind::SortedComboBox: {
        auto* combo = new QComboBox(parent);
        const bool freeText = entry.kind != ComponentKind::PickList;
        combo->setEditable(freeText);
        if (freeText) {
            // Enter confirms the dialog; it does not add the typed text to the list.
            combo->setInsertPolicy(QComboBox::NoInsert);
            // What the user typed is stored as typed: the completion never changes the
            // case of a name to match an item of the list.
            combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
        }
        if (entry.items)
            combo->addItems(str(entry.items).split(QLatin1Char('|')));
        combo->setCurrentIndex(-1);
        return combo;
    }
    case ComponentKind::Memo:
        return new QPlainTextEdit(parent);
    case ComponentKind::Button:
        return new QPushButton(text, parent);
    case ComponentKind::CheckBox:
        return new QCheckBox(text, parent);
    case ComponentKind::Number: {
        auto* number = new QSpinBox(parent);
        number->setRange(INT_MIN, INT_MAX);
        return number;
    }
    }
    return nullptr;
}

} // namespace

namespace FormTable {

QStringList serifFamilies()
{
    return {QStringLiteral("Liberation Serif"), QStringLiteral("Times New Roman")};
}

QList<BuiltComponent> build(QWidget* parent, std::span<const ComponentEntry> entries)
{
    QList<BuiltComponent> built;
    QHash<QString, QWidget*> byName;
    for (const ComponentEntry& entry : entries) {
        QWidget* widget = create(parent, entry);
        widget->setObjectName(str(entry.name));
        if (entry.kind == ComponentKind::CheckBox)
            widget->setAccessibleName(str(entry.text).remove(QLatin1Char('&')));
        else if (entry.kind != ComponentKind::Label && entry.kind != ComponentKind::Button)
            widget->setAccessibleName(str(entry.text));
        if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && entry.readOnly) {
            // Unchangeable, yet in the normal text colour and in the tab order: these are
            // read and checked before printing, by eye or by a screen reader. Disabling
            // would grey them out and take them from the keyboard. A click gives such a
            // field the focus, so that what is typed then is refused here instead of
            // landing in the field that had the focus before.
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::StrongFocus);
        }
        if (entry.width > 0) {
            const int height = entry.height > 0 ? entry.height : widget->sizeHint().height();
            widget->setGeometry(entry.left, entry.top, entry.width, height);
        } else {
            widget->adjustSize();
            widget->move(entry.left, entry.top);
        }
        if (entry.tab == 0)
            widget->setFocusPolicy(Qt::NoFocus);
        built.append({&entry, widget});
        byName.insert(widget->objectName(), widget);
    }
    QSet<const QWidget*> labelled;
    for (const BuiltComponent& component : std::as_const(built)) {
        auto* label = qobject_cast<QLabel*>(component.widget);
        if (!label || !component.entry->buddy)
            continue;
        QWidget* field = byName.value(str(component.entry->buddy));
        Q_ASSERT_X(field, "FormTable::build", component.entry->buddy);
        if (!field)
            continue;
        label->setBuddy(field);
        labelled.insert(field);
        if (field->accessibleName().isEmpty()) {
            QString caption = label->text();
            caption.remove(QLatin1Char('&'));
            field->setAccessibleName(caption);
        }
    }
    // A field that no caption names (the second line of a value, a place the printed form
    // leaves without a word) gets a label that only assistive technology meets: a screen
    // reader finds every field labelled by a label, and the page looks as printed.
    int unnamed = 0;
    for (const BuiltComponent& component : std::as_const(built)) {
        const ComponentKind kind = component.entry->kind;
        if (kind == ComponentKind::Label || kind == ComponentKind::Button ||
            kind == ComponentKind::CheckBox || labelled.contains(component.widget) ||
            component.widget->accessibleName().isEmpty())
            continue;
        auto* label = new QLabel(component.widget->accessibleName(), parent);
        label->setObjectName(QStringLiteral("OpisPola%1").arg(++unnamed));
        label->setBuddy(component.widget);
        label->setVisible(false);
    }
    return built;
}

void applyTabOrder(const QList<BuiltComponent>& components)
{
    QList<BuiltComponent> ordered;
    // A field that takes no focus would break the chain: Qt links nothing to it.
    for (const BuiltComponent& component : components)
        if (component.entry->tab > 0 && component.widget->focusPolicy() != Qt::NoFocus)
            ordered.append(component);
    std::stable_sort(ordered.begin(), ordered.end(), [](const BuiltComponent& a, const BuiltComponent& b) {
        return a.entry->tab < b.entry->tab;
    });
    for (qsizetype i = 1; i < ordered.size(); ++i)
        QWidget::setTabOrder(ordered.at(i - 1).widget, ordered.at(i).widget);
}

std::optional<QString> builtText(std::span<const ComponentEntry> entries, const QString& name)
{
    for (const ComponentEntry& entry : entries)
        if (QLatin1String(entry.name) == name)
            return entry.kind == ComponentKind::Label ? str(entry.text) : QString();
    return std::nullopt;
}

QList<QWidget*> widgets(const QList<BuiltComponent>& components)
{
    QList<QWidget*> out;
    out.reserve(components.size());
    for (const BuiltComponent& component : components)
        out.append(component.widget);
    return out;
}

} // namespace FormTable
