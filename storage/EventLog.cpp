#include "storage/EventLog.h"

#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"
#include "storage/DataPaths.h"
#include "storage/SqlText.h"

namespace {

QString logTime()
{
    const QDateTime now = Clock::instance().nowUtc();
    const QDate d = now.date();
    const QTime t = now.time();
    return QStringLiteral("%1.%2.%3 %4:%5:%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second());
}

} // namespace

void vFunLogError(const MessageBuffer& buf, const QString& fun)
{
    // Resolving the folder may itself fail; that text goes to a scratch buffer so the
    // message being logged stays as it is.
    MessageBuffer scratch;
    const QString dir = strFunGetMainDirPath(scratch);
    if (dir.isEmpty())
        return;
    const QString path = dir + QStringLiteral("/logs.sqdb");
    CppSQLite3DB db;
    try {
        db.openFile(path);
        if (!db.hasTable("error"))
            db.runStatement("create table `error`( datetime TEXT, fun TEXT, info TEXT )");
        QByteArray sql = "insert into `error`( datetime, fun, info ) values( '";
        sql += Cp1250::encodeLossy(logTime());
        sql += "', '";
        sql += Cp1250::encodeLossy(strFunSqlEscape(fun));
        sql += "', '";
        sql += Cp1250::encodeLossy(strFunSqlEscape(buf.text()));
        sql += "' )";
        db.runStatement(sql);
        db.closeFile();
    } catch (const CppSQLite3Exception&) {
        SqlText::closeQuietly(db);
    }
}

bool bFunSqlGetLogsData(MessageBuffer& buf, QList<LogEntry>& entries)
{
    const QString path = strFunGetLogFilePath(buf);
    if (!FileOps::exists(path))
        return false;
    return SqlText::readFile(
        buf, path, QStringLiteral("Sql exception: "), QStringLiteral("bFunSqlGetLogsData()"),
        [&entries](CppSQLite3DB& db) {
            SqlText::forEachRow(db, "select * from `error`", [&entries](const CppSQLite3Query& q) {
                entries.append({SqlText::text(q.textOf("datetime", "")), SqlText::text(q.textOf("fun", "")),
                                SqlText::text(q.textOf("info", ""))});
            });
        });
}
