#include "documents/RegisterMerge.h"

#include "storage/CppSQLite3.h"
#include "storage/SqlText.h"

#include <QHash>
#include <QSet>

#include <cstring>
#include <optional>

namespace {

struct StoredTable {
    QByteArray create;  // the statement that made it
    QByteArray content; // every row, each value with its type and length
    QString student;    // "surname first name"; empty when the rows do not name one
    bool damaged = false;
};

struct StoredRegister {
    QByteArrayList order; // catalogue order
    QHash<QByteArray, StoredTable> tables;
};

QByteArray quotedName(const QByteArray& name)
{
    QByteArray out = name;
    out.replace('`', "``");
    return '`' + out + '`';
}

QByteArray quotedText(const QByteArray& text)
{
    QByteArray out = text;
    out.replace('\'', "''");
    return '\'' + out + '\'';
}

int columnNamed(const CppSQLite3Query& q, const char* name)
{
    try {
        return q.columnIndex(name);
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
}

// Reads the rows of one table. A table that cannot be read (damaged pages, a module that
// is not there) is marked damaged; any other failure (a locked file) passes on.
void readRows(CppSQLite3DB& db, const QByteArray& name, StoredTable& table)
{
    CppSQLite3Query q;
    try {
        q = db.runQuery("select * from " + quotedName(name));
        const int columns = q.columnCount();
        const int id = columnNamed(q, "id");
        const int comp = columnNamed(q, "comp_name");
        const int value = columnNamed(q, "value");
        std::optional<QString> surname;
        std::optional<QString> firstName;
        while (!q.atEnd()) {
            for (int i = 0; i < columns; ++i) {
                const char* text = q.textAt(i, nullptr);
                table.content += char('0' + q.typeAt(i));
                if (text) {
                    const auto size = std::strlen(text);
                    table.content += QByteArray::number(qulonglong(size)) + ':';
                    table.content.append(text, qsizetype(size));
                }
            }
            if (id >= 0 && comp >= 0 && value >= 0 && std::strcmp(q.textAt(id, ""), "DANE UCZNIA") == 0) {
                const char* component = q.textAt(comp, "");
                if (!surname && std::strcmp(component, "Nazwisko_DATA_EDIT") == 0)
                    surname = SqlText::text(q.textAt(value, ""));
                else if (!firstName && std::strcmp(component, "Imie_DATA_EDIT") == 0)
                    firstName = SqlText::text(q.textAt(value, ""));
            }
            q.next();
        }
        q.release();
        if (surname && firstName)
            table.student = *surname + QLatin1Char(' ') + *firstName;
    } catch (const CppSQLite3Exception& e) {
        if (e.code() != SQLITE_CORRUPT && e.code() != SQLITE_ERROR)
            throw;
        try {
            q.release();
        } catch (const CppSQLite3Exception&) {
        }
        table.content.clear();
        table.damaged = true;
    }
}

// The tables of one file; the rows only of those in `only` when it is given.
void readRegister(CppSQLite3DB& db, const QString& path, StoredRegister& out, const QSet<QByteArray>* only)
{
    db.openFile(path);
    // One read transaction: every table comes from one state of the file.
    db.runStatement("begin transaction;");
    SqlText::forEachRow(db, "select name, sql from sqlite_master where type='table'",
                        [&](const CppSQLite3Query& q) {
                            const QByteArray name(q.textAt(0, ""));
                            if (name.startsWith("sqlite_")) // the database's own
                                return;
                            out.order.append(name);
                            out.tables[name].create = QByteArray(q.textAt(1, ""));
                        });
    for (const QByteArray& name : std::as_const(out.order))
        if (!only || only->contains(name))
            readRows(db, name, out.tables[name]);
    // Nothing was written; a damaged table read on the way fails a commit.
    SqlText::rollbackAndClose(db);
}

bool same(const StoredTable* a, const StoredTable* b)
{
    if (!a || !b)
        return !a && !b;
    return !a->damaged && !b->damaged && a->create == b->create && a->content == b->content;
}

const StoredTable* find(const StoredRegister& r, const QByteArray& name)
{
    const auto it = r.tables.constFind(name);
    return it == r.tables.cend() ? nullptr : &*it;
}

QString studentName(const QByteArray& table, std::initializer_list<const StoredTable*> sides)
{
    for (const StoredTable* side : sides)
        if (side && !side->student.isEmpty())
            return side->student;
    return SqlText::text(table.constData());
}

bool readAll(MessageBuffer& buf, const QString& path, StoredRegister& out, const QSet<QByteArray>* only)
{
    CppSQLite3DB db;
    try {
        readRegister(db, path, out, only);
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"),
                             QStringLiteral("bFunPlanRegisterMerge()"));
    }
}

} // namespace

