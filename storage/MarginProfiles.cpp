#include "storage/MarginProfiles.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/SqlText.h"

#include <functional>

namespace {

const char* const kColumns[] = {"Page1X1", "Page1Y1", "Page1X2", "Page1Y2",
                                "Page2X1", "Page2Y1", "Page2X2", "Page2Y2"};

QList<int> values(const MarginProfile& p)
{
    return {p.page1X1, p.page1Y1, p.page1X2, p.page1Y2, p.page2X1, p.page2Y1, p.page2X2, p.page2Y2};
}

MarginProfile profileAt(const CppSQLite3Query& q)
{
    MarginProfile p;
    p.name = SqlText::text(q.textOf("name", ""));
    int* fields[] = {&p.page1X1, &p.page1Y1, &p.page1X2, &p.page1Y2,
                     &p.page2X1, &p.page2Y1, &p.page2X2, &p.page2Y2};
    for (int i = 0; i < 8; ++i)
        *fields[i] = q.intOf(kColumns[i], 0);
    return p;
}

// "insert into `margin`( ... ) values( 'name', '1', ... '8' )", the name's quotes doubled.
QByteArray insertStatement(const MarginProfile& p, const QString& valuesOpening)
{
    QString sql = QStringLiteral("insert into `margin`( `name`, `Page1X1`, `Page1Y1`, `Page1X2`, `Page1Y2`, "
                                 "`Page2X1`, `Page2Y1`, `Page2X2`, `Page2Y2` ) ") +
                  valuesOpening + strFunSqlEscape(p.name);
    for (int value : values(p))
        sql += QStringLiteral("', '") + QString::number(value);
    sql += QStringLiteral("' )");
    return SqlText::bytes(sql);
}

bool missing(MessageBuffer& buf, const QString& path, const QString& label)
{
    return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n") + path, label);
}

// Runs one statement on the file that must change at least one row.
bool changeRows(MessageBuffer& buf, const QString& path, const std::function<QByteArray()>& statement,
                const QString& noChange, const QString& errorPrefix, const QString& label)
{
    if (!FileOps::exists(path))
        return missing(buf, path, label);
    CppSQLite3DB db;
    try {
        const QByteArray sql = statement();
        db.openFile(path);
        const int changed = db.runStatement(sql);
        db.closeFile();
        if (changed == 0)
            return SqlText::fail(buf, noChange, label);
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, errorPrefix, label);
    }
}

} // namespace

bool bFunMarginReadData(MessageBuffer& buf, const QString& path, MarginProfileList& profiles)
{
    const QString label = QStringLiteral("bFunMarginReadData()");
    if (!FileOps::exists(path))
        return missing(buf, path, label);
    profiles.clear();
    return SqlText::readFile(
        buf, path, QStringLiteral("SqlException\n"), label, [&profiles](CppSQLite3DB& db) {
            SqlText::forEachRow(db, "select * from `margin`",
                                [&profiles](const CppSQLite3Query& q) { profiles.append(profileAt(q)); });
        });
}

bool bFunMarginWriteNewSettings(MessageBuffer& buf, const QString& path, const MarginProfile& profile)
{
    return changeRows(
        buf, path, [&] { return insertStatement(profile, QStringLiteral("values( '")); },
        QStringLiteral("Bład podczas próby dodania wpisu."), QStringLiteral("Sql exception: "),
        QStringLiteral("bFunMarginWriteNewSettings()"));
}

bool bFunMarginDeleteSettings(MessageBuffer& buf, const QString& path, const QString& name)
{
    return changeRows(
        buf, path,
        [&] {
            return SqlText::bytes(QStringLiteral("delete from `margin` where `name`='") +
                                  strFunSqlEscape(name) + QStringLiteral("'"));
        },
        QStringLiteral("Błąd podczas próby skasowania ustawień ") + name, QStringLiteral("SqlException\n"),
        QStringLiteral("bFunMarginDeleteSettings()"));
}

bool bFunMarginRestoreOriginal(MessageBuffer& buf, const QString& source, const QString& target)
{
    const QString label = QStringLiteral("bFunMarginRestoreOriginal()");
    if (!FileOps::exists(source))
        return missing(buf, source, label);
    if (!FileOps::exists(target))
        return missing(buf, target, label);
    CppSQLite3DB from;
    CppSQLite3DB to;
    CppSQLite3Query q;
    try {
        from.openFile(source);
        to.openFile(target);
        // One transaction: a failure part-way keeps the user's profiles as they were.
        to.runStatement("begin transaction;");
        to.runStatement("delete from `margin` where 1");
        q = from.runQuery("select * from `margin`");
        while (!q.atEnd()) {
            to.runStatement(insertStatement(profileAt(q), QStringLiteral("values ('")));
            q.next();
        }
        q.release();
        to.runStatement("commit transaction;");
        from.closeFile();
        to.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, from);
        SqlText::rollbackAndClose(to);
        return SqlText::fail(buf, e, QStringLiteral("Sql exception: "), label);
    }
}
