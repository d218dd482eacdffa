// The shape the document forms and the school data template form share: one page in
// the single tab of a page control, in a scroll box, above a panel of buttons.
#pragma once

#include "documents/FormTable.h"

#include <QBrush>
#include <QSize>

#include <span>

class QDialog;

namespace PageDialog {

constexpr int PanelHeight = 41;

// A button of the panel, 80 by 25 pixels.
constexpr ComponentEntry button(const char* name, const char* caption, int left, int tab)
{
    return {.name = name,
            .kind = ComponentKind::Button,
            .text = caption,
            .left = left,
            .top = 8,
            .width = 80,
            .height = 25,
            .tab = tab};
}

struct Parts {
    QList<BuiltComponent> page;    // in table order
    QList<BuiltComponent> buttons; // the first is the default button
};

// Lays `dialog` out: the page of `pageSize` painted with `paper` under the tab
// `tabCaption`, and the panel; Tab walks the page and then the buttons, never the frames.
Parts build(QDialog* dialog, const QString& tabCaption, QSize pageSize, const QBrush& paper,
            std::span<const ComponentEntry> page, std::span<const ComponentEntry> panel);

} // namespace PageDialog
