#include "storage/SettingsStore.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

bool bFunSqlSettingWriteValue(MessageBuffer& buf, const QString& key, int value)
{
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n\n") + path,
                             QStringLiteral("bFunSqlSettingWriteValue()"));
    CppSQLite3DB db;
    try {
        const QString k = strFunSqlEscape(key);
        const QString v = QString::number(value);
        const QByteArray update = SqlText::bytes(QStringLiteral("update `settings` set `int_value`='") + v +
                                                 QStringLiteral("' where `name`='") + k + QStringLiteral("'"));
        db.openFile(path);
        if (db.runStatement(update) > 0) {
            db.closeFile();
            return true;
        }
        const int inserted = db.runStatement(SqlText::bytes(QStringLiteral("insert into `settings`(`name`, "
                                                                           "`int_value`) values( '") +
                                                            k + QStringLiteral("', '") + v + QStringLiteral("')")));
        db.closeFile();
        return inserted > 0;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "), QString());
    }
}

bool bFunSqlGetSettingsValue(MessageBuffer& buf, const QString& key, int& value)
{
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje:\n") + path,
                             QStringLiteral("bFunSqlGetSettingsValue()"));
    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        const QByteArray sql = SqlText::bytes(QStringLiteral("select * from `settings` where `name`='") +
                                              strFunSqlEscape(key) + QStringLiteral("'"));
        db.openFile(path);
        q = db.runQuery(sql);
        // Without a row the column's type reads as NULL, so a missing key is 0.
        const int read = q.intOf("int_value", 0);
        q.release();
        db.closeFile();
        value = read;
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("SqlException:\n\n"), QStringLiteral("bFunSqlGetSettingsValue()"));
    }
}
