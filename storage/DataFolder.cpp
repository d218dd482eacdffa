#include "storage/DataFolder.h"

#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

const QString kSeparator = QStringLiteral("/");
int g_lastFileError = 0;

} // namespace

bool bFunCreateDir(MessageBuffer& buf, const QString& path)
{
    if (createDirUnlogged(buf, path))
        return true;
    vFunLogError(buf, QStringLiteral("strFunGetMainDirPath()"));
    return false;
}

bool bFunDeleteTmpFile(MessageBuffer& buf)
{
    const QString path = strFunGetTmpFilePath(buf);
    if (!FileOps::exists(path))
        return true;
    const int err = FileOps::removeFile(path);
    if (err == 0)
        return true;
    buf.reset();
    buf << "Błąd podczas próby kasowania pliku\n" << path << "\nKod błędu: " << err;
    if (err == EACCES || err == EPERM)
        buf << "\n\nOdmowa dostępu. Sprawdź czy posiadasz dostateczne uprawnienia lub uruchom program jako "
               "administrator.";
    vFunLogError(buf, QStringLiteral("bFunDeleteTmpFile()"));
    return false;
}

bool bFunCopyFile(MessageBuffer& buf, const QString& source, const QString& target, bool failIfExists)
{
    const int err = FileOps::copyFile(source, target, failIfExists);
    if (err == 0)
        return true;
    buf.reset();
    buf << "Błąd podczas kopiowania pliku.\n\nZ: " << source << "\ndo: " << target << "\n\n Kod błędu: " << err;
    vFunLogError(buf, QStringLiteral("bFunCopyFile()"));
    return false;
}

bool bFunSetFileNormal(const QString& path)
{
    if (!FileOps::exists(path)) {
        g_lastFileError = ENOENT;
        return false;
    }
    g_lastFileError = FileOps::makeWritable(path);
    return g_lastFileError == 0;
}

int iFunLastFileError()
{
    return g_lastFileError;
}

bool bFunCheckFilesDir(MessageBuffer& buf)
{
    const QString programDir = strFunGetProgramDirPath();
    const QString catalogue = programDir + kSeparator + QStringLiteral("pliki_kat.sqset");
    if (!FileOps::exists(catalogue))
        return SqlText::fail(buf,
                             QStringLiteral("Błąd podczas próby sprawdzenia wymaganych plików / katalogów.\n"
                                            "Plik nie istnieje: ") +
                                 catalogue,
                             QStringLiteral("bFunCheckFilesDir()"));

    const QString dataDir = strFunGetMainDirPath(buf);
    if (dataDir.isEmpty()) {
        vFunLogError(buf, QStringLiteral("bFunCheckFilesDir()"));
        return false;
    }

    CppSQLite3DB db;
    CppSQLite3Query q;
    try {
        db.openFile(catalogue);
        q = db.runQuery("select * from `dir`");
        while (!q.atEnd()) {
            const QString name = SqlText::text(q.textOf("name", ""));
            if (!bFunCreateDir(buf, dataDir + kSeparator + name)) {
                q.release();
                db.closeFile();
                return false;
            }
            q.next();
        }
        q.release();

        q = db.runQuery("select * from `files`");
        while (!q.atEnd()) {
            const QString name = SqlText::text(q.textOf("name", ""));
            const int update = q.intOf("update", 0);
            const QString target = dataDir + kSeparator + name;
            const QString source = programDir + kSeparator + name;
            bool copied = true;
            if (update != 0)
                copied = bFunCopyFile(buf, source, target, false);
            else if (!FileOps::exists(target))
                copied = bFunCopyFile(buf, source, target, true);
            if (!copied) {
                q.release();
                db.closeFile();
                return false;
            }
            // A row already at 0 needs no write, so a catalogue in a read-only program
            // folder only matters when it really asks for a replacement.
            if (update != 0)
                db.runStatement(SqlText::bytes(QStringLiteral("update `files` set `update`='0' where `name`='") +
                                               strFunSqlEscape(name) + QStringLiteral("'")));
            q.next();
        }
        q.release();
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("Sql exception: "), QStringLiteral("bFunCheckFilesDir()"));
    }
}

void vFunBackupWorkingCopy(MessageBuffer& buf)
{
    const QDateTime now = Clock::instance().nowLocal();
    const QDate d = now.date();
    const QTime t = now.time();
    const QString name = QString::asprintf("%d-%02d-%02d_%02d%02d%02d%s", d.year(), d.month(), d.day(), t.hour(),
                                           t.minute(), t.second(), ".sqdoc");
    const QString backupDir = strFunGetBackupDirPath(buf);
    // The copy is made beside the backup folder and moved in only once it is complete,
    // so a copy cut short, even by the end of the program, never stands among the backups.
    const QString partial = strFunGetMainDirPath(buf) + kSeparator + QStringLiteral("backup.sqpart");
    if (FileOps::copyFile(strFunGetTmpFilePath(buf), partial, false) != 0)
        return;
    if (std::rename(partial.toUtf8().constData(), (backupDir + name).toUtf8().constData()) != 0) {
        FileOps::removeFile(partial);
        return;
    }

    QDir dir(backupDir);
    QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entries.size() <= 10)
        return;
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const QByteArray ab = a.toUtf8(), bb = b.toUtf8();
        return std::lexicographical_compare(bb.begin(), bb.end(), ab.begin(), ab.end(),
                                            [](char x, char y) { return uchar(x) < uchar(y); });
    });
    for (qsizetype i = 10; i < entries.size(); ++i)
        FileOps::removeFile(backupDir + entries.at(i));
}
