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
    RegisterNumber,
    SecondName,
    ClassName
};

// The captions of the choices, in the order of Column, as the mapping lists show them.
QStringList columnCaptions();
// The column a header names, as e-registers and spreadsheets write it: case, Polish
// letters and the full stops of abbreviations ignored ("Data ur.", "Miejsce ur.").
// Skip for any other.
Column columnOfHeader(const QString& header);
// True for a header the import knows and leaves out on purpose ("Lp.").
bool ignoredHeader(const QString& header);

// The largest file read as a class list: a whole school's list is a few hundred kB.
constexpr qint64 LargestFile = 8 * 1024 * 1024;
// What a class list may hold at most.
inline const CsvText::Limits ListLimits{};

// A file as read: its column names and its records.
struct Source {
    QStringList header;             // from the first record, or "Kolumna 1", ... without one
    bool hasHeader = false;         // the first record names at least one known column
    QList<CsvText::Record> records; // the students' records, blank ones left out
    int blankRecords = 0;           // records without any text, left out
    int problemLine = 0;            // the line that passed a limit
};

enum class Problem {
    None,
    Empty,
    Binary,
    HeaderOnly,
    TooLarge,
    TooManyColumns,
    FieldTooLong,
    LineTooLong,
    TooManyRows,
    TooManyFields
};
// Reads the decoded text of a file, within ListLimits.
Problem read(const QString& text, QChar separator, Source& source);
// The message for a file that holds no students or passes a limit; the latter name the
// file (`path`) and the limit, and where it was passed (`line`).
QString problemText(Problem problem, const QString& path = QString(), int line = 0);
// The columns the header names.
QList<Column> mappingOf(const Source& source);
// The header names of the columns that mean nothing to the import, quoted and joined.
QString unknownColumns(const Source& source, const QList<Column>& mapping);

enum class State { Add, InRegister, Error };

// Decisions the user takes for the whole list.
struct Options {
    bool addLeadingZero = false; // a ten-digit PESEL whose leading zero is missing gets it
    QString sexForMissing;       // "kobieta" or "mężczyzna" for rows that give no sex at all
};

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
    QString zeroOffered;   // the whole PESEL when the file's one lacks its leading zero
    bool needsSex = false; // no sex in the row nor in its PESEL: the user is asked

    // "do dodania", "już jest w rejestrze" or the errors.
    QString stateText(bool replace) const;
};

// The state of every record under `mapping` (one Column per column of the file), with
// `registerTables` the tables the register already holds.
QList<Row> evaluate(const Source& source, const QList<Column>& mapping, const QSet<QString>& registerTables,
                    const Options& options = Options());

// The rows the student's table gets. `blank` is what the three forms collect when empty
// (the student's rows first, in the form's order); `stored` the table as the register
// holds it, empty for a new student. The student's rows take the file's values, else
// the stored ones, else what the PESEL gives; every other stored row (the documents)
// stays as it was.
FieldRowList rowsOf(const Row& row, const FieldRowList& blank, const FieldRowList& stored);

// The student list as a spreadsheet opens it: UTF-8 with a byte-order mark, ';', the
// header the import knows, one record per student (each given by its stored rows), the
// birth date in the one form the import reads back, no cell a spreadsheet takes for a
// formula.
QByteArray exportText(const QList<FieldRowList>& students);

} // namespace StudentImport
