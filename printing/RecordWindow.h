// The pieces that the windows listing issued documents share: a read-only list of whole
// rows that is one Tab stop, and a row of command buttons closed by "Zamknij".
#pragma once

#include <QAbstractItemView>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <initializer_list>
#include <tuple>

namespace RecordWindow {

inline QTableWidget* table(QWidget* parent, const QString& objectName, const QString& accessibleName,
                           const QStringList& headers)
{
    auto* table = new QTableWidget(parent);
    // One Tab stop: the arrows move inside the list, Tab goes on to the buttons.
    table->setTabKeyNavigation(false);
    table->setObjectName(objectName);
    table->setAccessibleName(accessibleName);
    table->setColumnCount(int(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// Buttons named and captioned as given, each calling its slot of `window`, then "Zamknij".
template <class Window>
QHBoxLayout* buttons(Window* window,
                     std::initializer_list<std::tuple<const char*, const char*, void (Window::*)()>> clicks)
{
    auto* row = new QHBoxLayout;
    for (const auto& [name, caption, slot] : clicks) {
        auto* button = new QPushButton(QString::fromUtf8(caption), window);
        button->setObjectName(QString::fromLatin1(name));
        QObject::connect(button, &QPushButton::clicked, window, slot);
        row->addWidget(button);
    }
    row->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("&Zamknij"), window);
    close->setObjectName(QStringLiteral("ZamknijButton"));
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::accept);
    row->addWidget(close);
    return row;
}

} // namespace RecordWindow
