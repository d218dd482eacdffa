// The order of the student tree: surname and first name compared without case and
// with Polish letters as their plain capitals, byte by byte.
#pragma once

#include "storage/FieldRow.h"

#include <QByteArray>

QByteArray strFunStudentSortKey(const QString& displayName);
// Stable: students with equal keys keep the order the list gave them.
void vFunSortStudents(QList<StudentListEntry>& students);
// The PESEL a student is stored under.
QString strFunStudentPesel(const StudentListEntry& student);
// The captions of the list's nodes: the display name, with the PESEL after the names
// that two or more students share.
QStringList strFunStudentCaptions(const QList<StudentListEntry>& students);
// True when every word of `filter` is part of the name (without case and Polish
// diacritics, as the order compares them) or of the PESEL.
bool bFunStudentMatches(const StudentListEntry& student, const QString& filter);
