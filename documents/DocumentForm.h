// A school document edited in a dialog that looks like the printed page: the fixed
// wording as labels, the variable parts as edits at their places. The texts standing in
// the components are what the renderer prints.
#pragma once

#include "documents/FormTable.h"
#include "storage/FieldRow.h"

#include <QDialog>

#include <span>

class StudentSaver;
class TFDaneUcznia;

// Rows of a page table: the fixed texts in the serif face of the printed form and the
// variable fields, one line high.
namespace PageTable {

enum class Entry {
    Free,
    Year,  // the user types at most four characters
    Copied // read-only; the text comes from the student form
};

constexpr ComponentEntry text(const char* name, const char* caption, int left, int top, int pixelSize)
{
    return {.name = name,
            .kind = ComponentKind::Label,
            .text = caption,
            .left = left,
            .top = top,
            .pixelSize = pixelSize};
}

// A fixed text whose font is given by the height of its character cell.
constexpr ComponentEntry textInCell(const char* name, const char* caption, int left, int top, int cellHeight)
{
    return {.name = name,
            .kind = ComponentKind::Label,
            .text = caption,
            .left = left,
            .top = top,
            .cellHeight = cellHeight};
}

// `role` is the field's accessible name.
constexpr ComponentEntry field(const char* name, const char* role, int left, int top, int width, int tab,
                               Entry entry, const char* sample)
{
    return {.name = name,
            .kind = ComponentKind::Edit,
            .text = role,
            .left = left,
            .top = top,
            .width = width,
            .height = 21,
            .tab = tab,
            .limit = entry == Entry::Year ? 4 : 0,
            .readOnly = entry == Entry::Copied,
            .sample = sample};
}

} // namespace PageTable

class DocumentForm : public QDialog
{
    Q_OBJECT

public:
    // `student` is the form the student's name, birth date, birth year and PESEL are
    // copied from when the document is loaded.
    DocumentForm(TFDaneUcznia* student, const QString& caption, std::span<const ComponentEntry> page,
                 QWidget* parent = nullptr);

    // The section id of this document's stored rows.
    virtual QString sectionId() const = 0;

    void setStudentSaver(StudentSaver* saver) { m_saver = saver; }

    void CollectFields(FieldRowList& rows) const;
    // Clears the form, applies the rows of this document, then copies the four values
    // of the student form over whatever the rows gave.
    void FillFields(const FieldRowList& rows);
    // Empties the variable fields of both pages; labels keep their captions.
    void ClearFields();
    // The fixed sample texts of every variable field, for the calibration editor.
    void FillSampleValues();

    // Sets the height to that of the screen less 50 pixels; runs on every showing.
    void FormShow();

    // The page's components in component order, and the text of one by name (the label
    // captions included), as the renderer reads them.
    const QList<QWidget*>& components() const { return m_components; }
    QWidget* component(const QString& name) const;
    QString componentText(const QString& name) const;

public slots:
    void OKButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TFDaneUcznia* m_student;
    StudentSaver* m_saver = nullptr;
    QList<BuiltComponent> m_page;
    QList<QWidget*> m_components;
};
