#include "documents/DocumentForm.h"

#include "documents/FormBinding.h"
#include "documents/PageDialog.h"
#include "documents/StudentSaver.h"
#include "documents/TFDaneUcznia.h"

#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

constexpr int ClientWidth = 745;
constexpr int ClientHeight = 727;
// The screen page keeps the proportions of an A4 sheet and fits the width of the form.
constexpr int PageWidth = 700;
constexpr int PageHeight = 990;

// After every field of the page in the tab order.
constexpr ComponentEntry Panel[] = {
    PageDialog::button("OKButton", "OK", 560, 1000),
    PageDialog::button("CancelButton", "Anuluj", 650, 1001),
};

} // namespace

DocumentForm::DocumentForm(TFDaneUcznia* student, const QString& caption,
                           std::span<const ComponentEntry> page, QWidget* parent)
    : QDialog(parent), m_student(student)
{
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    const PageDialog::Parts parts =
        PageDialog::build(this, QStringLiteral("Strona 1"), {PageWidth, PageHeight}, Qt::white, page, Panel);
    m_page = parts.page;
    m_components = FormTable::widgets(m_page);
    connect(qobject_cast<QPushButton*>(parts.buttons.at(0).widget), &QPushButton::clicked, this,
            &DocumentForm::OKButtonClick);
    connect(qobject_cast<QPushButton*>(parts.buttons.at(1).widget), &QPushButton::clicked, this,
            &DocumentForm::CancelButtonClick);
}

QWidget* DocumentForm::component(const QString& name) const
{
    return FormBinding::find(m_components, name);
}

QString DocumentForm::componentText(const QString& name) const
{
    const QWidget* found = component(name);
    return found ? FormBinding::text(found) : QString();
}

void DocumentForm::CollectFields(FieldRowList& rows) const
{
    FormBinding::collect(m_components, sectionId(), rows);
}

void DocumentForm::ClearFields()
{
    FormBinding::clear(m_components,
                       {QStringLiteral("_STR1_DATA_EDIT"), QStringLiteral("_STR2_DATA_EDIT"),
                        QStringLiteral("_STR1_DATA_COMBOBOX"), QStringLiteral("_STR2_DATA_COMBOBOX")});
}

void DocumentForm::FillFields(const FieldRowList& rows)
{
    ClearFields();
    const QString section = sectionId();
    for (const FieldRow& row : rows) {
        if (row.id != section || !FormBinding::isBound(row.compName))
            continue;
        if (QWidget* field = component(row.compName))
            FormBinding::setText(field, row.value);
    }
    if (!m_student)
        return;
    // The student's own data always comes from the student form, so a changed name or
    // PESEL reaches the document whatever the stored row says.
    const QString copies[][2] = {
        // Surname first, as the caption under the line says: "(nazwisko i imię)".
        {QStringLiteral("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"),
         m_student->fieldText(QStringLiteral("Nazwisko_DATA_EDIT")) + QLatin1Char(' ') +
             m_student->fieldText(QStringLiteral("Imie_DATA_EDIT"))},
        {QStringLiteral("ZMIENNA_UrodzDnia_STR1_DATA_EDIT"),
         m_student->fieldText(QStringLiteral("UrodzonyDnia_DATA_EDIT"))},
        {QStringLiteral("ZMIENNA_UrodzRok_STR1_DATA_EDIT"),
         m_student->fieldText(QStringLiteral("UrodzonyRok_DATA_COMBOBOX"))},
        {QStringLiteral("ZMIENNA_PESEL_STR1_DATA_EDIT"),
         m_student->fieldText(QStringLiteral("NrPesel_DATA_EDIT"))},
    };
    for (const auto& [name, value] : copies)
        if (QWidget* field = component(name))
            FormBinding::setText(field, value);
}

void DocumentForm::FillSampleValues()
{
    for (const BuiltComponent& built : std::as_const(m_page))
        if (built.entry->sample)
            FormBinding::setText(built.widget, QString::fromUtf8(built.entry->sample));
}

void DocumentForm::FormShow()
{
    const QScreen* where = screen();
    if (!where)
        return;
    const QRect area = where->geometry();
    // The whole window, title bar included, is 50 pixels shorter than the screen (the
    // frame reads as zero until the window manager has framed the window once).
    const int frame = frameGeometry().height() - geometry().height();
    setFixedSize(ClientWidth, area.height() - 50 - frame);
    QRect outer = frameGeometry();
    outer.moveCenter(area.center());
    move(outer.topLeft());

    // Typing starts in the first field of the page.
    const BuiltComponent* first = nullptr;
    for (const BuiltComponent& component : m_page)
        if (component.entry->tab > 0 && (!first || component.entry->tab < first->entry->tab))
            first = &component;
    if (first)
        first->widget->setFocus();
}

void DocumentForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void DocumentForm::OKButtonClick()
{
    // The save stores all three forms and shows its own failure message; the form
    // stays open so that the user can try again.
    if (m_saver && m_saver->bFunSaveDocument())
        accept();
}

void DocumentForm::CancelButtonClick()
{
    reject();
}
