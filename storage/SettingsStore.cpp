#include "storage/SettingsStore.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

namespace {

// Update first, insert only when nothing was updated: one row per key. `column` is the
// program's own literal, `value` already escaped.
bool writeSetting(MessageBuffer& buf, const QString& key, const QString& column, const QString& value,
                  const QString& fun)
{
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n\n") + path, fun);
    CppSQLite3DB db;
    try {
        const QString k = strFunSqlEscape(key);
        const QByteArray update =
            SqlText::bytes(QStringLiteral("update `settings` set `") + column + QStringLiteral("`='") +
                           value + QStringLiteral("' where `name`='") + k + QStringLiteral("'"));
        const QByteArray insert = SqlText::bytes(QStringLiteral("insert into `settings`(`name`, `") + column +
                                                 QStringLiteral("`) values( '") + k + QStringLiteral("', '") +
                                                 value + QStringLiteral("')"));
        db.openFile(path);
        if (db.runStatement(update) > 0) {
            db.closeFile();
            return true;
        }
        const int inserted = db.runStatement(insert);
        db.closeFile();
        return inserted > 0;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: "), QString());
    }
}

} // namespace

bool bFunSqlSettingWriteValue(MessageBuffer& buf, const QString& key, int value)
{
    return writeSetting(buf, key, QStringLiteral("int_value"), QString::number(value),
                        QStringLiteral("bFunSqlSettingWriteValue()"));
}

bool bFunSqlSettingWriteText(MessageBuffer& buf, const QString& key, const QString& value)
{
    return writeSetting(buf, key, QStringLiteral("text_value"), strFunSqlEscape(value),
                        QStringLiteral("bFunSqlSettingWriteText()"));
}

namespace {

// Reads the row of `key` and hands it to `take` (also without a row: its columns then
// read as NULL). Failures are reported under `fun`.
template <class Take> bool readSetting(MessageBuffer& buf, const QString& key, const QString& fun, Take take)
{
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje:\n") + path, fun);
    return SqlText::readFile(buf, path, QStringLiteral("SqlException:\n\n"), fun, [&](CppSQLite3DB& db) {
        CppSQLite3Query q =
            db.runQuery(SqlText::bytes(QStringLiteral("select * from `settings` where `name`='") +
                                       strFunSqlEscape(key) + QStringLiteral("'")));
        take(q);
        q.release();
    });
}

} // namespace

bool bFunSqlGetSettingsValue(MessageBuffer& buf, const QString& key, int& value)
{
    int read = 0;
    // Without a row the column's type reads as NULL, so a missing key is 0.
    if (!readSetting(buf, key, QStringLiteral("bFunSqlGetSettingsValue()"),
                     [&read](CppSQLite3Query& q) { read = q.intOf("int_value", 0); }))
        return false;
    value = read;
    return true;
}

bool bFunSqlGetSettingsText(MessageBuffer& buf, const QString& key, QString& value)
{
    QString read;
    if (!readSetting(buf, key, QStringLiteral("bFunSqlGetSettingsText()"), [&read](CppSQLite3Query& q) {
            read = q.atEnd() ? QString() : SqlText::text(q.textOf("text_value", ""));
        }))
        return false;
    value = read;
    return true;
}

QString strFunGetSettingsText(const QString& key, const QString& fallback)
{
    MessageBuffer scratch; // an unreadable setting leaves the fallback
    QString value;
    if (!bFunSqlGetSettingsText(scratch, key, value) || value.trimmed().isEmpty())
        return fallback;
    return value.trimmed();
}
