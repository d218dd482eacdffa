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

struct RegisterMergePlan {
    // Tables taken from the file on disk; one it no longer holds was dropped.
    QByteArrayList fromTheirs;
    // The list entries of those it holds, in the same order.
    QList<StudentListEntry> theirStudents;
    int added = 0;
    int changed = 0;
    int removed = 0;
    // Students whose table on disk cannot be read: the user's copy of each stays.
    QStringList damaged;
    bool cancelled = false;
    bool theirsUnreadable = false; // the file on disk is not a register (any more)
};

// Joins the file on disk into `merged`, a copy of the working copy: a student changed on
// one side only takes that side; one changed on both sides, differently, is decided by
// `decide` (given the student's "surname first name"). On failure `merged` is as it
// was: with `plan.cancelled` when `decide` said Cancel, with `plan.theirsUnreadable`
// when the file on disk cannot be read as a register, otherwise (a full disk) with the
// reason in `buf`.
bool bFunMergeRegisters(MessageBuffer& buf, const QString& base, const QString& theirs, const QString& merged,
                        const std::function<MergeChoice(const QString& student)>& decide,
                        RegisterMergePlan& plan);
