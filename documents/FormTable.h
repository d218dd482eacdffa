// Forms are declared as tables of components and built from them in one place, so
// the component order (which fixes the order of the stored rows), the captions, the
// positions, the limits and the tab order stay readable side by side.
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <span>

class QWidget;

enum class ComponentKind {
    Label,          // fixed caption
    Edit,           // single-line edit
    PickList,       // combo box whose value must be one of its items
    ComboBox,       // combo box with free text
    SortedComboBox, // combo box with free text, items kept in Polish alphabetical order
    Memo,           // multi-line edit
    Button,
    CheckBox,
    Number // whole number the arrow keys change (a spin box)
};

struct ComponentEntry {
    const char* name; // object name; carries the binding tokens
    ComponentKind kind;
    const char* text = ""; // caption of a label or button; accessible name of a field
    int left = 0;
    int top = 0;
    int width = 0;  // 0: a label sizes itself to its caption
    int height = 0; // 0: the widget's own height
    int tab = 0;    // place in the tab order, from 1; 0 takes no place
    int limit = 0;  // most characters the user can type; 0 no limit
    bool readOnly = false;
    const char* items = nullptr;  // list items separated by '|'
    int pixelSize = 0;            // label font: character height in pixels
    int cellHeight = 0;           // label font: height of the character cell in pixels
    const char* buddy = nullptr;  // the field this label names
    const char* sample = nullptr; // sample value shown by the calibration editor
};

struct BuiltComponent {
    const ComponentEntry* entry;
    QWidget* widget;
};

namespace FormTable {

// The serif face of the printed forms; Liberation Serif has the metrics of Times New Roman.
QStringList serifFamilies();

// Creates the components as children of `parent`, in table order. A label with a buddy
// becomes the buddy's label and lends its caption (without the mnemonic) to the buddy's
// accessible name unless the field has one of its own.
QList<BuiltComponent> build(QWidget* parent, std::span<const ComponentEntry> entries);

// Chains the components that take a place in the tab order, in that order.
void applyTabOrder(const QList<BuiltComponent>& components);

QList<QWidget*> widgets(const QList<BuiltComponent>& components);

// The text a component of the table holds right after `build`, as FormBinding::text
// reads it: a label's caption, nothing in the others; no value when no entry has that
// name.
std::optional<QString> builtText(std::span<const ComponentEntry> entries, const QString& name);

} // namespace FormTable
