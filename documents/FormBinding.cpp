#include "documents/FormBinding.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// The edit's own limit, kept apart from QLineEdit::maxLength, which is raised to the
// length of a longer text put in by the program so that it is not cut.
const char* const LimitProperty = "melvokInputLimit";

void fitMaxLength(QLineEdit* edit)
{
    const QVariant limit = edit->property(LimitProperty);
    if (!limit.isValid())
        return;
    edit->setMaxLength(qMax(limit.toInt(), int(edit->text().size())));
}

} // namespace

namespace FormBinding {

bool isBound(const QString& name)
{
    return name.contains(EditToken) || name.contains(ComboToken) || name.contains(MemoToken);
}

QString text(const QWidget* component)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(component))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(component))
        return combo->currentText();
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(component))
        return memo->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (const auto* label = qobject_cast<const QLabel*>(component))
        return label->text();
    return QString();
}

void setText(QWidget* component, const QString& value)
{
    if (auto* edit = qobject_cast<QLineEdit*>(component)) {
        if (value.size() > edit->maxLength())
            edit->setMaxLength(int(value.size()));
        edit->setText(value);
        fitMaxLength(edit);
    } else if (auto* combo = qobject_cast<QComboBox*>(component)) {
        // An item of the same text is chosen, so that the list opens on it.
        const int index =
            value.isEmpty() ? -1 : combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setCurrentIndex(index);
        if (combo->isEditable() && index < 0) {
            // The edit line of a combo box cuts at 32,767 characters like any edit.
            if (QLineEdit* line = combo->lineEdit(); line && value.size() > line->maxLength())
                line->setMaxLength(int(value.size()));
            combo->setEditText(value);
        }
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) {
        QString plain = value;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        memo->setPlainText(plain);
    } else if (auto* label = qobject_cast<QLabel*>(component)) {
        label->setText(value);
    }
}

void setInputLimit(QLineEdit* edit, int limit)
{
    const bool first = !edit->property(LimitProperty).isValid();
    edit->setProperty(LimitProperty, limit);
    fitMaxLength(edit);
    // Deleting from a long loaded text lowers the ceiling again, down to the limit.
    if (first)
        QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { fitMaxLength(edit); });
}

QWidget* find(const QList<QWidget*>& components, const QString& name)
{
    for (QWidget* component : components)
        if (component->objectName() == name)
            return component;
    return nullptr;
}

void collect(const QList<QWidget*>& components, const QString& sectionId, FieldRowList& rows)
{
    for (const QWidget* component : components) {
        const QString name = component->objectName();
        for (const QString& token : {EditToken, ComboToken, MemoToken})
            if (name.contains(token))
                rows.append({sectionId, name, text(component)});
    }
}

void clear(const QList<QWidget*>& components, const QStringList& tokens)
{
    for (QWidget* component : components) {
        const QString name = component->objectName();
        for (const QString& token : tokens) {
            if (name.contains(token)) {
                setText(component, QString());
                break;
            }
        }
    }
}

} // namespace FormBinding
