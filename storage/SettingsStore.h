// Named options in the table `settings` of "ustawienia.sqset": integers in
// `int_value`, and a few addresses in `text_value`.
#pragma once

#include "storage/MessageBuffer.h"

#include <QString>

bool bFunSqlSettingWriteValue(MessageBuffer& buf, const QString& key, int value);
// Writes `value` into the `text_value` of `key`, as the integer write does.
bool bFunSqlSettingWriteText(MessageBuffer& buf, const QString& key, const QString& value);
bool bFunSqlGetSettingsValue(MessageBuffer& buf, const QString& key, int& value);
// The `text_value` of `key`; empty when there is no row or the column is NULL.
bool bFunSqlGetSettingsText(MessageBuffer& buf, const QString& key, QString& value);
// The trimmed `text_value` of `key`, or `fallback` when it is unset, blank or unreadable.
QString strFunGetSettingsText(const QString& key, const QString& fallback);
