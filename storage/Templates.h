// School data templates ("szablony.sqset") and the town and province dictionaries
// (tables `city` and `province` of "ustawienia.sqset").
#pragma once

#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QStringList>

bool bFunSqlTemplateWriteData(MessageBuffer& buf, const QString& path, const QString& tableName,
                              const FieldRowList& rows);
// Empties `rows` first; a table never saved gives true and no rows.
bool bFunSqlTemplateReadData(MessageBuffer& buf, const QString& path, const QString& tableName,
                             FieldRowList& rows);

// Replace `names` by the dictionary's names in byte order.
bool bFunStudentDataLoadCityList(MessageBuffer& buf, QStringList& names);
bool bFunStudentDataLoadProvinceList(MessageBuffer& buf, QStringList& names);
// True when the name is in the dictionary afterwards.
bool bFunStudentDataAddCity(MessageBuffer& buf, const QString& name);
bool bFunStudentDataAddProvince(MessageBuffer& buf, const QString& name);
