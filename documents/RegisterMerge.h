// Joining two users' work on one register, student by student, three ways: the register
// as this program last read or wrote it (the base), the file as it is on disk now
// (theirs), and the working copy (mine). A student is one table; two states of a student
// are the same when their tables hold the same rows, byte for byte as stored.
#pragma once

#include "storage/MessageBuffer.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>

enum class MergeChoice { Mine, Theirs, Cancel };

struct RegisterMergePlan {
    // Tables to take from the file on disk; one it no longer holds is dropped.
    QByteArrayList fromTheirs;
    int added = 0;
    int changed = 0;
    int removed = 0;
    // Students whose table on disk cannot be read: the user's copy of each stays.
    QStringList damaged;
    bool cancelled = false;
    bool theirsUnreadable = false; // the file on disk is not a register (any more)
};

// Compares the three files and decides what to take from theirs: a student changed on
// one side only takes that side; one changed on both sides, differently, is decided by
// `decide` (with the student's "surname first name"). False with the reason in `buf`
// when a file cannot be read as a register, or with `plan.cancelled` when `decide`
// said Cancel.
bool bFunPlanRegisterMerge(MessageBuffer& buf, const QString& base, const QString& theirs,
                           const QString& mine,
                           const std::function<MergeChoice(const QString& student)>& decide,
                           RegisterMergePlan& plan);

// Writes the plan into `merged`, a copy of mine, in one transaction: any failure (a full
// disk) leaves `merged` as it was, with the reason in `buf`.
bool bFunApplyRegisterMerge(MessageBuffer& buf, const QString& merged, const QString& theirs,
                            const RegisterMergePlan& plan);
