#include "documents/DocumentFile.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <cerrno>
#include <cstdio>

namespace {

const QString kMissingFile = QStringLiteral("Plik nie istnieje: \n");

QString createStatement(const QString& tableName)
{
    return QStringLiteral("create table `") + SqlText::ident(tableName) +
           QStringLiteral("`( id TEXT, comp_name TEXT, value TEXT )");
}

QString dropStatement(const QString& tableName)
{
    return QStringLiteral("drop table `") + SqlText::ident(tableName) + QStringLiteral("`");
}

QString insertStatement(const QString& tableName, const FieldRow& row)
{
    return QStringLiteral("insert into `") + SqlText::ident(tableName) +
           QStringLiteral("`( id, comp_name, value ) values( '") + strFunSqlEscape(row.id) +
           QStringLiteral("', '") + strFunSqlEscape(row.compName) + QStringLiteral("', '") +
           strFunSqlEscape(row.value) + QStringLiteral("' )");
}

// The statements of one save, encoded before the file is touched so that a text that
// cannot be stored leaves the file as it was.
struct EncodedSave {
    QByteArray create;
    QList<QByteArray> inserts;
    QStringList insertTexts; // for the message of an insert that stored nothing
};

EncodedSave encodeSave(const QString& tableName, const FieldRowList& rows)
{
    EncodedSave out;
    out.create = SqlText::bytes(createStatement(tableName));
    out.inserts.reserve(rows.size());
    out.insertTexts.reserve(rows.size());
    for (const FieldRow& row : rows) {
        QString text = insertStatement(tableName, row);
        out.inserts.append(SqlText::bytes(text));
        out.insertTexts.append(std::move(text));
    }
    return out;
}

const QString kInsertFailed = QStringLiteral("Błąd dodania wpisu do bazy:\n");
const QString kStoreStopped = QStringLiteral("Import został przerwany: żaden uczeń nie został zapisany.");

// Runs the inserts in order, advancing `step` after each; the index of an insert
// that stored nothing, or -1 when all did.
qsizetype runInserts(CppSQLite3DB& db, const EncodedSave& save, const std::function<void()>& step)
{
    for (qsizetype i = 0; i < save.inserts.size(); ++i) {
        if (db.runStatement(save.inserts.at(i)) == 0)
            return i;
        if (step)
            step();
    }
    return -1;
}

// Closing a connection inside a transaction discards it; the explicit rollback only
// makes that independent of whether the close succeeds.
// A stored table name placed between backquotes.
QByteArray identBytes(const QByteArray& stored)
{
    QByteArray out = stored;
    out.replace('`', "``");
    return out;
}

// The `value` of the first row of `sql`'s result; false when there is no row. A table
// that cannot answer the question (a foreign table without these columns, a module
// that is not available) has no such row either; other failures (a locked or damaged
// file) are real errors and pass on.
bool readNameRow(CppSQLite3DB& db, const QByteArray& sql, QString& value)
{
    CppSQLite3Query q;
    try {
        q = db.runQuery(sql);
        if (q.atEnd())
            return false;
        value = SqlText::text(q.textOf("value", ""));
        q.release();
        return true;
    } catch (const CppSQLite3Exception& e) {
        if (e.code() == SQLITE_ERROR || e.code() == CPPSQLITE_ERROR)
            return false;
        throw;
    }
}

// The tables of a register as stored bytes, SQLite's own tables left out.
const char* const kTablesOf = "select name, sql from %1sqlite_master where type='table' and sql is not null "
                              "and name not like 'sqlite\\_%' escape '\\'";

QByteArray tablesQuery(const char* schema)
{
    return QByteArray(kTablesOf).replace("%1", schema);
}

bool isStudentTableBytes(const QByteArray& name)
{
    return isStudentTableName(QString::fromLatin1(name)) && !name.contains(char(0));
}

// Whether a stored definition creates an ordinary table (not a virtual one).
bool createsOrdinaryTable(const QByteArray& sql)
{
    static const QRegularExpression ordinary(QStringLiteral("^\\s*create\\s+table\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    return ordinary.match(QString::fromLatin1(sql)).hasMatch();
}

// Whether a stored definition is the statement the program creates a student's table
// with, up to the case of the words, the spaces and the quotes, and with nothing after it.
bool isOwnStudentDefinition(const QByteArray& name, const QByteArray& sql)
{
    const QString n = QRegularExpression::escape(QString::fromLatin1(name));
    const QString column = QStringLiteral("\\s*[`\"\\[]?%1[`\"\\]]?\\s+text\\s*");
    const QRegularExpression own(
        QStringLiteral("^\\s*create\\s+table\\s*(?:`%1`|\"%1\"|\\[%1\\]|%1\\b)\\s*\\(").arg(n) +
            column.arg(QStringLiteral("id")) + QLatin1Char(',') + column.arg(QStringLiteral("comp_name")) +
            QLatin1Char(',') + column.arg(QStringLiteral("value")) + QStringLiteral("\\)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    return own.match(QString::fromLatin1(sql)).hasMatch();
}

// How a message names an object of a file: its kind and its name, shortened, with
// control characters shown as "?".
QString describeObject(const QByteArray& type, const QByteArray& name)
{
    QString kind = QStringLiteral("obiekt");
    if (type == "table")
        kind = QStringLiteral("tablica");
    else if (type == "view")
        kind = QStringLiteral("widok");
    else if (type == "trigger")
        kind = QStringLiteral("wyzwalacz");
    else if (type == "index")
        kind = QStringLiteral("indeks");
    QString shown = SqlText::text(name.left(60).constData());
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    if (name.size() > 60)
        shown += QStringLiteral("…");
    return kind + QStringLiteral(" „") + shown + QStringLiteral("”");
}

// The program's own reading of a student's rows, whatever else the table holds.
QByteArray selectStudentRows(const QByteArray& schema, const QByteArray& table)
{
    return "select `id`, `comp_name`, `value` from " + schema + "`" + identBytes(table) + "`";
}

// True when every row and every value of the table can be read.
bool readsWhole(CppSQLite3DB& db, const QByteArray& table)
{
    CppSQLite3Query q;
    try {
        q = db.runQuery(selectStudentRows("", table));
        for (; !q.atEnd(); q.next())
            for (int i = 0; i < q.columnCount(); ++i)
                (void)q.textAt(i);
        q.release();
        return true;
    } catch (const CppSQLite3Exception&) {
        return false; // the cursor goes with `q`
    }
}

// The student list's name of a table that does not read whole, from the rows that
// still can be read.
QString damagedStudentName(CppSQLite3DB& db, const QByteArray& table)
{
    const QByteArray from =
        "select * from `" + identBytes(table) + "` where `id`='DANE UCZNIA' and `comp_name`=";
    QString surname, firstName;
    try {
        if (readNameRow(db, from + "'Nazwisko_DATA_EDIT'", surname) &&
            readNameRow(db, from + "'Imie_DATA_EDIT'", firstName))
            return surname + QLatin1Char(' ') + firstName;
    } catch (const CppSQLite3Exception&) {
    }
    return SqlText::text(table.constData());
}

} // namespace

bool isStudentTableName(QByteArrayView name)
{
    if (!name.startsWith("PESEL") || name.size() > 5 + 30)
        return false;
    for (const char c : name.sliced(5))
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

QByteArray studentTableCreateStatement(QByteArrayView name)
{
    Q_ASSERT(isStudentTableName(name));
    return SqlText::bytes(createStatement(QString::fromLatin1(name)));
}

bool isStudentTableName(const QString& name)
{
    // A name outside Latin-1 turns into question marks, which no student table name holds.
    return name.size() <= 5 + 30 && isStudentTableName(QByteArrayView(name.toLatin1()));
}

QString strFunRegisterRefusal(const QString& path)
{
    if (const QString special = strFunNotRegularReason(path); !special.isEmpty())
        return special;
    const qint64 size = QFileInfo(path).size();
    if (size > RegisterSizeLimit)
        return QStringLiteral("\nPlik ma %1 MB, a plik dokumentów szkoły ma najwyżej %2 MB.")
            .arg((size + 1024 * 1024 - 1) / (1024 * 1024))
            .arg(RegisterSizeLimit / (1024 * 1024));
    return QString();
}

int iFunCheckIsStudentExists(MessageBuffer& buf, const QString& path, const QString& tableName, bool create)
{
    const QString label = QStringLiteral("iFunCheckIsStudentExists");
    CppSQLite3DB db;
    try {
        const QByteArray name = SqlText::bytes(tableName);
        if (create && !FileOps::exists(path)) {
            // A new working copy is an empty database file.
            db.openFile(path);
            db.closeFile();
        }
        if (!FileOps::exists(path)) {
            SqlText::fail(buf, kMissingFile + path, label);
            return -1;
        }
        db.openFile(path);
        const bool exists = db.hasTable(name);
        db.closeFile();
        return exists ? 1 : 0;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        SqlText::fail(buf, e, QStringLiteral("SQLite exception: \n"), label);
        return -1;
    }
}

bool bFunGetTableList(MessageBuffer& buf, const QString& path, QStringList& names)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje: \n:") + path,
                             QStringLiteral("bFunGetTableList"));
    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        db.openFile(path);
        q = db.runQuery("select * from sqlite_master");
        while (!q.atEnd()) {
            names.append(SqlText::text(q.textOf("name", "")));
            q.next();
        }
        q.release();
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception&) {
        // The caller reports a failed listing; the connection must not outlive it.
        SqlText::cleanUp(q, db);
        throw;
    }
}

bool bFunGetStudentsList(MessageBuffer& buf, const QString& path, QList<StudentListEntry>& list)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje: \n:") + path,
                             QStringLiteral("bFunGetTableList"));

    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        db.openFile(path);
        // One read transaction for the whole listing: the file is locked once instead
        // of twice per student, and all names come from one state of the file.
        db.runStatement("begin transaction;");
        // Only tables can hold students; views, indexes and triggers of a foreign file
        // are no entries. The names stay bytes: they address the tables as stored.
        QList<QByteArray> tables;
        q = db.runQuery("select name from sqlite_master where type='table'");
        while (!q.atEnd()) {
            tables.append(QByteArray(q.textAt(0, "")));
            q.next();
        }
        q.release();

