// Where the program folder, the per-user data folder and the fixed data files are.
// Resolving a path never writes to the event log, which lives in the data folder.
#pragma once

#include "storage/MessageBuffer.h"

#include <QString>

QString strFunGetMainDirPath(MessageBuffer& buf);
QString strFunGetProgramDirPath();
// The user's manual "Zoravavivo.html": beside the executable in a build tree, in the
// package's documentation folder once installed (the program folder's name as it was
// when neither holds it).
QString strFunGetHelpFilePath();
QString strFunGetTmpFilePath(MessageBuffer& buf);
QString strFunGetSettingsFilePath(MessageBuffer& buf, bool installedCopy);
QString strFunGetCalibFilePath(MessageBuffer& buf, bool installedCopy);
QString strFunGetTemplatesFilePath(MessageBuffer& buf);
QString strFunGetLogFilePath(MessageBuffer& buf);
QString strFunGetBackupDirPath(MessageBuffer& buf);

// The login name with Polish letters replaced by their plain forms.
QString strFunPlainLoginName(const QString& login);

// Creates one folder; on failure leaves the message in `buf` without logging it.
bool createDirUnlogged(MessageBuffer& buf, const QString& path);
