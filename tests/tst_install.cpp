// The installed program as a Debian desktop gets it: the tree `cmake --install` lays
// out, the menu entry and the metadata the desktop's tools accept, the type of the
// register files, the package's dependencies and what lintian says of it, and the
// program started by its menu entry from a read-only program folder.
#include "storage/DataPaths.h"
#include "tests/support/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

namespace {

const QString kProgramFolder = QStringLiteral("/usr/lib/melvok-dokumenty");
const QString kDocFolder = QStringLiteral("/usr/share/doc/melvok-dokumenty");
const QString kHelpFolder = QStringLiteral("/usr/share/melvok-dokumenty/help");

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {})
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, program + QStringLiteral(" did not finish: ") + QString::fromLocal8Bit(p.readAll())};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAll())};
}

// Every file of a folder with its size and modification time.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        out << f.filePath() + QLatin1Char(' ') + QString::number(f.size()) + QLatin1Char(' ') +
                   QString::number(f.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

// `folder` holds every file the catalogue of the program folder names.
void holdsEveryCataloguedFile(const QString& programFolder, const QString& folder)
{
    const QList<QByteArray> names =
        RawSql::column(programFolder + QStringLiteral("/pliki_kat.sqset"), "select name from files");
    QVERIFY(!names.isEmpty());
    for (const QByteArray& name : names)
        QVERIFY2(QFileInfo(folder + QLatin1Char('/') + QString::fromLatin1(name)).isFile(), name.constData());
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir tmp;
    QString dest() const { return tmp.path() + QStringLiteral("/dest"); }
    QString installed(const QString& path) const { return dest() + path; }
    QString m_deb;
    // The Debian package of the build, made once.
    QString package()
    {
        if (m_deb.isEmpty()) {
            const QString out = tmp.path() + QStringLiteral("/package");
            const Run r =
                run(QStringLiteral(MELVOK_CPACK),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                     QStringLiteral(MELVOK_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out});
            const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")});
            if (r.exitCode != 0 || debs.size() != 1)
                qWarning("%s", qPrintable(r.output));
            else
                m_deb = out + QLatin1Char('/') + debs.first();
        }
        return m_deb;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), dest());
        const Run r = run(QStringLiteral(MELVOK_CMAKE),
                          {QStringLiteral("--install"), QStringLiteral(MELVOK_BUILD_DIR),
                           QStringLiteral("--prefix"), QStringLiteral("/usr")},
                          env);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    }

    void cleanupTestCase()
    {
        // The read-only program folder would outlive its temporary folder.
        run(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+w"), tmp.path()});
    }

    void installedTree_data();
    void installedTree();
    void launcherLinksToTheProgramFolder();
    void installedProgramFindsItsManual_data();
    void installedProgramFindsItsManual();
    void manualFindsEveryPicture();
    void programFolderHoldsEveryCataloguedFile();
    void desktopToolsAcceptTheFiles_data();
    void desktopToolsAcceptTheFiles();
    void registerFilesHaveTheirType();
    void packageNamesItsDependencies();
    void lintianFindsNoError();
    void menuEntryStartsTheProgramFromAReadOnlyFolder();
};

void TestInstall::installedTree_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize"); // 0: not a picture
    QTest::newRow("executable") << kProgramFolder + QStringLiteral("/melvok-dokumenty") << 0;
    QTest::newRow("manual") << kHelpFolder + QStringLiteral("/Zoravavivo.html") << 0;
    QTest::newRow("manual's picture") << kHelpFolder + QStringLiteral("/okno_glowne.png") << 0;
    QTest::newRow("copyright") << kDocFolder + QStringLiteral("/copyright") << 0;
    QTest::newRow("changelog") << kDocFolder + QStringLiteral("/changelog.Debian.gz") << 0;
    QTest::newRow("manual page") << QStringLiteral("/usr/share/man/man1/melvok-dokumenty.1.gz") << 0;
    QTest::newRow("menu entry") << QStringLiteral("/usr/share/applications/melvok-dokumenty.desktop") << 0;
    QTest::newRow("metadata") << QStringLiteral("/usr/share/metainfo/pl.melvok.dokumenty.metainfo.xml") << 0;
    QTest::newRow("register type") << QStringLiteral("/usr/share/mime/packages/melvok-dokumenty.xml") << 0;
    QTest::newRow("scalable icon") << QStringLiteral(
                                          "/usr/share/icons/hicolor/scalable/apps/melvok-dokumenty.svg")
                                   << 0;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("icon %d", size)
            << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/melvok-dokumenty.png").arg(size) << size;
}