        list.reserve(list.size() + tables.size());
        for (const QByteArray& table : std::as_const(tables)) {
            const QByteArray from =
                "select * from `" + identBytes(table) + "` where `id`='DANE UCZNIA' and `comp_name`=";
            QString surname;
            QString firstName;
            const bool hasSurname = readNameRow(db, from + "'Nazwisko_DATA_EDIT'", surname);
            const bool hasFirstName = readNameRow(db, from + "'Imie_DATA_EDIT'", firstName);

            StudentListEntry entry;
            entry.tableName = SqlText::text(table.constData());
            // Something that is not a student (a foreign table, the empty table of an
            // interrupted save) is still listed, so that it can be seen and deleted.
            entry.displayName =
                hasSurname && hasFirstName ? surname + QLatin1Char(' ') + firstName : entry.tableName;
            list.append(std::move(entry));
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"),
                             QStringLiteral("bFunGetStudentsList"));
    }
}

bool bFunGetValue(MessageBuffer& buf, const CppSQLite3Query& query, const char* column, QString& value)
{
    try {
        value = SqlText::text(query.textOf(column, ""));
        return true;
    } catch (const CppSQLite3Exception& e) {
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"), QStringLiteral("bFunGetValue"));
    }
}

bool bFunLoadCertData(MessageBuffer& buf, const QString& path, const QString& tableName, FieldRowList& rows)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, QStringLiteral("bFunLoadCertData"));
    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        const QByteArray name = SqlText::bytes(tableName);
        const QByteArray select = SqlText::bytes(QStringLiteral("select * from `") +
                                                 SqlText::ident(tableName) + QStringLiteral("` where 1"));
        db.openFile(path);
        if (!db.hasTable(name)) {
            db.closeFile();
            return SqlText::fail(buf, QStringLiteral("Tablica nie istnieje: \n") + tableName,
                                 QStringLiteral("bFunLoadCertData"));
        }
        q = db.runQuery(select);
        while (!q.atEnd()) {
            // A column that cannot be read leaves its text empty; the row still counts.
            FieldRow row;
            bFunGetValue(buf, q, "id", row.id);
            bFunGetValue(buf, q, "comp_name", row.compName);
            bFunGetValue(buf, q, "value", row.value);
            rows.append(std::move(row));
            q.next();
        }
        q.release();
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"),
                             QStringLiteral("bFunLoadCertData()"));
    }
}

