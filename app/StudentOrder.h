// The order of the student tree: surname and first name compared without case and
// with Polish letters as their plain capitals, byte by byte.
#pragma once

#include "storage/FieldRow.h"

#include <QByteArray>

QByteArray strFunStudentSortKey(const QString& displayName);
// Stable: students with equal keys keep the order the list gave them.
void vFunSortStudents(QList<StudentListEntry>& students);
