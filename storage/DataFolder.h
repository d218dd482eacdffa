// The program folder, the per-user data folder, the fixed data files and the small
// file operations the rest of the program shares.
#pragma once

#include "storage/MessageBuffer.h"

#include <QString>

QString strFunGetMainDirPath(MessageBuffer& buf);
QString strFunGetProgramDirPath();
QString strFunGetTmpFilePath(MessageBuffer& buf);
QString strFunGetSettingsFilePath(MessageBuffer& buf, bool installedCopy);
QString strFunGetCalibFilePath(MessageBuffer& buf, bool installedCopy);
QString strFunGetTemplatesFilePath(MessageBuffer& buf);
QString strFunGetLogFilePath(MessageBuffer& buf);
QString strFunGetBackupDirPath(MessageBuffer& buf);

bool bFunCreateDir(MessageBuffer& buf, const QString& path);
bool bFunDeleteTmpFile(MessageBuffer& buf);
bool bFunCopyFile(MessageBuffer& buf, const QString& source, const QString& target, bool failIfExists);
bool bFunSetFileNormal(const QString& path);
bool bFunCheckFilesDir(MessageBuffer& buf);
void vFunBackupWorkingCopy(MessageBuffer& buf);

// The login name with Polish letters replaced by their plain forms.
QString strFunPlainLoginName(const QString& login);

// The errno of the last failed bFunSetFileNormal, for the callers' messages.
int iFunLastFileError();
