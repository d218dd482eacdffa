#include "tests/support/TestEnvironment.h"

#include "storage/DataFolder.h"
#include "storage/EventLog.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QtTest>

TestEnvironment::TestEnvironment(bool installData, const QString& login)
{
    QDir().mkpath(programDir());
    QDir().mkpath(appDataRoot());
    if (installData) {
        const QDir installed(QStringLiteral(MELVOK_PROGRAM_DIR));
        for (const QString& name : installed.entryList({QStringLiteral("*.sqset")}, QDir::Files))
            QFile::copy(installed.filePath(name), programDir() + QLatin1Char('/') + name);
        // The pictures the catalogue lists.
        QDir().mkpath(programDir() + QStringLiteral("/grafika"));
        for (const QString& name : QDir(installed.filePath(QStringLiteral("grafika"))).entryList(QDir::Files))
            QFile::copy(installed.filePath(QStringLiteral("grafika/") + name),
                        programDir() + QStringLiteral("/grafika/") + name);
        // The catalogue is written to by the start-up check.
        for (const QString& name : QDir(programDir()).entryList(QDir::Files))
            QFile(programDir() + QLatin1Char('/') + name)
                .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    Environment::overrideProgramDir(programDir());
    Environment::overrideAppDataRoot(appDataRoot());
    Environment::overrideLoginName(login);
}

TestEnvironment::~TestEnvironment()
{
    Environment::overrideProgramDir(QString());
    Environment::overrideAppDataRoot(QString());
    Environment::overrideLoginName(QString());
}

QString TestEnvironment::dataDir()
{
    MessageBuffer scratch;
    return strFunGetMainDirPath(scratch);
}

bool TestEnvironment::installDataFolder()
{
    return bFunCheckFilesDir(buf);
}

namespace RawSql {

QList<QList<QByteArray>> rows(const QString& path, const QByteArray& sql)
{
    QList<QList<QByteArray>> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        qWarning("cannot open %s", qPrintable(path));
        return out;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        qWarning("%s: %s", sql.constData(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return out;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QList<QByteArray> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row << (text ? QByteArray(text, sqlite3_column_bytes(stmt, i)) : QByteArray());
        }
        out << row;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

QList<QByteArray> column(const QString& path, const QByteArray& sql)
{
    QList<QByteArray> out;
    for (const auto& row : rows(path, sql))
        out << row.value(0);
    return out;
}

QByteArray createCalibrationTable(const QByteArray& table)
{
    return "create table `" + table +
           "`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER, `font_name` TEXT, "
           "`font_size` INTEGER, `font_align` INTEGER, `font_style_bold` INTEGER, `font_style_italic` "
           "INTEGER, "
           "`font_style_underline` INTEGER, `font_style_strike` INTEGER );";
}

void exec(const QString& path, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qWarning("%s: %s", sql.constData(), error);
    sqlite3_free(error);
    sqlite3_close(db);
}

} // namespace RawSql

QString lastLoggedFunction()
{
    MessageBuffer scratch;
    QList<LogEntry> entries;
    bFunSqlGetLogsData(scratch, entries);
    return entries.isEmpty() ? QString() : entries.last().fun;
}
