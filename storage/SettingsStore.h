// Named integer options in the table `settings` of "ustawienia.sqset".
#pragma once

#include "storage/MessageBuffer.h"

#include <QString>

bool bFunSqlSettingWriteValue(MessageBuffer& buf, const QString& key, int value);
bool bFunSqlGetSettingsValue(MessageBuffer& buf, const QString& key, int& value);