bool bFunDeleteTable(MessageBuffer& buf, const QString& path, const QString& tableName)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, QStringLiteral("bFunDeleteTable"));
    CppSQLite3DB db;
    try {
        const QByteArray name = SqlText::bytes(tableName);
        const QByteArray drop = SqlText::bytes(dropStatement(tableName));
        db.openFile(path);
        if (db.hasTable(name))
            db.runStatement(drop);
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"),
                             QStringLiteral("bFunDeleteTable()"));
    }
}

bool bFunSaveCertData(MessageBuffer& buf, const QString& path, const QString& tableName,
                      const FieldRowList& rows, const std::function<void()>& step)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, QStringLiteral("bFunSaveCertData()"));
    CppSQLite3DB db;
    try {
        const QByteArray name = SqlText::bytes(tableName);
        const EncodedSave save = encodeSave(tableName, rows);
        db.openFile(path);
        if (db.hasTable(name)) {
            db.closeFile();
            return SqlText::fail(buf, QStringLiteral("Tablica już istnieje: ") + tableName,
                                 QStringLiteral("bFunSaveCertData()"));
        }
        db.runStatement(save.create);
        db.runStatement("begin transaction;");
        if (const qsizetype failed = runInserts(db, save, step); failed >= 0) {
            db.runStatement("commit transaction;");
            db.closeFile();
            return SqlText::fail(buf, kInsertFailed + save.insertTexts.at(failed), QString());
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "),
                             QStringLiteral("bFunSqlSaveCertData()"));
    }
}

