// Helpers of the storage operations: building statements as program text and turning
// them into the bytes SQLite stores, and reading stored bytes back.
#pragma once

#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"
#include "storage/MessageBuffer.h"

#include <QString>

#include <utility>

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

// Why an operation of the SQLite layer failed, in the user's words ("plik jest
// uszkodzony"); extended codes are read by their primary code.
QString reason(int code);

// The common failure of a storage operation: reset the buffer, write the Polish reason
// of the code (or the plain message of a text that cannot be stored), log under `fun`
// unless `fun` is empty. The log keeps `prefix` and the code's name as well, for
// whoever reads it later; the user never sees them. Always returns false.
bool fail(MessageBuffer& buf, const CppSQLite3Exception& e, const QString& prefix, const QString& fun);
// Reset the buffer, write `message`, log under `fun` unless it is empty. Returns false.
// Logs the buffer's text and, after it, the name of the layer's `code`.
void logWithCode(const MessageBuffer& buf, int code, const QString& fun);
bool fail(MessageBuffer& buf, const QString& message, const QString& fun);

// Closes a connection after a failure, swallowing a second error.
void closeQuietly(CppSQLite3DB& db);
// Discards an open transaction and closes the connection, swallowing errors.
void rollbackAndClose(CppSQLite3DB& db);
// Releases the cursor and closes the connection after a failure, swallowing errors.
void cleanUp(CppSQLite3Query& q, CppSQLite3DB& db);

// The reading loop: runs `select` on the open `db` and hands every row to `take`. A
// failure, also one of `take`, leaves no cursor behind.
template <class Take> void forEachRow(CppSQLite3DB& db, const QByteArray& select, Take take)
{
    CppSQLite3Query q = db.runQuery(select);
    while (!q.atEnd()) {
        take(std::as_const(q));
        q.next();
    }
    q.release();
}

// A whole reading operation: opens `path`, lets `read` work on the connection and
// closes it. A failure closes the connection and is reported as fail() does, with
// `prefix` and under `fun`.
template <class Read>
bool readFile(MessageBuffer& buf, const QString& path, const QString& prefix, const QString& fun, Read read)
{
    CppSQLite3DB db;
    try {
        db.openFile(path);
        read(db);
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        closeQuietly(db);
        return fail(buf, e, prefix, fun);
    }
}

} // namespace SqlText
