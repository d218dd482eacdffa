// The student data form: adds a student to the open register or edits one. Both
// school documents take the student's name, birth date, birth year and PESEL from it.
#pragma once

#include "documents/FormTable.h"
#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QDialog>

class StudentSaver;

class TFDaneUcznia : public QDialog
{
    Q_OBJECT

public:
    static inline const QString SectionId = QStringLiteral("DANE UCZNIA");

    explicit TFDaneUcznia(QWidget* parent = nullptr);

    // False: the form adds a new student. True: it edits the student last loaded into
    // it, whose table was OldTableName when editing began.
    bool EditMode = false;
    QString OldTableName;

    void setStudentSaver(StudentSaver* saver) { m_saver = saver; }
    // The buffer failure texts are written to; the form has its own until one is given.
    void setMessageBuffer(MessageBuffer* buf) { m_buf = buf ? buf : &m_ownBuffer; }

    void CollectFields(FieldRowList& rows) const;
    void FillFields(const FieldRowList& rows);
    // Empties every field: a new student starts with nothing of the one shown before.
    void ClearFields();

    // Fills the town and province lists from the dictionaries; runs on every showing.
    void FormShow();

    // The value of the named component ("" when the form has none).
    QString fieldText(const QString& compName) const;
    const QList<QWidget*>& components() const { return m_components; }

public slots:
    void OKButtonClick();
    void AnulujButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The year list: the years of birth of today's pupils.
    void fillBirthYears();
    // A valid PESEL typed by the user fills the empty birth date, year and sex.
    void fillFromPesel();
    // Shows under the field what is wrong with the PESEL or where it disagrees.
    void checkPesel();
    bool requireFilled(const QString& compName, const QString& message);
    bool saveStudent();
    // The question asked before the student is stored over the existing `tableName`.
    QString overwriteQuestion(const QString& path, const QString& tableName) const;
    QWidget* component(const QString& name) const;

    QList<QWidget*> m_components;
    StudentSaver* m_saver = nullptr;
    MessageBuffer m_ownBuffer;
    MessageBuffer* m_buf = &m_ownBuffer;
};
