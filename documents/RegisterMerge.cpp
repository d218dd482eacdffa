#include "documents/RegisterMerge.h"

#include "documents/DocumentFile.h"
#include "storage/CppSQLite3.h"
#include "storage/SqlText.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

struct StoredTable {
    QByteArray create;    // the statement that made it
    QByteArray content;   // every row, each value with its type and length
    QString student;      // "surname first name"; empty when the rows do not name one
    bool damaged = false; // unreadable, or not defined as a student table
    int rootPage = 0;
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
void readRows(CppSQLite3DB& db, const QByteArray& schema, const QByteArray& name, StoredTable& table)
{
    CppSQLite3Query q;
    try {
        q = db.runQuery("select * from " + schema + '.' + quotedName(name));
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

// Whether the stored table `name` is a student table as the program makes it: a plain
// table of the three text columns. Its definition is only looked at, never run.
bool isStudentTable(CppSQLite3DB& db, const QByteArray& schema, const QByteArray& name,
                    const QByteArray& create)
{
    if (!isStudentTableName(name) || !create.trimmed().toUpper().startsWith("CREATE TABLE"))
        return false;
    QByteArrayList columns;
    bool hidden = false;
    // The name has the student-table shape: nothing in it can end the quoting.
    SqlText::forEachRow(db, "select name, hidden from " + schema + ".pragma_table_xinfo('" + name + "')",
                        [&](const CppSQLite3Query& q) {
                            columns << QByteArray(q.textAt(0, "")).toLower();
                            hidden = hidden || q.intAt(1, 0) != 0;
                        });
    return !hidden && columns == QByteArrayList{"id", "comp_name", "value"};
}

// The tables of one schema of the connection.
void listTables(CppSQLite3DB& db, const QByteArray& schema, StoredRegister& out)
{
    SqlText::forEachRow(db, "select name, sql, rootpage from " + schema + ".sqlite_master where type='table'",
                        [&](const CppSQLite3Query& q) {
                            const QByteArray name(q.textAt(0, ""));
                            if (name.startsWith("sqlite_")) // the database's own
                                return;
                            out.order.append(name);
                            StoredTable& table = out.tables[name];
                            table.create = QByteArray(q.textAt(1, ""));
                            table.rootPage = q.intAt(2, 0);
                        });
}

// Reads the rows of the named tables; one that is not a student table is marked damaged
// and left unread (looked at only now: a register of a thousand students is not checked
// table by table at every Save).
void readRowsOf(CppSQLite3DB& db, const QByteArray& schema, StoredRegister& r, const QByteArrayList& names)
{
    for (const QByteArray& name : names)
        if (const auto it = r.tables.find(name); it != r.tables.end())
            it->damaged = !isStudentTable(db, schema, name, it->create);
    for (const QByteArray& name : names)
        if (const auto it = r.tables.find(name); it != r.tables.end() && !it->damaged)
            readRows(db, schema, name, *it);
}

// The pages of a database file as stored, to tell without a query that a table is the
// same in two files: a register saved by the other desk is a copy of its working copy,
// in which every student that desk did not touch keeps its page byte for byte. Only a
// table that fits on one leaf page is compared this way; any other is read.
class StoredPages
{
public:
    explicit StoredPages(const QString& path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly) || m_file.size() < 100)
            return;
        m_data = m_file.map(0, m_file.size());
        if (!m_data)
            return;
        const uchar* h = m_data;
        m_pageSize = (h[16] << 8) | h[17];
        if (m_pageSize == 1)
            m_pageSize = 65536;
        m_usable = m_pageSize - h[20];
        m_encoding = QByteArray(reinterpret_cast<const char*>(h + 56), 4);
    }
    bool comparableWith(const StoredPages& other) const
    {
        return m_data && other.m_data && m_pageSize >= 512 && m_pageSize == other.m_pageSize &&
               m_usable == other.m_usable && m_encoding == other.m_encoding;
    }
    // The leaf page that holds every row of the table rooted at `page`; empty when the
    // table needs more pages, or the page does not read as such a leaf.
    QByteArrayView wholeTable(int page) const
    {
        if (page < 2 || qint64(page) * m_pageSize > m_file.size())
            return {};
        const uchar* p = m_data + qint64(page - 1) * m_pageSize;
        if (p[0] != 0x0D) // a leaf of a table
            return {};
        const int cells = (p[3] << 8) | p[4];
        const qint64 maxLocal = m_usable - 35; // a larger row goes on overflow pages
        for (int i = 0; i < cells; ++i) {
            const int at = 8 + 2 * i;
            if (at + 2 > m_usable)
                return {};
            qint64 offset = (p[at] << 8) | p[at + 1];
            qint64 payload = 0;
            if (!readVarint(p, offset, payload) || payload > maxLocal)
                return {};
        }
        return QByteArrayView(reinterpret_cast<const char*>(p), m_pageSize);
    }

private:
    bool readVarint(const uchar* page, qint64& offset, qint64& value) const
    {
        value = 0;
        for (int i = 0; i < 9; ++i, ++offset) {
            if (offset >= m_usable)
                return false;
            const uchar byte = page[offset];
            if (i == 8) {
                value = (value << 8) | byte;
                return true;
            }
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }

    QFile m_file;
    const uchar* m_data = nullptr;
    int m_pageSize = 0;
    int m_usable = 0;
    QByteArray m_encoding;
};

bool same(const StoredTable* a, const StoredTable* b)
{
    if (!a || !b)
        return !a && !b;
    return !a->damaged && !b->damaged && a->content == b->content;
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

// Reads what the merge needs: the students whose tables differ between the base and
// theirs, from all three. In one read transaction, so that each file is read in one state.
QByteArrayList readChanges(CppSQLite3DB& db, const QString& base, const QString& theirs, StoredRegister& b,
                           StoredRegister& t, StoredRegister& m, RegisterMergePlan& plan)
{
    db.runStatement("begin transaction;");
    try {
        listTables(db, "theirs", t);
    } catch (const CppSQLite3Exception&) {
        plan.theirsUnreadable = true;
        throw;
    }
    listTables(db, "base", b);
    listTables(db, "main", m);
    const StoredPages basePages(base);
    const StoredPages theirPages(theirs);
    const bool pages = basePages.comparableWith(theirPages);
    QSet<QByteArray> seen;
    QByteArrayList candidates;
    for (const StoredRegister* r : {&t, &b}) {
        for (const QByteArray& name : r->order) {
            if (seen.contains(name))
                continue;
            seen.insert(name);
            const StoredTable* bt = find(b, name);
            const StoredTable* tt = find(t, name);
            const QByteArrayView page =
                pages && bt && tt ? basePages.wholeTable(bt->rootPage) : QByteArrayView();
            if (!page.isEmpty() && !bt->damaged && !tt->damaged && bt->create == tt->create &&
                page == theirPages.wholeTable(tt->rootPage))
                continue;
            candidates.append(name);
        }
    }
    readRowsOf(db, "theirs", t, candidates);
    readRowsOf(db, "base", b, candidates);
    QByteArrayList changed;
    for (const QByteArray& name : std::as_const(candidates))
        if (!same(find(b, name), find(t, name)))
            changed.append(name);
    readRowsOf(db, "main", m, changed);
    // Nothing was written; a damaged table read on the way fails a commit.
    db.runStatement("rollback transaction;");
    return changed;
}

void take(RegisterMergePlan& plan, const QByteArray& name, const StoredTable* tt, StudentChange::Kind kind,
          const QString& student)
{
    const QString table = SqlText::text(name.constData());
    plan.fromTheirs.append(name);
    if (tt)
        plan.theirStudents.append({tt->student.isEmpty() ? table : tt->student, table});
    // Named as it is now: the version taken, else (removed) as this desk knew it.
    plan.changes.append({kind, tt && !tt->student.isEmpty() ? tt->student : student, name});
}

// Decides every student that theirs changed; false when `decide` said Cancel.
bool decideChanges(const QByteArrayList& changed, const StoredRegister& b, const StoredRegister& t,
                   const StoredRegister& m, const RegisterMergeContext& context, RegisterMergePlan& plan)
{
    using Kind = StudentChange::Kind;
    for (const QByteArray& name : changed) {
        const StoredTable* bt = find(b, name);
        const StoredTable* tt = find(t, name);
        const StoredTable* mt = find(m, name);
        const QString student = studentName(name, {mt, tt, bt});
        if ((tt && tt->damaged) || (bt && bt->damaged)) {
            plan.changes.append({Kind::Damaged, studentName(name, {mt, bt}), name});
            continue;
        }
        if (same(mt, tt))
            continue;
        MergeQuestion question = MergeQuestion::BothChanged;
        if (!tt) { // deleted there
            if (!context.theirsIsLater) {
                plan.changes.append({Kind::KeptMissing, student, name});
                continue;
            }
            if (same(mt, bt)) {
                take(plan, name, tt, Kind::Removed, student);
                continue;
            }
            question = MergeQuestion::DeletedThereChangedHere;
        } else if (!mt) { // new there, or changed there and deleted here
            if (!bt) {
                take(plan, name, tt, Kind::Added, student);
                continue;
            }
            question = MergeQuestion::ChangedThereDeletedHere;
        } else if (bt && same(mt, bt)) {
            take(plan, name, tt, Kind::Changed, student);
            continue;
        }
        const MergeChoice choice = context.decide ? context.decide(question, student) : MergeChoice::Cancel;
        if (choice == MergeChoice::Cancel) {
            plan.cancelled = true;
            return false;
        }
        if (choice == MergeChoice::Mine)
            plan.changes.append({Kind::KeptMine, student, name});
        else
            take(plan, name, tt, !tt ? Kind::Removed : !mt ? Kind::Added : Kind::Changed, student);
    }
    return true;
}

// Replaces the decided tables of the merged file by theirs, in one transaction.
void takeTheirs(CppSQLite3DB& db, const StoredRegister& t, const RegisterMergePlan& plan)
{
    db.runStatement("begin transaction;");
    for (const QByteArray& name : plan.fromTheirs) {
        if (!isStudentTableName(name)) // never taken: a damaged one stays as this desk has it
            continue;
        db.runStatement("drop table if exists main." + quotedName(name));
        if (!find(t, name))
            continue; // deleted by the other user
        db.runStatement(studentTableCreateStatement(name));
        db.runStatement("insert into main." + quotedName(name) +
                        "( id, comp_name, value ) select id, comp_name, value from theirs." +
                        quotedName(name));
    }
    db.runStatement("commit transaction;");
}

} // namespace

int RegisterMergePlan::count(StudentChange::Kind kind) const
{
    return int(std::count_if(changes.begin(), changes.end(),
                             [kind](const StudentChange& c) { return c.kind == kind; }));
}

QStringList RegisterMergePlan::students(StudentChange::Kind kind) const
{
    QStringList out;
    for (const StudentChange& change : changes)
        if (change.kind == kind)
            out << change.student;
    return out;
}

bool bFunMergeRegisters(MessageBuffer& buf, const RegisterMergeContext& context, RegisterMergePlan& plan)
{
    const QString& base = context.base;
    const QString& theirs = context.theirs;
    const QString& merged = context.merged;
    plan = RegisterMergePlan();
    StoredRegister b;
    StoredRegister t;
    StoredRegister m;
    CppSQLite3DB db;
    try {
        db.openFile(merged);
        // The merged file is a scratch copy: a failure rolls it back, and a crash leaves
        // nothing to lose.
        db.runStatement("pragma synchronous=OFF; pragma journal_mode=MEMORY;");
        try {
            db.runStatement("attach database " + quotedText(theirs.toUtf8()) + " as theirs;");
        } catch (const CppSQLite3Exception&) {
            plan.theirsUnreadable = true;
            throw;
        }
        db.runStatement("attach database " + quotedText(base.toUtf8()) + " as base;");
        const QByteArrayList changed = readChanges(db, base, theirs, b, t, m, plan);
        // No file is locked while the user is asked.
        if (!decideChanges(changed, b, t, m, context, plan)) {
            SqlText::closeQuietly(db);
            return false;
        }
        if (!plan.fromTheirs.isEmpty())
            takeTheirs(db, t, plan);
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        SqlText::fail(buf, e, QStringLiteral("SQLite exception: "), QStringLiteral("bFunMergeRegisters()"));
        if (e.code() == SQLITE_FULL)
            buf << "\nNa dysku zabrakło miejsca.";
        return false;
    }
}