bool bFunReplaceCertData(MessageBuffer& buf, const QString& path, const QString& tableName,
                         const FieldRowList& rows, const QStringList& alsoDrop,
                         const std::function<void()>& step)
{
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, QStringLiteral("bFunSaveCertData()"));
    CppSQLite3DB db;
    try {
        // Everything is encoded first: a text that cannot be stored changes nothing.
        QStringList dropNames;
        dropNames.reserve(alsoDrop.size() + 1);
        dropNames.append(tableName);
        for (const QString& name : alsoDrop)
            if (!dropNames.contains(name))
                dropNames.append(name);
        QList<QByteArray> dropNameBytes;
        QList<QByteArray> drops;
        for (const QString& name : std::as_const(dropNames)) {
            dropNameBytes.append(SqlText::bytes(name));
            drops.append(SqlText::bytes(dropStatement(name)));
        }
        const EncodedSave save = encodeSave(tableName, rows);

        db.openFile(path);
        // Asked before the transaction starts, so that its first statement is a write
        // and a file locked by another process is waited for, not failed at once.
        QList<QByteArray> toDrop;
        for (qsizetype i = 0; i < dropNameBytes.size(); ++i)
            if (db.hasTable(dropNameBytes.at(i)))
                toDrop.append(drops.at(i));

        db.runStatement("begin transaction;");
        for (const QByteArray& drop : std::as_const(toDrop))
            db.runStatement(drop);
        db.runStatement(save.create);
        if (const qsizetype failed = runInserts(db, save, step); failed >= 0) {
            SqlText::rollbackAndClose(db);
            return SqlText::fail(buf, kInsertFailed + save.insertTexts.at(failed), QString());
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "),
                             QStringLiteral("bFunSqlSaveCertData()"));
    }
}

bool bFunFindDamage(MessageBuffer& buf, const QString& path, RegisterDamage& damage)
{
    damage = RegisterDamage();
    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        db.openFile(path);
        // The check reads every page once; mapped, they are not copied one by one.
        db.runStatement("pragma mmap_size=268435456");
        q = db.runQuery("pragma quick_check");
        damage.damaged = q.atEnd() || qstrcmp(q.textAt(0, ""), "ok") != 0;
        q.release();
        // A sound file may still hold what the program never makes: each definition is
        // compared with the program's own, and only read, never run.
        QList<QByteArray> tables;
        SqlText::forEachRow(
            db, "select type, name, sql from sqlite_master", [&tables, &damage](const CppSQLite3Query& row) {
                const QByteArray type = row.textAt(0, "");
                const QByteArray name = row.textAt(1, "");
                const QByteArray sql = row.textAt(2, "");
                if (name.startsWith("sqlite_"))
                    return; // SQLite's own
                if (type == "table" && isStudentTableBytes(name) && createsOrdinaryTable(sql)) {
                    tables.append(name);
                    if (!isOwnStudentDefinition(name, sql))
                        damage.redefined.append(QString::fromLatin1(name));
                } else {
                    damage.foreign.append(describeObject(type, name));
                }
            });
        if (!damage.redefined.isEmpty() || !damage.foreign.isEmpty())
            damage.damaged = true;
        if (damage.damaged) {
            for (const QByteArray& table : std::as_const(tables)) {
                if (readsWhole(db, table))
                    ++damage.readable;
                else
                    damage.unreadable.append(
                        {damagedStudentName(db, table), SqlText::text(table.constData())});
            }
        }
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"), QString());
    }
}

