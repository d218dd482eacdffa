// The data folder, the start-up check of required files and the small file
// operations: what a user meets on a new installation, after an update, and in the
// backup folder.
#include "platform/FileOps.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "tests/support/Disks.h"
#include "tests/support/RawFile.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::stat(path.toUtf8().constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loginNameFolding_data();
    void loginNameFolding();
    void dataFolderIsCreatedBelowTheDesktopDataFolder();
    void requiredFilesAreCopiedOnce();
    void updatedFileReplacesTheUsersCopyOnce();
    void missingSourceStopsTheCheck();
    void missingCatalogue();
    void readOnlyCatalogueWithNothingToUpdate();
    void unwritableDataRoot();
    void deletingTheWorkingCopy();
    void copyReportsTheSystemError_data();
    void copyReportsTheSystemError();
    void failedCopyLeavesTheTargetWhole();
    void backupsKeepTheTenNewest();
    void setFileNormal();
    void workingCopyGoesWithItsCompanions();
    void copyWritesTheRealFileAndKeepsItsMode_data();
    void copyWritesTheRealFileAndKeepsItsMode();
    void copyIsOnDiskBeforeItsRename();
};

void TestDataFolder::loginNameFolding_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("folder");
    QTest::newRow("capitals") << "Ściółka Żółta"
                              << "Sciolka Zolta";
    QTest::newRow("lower") << "żuraw"
                           << "zuraw";
    QTest::newRow("all letters") << "ĄąĆćĘęŁłŃńÓóŚśŹźŻż"
                                 << "AaCcEeLlNnOoSsZzZz";
    QTest::newRow("other letters stay") << "Müller-ü"
                                        << "Müller-ü";
}

void TestDataFolder::loginNameFolding()
{
    QFETCH(QString, login);
    QFETCH(QString, folder);
    QCOMPARE(strFunPlainLoginName(login), folder);
    TestEnvironment env(false, login);
    QCOMPARE(env.dataDir(), env.appDataRoot() + QStringLiteral("/Melvok-Dokumenty/") + folder);
}

void TestDataFolder::dataFolderIsCreatedBelowTheDesktopDataFolder()
{
    TestEnvironment env(false);
    QDir(env.appDataRoot()).removeRecursively(); // a new account has no data folder yet
    MessageBuffer buf;
    const QString dir = strFunGetMainDirPath(buf);
    QCOMPARE(dir, env.appDataRoot() + QStringLiteral("/Melvok-Dokumenty/sekretariat"));
    QVERIFY(QFileInfo(dir).isDir());
    QCOMPARE(modeOf(dir), mode_t(0700)); // it holds PESEL numbers
    QCOMPARE(strFunGetTmpFilePath(buf), dir + QStringLiteral("/data_tmp.sqtmp"));
    QCOMPARE(strFunGetBackupDirPath(buf), dir + QStringLiteral("/backup/"));
    QCOMPARE(strFunGetSettingsFilePath(buf, true), env.programDir() + QStringLiteral("/ustawienia.sqset"));
    QVERIFY(buf.text().isEmpty());
}

void TestDataFolder::requiredFilesAreCopiedOnce()
{
    TestEnvironment env;
    QVERIFY2(env.installDataFolder(), qPrintable(env.buf.text()));
    for (const char* folder : {"backup", "aktualizacja", "grafika"})
        QVERIFY(QFileInfo(env.dataFile(QString::fromLatin1(folder))).isDir());
    const QString settings = env.dataFile(QStringLiteral("ustawienia.sqset"));
    QVERIFY(QFile::exists(settings));
    // The user's own copy (with a changed option) is left alone at the next start.
    RawSql::exec(settings, "update settings set int_value=7 where name='word_wrap'");
    QVERIFY(env.installDataFolder());
    QCOMPARE(RawSql::column(settings, "select int_value from settings where name='word_wrap'"),
             QList<QByteArray>{"7"});
}

void TestDataFolder::updatedFileReplacesTheUsersCopyOnce()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    const QString catalogue = env.programDir() + QStringLiteral("/pliki_kat.sqset");
    const QString settings = env.dataFile(QStringLiteral("ustawienia.sqset"));
    RawSql::exec(settings, "update settings set int_value=7 where name='word_wrap'");
    RawSql::exec(catalogue, "update files set `update`=1 where name='ustawienia.sqset'");
    QVERIFY(env.installDataFolder());
    QCOMPARE(RawSql::column(settings, "select int_value from settings where name='word_wrap'"),
             QList<QByteArray>{"0"});
    QCOMPARE(RawSql::column(catalogue, "select `update` from files where name='ustawienia.sqset'"),
             QList<QByteArray>{"0"});
    // Acted on at one start only.
    RawSql::exec(settings, "update settings set int_value=7 where name='word_wrap'");
    QVERIFY(env.installDataFolder());
    QCOMPARE(RawSql::column(settings, "select int_value from settings where name='word_wrap'"),
             QList<QByteArray>{"7"});
}

