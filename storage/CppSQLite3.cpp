#include "storage/CppSQLite3.h"

#include <QUrl>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace {
int g_defaultBusyWait = 60000;
}

// ---------------------------------------------------------------- exception

CppSQLite3Exception::CppSQLite3Exception(int code, const char* message) : m_code(code)
{
    m_text = sqlite3_mprintf("%s[%d]: %s", codeName(code), code, message ? message : "");
}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception& other) : m_code(other.m_code)
{
    m_text = other.m_text ? sqlite3_mprintf("%s", other.m_text) : nullptr;
}

CppSQLite3Exception::~CppSQLite3Exception()
{
    sqlite3_free(m_text);
}

const char* CppSQLite3Exception::codeName(int code)
{
    switch (code) {
    case SQLITE_OK:
        return "SQLITE_OK";
    case SQLITE_ERROR:
        return "SQLITE_ERROR";
    case SQLITE_INTERNAL:
        return "SQLITE_INTERNAL";
    case SQLITE_PERM:
        return "SQLITE_PERM";
    case SQLITE_ABORT:
        return "SQLITE_ABORT";
    case SQLITE_BUSY:
        return "SQLITE_BUSY";
    case SQLITE_LOCKED:
        return "SQLITE_LOCKED";
    case SQLITE_NOMEM:
        return "SQLITE_NOMEM";
    case SQLITE_READONLY:
        return "SQLITE_READONLY";
    case SQLITE_INTERRUPT:
        return "SQLITE_INTERRUPT";
    case SQLITE_IOERR:
        return "SQLITE_IOERR";
    case SQLITE_CORRUPT:
        return "SQLITE_CORRUPT";
    case SQLITE_NOTFOUND:
        return "SQLITE_NOTFOUND";
    case SQLITE_FULL:
        return "SQLITE_FULL";
    case SQLITE_CANTOPEN:
        return "SQLITE_CANTOPEN";
    case SQLITE_PROTOCOL:
        return "SQLITE_PROTOCOL";
    case SQLITE_EMPTY:
        return "SQLITE_EMPTY";
    case SQLITE_SCHEMA:
        return "SQLITE_SCHEMA";
    case SQLITE_TOOBIG:
        return "SQLITE_TOOBIG";
    case SQLITE_CONSTRAINT:
        return "SQLITE_CONSTRAINT";
    case SQLITE_MISMATCH:
        return "SQLITE_MISMATCH";
    case SQLITE_MISUSE:
        return "SQLITE_MISUSE";
    case SQLITE_NOLFS:
        return "SQLITE_NOLFS";
    case SQLITE_AUTH:
        return "SQLITE_AUTH";
    case SQLITE_FORMAT:
        return "SQLITE_FORMAT";
    case SQLITE_RANGE:
        return "SQLITE_RANGE";
    case SQLITE_NOTADB:
        return "SQLITE_NOTADB";
    case SQLITE_NOTICE:
        return "SQLITE_NOTICE";
    case SQLITE_WARNING:
        return "SQLITE_WARNING";
    case SQLITE_ROW:
        return "SQLITE_ROW";
    case SQLITE_DONE:
        return "SQLITE_DONE";
    case CPPSQLITE_ERROR:
        return "CPPSQLITE_ERROR";
    default:
        return "UNKNOWN_ERROR";
    }
}