bool bFunRebuildFromReadableTables(MessageBuffer& buf, const QString& path, const QStringList& skip)
{
    const QString label = QStringLiteral("bFunRebuildFromReadableTables()");
    const QString rebuilt = path + QStringLiteral(".odczyt");
    FileOps::removeFile(rebuilt);
    FileOps::removeFile(rebuilt + QStringLiteral("-journal"));
    CppSQLite3DB db;
    try {
        QList<QByteArray> skipped;
        for (const QString& name : skip)
            skipped.append(SqlText::bytes(name));
        db.openFile(rebuilt);
        // The path goes to SQLite as the file system spells it, not in the stored code page.
        QByteArray source = path.toUtf8();
        source.replace('\'', "''");
        db.runStatement("attach database '" + source + "' as `damaged`");
        // Only the names of ordinary tables of a student's shape are taken; the stored
        // definitions are never run.
        QList<QByteArray> tables;
        SqlText::forEachRow(db, tablesQuery("`damaged`."), [&tables](const CppSQLite3Query& row) {
            const QByteArray name = row.textAt(0, "");
            if (isStudentTableBytes(name) && createsOrdinaryTable(row.textAt(1, "")))
                tables.append(name);
        });
        db.runStatement("begin transaction;");
        for (const QByteArray& name : std::as_const(tables)) {
            if (skipped.contains(name))
                continue;
            const QString table = QString::fromLatin1(name);
            db.runStatement(SqlText::bytes(createStatement(table)));
            db.runStatement("insert into main.`" + identBytes(name) + "`( id, comp_name, value ) " +
                            selectStudentRows("`damaged`.", name));
        }
        db.runStatement("commit transaction;");
        db.runStatement("detach database `damaged`");
        db.closeFile();
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        FileOps::removeFile(rebuilt);
        FileOps::removeFile(rebuilt + QStringLiteral("-journal"));
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"), label);
    }
    if (std::rename(rebuilt.toUtf8().constData(), path.toUtf8().constData()) != 0) {
        const int err = errno;
        FileOps::removeFile(rebuilt);
        buf.reset();
        buf << "Błąd podczas próby zastąpienia pliku\n" << path << "\nKod błędu: " << err;
        vFunLogError(buf, label);
        return false;
    }
    return true;
}

namespace {

// All rows of one student in one statement.
QString insertAllStatement(const QString& tableName, const FieldRowList& rows)
{
    QString sql = QStringLiteral("insert into `") + SqlText::ident(tableName) +
                  QStringLiteral("`( id, comp_name, value ) values");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const FieldRow& row = rows.at(i);
        sql += (i == 0 ? QStringLiteral("( '") : QStringLiteral(", ( '")) + strFunSqlEscape(row.id) +
               QStringLiteral("', '") + strFunSqlEscape(row.compName) + QStringLiteral("', '") +
               strFunSqlEscape(row.value) + QStringLiteral("' )");
    }
    return sql;
}

} // namespace