void TestDataFolder::missingSourceStopsTheCheck()
{
    TestEnvironment env;
    const QString catalogue = env.programDir() + QStringLiteral("/pliki_kat.sqset");
    RawSql::exec(catalogue,
                 "insert into files values('brak.sqset', 0); insert into files values('later.sqset', 1);");
    QVERIFY(!env.installDataFolder());
    const QString data = env.dataDir();
    QCOMPARE(env.buf.text(), QStringLiteral("Błąd podczas kopiowania pliku.\n\nZ: ") + env.programDir() +
                                 QStringLiteral("/brak.sqset\ndo: ") + data +
                                 QStringLiteral("/brak.sqset\n\n Kod błędu: ") + QString::number(ENOENT));
    // Rows after the failing one are not handled and keep their flag.
    QCOMPARE(RawSql::column(catalogue, "select `update` from files where name='later.sqset'"),
             QList<QByteArray>{"1"});
    QList<LogEntry> log;
    QVERIFY(bFunSqlGetLogsData(env.buf, log));
    QCOMPARE(log.last().fun, QStringLiteral("bFunCopyFile()"));
}

void TestDataFolder::missingCatalogue()
{
    TestEnvironment env(false);
    QVERIFY(!env.installDataFolder());
    QCOMPARE(env.buf.text(), QStringLiteral("Błąd podczas próby sprawdzenia wymaganych plików / katalogów.\n"
                                            "Plik nie istnieje: ") +
                                 env.programDir() + QStringLiteral("/pliki_kat.sqset"));
    // And a catalogue that is not a database at all.
    QFile junk(env.programDir() + QStringLiteral("/pliki_kat.sqset"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QVERIFY(!env.installDataFolder());
    QCOMPARE(env.buf.text(),
             QStringLiteral("Przyczyna: plik nie jest rejestrem ani innym plikiem danych programu."));
}

void TestDataFolder::readOnlyCatalogueWithNothingToUpdate()
{
    if (geteuid() == 0)
        QSKIP("root writes read-only files");
    TestEnvironment env;
    QFile(env.programDir() + QStringLiteral("/pliki_kat.sqset")).setPermissions(QFileDevice::ReadOwner);
    QVERIFY2(env.installDataFolder(), qPrintable(env.buf.text()));
}

void TestDataFolder::unwritableDataRoot()
{
    TestEnvironment env;
    // A file where the program's folder should be.
    QFile blocker(env.appDataRoot() + QStringLiteral("/Melvok-Dokumenty"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MessageBuffer buf;
    QCOMPARE(strFunGetMainDirPath(buf), QString());
    QCOMPARE(buf.text(), QStringLiteral("Błąd podczas tworzenia katalogu:\n") + env.appDataRoot() +
                             QStringLiteral("/Melvok-Dokumenty\nKod błędu: ") + QString::number(EEXIST));
    QVERIFY(!env.installDataFolder());
}

void TestDataFolder::deletingTheWorkingCopy()
{
    TestEnvironment env;
    MessageBuffer buf;
    QVERIFY(bFunDeleteTmpFile(buf)); // nothing to delete
    QVERIFY(buf.text().isEmpty());
    const QString tmp = strFunGetTmpFilePath(buf);
    QVERIFY(FileOps::touch(tmp) == 0);
    QVERIFY(bFunDeleteTmpFile(buf));
    QVERIFY(!QFile::exists(tmp));
    if (geteuid() != 0) {
        FileOps::touch(tmp);
        QFile::setPermissions(env.dataDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!bFunDeleteTmpFile(buf));
        QFile::setPermissions(env.dataDir(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(buf.text().endsWith(
            QStringLiteral("\n\nOdmowa dostępu. Sprawdź czy posiadasz dostateczne uprawnienia "
                           "lub uruchom program jako administrator.")));
    }
}

void TestDataFolder::copyReportsTheSystemError_data()
{
    QTest::addColumn<bool>("hardLinks");
    QTest::newRow("hard links") << true;
    QTest::newRow("no hard links (FAT, network share)") << false;
}

void TestDataFolder::copyReportsTheSystemError()
{
    QFETCH(bool, hardLinks);
    std::optional<NoHardLinks> fat;
    if (!hardLinks)
        fat.emplace();
    TestEnvironment env;
    MessageBuffer buf;
    const QString source = env.root() + QStringLiteral("/a.txt");
    const QString target = env.root() + QStringLiteral("/b.txt");
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("one");
    f.close();
    QVERIFY(bFunCopyFile(buf, source, target, true));
    QVERIFY(!bFunCopyFile(buf, source, target, true)); // fail-if-exists
    QCOMPARE(RawFile::bytes(target), QByteArray("one"));
    QCOMPARE(buf.text(), QStringLiteral("Błąd podczas kopiowania pliku.\n\nZ: ") + source +
                             QStringLiteral("\ndo: ") + target + QStringLiteral("\n\n Kod błędu: ") +
                             QString::number(EEXIST));
    QVERIFY(bFunCopyFile(buf, source, target, false));
    QCOMPARE(QDir(env.root()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary file left
}

void TestDataFolder::failedCopyLeavesTheTargetWhole()
{
    TestEnvironment env;
    const QString source = env.root() + QStringLiteral("/big.sqdoc");
    const QString target = env.root() + QStringLiteral("/saved.sqdoc");
    QFile s(source), t(target);
    QVERIFY(s.open(QIODevice::WriteOnly) && t.open(QIODevice::WriteOnly));
    s.write(QByteArray(300000, 'n'));
    t.write(QByteArray(1000, 'o'));
    s.close();
    t.close();
    FullDisk disk(100000); // the disk fills up part-way
    const int err = FileOps::copyFile(source, target, false);
    QCOMPARE(err, ENOSPC);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), QByteArray(1000, 'o'));
    QCOMPARE(QDir(env.root()).entryList({QStringLiteral(".*saved*")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestDataFolder::backupsKeepTheTenNewest()
{
    TestEnvironment env;
    QVERIFY(env.installDataFolder());
    MessageBuffer buf;
    FileOps::touch(strFunGetTmpFilePath(buf));
    const QString backup = strFunGetBackupDirPath(buf);
    // Nine older backups and a foreign file, which is no backup: neither counted nor deleted.
    for (int day = 1; day <= 9; ++day)
        FileOps::touch(backup + QStringLiteral("2024-03-0%1_081502.sqdoc").arg(day));
    FileOps::touch(backup + QStringLiteral("1999-notatka.txt"));

    FixedClock clock(QDateTime(QDate(2024, 3, 10), QTime(8, 15, 2), Qt::LocalTime).toUTC());
    vFunBackupWorkingCopy(buf);
    QStringList names = QDir(backup).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 11);
    QVERIFY(names.contains(QStringLiteral("2024-03-10_081502.sqdoc")));

    clock.utc = clock.utc.addDays(1);
    vFunBackupWorkingCopy(buf);
    names = QDir(backup).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 11);
    QCOMPARE(names.at(0), QStringLiteral("1999-notatka.txt"));
    QCOMPARE(names.at(1), QStringLiteral("2024-03-02_081502.sqdoc")); // the oldest went first
    QCOMPARE(names.last(), QStringLiteral("2024-03-11_081502.sqdoc"));
}

void TestDataFolder::setFileNormal()
{
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/ro.sqdoc");
    QVERIFY(!bFunSetFileNormal(path));
    QCOMPARE(iFunLastFileError(), ENOENT);
    FileOps::touch(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QVERIFY(bFunSetFileNormal(path));
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
}

void TestDataFolder::workingCopyGoesWithItsCompanions()
{
    TestEnvironment env;
    MessageBuffer buf;
    const QString tmp = strFunGetTmpFilePath(buf);
    const char* suffixes[] = {"", "-journal", "-wal", "-shm"};
    for (const char* suffix : suffixes)
        QVERIFY(RawFile::write(tmp + QLatin1String(suffix), "x"));
    QVERIFY(bFunDeleteTmpFile(buf));
    for (const char* suffix : suffixes)
        QVERIFY2(!QFileInfo::exists(tmp + QLatin1String(suffix)), suffix);
    // A journal that cannot be removed (a folder of that name, which unlink refuses even
    // to root) is named; the working copy is not deleted before its journal.
    QVERIFY(RawFile::write(tmp, "x") && QDir().mkpath(tmp + QStringLiteral("-journal/x")));
    QVERIFY(!bFunDeleteTmpFile(buf));
    QCOMPARE(buf.text(), QStringLiteral("Błąd podczas próby kasowania pliku\n") + tmp +
                             QStringLiteral("-journal\nKod błędu: ") + QString::number(EISDIR));
    QVERIFY(QFileInfo::exists(tmp));
}

void TestDataFolder::copyWritesTheRealFileAndKeepsItsMode_data()
{
    QTest::addColumn<QString>("given"); // the path the copy is given, "->" the link's text
    QTest::addColumn<int>("oldMode");   // 0: the real file does not exist yet
    QTest::addColumn<QString>("real");  // the file that must receive the data
    QTest::newRow("plain") << "klasa.sqdoc" << 0640 << "klasa.sqdoc";
    QTest::newRow("new file") << "nowa.sqdoc" << 0 << "nowa.sqdoc";
    QTest::newRow("relative link") << "skrot.sqdoc->dane/klasa.sqdoc" << 0600 << "dane/klasa.sqdoc";
    QTest::newRow("absolute link") << "skrot.sqdoc->@/dane/klasa.sqdoc" << 0644 << "dane/klasa.sqdoc";
    QTest::newRow("dangling link") << "skrot.sqdoc->dane/nowa.sqdoc" << 0 << "dane/nowa.sqdoc";
}

void TestDataFolder::copyWritesTheRealFileAndKeepsItsMode()
{
    QFETCH(QString, given);
    QFETCH(int, oldMode);
    QFETCH(QString, real);
    TestEnvironment env;
    const QString dir = env.root() + QStringLiteral("/zapis/");
    QVERIFY(QDir().mkpath(dir + QStringLiteral("dane")) &&
            RawFile::write(env.root() + QStringLiteral("/z"), "nowe"));
    const QString realPath = dir + real;
    const QStringList link = given.replace(QLatin1Char('@'), dir).split(QStringLiteral("->"));
    if (link.size() == 2)
        QVERIFY(QFile::link(link[1], dir + link[0]));
    // Another owner where the test may set one, as a file shared in a school office.
    if (oldMode)
        QVERIFY(RawFile::write(realPath, "stare") &&
                ::chmod(realPath.toUtf8().constData(), mode_t(oldMode)) == 0 &&
                (geteuid() != 0 || ::chown(realPath.toUtf8().constData(), 65534, 65534) == 0));
    // What an interrupted save left two days ago: its hidden copy goes, the user's own file
    // stays. (A young one may be another desk's save in progress: tst_register_session.)
    const QString leftover =
        QFileInfo(realPath).path() + QStringLiteral("/.") + QFileInfo(realPath).fileName();
    QVERIFY(RawFile::write(leftover + QStringLiteral(".a1B2c3"), "") &&
            RawFile::write(leftover + QStringLiteral(".kopia"), ""));
    const timespec old{time(nullptr) - 2 * 86400, 0};
    const timespec times[2] = {old, old};
    QVERIFY(::utimensat(AT_FDCWD, (leftover + QStringLiteral(".a1B2c3")).toUtf8().constData(), times, 0) ==
            0);
    const mode_t umask = ::umask(0);
    ::umask(umask);

    QCOMPARE(FileOps::copyFile(env.root() + QStringLiteral("/z"), dir + link[0], false), 0);
    QCOMPARE(RawFile::bytes(realPath), QByteArray("nowe"));
    QCOMPARE(QFileInfo(dir + link[0]).isSymLink(), link.size() == 2);
    // A new file is made as the user's other files are, for others sharing the folder.
    QCOMPARE(modeOf(realPath), mode_t(oldMode ? oldMode : 0666 & ~umask));
    QCOMPARE(QFileInfo(realPath).ownerId(), oldMode && geteuid() == 0 ? 65534u : geteuid());
    QVERIFY(!QFileInfo::exists(leftover + QStringLiteral(".a1B2c3")));
    QVERIFY(QFileInfo::exists(leftover + QStringLiteral(".kopia")));
}

void TestDataFolder::copyIsOnDiskBeforeItsRename()
{
    TestEnvironment env;
    const QString target = env.root() + QStringLiteral("/klasa.sqdoc");
    QVERIFY(RawFile::write(env.root() + QStringLiteral("/z"), "nowe") && RawFile::write(target, "stare"));
    QStringList syncs; // each flushed path with what the target held at that moment
    ObservedSyncs observed(
        [&](const QString& path) { syncs << path + QLatin1Char(' ') + RawFile::bytes(target); });
    QCOMPARE(FileOps::copyFile(env.root() + QStringLiteral("/z"), target, false), 0);
    QCOMPARE(syncs.size(), 2);
    QVERIFY2(syncs[0].startsWith(env.root() + QStringLiteral("/.klasa.sqdoc.")) &&
                 syncs[0].endsWith(QStringLiteral(" stare")),
             qPrintable(syncs[0]));                           // the data, before the rename
    QCOMPARE(syncs[1], env.root() + QStringLiteral(" nowe")); // the folder, after it
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_data_folder.moc"
