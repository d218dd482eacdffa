// The data folder's housekeeping: the start-up check of required files, the working
// copy, backups and the small file operations the rest of the program shares.
#pragma once

#include "storage/DataPaths.h"
#include "storage/MessageBuffer.h"

#include <QString>

bool bFunCreateDir(MessageBuffer& buf, const QString& path);
bool bFunDeleteTmpFile(MessageBuffer& buf);
bool bFunCopyFile(MessageBuffer& buf, const QString& source, const QString& target, bool failIfExists);
bool bFunSetFileNormal(const QString& path);
bool bFunCheckFilesDir(MessageBuffer& buf);
void vFunBackupWorkingCopy(MessageBuffer& buf);

// The errno of the last failed bFunSetFileNormal, for the callers' messages.
int iFunLastFileError();