bool bFunStoreStudents(MessageBuffer& buf, const QString& path, const QList<StudentTable>& students,
                       const std::function<void()>& step, const std::function<bool()>& stopped)
{
    const QString label = QStringLiteral("bFunStoreStudents()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, label);
    CppSQLite3DB db;
    try {
        // Every text is checked before the file is touched; the statements themselves are
        // encoded one student at a time, so that a long list does not sit in memory twice.
        for (const StudentTable& student : students) {
            SqlText::requireStorable(student.tableName);
            for (const FieldRow& row : student.rows) {
                SqlText::requireStorable(row.id);
                SqlText::requireStorable(row.compName);
                SqlText::requireStorable(row.value);
            }
        }
        db.openFile(path);
        // Read before the transaction starts, so that its first statement is a write and
        // a file locked by another process is waited for, not failed at once.
        QSet<QByteArray> existing;
        SqlText::forEachRow(
            db, "select name from sqlite_master where type='table'",
            [&existing](const CppSQLite3Query& q) { existing.insert(QByteArray(q.textAt(0, ""))); });
        for (const StudentTable& student : students) {
            if (!student.replace && existing.contains(SqlText::bytes(student.tableName))) {
                db.closeFile();
                return SqlText::fail(buf, QStringLiteral("Tablica już istnieje: ") + student.tableName,
                                     label);
            }
        }

        db.runStatement("begin transaction;");
        for (const StudentTable& student : students) {
            if (existing.contains(SqlText::bytes(student.tableName)))
                db.runStatement(SqlText::bytes(dropStatement(student.tableName)));
            db.runStatement(SqlText::bytes(createStatement(student.tableName)));
            if (!student.rows.isEmpty()) {
                // One compiled statement for all the student's rows, the texts bound to it.
                QList<QByteArray> texts;
                texts.reserve(student.rows.size() * 3);
                for (const FieldRow& row : student.rows)
                    texts << SqlText::bytes(row.id) << SqlText::bytes(row.compName)
                          << SqlText::bytes(row.value);
                const QByteArray insert =
                    SqlText::bytes(QStringLiteral("insert into `") + SqlText::ident(student.tableName) +
                                   QStringLiteral("`( id, comp_name, value ) values( ?, ?, ? )"));
                if (db.runBound(insert, 3, texts) != student.rows.size()) {
                    SqlText::rollbackAndClose(db);
                    return SqlText::fail(
                        buf, kInsertFailed + insertAllStatement(student.tableName, student.rows), QString());
                }
            }
            if (step)
                step();
            if (stopped && stopped()) {
                SqlText::rollbackAndClose(db);
                buf.reset();
                buf << kStoreStopped;
                return false;
            }
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "), label);
    }
}

bool bFunPutStudentRows(MessageBuffer& buf, const QString& path,
                        const QList<std::pair<QString, FieldRow>>& rows)
{
    const QString label = QStringLiteral("bFunPutStudentRows()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, label);
    CppSQLite3DB db;
    try {
        for (const auto& [table, row] : rows) {
            SqlText::requireStorable(table);
            SqlText::requireStorable(row.id);
            SqlText::requireStorable(row.compName);
            SqlText::requireStorable(row.value);
        }
        db.openFile(path);
        db.runStatement("begin immediate transaction;");
        for (const auto& [table, row] : rows) {
            const QByteArray name = SqlText::bytes(QStringLiteral("`") + SqlText::ident(table) + u'`');
            db.runBound("delete from " + name + " where id = ? and comp_name = ?", 2,
                        {SqlText::bytes(row.id), SqlText::bytes(row.compName)});
            db.runBound("insert into " + name + "( id, comp_name, value ) values( ?, ?, ? )", 3,
                        {SqlText::bytes(row.id), SqlText::bytes(row.compName), SqlText::bytes(row.value)});
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "), label);
    }
}

bool bFunLoadStudentTables(MessageBuffer& buf, const QString& path, const QStringList& tableNames,
                           QList<FieldRowList>& tables, QStringList* unreadable)
{
    const QString label = QStringLiteral("bFunLoadStudentTables()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, kMissingFile + path, label);
    QList<FieldRowList> loaded;
    loaded.reserve(tableNames.size());
    QStringList reasons;
    if (!SqlText::readFile(buf, path, QStringLiteral("SQL exception: \n"), label, [&](CppSQLite3DB& db) {
            // One state of the file for every table.
            db.runStatement("begin transaction;");
            for (const QString& name : tableNames) {
                FieldRowList rows;
                QString& reason = reasons.emplace_back();
                try {
                    if (!db.hasTable(SqlText::bytes(name)))
                        reason = QStringLiteral("Tablica nie istnieje: ") + name;
                    else
                        SqlText::forEachRow(db,
                                            SqlText::bytes(QStringLiteral("select * from `") +
                                                           SqlText::ident(name) +
                                                           QStringLiteral("` where 1")),
                                            [&rows](const CppSQLite3Query& q) {
                                                rows.append({SqlText::text(q.textOf("id", "")),
                                                             SqlText::text(q.textOf("comp_name", "")),
                                                             SqlText::text(q.textOf("value", ""))});
                                            });
                } catch (const CppSQLite3Exception& e) {
                    // A table of another shape (not a student's) holds no rows to give;
                    // a locked or damaged file is a real failure, unless the caller
                    // takes what can be read.
                    if (e.code() != SQLITE_ERROR && e.code() != CPPSQLITE_ERROR && !unreadable)
                        throw;
                    rows.clear();
                    reason = SqlText::reason(e.code());
                }
                loaded.append(std::move(rows));
            }
            try {
                db.runStatement("commit transaction;");
            } catch (const CppSQLite3Exception&) {
                // Damage met on the way fails the end of the reading too; what was read stands.
                if (!unreadable)
                    throw;
            }
        }))
        return false;
    tables.append(loaded);
    if (unreadable)
        unreadable->append(reasons);
    return true;
}
