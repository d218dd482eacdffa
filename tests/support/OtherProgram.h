// Another program working on the same file, and a busy wait short enough for tests.
#pragma once

#include "storage/CppSQLite3.h"

#include <sqlite3.h>

#include <QString>
#include <QtGlobal>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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

// Another program killed with SIGKILL in the middle of a transaction: it runs `sql`
// after "begin" on `path` with a page cache of a few pages, so that its changes
// already sit in the file itself and the journal beside it is hot when it dies.
// False when the child could not get that far.
inline bool killMidTransaction(const QString& path, const QByteArray& sql)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    const QByteArray file = path.toUtf8();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        sqlite3* db = nullptr;
        if (sqlite3_open(file.constData(), &db) != SQLITE_OK ||
            sqlite3_exec(db, "pragma cache_size=2; begin;", nullptr, nullptr, nullptr) != SQLITE_OK ||
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            ::_exit(1);
        (void)!::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    const bool reached = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return reached;
}
