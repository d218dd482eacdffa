// Another program working on the same file, and a busy wait short enough for tests.
#pragma once

#include "storage/CppSQLite3.h"

#include <sqlite3.h>

#include <QString>
#include <QtGlobal>

// A second connection holding the file: a reader in an open read transaction, or a
// writer that has begun writing. `release` (or the end of its scope) lets go.
class ForeignConnection
{
public:
    ForeignConnection(const QString& path, const char* sql)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK)
            qWarning("%s: %s", sql, error);
        sqlite3_free(error);
    }
    ~ForeignConnection()
    {
        release();
        sqlite3_close(m_db);
    }
    void release() { sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr); }

private:
    sqlite3* m_db = nullptr;
};

// Connections give up on a locked file after a moment instead of a minute.
class ShortBusyWait
{
public:
    ShortBusyWait() { CppSQLite3DB::setDefaultBusyWait(50); }
    ~ShortBusyWait() { CppSQLite3DB::setDefaultBusyWait(60000); }
};
