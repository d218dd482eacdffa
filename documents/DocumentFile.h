// Students of a document file (and of its working copy): one table per student,
// named "PESEL" + the student's PESEL field, rows (id, comp_name, value).
#pragma once

#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QStringList>

#include <functional>

class CppSQLite3Query;

// Whether `name` has the shape the program gives a student table: "PESEL" followed by at
// most 30 ASCII letters and digits. Only such a name read from a file may stand in a
// statement.
bool isStudentTableName(QByteArrayView name);
// The program's own statement that creates the student table `name` (of that shape);
// it names no schema, so it creates the table in the main file of the connection.
QByteArray studentTableCreateStatement(QByteArrayView name);

// One student's table as a batch stores it.
struct StudentTable {
    QString tableName;
    FieldRowList rows;
    bool replace = false; // a table of that name may be replaced
};

// The same for a name already read as text.
bool isStudentTableName(const QString& name);
inline bool isStudentTableName(const QByteArray& name)
{
    return isStudentTableName(QByteArrayView(name));
}

// The largest register a school could have; a larger file is refused before it is read.
constexpr qint64 RegisterSizeLimit = 200LL * 1024 * 1024;
// Why the file at `path` cannot be opened as a register ("\n" and a sentence), decided
// from its kind and size alone, before anything reads it; empty for a regular file of a
// sane size and for a missing one.
QString strFunRegisterRefusal(const QString& path);

// 1 the table exists, 0 it does not, -1 failure. With `create` a missing file is
// created empty first.
int iFunCheckIsStudentExists(MessageBuffer& buf, const QString& path, const QString& tableName, bool create);
// Appends the names of all schema objects, in catalogue order. A database error is
// not reported here: the CppSQLite3Exception reaches the caller (the connection is
// closed first).
bool bFunGetTableList(MessageBuffer& buf, const QString& path, QStringList& names);
// Appends one entry per table, in catalogue order (the order of creation). A table
// without the surname or first-name row is listed under its table name.
bool bFunGetStudentsList(MessageBuffer& buf, const QString& path, QList<StudentListEntry>& list);
// What SQLite's own check of a register and a read of every table found.
struct RegisterDamage {
    bool damaged = false;
    // The tables whose rows cannot all be read, under the names the student list
    // gives them (the table name when even the name rows are lost).
    QList<StudentListEntry> unreadable;
    int readable = 0; // tables that read whole
    // Student tables whose stored definition is not the program's own; their rows are
    // read with the program's own statement and stored in a table made anew.
    QStringList redefined;
    // Everything else the file holds (views, triggers, indexes, tables that are no
    // student's), as "kind „name”"; never opened and left out of a repair.
    QStringList foreign;
};
// Checks the file; only a damaged one has its tables read. False, with the reason in
// `buf` (not logged), when the file cannot be examined at all (not a database, a lost
// catalogue), which its listing then reports.
bool bFunFindDamage(MessageBuffer& buf, const QString& path, RegisterDamage& damage);
// Replaces the register at `path` by a new file holding its student tables, rows and
// all, except those of `skip`: a sound file made of what a damaged one still holds.
// Every table is made by the program's own statement and filled with the rows' three
// values; nothing else of the old file is taken. The new file is built beside it; any
// failure leaves `path` as it was.
bool bFunRebuildFromReadableTables(MessageBuffer& buf, const QString& path, const QStringList& skip);
bool bFunGetValue(MessageBuffer& buf, const CppSQLite3Query& query, const char* column, QString& value);
// Appends the table's rows in stored order.
bool bFunLoadCertData(MessageBuffer& buf, const QString& path, const QString& tableName, FieldRowList& rows);
// Drops the table; success also when it is absent.
bool bFunDeleteTable(MessageBuffer& buf, const QString& path, const QString& tableName);
// Creates the table (which must not exist) and inserts the rows in one transaction.
// `step` runs once per stored row (the wait window's progress bar).
bool bFunSaveCertData(MessageBuffer& buf, const QString& path, const QString& tableName,
                      const FieldRowList& rows, const std::function<void()>& step = {});
// Replaces a student in one transaction: drops `tableName` and every table of
// `alsoDrop` that exists, creates `tableName` and inserts the rows. Any failure leaves
// the file exactly as it was. Texts that cannot be stored are refused before anything
// is written.
bool bFunReplaceCertData(MessageBuffer& buf, const QString& path, const QString& tableName,
                         const FieldRowList& rows, const QStringList& alsoDrop = {},
                         const std::function<void()>& step = {});
// Stores many students in one transaction: each table is created with its rows; a
// table that exists already is dropped first when its entry allows it, and fails the
// whole batch when it does not. Any failure leaves the file exactly as it was; texts
// that cannot be stored are refused before the file is opened. `step` runs once per
// stored student; when `stopped` then answers true, nothing is stored and the buffer
// says "Import został przerwany: żaden uczeń nie został zapisany.".
bool bFunStoreStudents(MessageBuffer& buf, const QString& path, const QList<StudentTable>& students,
                       const std::function<void()>& step = {}, const std::function<bool()>& stopped = {});
// Puts single rows into existing student tables in one transaction: a row with the same
// id and name is replaced, otherwise the row is added; the other rows are left as they
// are. A table that does not exist fails the whole batch, leaving the file as it was.
bool bFunPutStudentRows(MessageBuffer& buf, const QString& path,
                        const QList<std::pair<QString, FieldRow>>& rows);
// Appends the rows of each named table, in stored order, one list per name, reading
// the file once; a table that does not exist gives an empty list. With `unreadable`,
// one text per name is appended there too: empty for a table read whole, else why it
// could not be read (missing, damaged), and such a table no longer fails the reading.
bool bFunLoadStudentTables(MessageBuffer& buf, const QString& path, const QStringList& tableNames,
                           QList<FieldRowList>& tables, QStringList* unreadable = nullptr);
