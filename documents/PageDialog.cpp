#include "documents/PageDialog.h"

#include <QDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace PageDialog {

Parts build(QDialog* dialog, const QString& tabCaption, QSize pageSize, const QBrush& paper,
            std::span<const ComponentEntry> page, std::span<const ComponentEntry> panel)
{
    auto* pageControl = new QTabWidget(dialog);
    pageControl->setObjectName(QStringLiteral("PageControl"));
    auto* scrollBox = new QScrollArea;
    scrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    pageControl->addTab(scrollBox, tabCaption);

    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("Page"));
    sheet->setFixedSize(pageSize);
    sheet->setAutoFillBackground(true);
    QPalette palette = sheet->palette();
    palette.setBrush(QPalette::Window, paper);
    sheet->setPalette(palette);
    Parts parts;
    parts.page = FormTable::build(sheet, page);
    scrollBox->setWidget(sheet);
    scrollBox->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    pageControl->setFocusPolicy(Qt::NoFocus);
    pageControl->tabBar()->setFocusPolicy(Qt::NoFocus);
    scrollBox->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QWidget(dialog);
    buttons->setObjectName(QStringLiteral("Panel1"));
    buttons->setFixedHeight(PanelHeight);
    parts.buttons = FormTable::build(buttons, panel);

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pageControl);
    layout->addWidget(buttons);
    FormTable::applyTabOrder(parts.page + parts.buttons);
    if (!parts.buttons.isEmpty())
        qobject_cast<QPushButton*>(parts.buttons.constFirst().widget)->setDefault(true);
    return parts;
}

} // namespace PageDialog
