#include "storage/DataFolder.h"

#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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
    // SQLite's companions go first: a journal left beside a new working copy would be
    // rolled into it, while the old working copy left without its journal is harmless,
    // as it is deleted next.
    const QString path = strFunGetTmpFilePath(buf);
    for (const char* suffix : {"-journal", "-wal", "-shm", ""}) {
        const QString file = path + QString::fromLatin1(suffix);
        const int err = FileOps::removeFile(file);
        if (err == 0 || err == ENOENT)
            continue;
        buf.reset();
        buf << "Błąd podczas próby kasowania pliku\n" << file << "\nKod błędu: " << err;
        if (err == EACCES || err == EPERM)
            buf << "\n\nOdmowa dostępu. Sprawdź czy posiadasz dostateczne uprawnienia lub uruchom "
                   "program jako administrator.";
        vFunLogError(buf, QStringLiteral("bFunDeleteTmpFile()"));
        return false;
    }
    return true;
}

QString strFunNotRegularReason(const QString& path)
{
    switch (FileOps::kind(path)) {
    case FileOps::Kind::Missing:
    case FileOps::Kind::Regular:
        return QString();
    case FileOps::Kind::Directory:
        return QStringLiteral("\nWskazana ścieżka jest katalogiem, a nie plikiem.");
    case FileOps::Kind::Fifo:
        return QStringLiteral("\nWskazany plik jest potokiem (FIFO), a nie zwykłym plikiem.");
    case FileOps::Kind::Socket:
        return QStringLiteral("\nWskazany plik jest gniazdem, a nie zwykłym plikiem.");
    case FileOps::Kind::Device:
        return QStringLiteral("\nWskazany plik jest urządzeniem, a nie zwykłym plikiem.");
    case FileOps::Kind::Other:
        break;
    }
    return QStringLiteral("\nWskazany plik nie jest zwykłym plikiem.");
}

bool bFunSettleDocumentFile(MessageBuffer& buf, const QString& path)
{
    const QString wal = path + QStringLiteral("-wal");
    const QString journal = path + QStringLiteral("-journal");
    const bool hasWal = FileOps::kind(wal) != FileOps::Kind::Missing;
    const bool hasJournal = FileOps::kind(journal) != FileOps::Kind::Missing && QFileInfo(journal).size() > 0;
    if (!hasWal && !hasJournal)
        return true;

    CppSQLite3DB db;
    CppSQLite3Query q;
    int code = SQLITE_OK;
    try {
        db.openFile(path);
        // The first read rolls a hot journal back; the checkpoint moves every change
        // of the log into the file itself, which is all that the copy takes.
        db.runScalarInt("select count(*) from sqlite_master");
        if (hasWal) {
            q = db.runQuery("pragma wal_checkpoint(TRUNCATE)");
            if (q.intAt(0, 0) != 0)
                code = SQLITE_BUSY;
            q.release();
        }
        db.closeFile();
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        code = e.code();
    }
    if (code == SQLITE_OK)
        return true;
    buf.reset();
    buf << "Błąd podczas próby wczytania pliku\n"
        << path << "\nObok pliku leży niedokończony zapis bazy danych ("
        << QFileInfo(hasWal ? wal : journal).fileName()
        << "), którego nie udało się dołączyć do pliku ani wycofać.\nPrzyczyna: " << SqlText::reason(code)
        << ".\nSprawdź, czy katalog pliku pozwala na zapis i czy plik nie jest otwarty w innym programie."
        << "\nDane świadectw nie zostały wczytane.";
    SqlText::logWithCode(buf, code, QStringLiteral("bFunSettleDocumentFile()"));
    return false;
}

bool bFunUseRollbackJournal(MessageBuffer& buf, const QString& path)
{
    // Bytes 18 and 19 of the header are 2 in a file that keeps a write-ahead log.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray header = file.read(20);
    file.close();
    if (header.size() < 20 || header.at(18) != 2 || header.at(19) != 2)
        return true;
    CppSQLite3DB db;
    try {
        db.openFile(path);
        db.runStatement("pragma journal_mode=DELETE");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("SQL exception: \n"),
                             QStringLiteral("bFunUseRollbackJournal()"));
    }
}

bool bFunCopyFile(MessageBuffer& buf, const QString& source, const QString& target, bool failIfExists)
{
    const int err = FileOps::copyFile(source, target, failIfExists);
    if (err == 0)
        return true;
    buf.reset();
    buf << "Błąd podczas kopiowania pliku.\n\nZ: " << source << "\ndo: " << target
        << "\n\n Kod błędu: " << err;
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
                db.runStatement(
                    SqlText::bytes(QStringLiteral("update `files` set `update`='0' where `name`='") +
                                   strFunSqlEscape(name) + QStringLiteral("'")));
            q.next();
        }
        q.release();
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::cleanUp(q, db);
        return SqlText::fail(buf, e, QStringLiteral("Sql exception: "),
                             QStringLiteral("bFunCheckFilesDir()"));
    }
}

void vFunBackupWorkingCopy(MessageBuffer& buf)
{
    const QDateTime now = Clock::instance().nowLocal();
    const QDate d = now.date();
    const QTime t = now.time();
    const QString name = QString::asprintf("%d-%02d-%02d_%02d%02d%02d%s", d.year(), d.month(), d.day(),
                                           t.hour(), t.minute(), t.second(), ".sqdoc");
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

    // Only the program's own backups are pruned: regular files named by a date and time
    // that has already come. Anything else in the folder (the user's files, folders, links,
    // names from a clock that ran ahead) is neither counted nor deleted. The one just
    // written stays, and of the others the nine written most recently.
    QFileInfoList backups;
    const QFileInfoList files =
        QDir(backupDir).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& file : files)
        if (file.isFile() && !file.isSymLink() && bFunIsBackupName(file.fileName()) && file.fileName() < name)
            backups.append(file); // earlier names only: the one just written stays in any case
    if (backups.size() < 10)
        return;
    std::sort(backups.begin(), backups.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime at = a.lastModified(), bt = b.lastModified();
        return at != bt ? at > bt : a.fileName() > b.fileName();
    });
    for (qsizetype i = 9; i < backups.size(); ++i)
        FileOps::removeFile(backups.at(i).absoluteFilePath());
}

bool bFunIsSqliteFile(const QString& path)
{
    if (FileOps::kind(path) != FileOps::Kind::Regular)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray header("SQLite format 3", 16); // with its closing zero byte
    return file.size() == 0 || file.read(header.size()) == header;
}

bool bFunIsBackupName(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})_(\\d{2})(\\d{2})(\\d{2})\\.sqdoc$"));
    const QRegularExpressionMatch m = pattern.match(name);
    auto part = [&m](int i) { return m.captured(i).toInt(); };
    return m.hasMatch() && QDate(part(1), part(2), part(3)).isValid() &&
           QTime(part(4), part(5), part(6)).isValid();
}
