// What the student and document forms need of the main window: storing the student
// that the three forms hold.
#pragma once

#include <QString>

class StudentSaver
{
public:
    virtual ~StudentSaver() = default;
    // Stores the three forms as the student's table ("PESEL" + the student form's
    // PESEL) in the working copy, replacing a table of the same name and, when given,
    // the student's previous table, all in one transaction. Shows its own failure
    // message. True when stored.
    virtual bool bFunSaveStudent(const QString& previousTableName = QString()) = 0;
    // The same for a document edit, under the stored table of the selected student,
    // whatever the student form says: it never moves, creates or replaces a student.
    virtual bool bFunSaveDocument() = 0;
};
