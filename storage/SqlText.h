// Helpers of the storage operations: building statements as program text and turning
// them into the bytes SQLite stores, and reading stored bytes back.
#pragma once

#include "storage/CppSQLite3.h"
#include "storage/Cp1250.h"
#include "storage/MessageBuffer.h"

#include <QString>

// Every single quote doubled, for a value between single quotes.
QString strFunSqlEscape(const QString& value);

namespace SqlText {

// Backquotes doubled, for a name between backquotes.
QString ident(const QString& name);
// Statement text in the stored code page; throws StorageTextError naming the first
// character that does not fit, before anything is run.
QByteArray bytes(const QString& statement);
// Throws StorageTextError when `text` cannot be stored.
void requireStorable(const QString& text);
// Stored bytes to program text; a null pointer gives the empty text.
QString text(const char* stored);

// The common failure of a storage operation: reset the buffer, write `prefix` and the
// code's name (or the plain message of a text that cannot be stored), log under `fun`
// unless `fun` is empty. Always returns false.
bool fail(MessageBuffer& buf, const CppSQLite3Exception& e, const QString& prefix, const QString& fun);
// Reset the buffer, write `message`, log under `fun` unless it is empty. Returns false.
bool fail(MessageBuffer& buf, const QString& message, const QString& fun);

// Closes a connection after a failure, swallowing a second error.
void closeQuietly(CppSQLite3DB& db);
// Discards an open transaction and closes the connection, swallowing errors.
void rollbackAndClose(CppSQLite3DB& db);
// Releases the cursor and closes the connection after a failure, swallowing errors.
void cleanUp(CppSQLite3Query& q, CppSQLite3DB& db);

} // namespace SqlText
