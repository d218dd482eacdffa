// The office's outgoing book: every printed or PDF-written document is kept with its
// pupil as one row of the pupil's own table under the section id "WYDANE DOKUMENTY".
// The row's comp_name is the issue's own key, its value the record as "key=value"
// lines, so that two desks joining their work carry the records with the pupil, and a
// reader that knows only the 34 form rows skips them.
//
// The number ("L. dz.") follows the pattern of the school data template, for example
// "SP12.4340.{nr}.{rok}": {nr} the next free number of the calendar year in this
// register, {rok} the year. An empty pattern gives plain numbers.
#pragma once

#include "documents/RegisterMerge.h"
#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

namespace Issued {

inline const QString SectionId = QStringLiteral("WYDANE DOKUMENTY");
// The calibrated objects of both documents that print the number and the reprint's mark.
inline const QString NumberField = QStringLiteral("ZMIENNA_NumerLDz_STR1_DATA_EDIT");
inline const QString DuplicateField = QStringLiteral("ZMIENNA_Duplikat_STR1_DATA_EDIT");
// The school data template's row with the pattern.
inline const QString PatternField = QStringLiteral("ZMIENNA_WzorNumeru_DATA_EDIT");
constexpr int PatternLimit = 40;
// Days a case may wait before the status bar mentions it.
constexpr int DefaultCaseDays = 14;

// A transfer notice opens a case; an admission confirmation opens none.
enum class CaseState { None, AwaitingConfirmation, SendRecords, Closed };
QString caseStateText(CaseState state);

struct Record {
    QString key;       // the row's comp_name, unique per issue
    QString tableName; // the pupil's table (not stored: where the row lies)
    QString pupil;     // "surname first name" (not stored)
    QString number;
    int document = 0; // 0 the transfer notice, 1 the admission confirmation
    QDateTime issuedAt;
    QString place;  // "miejscowość, dnia" as printed
    QString school; // the "ucz." text
    QString login;
    QString fullName;
    bool toPdf = false;
    QString destination; // the printer or the PDF file
    QString archive;     // the PDF/A copy, empty when none was made
    QString archiveNote; // why no copy was made
    bool duplicate = false;
    QString note; // e.g. the number taken on another desk too
    CaseState state = CaseState::None;
    QDate confirmedOn;
    QString confirmationNumber;
    QString confirmationScan;
    QDate sentOn;
    QDateTime changedAt;
    QMap<QString, QString> fields; // the document's texts as printed, by component name
};

QString documentName(int document);

FieldRow toRow(const Record& record);
// False when the row is not a record of this section.
bool fromRow(const FieldRow& row, Record& record);
// The records among a pupil's rows, in stored order.
QList<Record> recordsOf(const FieldRowList& rows, const QString& tableName = QString(),
                        const QString& pupil = QString());
// The rows with `record` in its place: the row of the same key replaced, or appended.
void putRecord(FieldRowList& rows, const Record& record);
// The record rows of `from` carried over to `into` (a pupil saved again from the forms).
void carryRecords(const FieldRowList& from, FieldRowList& into);

// Empty when the pattern is usable, else the message for the user.
QString checkPattern(const QString& pattern);
// The number that `pattern` gives for `nr` in `year`.
QString numberFor(const QString& pattern, int nr, int year);
// The next free number of `year`: one more than the highest {nr} of the records issued
// in that year whose number the pattern reads.
int nextNr(const QString& pattern, int year, const QList<Record>& records);
// True when another issue (not a reprint of the same pupil's same document) has the number.
bool numberTaken(const QString& number, const QList<Record>& records, const QString& tableName, int document);
// The latest original issue of a pupil's document, or nullptr.
const Record* lastIssue(const QList<Record>& records, const QString& tableName, int document);

// Case transitions; false with the reason in `error`, the record unchanged.
bool noteConfirmation(Record& record, const QDate& on, const QString& number, const QString& scan,
                      QString& error);
bool noteSent(Record& record, const QDate& on, QString& error);
// Days the case has been waiting at `today` (since the notice or the confirmation).
int caseAge(const Record& record, const QDate& today);

// Reading and writing through the working copy. Every pupil's records, read at once.
// The rows of the tables in `known`, already read as `knownRows`, are not read again.
bool bFunLoadIssues(MessageBuffer& buf, const QString& path, const QList<StudentListEntry>& students,
                    QList<Record>& records, const QStringList& known = {},
                    const QList<FieldRowList>& knownRows = {});
// Stores the records (new or changed) into their pupils' tables in one transaction.
bool bFunStoreIssues(MessageBuffer& buf, const QString& path, const QList<Record>& records);

// Joining two desks: the union of both sides' records of one pupil, the later change of
// a record winning; the rest of the rows come from `base`.
FieldRowList joinRecords(const FieldRowList& base, const FieldRowList& other);
// Numbers given to more than one original issue: each later issue gets a note. The
// changed records, for storing; `messages` one line per repeat.
QList<Record> markRepeatedNumbers(QList<Record>& records, QStringList& messages);
// The join of two desks (bFunMergeRegisters) that loses no issue: whichever side a
// pupil is taken from, the records of both sides are kept; numbers issued on both desks
// at once get their note and one line each in `repeats`.
bool bFunMergeKeepingIssues(MessageBuffer& buf, const RegisterMergeContext& context, RegisterMergePlan& plan,
                            QStringList& repeats);

} // namespace Issued
