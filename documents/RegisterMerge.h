// Joining two users' work on one register, student by student, three ways: the register
// as this program last read or wrote it (the base), the file as it is on disk now
// (theirs), and the working copy (mine). A student is one table; two states of a student
// are the same when their tables hold the same rows, byte for byte as stored.
#pragma once

#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>

enum class MergeChoice { Mine, Theirs, Cancel };

// What the user is asked about one student. For the two questions about a deleted
// student, the side that still has the student keeps it: "Zachowaj ucznia" is Mine when
// the other desk deleted it, Theirs when this desk did.
enum class MergeQuestion {
    BothChanged,             // changed on both sides, differently
    DeletedThereChangedHere, // the other desk deleted the student this desk changed
    ChangedThereDeletedHere, // the other desk changed the student this desk deleted
};

// What a join did to one student.
struct StudentChange {
    enum class Kind {
        Added,       // taken from the file: new there
        Changed,     // taken from the file: changed there
        Removed,     // deleted there, and so here
        KeptMine,    // asked, and this desk's version stayed
        KeptMissing, // missing from a file that is not a later save: kept, not removed
        Damaged,     // unreadable in the file, or not a student table: this desk's copy stayed
    };
    Kind kind;
    QString student; // "surname first name", else the table name
    QByteArray table;
    friend bool operator==(const StudentChange&, const StudentChange&) = default;
};

struct RegisterMergeContext {
    QString base;   // the register as this desk last read or wrote it
    QString theirs; // a copy of the file on disk now
    QString merged; // a copy of the working copy, joined in place
    // The file on disk is known to be a later save than the base: only then is a student
    // it lacks taken as deleted by the other desk.
    bool theirsIsLater = true;
    std::function<MergeChoice(MergeQuestion question, const QString& student)> decide;
};

struct RegisterMergePlan {
    // Tables taken from the file on disk; one it no longer holds was dropped.
    QByteArrayList fromTheirs;
    // The list entries of those it holds, in the same order.
    QList<StudentListEntry> theirStudents;
    // Every student the join touched or kept on purpose, in the order decided.
    QList<StudentChange> changes;
    bool cancelled = false;
    bool theirsUnreadable = false; // the file on disk is not a register (any more)

    int count(StudentChange::Kind kind) const;
    QStringList students(StudentChange::Kind kind) const;
};

// Joins the file on disk into `context.merged`: a student changed on one side only takes
// that side; one changed on both sides, differently, or deleted on one and changed on
// the other, is decided by `context.decide`. Tables are made by the program's own
// statements: a table of the file whose name or definition is not a student table's is
// never read or run, only named as damaged. On failure `merged` is as it was: with
// `plan.cancelled` when `decide` said Cancel, with `plan.theirsUnreadable` when the file
// on disk cannot be read as a register, otherwise (a full disk) with the reason in `buf`.
bool bFunMergeRegisters(MessageBuffer& buf, const RegisterMergeContext& context, RegisterMergePlan& plan);