void TestInstall::installedTree()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);
    const QFileInfo f(installed(path));
    QVERIFY2(f.isFile() && f.size() > 0, qPrintable(path));
    if (iconSize)
        QCOMPARE(QImage(f.filePath()).size(), QSize(iconSize, iconSize));
}

void TestInstall::launcherLinksToTheProgramFolder()
{
    const QFileInfo launcher(installed(QStringLiteral("/usr/bin/melvok-dokumenty")));
    QVERIFY(launcher.isSymLink());
    QCOMPARE(launcher.symLinkTarget(), installed(kProgramFolder + QStringLiteral("/melvok-dokumenty")));
    QVERIFY(launcher.isExecutable());
}

void TestInstall::installedProgramFindsItsManual_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("manual");
    QTest::newRow("build tree") << MELVOK_PROGRAM_DIR << MELVOK_PROGRAM_DIR "/Zoravavivo.html";
    QTest::newRow("installed") << installed(kProgramFolder) << installed(kHelpFolder + "/Zoravavivo.html");
}

void TestInstall::installedProgramFindsItsManual()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, manual);
    Environment::overrideProgramDir(programFolder);
    const auto back = qScopeGuard([] { Environment::overrideProgramDir(QString()); });
    QCOMPARE(strFunGetHelpFilePath(), manual);
}

// Every picture the installed manual shows lies beside it and is a picture.
void TestInstall::manualFindsEveryPicture()
{
    QFile manual(installed(kHelpFolder + QStringLiteral("/Zoravavivo.html")));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    static const QRegularExpression picture(QStringLiteral("<img src=\"([^\"]+)\""));
    int pictures = 0;
    for (auto match = picture.globalMatch(QString::fromUtf8(manual.readAll())); match.hasNext(); ++pictures) {
        const QString name = match.next().captured(1);
        QVERIFY2(!QImage(installed(kHelpFolder + QLatin1Char('/') + name)).isNull(), qPrintable(name));
    }
    QVERIFY(pictures >= 8);
}

void TestInstall::programFolderHoldsEveryCataloguedFile()
{
    const QString folder = installed(kProgramFolder);
    holdsEveryCataloguedFile(folder, folder);
}

void TestInstall::desktopToolsAcceptTheFiles_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("menu entry") << "desktop-file-validate" << QStringList()
                                << "/usr/share/applications/melvok-dokumenty.desktop";
    QTest::newRow("metadata") << "appstreamcli" << QStringList{"validate", "--no-net"}
                              << "/usr/share/metainfo/pl.melvok.dokumenty.metainfo.xml";
}

void TestInstall::desktopToolsAcceptTheFiles()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const Run r = run(tool, arguments << installed(file));
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QVERIFY2(!r.output.contains(QStringLiteral("warning"), Qt::CaseInsensitive), qPrintable(r.output));
}

void TestInstall::registerFilesHaveTheirType()
{
    const QString share = installed(QStringLiteral("/usr/share"));
    Run r = run(QStringLiteral("update-mime-database"), {share + QStringLiteral("/mime")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));

    const QString doc = tmp.path() + QStringLiteral("/klasa 1a.sqdoc");
    RawSql::exec(doc, "create table PESEL1( id TEXT, comp_name TEXT, value TEXT );");
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_DIRS"), share + QStringLiteral(":/usr/share"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), tmp.path() + QStringLiteral("/no-data-home"));
    r = run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), doc}, env);
    QCOMPARE(r.output.trimmed(), QStringLiteral("application/x-melvok-sqdoc"));
    // Without the installed type the same file is a plain SQLite database.
    env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/share"));
    r = run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), doc}, env);
    QCOMPARE(r.output.trimmed(), QStringLiteral("application/vnd.sqlite3"));
}

