// The data folder's housekeeping: the start-up check of required files, the working
// copy, backups and the small file operations the rest of the program shares.
#pragma once

#include "storage/DataPaths.h"
#include "storage/MessageBuffer.h"

#include <QString>

bool bFunCreateDir(MessageBuffer& buf, const QString& path);
// Deletes the working copy together with SQLite's files beside it ("-journal",
// "-wal", "-shm"); true only when none of them is left.
bool bFunDeleteTmpFile(MessageBuffer& buf);
// Why a path cannot be copied as a file ("\n" and a sentence), or the empty text for
// a regular or missing file.
QString strFunNotRegularReason(const QString& path);
// Lets SQLite bring a document file with a write-ahead log or a hot journal beside it
// to its last committed state, so that a copy of the file alone holds every change.
// Nothing to do: true. Failure: a message naming the file, false.
bool bFunSettleDocumentFile(MessageBuffer& buf, const QString& path);
// Switches a copied file that keeps a write-ahead log to a rollback journal, so that
// the file alone always holds every stored change.
bool bFunUseRollbackJournal(MessageBuffer& buf, const QString& path);
bool bFunCopyFile(MessageBuffer& buf, const QString& source, const QString& target, bool failIfExists);
bool bFunSetFileNormal(const QString& path);
bool bFunCheckFilesDir(MessageBuffer& buf);
// Copies the working copy into the backup folder under the local date and time, then
// prunes the folder's older backups (only files with backup names) to ten in all.
void vFunBackupWorkingCopy(MessageBuffer& buf);
// Whether a regular file holds an SQLite database: empty (a register without students)
// or starting with SQLite's own header. Only the header is read.
bool bFunIsSqliteFile(const QString& path);
// A name the backups are given: "2024-03-07_081502.sqdoc", a real date and time.
bool bFunIsBackupName(const QString& name);

// The errno of the last failed bFunSetFileNormal, for the callers' messages.
int iFunLastFileError();
