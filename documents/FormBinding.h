// The link between form components and stored field rows. What a component means is
// written into its name: "_DATA_EDIT", "_DATA_COMBOBOX" and "_DATA_MEMO" mark a stored
// value; every test is a substring test, anywhere in the name.
#pragma once

#include "storage/FieldRow.h"

#include <QList>
#include <QString>
#include <QStringList>

class QLineEdit;
class QWidget;

namespace FormBinding {

inline const QString EditToken = QStringLiteral("_DATA_EDIT");
inline const QString ComboToken = QStringLiteral("_DATA_COMBOBOX");
inline const QString MemoToken = QStringLiteral("_DATA_MEMO");

bool isBound(const QString& name);

// The value of a component: the text of an edit or a label, the text of a combo box
// (for a pick-only list the chosen item, empty when none), the whole text of a memo
// with lines separated by CR LF.
QString text(const QWidget* component);
// Puts a value into a component. Never cut by the component's typing limit.
void setText(QWidget* component, const QString& value);

// Limits what the user can type into the edit to `limit` characters while texts put in
// by setText() stay whole, however long.
void setInputLimit(QLineEdit* edit, int limit);

// The component named exactly `name`, or nullptr.
QWidget* find(const QList<QWidget*>& components, const QString& name);

// Appends one row per bound component in component order: the name is tested for each
// of the three tokens independently and every token found gives a row.
void collect(const QList<QWidget*>& components, const QString& sectionId, FieldRowList& rows);

// Gives the empty text to every component whose name contains one of `tokens`.
void clear(const QList<QWidget*>& components, const QStringList& tokens);

} // namespace FormBinding
