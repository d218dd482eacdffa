// One stored (id, comp_name, value) row of a student table or a template table, and
// one entry of the student list. Texts are carried whole, whatever their length.
#pragma once

#include <QList>
#include <QString>

struct FieldRow {
    QString id;
    QString compName;
    QString value;
    bool operator==(const FieldRow&) const = default;
};
using FieldRowList = QList<FieldRow>;

struct StudentListEntry {
    QString displayName;
    QString tableName;
    bool operator==(const StudentListEntry&) const = default;
};
