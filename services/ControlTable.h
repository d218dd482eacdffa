// The maintenance windows are declared as tables of controls on a grid: one row per
// control, read side by side with the window it builds.
#pragma once

#include <QHash>
#include <QString>

#include <span>

class QGridLayout;
class QWidget;

enum class ControlKind {
    Caption, // fixed text naming the control of `buddy`
    Value,   // a text the window fills in
    Gauge,   // progress bar
    Edit,    // single-line edit, read-only
    Button,
    List // report list with a header
};

struct ControlEntry {
    const char* name; // object name
    ControlKind kind;
    const char* text; // caption of a caption or button; accessible name of the rest
    int row = 0;
    int column = 0;
    int columnSpan = 1;
    const char* buddy = nullptr; // the control a caption names
    bool enabled = true;
};

namespace ControlTable {

// Creates the controls on `grid` of `window` in table order, which is also the tab
// order. A caption becomes its buddy's label and lends it its text as the accessible
// name. Returns the controls by name.
QHash<QString, QWidget*> build(QWidget* window, QGridLayout* grid, std::span<const ControlEntry> entries);

} // namespace ControlTable