bool bFunPlanRegisterMerge(MessageBuffer& buf, const QString& base, const QString& theirs,
                           const QString& mine,
                           const std::function<MergeChoice(const QString& student)>& decide,
                           RegisterMergePlan& plan)
{
    plan = RegisterMergePlan();
    StoredRegister b;
    StoredRegister t;
    if (!readAll(buf, theirs, t, nullptr)) {
        plan.theirsUnreadable = true;
        return false;
    }
    if (!readAll(buf, base, b, nullptr))
        return false;
    // Only what the other user changed can be taken in; of the working copy only those
    // students are read.
    QByteArrayList changed;
    for (const StoredRegister* r : {&t, &b})
        for (const QByteArray& name : r->order)
            if (!changed.contains(name) && !same(find(b, name), find(t, name)))
                changed.append(name);
    const QSet<QByteArray> wanted(changed.cbegin(), changed.cend());
    StoredRegister m;
    if (!readAll(buf, mine, m, &wanted))
        return false;

    for (const QByteArray& name : std::as_const(changed)) {
        const StoredTable* bt = find(b, name);
        const StoredTable* tt = find(t, name);
        const StoredTable* mt = find(m, name);
        if (tt && tt->damaged) {
            plan.damaged.append(studentName(name, {mt, bt}));
            continue;
        }
        if (same(mt, tt))
            continue;
        if (!same(mt, bt)) {
            const MergeChoice choice = decide(studentName(name, {mt, tt, bt}));
            if (choice == MergeChoice::Cancel) {
                plan.cancelled = true;
                return false;
            }
            if (choice == MergeChoice::Mine)
                continue;
        }
        plan.fromTheirs.append(name);
        if (!mt)
            ++plan.added;
        else if (!tt)
            ++plan.removed;
        else
            ++plan.changed;
    }
    return true;
}

bool bFunApplyRegisterMerge(MessageBuffer& buf, const QString& merged, const QString& theirs,
                            const RegisterMergePlan& plan)
{
    if (plan.fromTheirs.isEmpty())
        return true;
    CppSQLite3DB db;
    try {
        db.openFile(merged);
        db.runStatement("attach database " + quotedText(theirs.toUtf8()) + " as theirs;");
        db.runStatement("begin transaction;");
        for (const QByteArray& name : plan.fromTheirs) {
            db.runStatement("drop table if exists main." + quotedName(name));
            QByteArray create;
            SqlText::forEachRow(
                db, "select sql from theirs.sqlite_master where type='table' and name=" + quotedText(name),
                [&](const CppSQLite3Query& q) { create = QByteArray(q.textAt(0, "")); });
            if (create.isEmpty())
                continue;            // deleted by the other user
            db.runStatement(create); // names no schema: it creates the table in the merged file
            db.runStatement("insert into main." + quotedName(name) + " select * from theirs." +
                            quotedName(name));
        }
        db.runStatement("commit transaction;");
        db.runStatement("detach database theirs;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        SqlText::fail(buf, e, QStringLiteral("SQLite exception: "),
                      QStringLiteral("bFunApplyRegisterMerge()"));
        if (e.code() == SQLITE_FULL)
            buf << "\nNa dysku zabrakło miejsca.";
        return false;
    }
}
