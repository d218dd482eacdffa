// Thin error-checking wrapper over SQLite 3: one connection, a forward-only cursor,
// and the single exception type the layer throws. Every text here is raw bytes as
// stored in the file (Windows-1250 for the program's own texts).
#pragma once

#include <sqlite3.h>

#include <QByteArray>
#include <QList>
#include <QString>

constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception
{
public:
    CppSQLite3Exception(int code, const char* message);
    CppSQLite3Exception(const CppSQLite3Exception& other);
    CppSQLite3Exception& operator=(const CppSQLite3Exception&) = delete;
    virtual ~CppSQLite3Exception();

    int code() const { return m_code; }
    // "CODE_NAME[code]: message"
    const char* text() const { return m_text ? m_text : ""; }
    static const char* codeName(int code);

private:
    int m_code;
    char* m_text;
};

// Raised before anything is written when a text cannot be stored in the file's
// single-byte code page. Carries a message for the user instead of a code name.
class StorageTextError : public CppSQLite3Exception
{
public:
    explicit StorageTextError(const QString& message)
        : CppSQLite3Exception(CPPSQLITE_ERROR, "Text not storable"), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

class CppSQLite3Query
{
public:
    CppSQLite3Query() = default;
    CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool atEnd, bool owns = true);
    CppSQLite3Query(const CppSQLite3Query&) = delete;
    CppSQLite3Query(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
    virtual ~CppSQLite3Query();

    int columnCount() const;
    bool atEnd() const;
    void next();
    int columnIndex(const char* name) const;
    int typeAt(int index) const;
    int intAt(int index, int nullValue = 0) const;
    int intOf(const char* name, int nullValue = 0) const;
    const char* textAt(int index, const char* nullText = "") const;
    const char* textOf(const char* name, const char* nullText = "") const;
    const char* rawText(const char* name) const;
    void release();

private:
    void requireStatement() const;
    void releaseQuietly() noexcept;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_atEnd = true;
    int m_columnCount = 0;
    bool m_owns = false;
};

class CppSQLite3DB
{
public:
    CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;
    virtual ~CppSQLite3DB();

    // Path in the file system's own encoding (UTF-8 on Linux).
    void openFile(const QString& path);
    // Opens a file only to read it as it lies: nothing is written to it or created
    // beside it, no lock is taken, and a journal or log beside it is not looked at.
    void openUntouched(const QString& path);
    // The longest text, blob or row a statement of this connection may produce; a
    // longer one fails the statement with SQLITE_TOOBIG.
    void limitValueLength(int bytes);
    void closeFile();
    void setBusyWait(int ms);
    int busyWait() const { return m_busyWait; }
    bool isOpen() const { return m_db != nullptr; }

    int runStatement(const char* sql);
    int runStatement(const QByteArray& sql) { return runStatement(sql.constData()); }
    // Compiles a statement of the program's own once and runs it for every group of
    // `parameters` texts of `texts`, each text bound to its '?' in order (a value, never
    // read as SQL); the rows changed in all.
    int runBound(const QByteArray& sql, int parameters, const QList<QByteArray>& texts);
    CppSQLite3Query runQuery(const char* sql);
    CppSQLite3Query runQuery(const QByteArray& sql) { return runQuery(sql.constData()); }
    int runScalarInt(const char* sql, int nullValue = 0);
    bool hasTable(const char* name);
    bool hasTable(const QByteArray& name) { return hasTable(name.constData()); }

    // The wait every new connection starts with (60 s). Tests lower it so that a
    // locked file fails in reasonable time.
    static int defaultBusyWait();
    static void setDefaultBusyWait(int ms);

private:
    void open(const QByteArray& name, int flags);
    void requireOpen() const;
    sqlite3_stmt* prepare(const char* sql);

    sqlite3* m_db = nullptr;
    int m_busyWait;
};