// ---------------------------------------------------------------- query

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool atEnd, bool owns)
    : m_db(db), m_stmt(stmt), m_atEnd(atEnd), m_columnCount(sqlite3_column_count(stmt)), m_owns(owns)
{
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
{
    *this = std::move(other);
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept
{
    if (this == &other)
        return *this;
    releaseQuietly();
    m_stmt = other.m_stmt;
    m_atEnd = other.m_atEnd;
    m_columnCount = other.m_columnCount;
    m_owns = other.m_owns;
    m_db = other.m_db;
    other.m_stmt = nullptr;
    return *this;
}

CppSQLite3Query::~CppSQLite3Query()
{
    releaseQuietly();
}

void CppSQLite3Query::releaseQuietly() noexcept
{
    if (m_stmt && m_owns)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

void CppSQLite3Query::requireStatement() const
{
    if (!m_stmt)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

int CppSQLite3Query::columnCount() const
{
    requireStatement();
    return m_columnCount;
}

bool CppSQLite3Query::atEnd() const
{
    requireStatement();
    return m_atEnd;
}

void CppSQLite3Query::next()
{
    requireStatement();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        m_atEnd = true;
    } else if (rc != SQLITE_ROW) {
        const int frc = sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw CppSQLite3Exception(frc, sqlite3_errmsg(m_db));
    }
}

int CppSQLite3Query::columnIndex(const char* name) const
{
    requireStatement();
    if (name) {
        for (int i = 0; i < m_columnCount; ++i) {
            const char* col = sqlite3_column_name(m_stmt, i);
            if (col && std::strcmp(name, col) == 0)
                return i;
        }
    }
    throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
}

int CppSQLite3Query::typeAt(int index) const
{
    requireStatement();
    if (index < 0 || index > m_columnCount - 1)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field index requested");
    return sqlite3_column_type(m_stmt, index);
}

int CppSQLite3Query::intAt(int index, int nullValue) const
{
    if (typeAt(index) == SQLITE_NULL)
        return nullValue;
    return sqlite3_column_int(m_stmt, index);
}

int CppSQLite3Query::intOf(const char* name, int nullValue) const
{
    return intAt(columnIndex(name), nullValue);
}

const char* CppSQLite3Query::textAt(int index, const char* nullText) const
{
    if (typeAt(index) == SQLITE_NULL)
        return nullText;
    return reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
}

const char* CppSQLite3Query::textOf(const char* name, const char* nullText) const
{
    return textAt(columnIndex(name), nullText);
}

const char* CppSQLite3Query::rawText(const char* name) const
{
    return reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, columnIndex(name)));
}

void CppSQLite3Query::release()
{
    if (m_stmt && m_owns) {
        const int rc = sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        if (rc != SQLITE_OK)
            throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
    }
}

// ---------------------------------------------------------------- connection

int CppSQLite3DB::defaultBusyWait()
{
    return g_defaultBusyWait;
}

void CppSQLite3DB::setDefaultBusyWait(int ms)
{
    g_defaultBusyWait = ms;
}

CppSQLite3DB::CppSQLite3DB() : m_busyWait(g_defaultBusyWait) {}

CppSQLite3DB::~CppSQLite3DB()
{
    if (m_db)
        sqlite3_close(m_db);
}

void CppSQLite3DB::openFile(const QString& path)
{
    open(path.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void CppSQLite3DB::openUntouched(const QString& path)
{
    open("file:" + QUrl::toPercentEncoding(path, "/") + "?immutable=1",
         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

void CppSQLite3DB::open(const QByteArray& name, int flags)
{
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        CppSQLite3Exception e(rc, m_db ? sqlite3_errmsg(m_db) : "");
        // sqlite3_open hands back a connection even on failure; it must still be closed.
        sqlite3_close(m_db);
        m_db = nullptr;
        throw e;
    }
    // A file is data: what its schema holds (triggers, views, functions in column
    // defaults or checks) never runs with this program's rights, and no statement may
    // rewrite the schema itself.
    for (const auto& [option, value] :
         {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1}, std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_TRIGGER, 0}, std::pair{SQLITE_DBCONFIG_ENABLE_VIEW, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0}})
        sqlite3_db_config(m_db, option, value, nullptr);
    setBusyWait(m_busyWait);
}

void CppSQLite3DB::limitValueLength(int bytes)
{
    requireOpen();
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, bytes);
}

void CppSQLite3DB::closeFile()
{
    if (!m_db)
        return;
    if (sqlite3_close(m_db) != SQLITE_OK)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Unable to close database");
    m_db = nullptr;
}

void CppSQLite3DB::setBusyWait(int ms)
{
    m_busyWait = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

void CppSQLite3DB::requireOpen() const
{
    if (!m_db)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
}

sqlite3_stmt* CppSQLite3DB::prepare(const char* sql)
{
    requireOpen();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
    return stmt;
}

int CppSQLite3DB::runStatement(const char* sql)
{
    requireOpen();
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        CppSQLite3Exception e(rc, error);
        sqlite3_free(error);
        throw e;
    }
    return sqlite3_changes(m_db);
}

int CppSQLite3DB::runBound(const QByteArray& sql, int parameters, const QList<QByteArray>& texts)
{
    sqlite3_stmt* stmt = prepare(sql.constData());
    if (!stmt)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owner(stmt, sqlite3_finalize);
    int changed = 0;
    for (qsizetype first = 0; first + parameters <= texts.size(); first += parameters) {
        for (int i = 0; i < parameters; ++i) {
            const QByteArray& text = texts.at(first + i);
            sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_STATIC);
        }
        if (const int rc = sqlite3_step(stmt); rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
        changed += sqlite3_changes(m_db);
        sqlite3_reset(stmt);
    }
    return changed;
}

CppSQLite3Query CppSQLite3DB::runQuery(const char* sql)
{
    sqlite3_stmt* stmt = prepare(sql);
    if (!stmt) // an empty or comment-only text compiles to nothing
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return CppSQLite3Query(m_db, stmt, true);
    if (rc == SQLITE_ROW)
        return CppSQLite3Query(m_db, stmt, false);
    const int frc = sqlite3_finalize(stmt);
    throw CppSQLite3Exception(frc, sqlite3_errmsg(m_db));
}

int CppSQLite3DB::runScalarInt(const char* sql, int nullValue)
{
    CppSQLite3Query q = runQuery(sql);
    if (q.atEnd() || q.columnCount() < 1)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid scalar query");
    const int value = q.intAt(0, nullValue);
    q.release();
    return value;
}

bool CppSQLite3DB::hasTable(const char* name)
{
    // Built without a fixed buffer, with the name's quotes doubled, so that any
    // name, however long, is asked for exactly.
    std::string sql = "select count(*) from sqlite_master where type='table' and name='";
    for (const char* p = name ? name : ""; *p; ++p) {
        sql += *p;
        if (*p == '\'')
            sql += '\'';
    }
    sql += "'";
    return runScalarInt(sql.c_str(), 0) > 0;
}
