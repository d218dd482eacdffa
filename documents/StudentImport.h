// Class lists in CSV: what each column of a file means, the state of every row
// before anything is stored, the rows a student gets, and the list written out.
#pragma once

#include "documents/DocumentFile.h"
#include "storage/CsvText.h"
#include "storage/FieldRow.h"

#include <QHash>
#include <QSet>

namespace StudentImport {

// What a column of the file holds.
enum class Column {
    Skip,
    Surname,
    FirstName,
    FirstNames,
    Pesel,
    BirthDate,
    Town,
    Province,
    Sex,
    RegisterNumber
};

// The captions of the choices, in the order of Column, as the mapping lists show them.
QStringList columnCaptions();
// The column a header names, case and Polish letters ignored; Skip for any other.
Column columnOfHeader(const QString& header);

// A file as read: its column names and its records.
struct Source {
    QStringList header;             // from the first record, or "Kolumna 1", ... without one
    bool hasHeader = false;         // the first record names at least one known column
    QList<CsvText::Record> records; // the students' records, blank ones left out
    int blankRecords = 0;           // records without any text, left out
};

enum class Problem { None, Empty, Binary, HeaderOnly };
// Reads the decoded text of a file.
Problem read(const QString& text, QChar separator, Source& source);
// The message for a file that holds no students.
QString problemText(Problem problem);
// The columns the header names.
QList<Column> mappingOf(const Source& source);

enum class State { Add, InRegister, Error };

// A value for each field of the student form, by the field's name; empty when none.
class FieldValues
{
public:
    QString value(const QString& field) const;
    bool contains(const QString& field) const { return !value(field).isEmpty(); }
    void insert(const QString& field, const QString& value);

private:
    QString m_values[9]; // in the form's order
};

struct Row {
    int line = 0;
    State state = State::Add;
    QString errors;        // in words, when the row cannot be stored
    QStringList notes;     // in words: stored all the same
    QString tableName;     // "PESEL" + the number
    FieldValues given;     // the file's values
    FieldValues fromPesel; // what the number gives

    // "do dodania", "już jest w rejestrze" or the errors.
    QString stateText(bool replace) const;
};

// The state of every record under `mapping` (one Column per column of the file), with
// `registerTables` the tables the register already holds.
QList<Row> evaluate(const Source& source, const QList<Column>& mapping, const QSet<QString>& registerTables);

// The rows the student's table gets. `blank` is what the three forms collect when empty
// (the student's rows first, in the form's order); `stored` the table as the register
// holds it, empty for a new student. The student's rows take the file's values, else
// the stored ones, else what the PESEL gives; every other stored row (the documents)
// stays as it was.
FieldRowList rowsOf(const Row& row, const FieldRowList& blank, const FieldRowList& stored);

// The student list as a spreadsheet opens it: UTF-8 with a byte-order mark, ';', the
// header the import knows, one record per student (each given by its stored rows).
QByteArray exportText(const QList<FieldRowList>& students);

} // namespace StudentImport