void TestInstall::packageNamesItsDependencies()
{
    const QString deb = package();
    QVERIFY(!deb.isEmpty());
    Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
    QCOMPARE(r.exitCode, 0);
    QStringList depends;
    for (const QString& d : r.output.simplified().split(QLatin1Char(',')))
        depends << d.trimmed().section(QLatin1Char(' '), 0, 0);
    // The libraries come from the executable itself, the rest from the package's own list.
    for (const char* name :
         {"libqt6widgets6", "libsqlite3-0", "fonts-liberation2", "qt6-translations-l10n", "xdg-utils"})
        QVERIFY2(depends.contains(QString::fromLatin1(name)),
                 qPrintable(name + (QStringLiteral(" in ") + r.output)));
    r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
    QVERIFY2(r.output.contains(
                 QStringLiteral("./usr/bin/melvok-dokumenty -> ../lib/melvok-dokumenty/melvok-dokumenty")),
             qPrintable(r.output));
}

void TestInstall::lintianFindsNoError()
{
    const QString deb = package();
    QVERIFY(!deb.isEmpty());
    const Run r = run(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"), deb});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QVERIFY2(
        !r.output.contains(QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)),
        qPrintable(r.output));
}

void TestInstall::menuEntryStartsTheProgramFromAReadOnlyFolder()
{
    const QString folder = installed(kProgramFolder);
    QVERIFY(run(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a-w"), folder}).exitCode ==
            0);
    const QStringList before = snapshot(folder);

    const QString home = tmp.path() + QStringLiteral("/home");
    const QString runtime = tmp.path() + QStringLiteral("/run");
    QVERIFY(QDir().mkpath(home) && QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString doc = tmp.path() + QStringLiteral("/klasa 1a.sqdoc");
    QFile::remove(doc);
    RawSql::exec(doc, "create table PESEL1( id TEXT, comp_name TEXT, value TEXT );"
                      "insert into PESEL1 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Nowak');");

    // The menu's way: the Exec line, its file field given the register, the launcher
    // found on the search path.
    const QSettings entry(installed(QStringLiteral("/usr/share/applications/melvok-dokumenty.desktop")),
                          QSettings::IniFormat);
    const QStringList exec =
        entry.value(QStringLiteral("Desktop Entry/Exec")).toString().split(QLatin1Char(' '));
    QCOMPARE(exec, (QStringList{QStringLiteral("melvok-dokumenty"), QStringLiteral("%f")}));
    // The start-up's silent update check asks a closed local port instead of the
    // maker's server: a test never reaches the network.
    const QString dataDir = home + QStringLiteral("/.local/share/Melvok-Dokumenty/") +
                            strFunPlainLoginName(Environment::loginName());
    QVERIFY(QDir().mkpath(dataDir));
    const QString settings = dataDir + QStringLiteral("/ustawienia.sqset");
    QVERIFY(QFile::copy(folder + QStringLiteral("/ustawienia.sqset"), settings));
    QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner);
    RawSql::exec(settings, "insert into settings( name, text_value ) values( 'update_address', "
                           "'http://127.0.0.1:1/' )");

    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               installed(QStringLiteral("/usr/bin:")) + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStandardPaths::findExecutable(exec.first(), {installed(QStringLiteral("/usr/bin"))}),
                  {doc});
    QVERIFY(program.waitForStarted());

    // The working copy of the register appears in the data folder, with its student.
    const QString workingCopy = dataDir + QStringLiteral("/data_tmp.sqtmp");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(workingCopy).size() > 0 || program.state() == QProcess::NotRunning,
                             60000);
    QTRY_COMPARE_WITH_TIMEOUT(
        RawSql::column(workingCopy, "select value from PESEL1 where comp_name='Nazwisko_DATA_EDIT'"),
        QList<QByteArray>{"Nowak"}, 10000);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();

    // The start-up copied the installed files into the data folder, and wrote nothing
    // into the program folder.
    holdsEveryCataloguedFile(folder, dataDir);
    QCOMPARE(snapshot(folder), before);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
