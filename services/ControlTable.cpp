#include "services/ControlTable.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QWidget* create(QWidget* window, const ControlEntry& entry)
{
    const QString text = QString::fromUtf8(entry.text);
    switch (entry.kind) {
    case ControlKind::Caption:
        return new QLabel(text, window);
    case ControlKind::Value: {
        auto* value = new QLabel(window);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        return value;
    }
    case ControlKind::Gauge:
        return new QProgressBar(window);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(window);
        edit->setReadOnly(true);
        return edit;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, window);
        button->ensurePolished();
        button->setMinimumWidth(button->sizeHint().width() + 8); // the caption is never cut
        return button;
    }
    case ControlKind::List: {
        auto* list = new QTreeWidget(window);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->header()->setStretchLastSection(true);
        return list;
    }
    }
    return nullptr;
}

} // namespace

namespace ControlTable {

QHash<QString, QWidget*> build(QWidget* window, QGridLayout* grid, std::span<const ControlEntry> entries)
{
    QHash<QString, QWidget*> byName;
    QWidget* previous = nullptr;
    for (const ControlEntry& entry : entries) {
        QWidget* control = create(window, entry);
        control->setObjectName(QString::fromLatin1(entry.name));
        control->setEnabled(entry.enabled);
        if (entry.kind != ControlKind::Caption && entry.kind != ControlKind::Button)
            control->setAccessibleName(QString::fromUtf8(entry.text));
        grid->addWidget(control, entry.row, entry.column, 1, entry.columnSpan);
        byName.insert(control->objectName(), control);
        if (control->focusPolicy() != Qt::NoFocus) {
            if (previous)
                QWidget::setTabOrder(previous, control);
            previous = control;
        }
    }
    for (const ControlEntry& entry : entries) {
        if (entry.kind != ControlKind::Caption || !entry.buddy)
            continue;
        auto* caption = static_cast<QLabel*>(byName.value(QString::fromLatin1(entry.name)));
        QWidget* buddy = byName.value(QString::fromLatin1(entry.buddy));
        Q_ASSERT_X(buddy, "ControlTable::build", entry.buddy);
        if (!buddy)
            continue;
        caption->setBuddy(buddy);
        if (buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(caption->text().remove(QLatin1Char('&')));
    }
    return byName;
}

} // namespace ControlTable
