// The update check and the package download against a small HTTP server of the test's
// own on 127.0.0.1, and the way from the "Pomoc" menu to the software installer.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "services/TFAktualizacja.h"
#include "services/UpdateCheck.h"
#include "services/UpdateServer.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

namespace {

// What the server does for one file. Status 0 stands for an address where nothing
// listens; a redirect without a `location` sends the client back to the same file.
struct Resource {
    int status = 200;
    QByteArray body;
    int cutAt = -1;             // the connection ends after this many bytes of the body
    QByteArray length = "auto"; // Content-Length: the body's, none (""), or as given
    bool mute = false;          // takes the request and never answers
    bool held = false;          // answers once released
    QByteArray location;        // of a redirect; "{port}" stands for the server's port
    int trickleMs = 0;          // the body one byte at a time, this far apart
};

} // namespace
Q_DECLARE_METATYPE(Resource)
namespace {

class HttpServer : public QTcpServer
{
public:
    HttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
        });
    }
    QByteArray port() const { return QByteArray::number(serverPort()); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/melvok/").arg(serverPort()); }
    void serve(const char* name, const Resource& r) { files.insert(QByteArray("/melvok/") + name, r); }
    void release()
    {
        for (auto [socket, r] : std::exchange(held, {}))
            answer(socket, r);
    }
    QHash<QByteArray, int> requests;

private:
    void take(QTcpSocket* socket)
    {
        if (!socket->canReadLine())
            return;
        const QByteArray path = socket->readLine().split(' ').value(1);
        socket->readAll(); // the rest of the request
        ++requests[path];
        Resource r = files.value(path, {404});
        r.location = r.location.isEmpty() ? path : r.location.replace("{port}", port());
        // A redirect keeps the connection for the next request, as servers do; any other
        // answer is the last one on it.
        if (r.status / 100 != 3)
            socket->disconnect(this);
        if (r.held)
            held.append({socket, r});
        else if (!r.mute)
            answer(socket, r);
    }
    static void answer(QTcpSocket* socket, const Resource& r)
    {
        static const QHash<int, QByteArray> reasons{{200, "OK"},        {201, "Created"},
                                                    {302, "Found"},     {403, "Forbidden"},
                                                    {404, "Not Found"}, {500, "Internal Server Error"}};
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasons.value(r.status, "X") + "\r\n";
        if (r.status / 100 == 3) {
            socket->write(head + "Location: " + r.location + "\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        head += "Connection: close\r\n";
        const QByteArray length = r.length == "auto" ? QByteArray::number(r.body.size()) : r.length;
        if (!length.isEmpty())
            head += "Content-Length: " + length + "\r\n";
        socket->write(head + "\r\n");
        writePieces(socket, r.cutAt >= 0 ? r.body.left(r.cutAt) : r.body, r.trickleMs ? 1 : 100,
                    r.trickleMs ? r.trickleMs : 20);
    }
    // The body in pieces, each flushed before the next is written.
    static void writePieces(QTcpSocket* socket, const QByteArray& rest, int piece, int pauseMs)
    {
        socket->write(rest.left(piece));
        socket->flush();
        if (rest.size() <= piece)
            socket->disconnectFromHost();
        else
            QTimer::singleShot(pauseMs, socket,
                               [=] { writePieces(socket, rest.mid(piece), piece, pauseMs); });
    }
    QHash<QByteArray, Resource> files;
    QList<std::pair<QTcpSocket*, Resource>> held;
};

QByteArray versionBytes(qint32 major, qint32 minor, qint32 release)
{
    QByteArray bytes(12, '\0');
    qToLittleEndian(major, bytes.data());
    qToLittleEndian(minor, bytes.data() + 4);
    qToLittleEndian(release, bytes.data() + 8);
    return bytes;
}

QString versions(const QString& server, const char* ending)
{
    return QStringLiteral("Aktualna wersja programu to: 1.0.0\nWersja dostępna na serwerze to: ") + server +
           QStringLiteral("\n\n") + QString::fromUtf8(ending);
}
QString offer(const QString& server)
{
    return versions(server, "Czy chcesz pobrać nową wersje programu ?");
}
QString noNewer(const QString& server)
{
    return versions(server, "Brak nowej wersji do pobrania.");
}
const QString kNoConnection = QStringLiteral("Błąd podczas próby połączenia z internetem");
QString answered(const char* status)
{
    return QStringLiteral("Serwer aktualizacji odpowiedział: %1.").arg(QLatin1String(status));
}

// Short enough for a test, long enough for a loaded machine.
const UpdateServer::Limits kLimits{1000, 1000, 1024};
const VersionTriple kRunning{1, 0, 0};
const VersionTriple kOffered{1, 0, 1};
const char kPackage[] = "melvok-dokumenty_1.0.1_amd64.deb";
const char kChecksum[] = "melvok-dokumenty_1.0.1.sha256";

QByteArray packageBytes()
{
    QByteArray package(250, '\0');
    for (int i = 0; i < package.size(); ++i)
        package[i] = char(i * 7);
    return package;
}
// The sum file as sha256sum writes it.
Resource checksumOf(const QByteArray& package)
{
    return {200,
            QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() + "  " + kPackage + "\n"};
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<HttpServer> server;

    void setAddress(const QString& address)
    {
        RawSql::exec(env->dataFile(QStringLiteral("ustawienia.sqset")),
                     "delete from settings where name='update_address';"
                     "insert into settings( name, text_value ) values( 'update_address', '" +
                         address.toLatin1() + "' )");
    }
    // Serves `r` as `name`; status 0 points the program at a closed port instead.
    void serve(const char* name, const Resource& r)
    {
        server->serve(name, r);
        if (r.status == 0) {
            HttpServer closed;
            setAddress(closed.address());
        }
    }
    QString downloadDir() { return env->dataDir() + QStringLiteral("/aktualizacja"); }
    QString packagePath() { return downloadDir() + QLatin1Char('/') + QLatin1String(kPackage); }
    // Everything in the download folder: the package, or what a download left behind.
    QStringList downloadFolder() { return QDir(downloadDir()).entryList(QDir::Files | QDir::Hidden); }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        QVERIFY(env->installDataFolder());
        prompts = std::make_unique<ScriptedPrompts>();
        server = std::make_unique<HttpServer>();
        setAddress(server->address());
    }
    void cleanup()
    {
        server.reset();
        prompts.reset();
        env.reset();
    }

    void versionFile_data();
    void versionFile();
    void saveReminderWithUnsavedChanges();
    void secondCheckJoinsTheRunningOne();
    void download_data();
    void download();
    void closeStopsTheDownload();
    void installHandsThePackageOver_data();
    void installHandsThePackageOver();
};

void TestUpdateCheck::versionFile_data()
{
    QTest::addColumn<Resource>("resource");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("shown"); // the one box shown; empty: none

    QTest::newRow("1.0.0") << Resource{200, versionBytes(1, 0, 0)} << true << noNewer("1.0.0");
    QTest::newRow("1.0.0 silent") << Resource{200, versionBytes(1, 0, 0)} << false << QString();
    QTest::newRow("1.0.1 silent") << Resource{200, versionBytes(1, 0, 1)} << false << offer("1.0.1");
    QTest::newRow("1.1.0") << Resource{200, versionBytes(1, 1, 0)} << true << offer("1.1.0");
    QTest::newRow("2.0.0 silent") << Resource{200, versionBytes(2, 0, 0)} << false << offer("2.0.0");
    QTest::newRow("0.9.9") << Resource{200, versionBytes(0, 9, 9)} << true << noNewer("0.9.9");
    const auto refused = [](const char* reason) {
        return QStringLiteral("Plik wersji „doc_wersja.bin” na serwerze aktualizacji ") +
               QString::fromUtf8(reason) + QStringLiteral(" i nie jest plikiem wersji programu.");
    };
    QTest::newRow("4 bytes") << Resource{200, versionBytes(2, 0, 0).left(4)} << true
                             << refused("ma 4 B zamiast 12 B");
    QTest::newRow("6 bytes of text silent") << Resource{200, "2.0.1\n"} << false << QString();
    QTest::newRow("empty") << Resource{200, ""} << true << refused("ma 0 B zamiast 12 B");
    QTest::newRow("text of 12 bytes") << Resource{200, "2.0.1\n2.0.1\n"} << true
                                      << refused("podaje wersję 774909490.775031345.170995248, której żaden "
                                                 "program nie ma");
    QTest::newRow("minor 1000") << Resource{200, versionBytes(1, 1000, 0)} << true
                                << refused("podaje wersję 1.1000.0, której żaden program nie ma");
    QTest::newRow("negative release") << Resource{200, versionBytes(2, 0, -1)} << true
                                      << refused("podaje wersję 2.0.-1, której żaden program nie ma");
    QTest::newRow("999.999.999") << Resource{200, versionBytes(999, 999, 999)} << true
                                 << offer("999.999.999");
    // Whatever else the server says, a manual check says it too; a silent one keeps quiet.
    QTest::newRow("404") << Resource{404, versionBytes(9, 9, 9)} << true << answered("404 Not Found");
    QTest::newRow("500") << Resource{500, versionBytes(9, 9, 9)} << true
                         << answered("500 Internal Server Error");
    QTest::newRow("403") << Resource{403, versionBytes(9, 9, 9)} << true << answered("403 Forbidden");
    QTest::newRow("403 silent") << Resource{403, versionBytes(9, 9, 9)} << false << QString();
    QTest::newRow("13 bytes") << Resource{200, versionBytes(9, 9, 9) + "x"} << true << answered("200 OK");
    QTest::newRow("13 bytes silent") << Resource{200, versionBytes(9, 9, 9) + "x"} << false << QString();
    QTest::newRow("portal page") << Resource{200, QByteArray(200000, '<')} << true << answered("200 OK");
    QTest::newRow("redirect loop") << Resource{302} << true << answered("302 Found");
    QTest::newRow("redirect to another host")
        << Resource{.status = 302, .location = "http://localhost:{port}/melvok/kopia.bin"} << true
        << answered("302 Found");
    QTest::newRow("redirect to a file")
        << Resource{.status = 302, .location = "file:///etc/hostname"} << true << answered("302 Found");
    QTest::newRow("never answers") << Resource{.mute = true} << true << kNoConnection;
    QTest::newRow("never answers silent") << Resource{.mute = true} << false << QString();
    QTest::newRow("trickles") << Resource{.body = versionBytes(2, 0, 0), .trickleMs = 200} << true
                              << kNoConnection;
    QTest::newRow("cut short") << Resource{200, versionBytes(2, 0, 0), 6} << true << kNoConnection;
    QTest::newRow("unreachable") << Resource{0} << true << kNoConnection;
    QTest::newRow("unreachable silent") << Resource{0} << false << QString();
}

void TestUpdateCheck::versionFile()
{
    QFETCH(Resource, resource);
    QFETCH(bool, manual);
    QFETCH(QString, shown);
    serve("doc_wersja.bin", resource);
    server->serve("kopia.bin", {200, versionBytes(9, 9, 9)});
    TFAktualizacja form;
    UpdateCheck check(
        kRunning, &form, [] { return false; }, nullptr, kLimits);
    QSignalSpy accepted(&check, &UpdateCheck::downloadAccepted);
    check.vFunCheckForUpdate(manual ? UpdateCheck::Mode::Manual : UpdateCheck::Mode::Silent);
    QTRY_VERIFY(!check.isRunning());
    QCOMPARE(prompts->texts(), shown.isEmpty() ? QStringList() : QStringList{shown});
    if (shown.startsWith(QStringLiteral("Plik wersji")) ||
        QTest::currentDataTag() == QLatin1String("6 bytes of text silent"))
        QCOMPARE(lastLoggedFunction(), QStringLiteral("vFunCheckForUpdate()"));
    if (shown.endsWith(QLatin1Char('?')))
        QCOMPARE(prompts->shown[0].caption, QStringLiteral("Nowa wersja"));
    QCOMPARE(accepted.size(), 0); // an offer is declined
    QCOMPARE(server->requests.value("/melvok/kopia.bin"), 0);
}

void TestUpdateCheck::saveReminderWithUnsavedChanges()
{
    server->serve("doc_wersja.bin", {200, versionBytes(1, 2, 3)});
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    w.glowna->setUnsavedChanges(true);
    prompts->answers << Prompts::Answer::Yes;
    w.glowna->findChild<QAction*>(QStringLiteral("Sprawdczyjestnowawersja1"))->trigger();
    QTRY_VERIFY(!w.glowna->updateCheck()->isRunning());
    QCOMPARE(prompts->texts(),
             (QStringList{offer("1.2.3"), QStringLiteral("Przed aktualizacją programu zapisz "
                                                         "dane a następnie uruchom aktualizację."
                                                         "\nPomoc->Sprawdź czy jest nowa wersja")}));
    QCOMPARE(prompts->shown[1].caption, QStringLiteral("Zapisz dane"));
    QVERIFY(!w.glowna->findChild<QTimer*>(QStringLiteral("AktualizacjaTimer"))->isActive());
    w.glowna->setCloseWithoutQuestions(true);
}

void TestUpdateCheck::secondCheckJoinsTheRunningOne()
{
    server->serve("doc_wersja.bin", {.body = versionBytes(1, 0, 0), .held = true});
    TFAktualizacja form;
    UpdateCheck check(
        kRunning, &form, [] { return false; }, nullptr, kLimits);
    check.vFunCheckForUpdate(UpdateCheck::Mode::Silent);
    QTRY_COMPARE(server->requests.value("/melvok/doc_wersja.bin"), 1);
    check.vFunCheckForUpdate(UpdateCheck::Mode::Manual); // asked while the start-up check waits
    server->release();
    QTRY_VERIFY(!check.isRunning());
    QCOMPARE(server->requests.value("/melvok/doc_wersja.bin"), 1);
    QCOMPARE(prompts->texts(), QStringList{noNewer("1.0.0")});
}

void TestUpdateCheck::download_data()
{
    QTest::addColumn<Resource>("package");
    QTest::addColumn<Resource>("checksum");
    QTest::addColumn<QString>("status");

    const QByteArray package = packageBytes();
    const Resource sum = checksumOf(package);
    const QString done = QStringLiteral("Pobieranie zakończone.");
    const QString reading = QStringLiteral("Błąd podczas próby czytania pliku...");
    const QString connection = QStringLiteral("Błąd połączenia...");
    QTest::newRow("250 in 100, 100, 50") << Resource{200, package} << sum << done;
    QTest::newRow("redirect on the same host")
        << Resource{.status = 302, .location = "/melvok/kopia.deb"} << sum << done;
    QTest::newRow("wrong checksum")
        << Resource{200, package} << checksumOf("inny pakiet")
        << QStringLiteral("Pobrany pakiet nie zgadza się ze swoją sumą kontrolną i został usunięty.");
    QTest::newRow("no checksum") << Resource{200, package} << Resource{404} << connection;
    QTest::newRow("checksum not a sum") << Resource{200, package} << Resource{200, "<html>"} << reading;
    QTest::newRow("cut at 150") << Resource{200, package, 150} << sum << reading;
    QTest::newRow("2 GB announced, then cut") << Resource{200, package, -1, "2147483648"} << sum << reading;
    QTest::newRow("101 MB announced") << Resource{200, package, -1, "105906176"} << sum << reading;
    QTest::newRow("sum file of 5 kB")
        << Resource{200, package} << Resource{200, checksumOf(package).body + QByteArray(5000, ' ')}
        << reading;
    QTest::newRow("no length") << Resource{200, package, -1, ""} << sum << reading;
    QTest::newRow("404") << Resource{404, "nie ma"} << sum << connection;
    QTest::newRow("never answers") << Resource{.mute = true} << sum << connection;
    QTest::newRow("trickles") << Resource{.body = package, .trickleMs = 50} << sum << connection;
    QTest::newRow("redirect to another host")
        << Resource{.status = 302, .location = "http://localhost:{port}/melvok/kopia.deb"} << sum
        << connection;
    QTest::newRow("redirect to a file")
        << Resource{.status = 302, .location = "file:///etc/hostname"} << sum << connection;
    QTest::newRow("unreachable") << Resource{0} << sum << connection;
    QTest::newRow("no download folder")
        << Resource{201, package} << sum << QStringLiteral("Błąd zapisu do pliku");
}

void TestUpdateCheck::download()
{
    QFETCH(Resource, package);
    QFETCH(Resource, checksum);
    QFETCH(QString, status);
    if (package.status == 201) // a success, but the download folder is gone
        QVERIFY(QDir(downloadDir()).removeRecursively());
    server->serve(kChecksum, checksum);
    server->serve("kopia.deb", {200, packageBytes()});
    serve(kPackage, package);
    TFAktualizacja form(nullptr, kLimits);
    form.setVersions(kRunning, kOffered);
    form.show();
    auto* close = form.findChild<QPushButton*>(QStringLiteral("btnClose"));
    QVERIFY(close->isEnabled()); // the user can always stop it
    QTRY_COMPARE(form.findChild<QLineEdit*>(QStringLiteral("editStatus"))->text(), status);
    QVERIFY(close->isDefault()); // Enter installs or closes, not the browser button
    QCOMPARE(form.downloaded(), status == QStringLiteral("Pobieranie zakończone."));
    QCOMPARE(server->requests.value("/melvok/kopia.deb"), package.location == "/melvok/kopia.deb" ? 1 : 0);
    if (form.downloaded()) {
        QCOMPARE(close->text(), QStringLiteral("Zainstaluj"));
        QCOMPARE(downloadFolder(), QStringList{kPackage});
        QFile file(packagePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), packageBytes());
        QCOMPARE(file.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther), 0);
    } else {
        QCOMPARE(close->text(), QStringLiteral("Zamknij"));
        QCOMPARE(downloadFolder(), QStringList()); // nothing half-written or unchecked stays
    }
    // Whatever happened, the browser gets the package's address.
    RecordingDesktop desktop;
    form.findChild<QPushButton*>(QStringLiteral("btnDownloadViaBrowser"))->click();
    QCOMPARE(desktop.opened, QList<QUrl>{UpdateServer::packageUrl(kOffered)});
}

void TestUpdateCheck::closeStopsTheDownload()
{
    server->serve(kChecksum, checksumOf(packageBytes()));
    server->serve(kPackage, {.body = packageBytes(), .trickleMs = 50});
    TFAktualizacja form(nullptr, kLimits);
    form.setVersions(kRunning, kOffered);
    form.show();
    QTRY_COMPARE(form.findChild<QLineEdit*>(QStringLiteral("editStatus"))->text(),
                 QStringLiteral("Pobieranie nowej wersji programu"));
    // Enter does nothing by chance while it runs; the button stops it.
    for (auto* button : form.findChildren<QPushButton*>())
        QVERIFY(!button->isDefault());
    form.findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    QVERIFY(!form.isVisible());
    // Stopped, not left running behind the closed window: no stall is noticed later,
    // and nothing of the package stays.
    QTest::qWait(kLimits.stallMs * 3 / 2);
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("editStatus"))->text(),
             QStringLiteral("Pobieranie nowej wersji programu"));
    QVERIFY(!form.downloaded());
    QCOMPARE(downloadFolder(), QStringList());
}

void TestUpdateCheck::installHandsThePackageOver_data()
{
    QTest::addColumn<QByteArray>("handler"); // of Debian packages; empty: none registered

    QTest::newRow("software installer") << QByteArray("org.gnome.Software.desktop");
    QTest::newRow("none registered") << QByteArray();
}

void TestUpdateCheck::installHandsThePackageOver()
{
    QFETCH(QByteArray, handler);
    server->serve("doc_wersja.bin", {200, versionBytes(1, 0, 1)});
    server->serve(kChecksum, checksumOf(packageBytes()));
    server->serve(kPackage, {200, packageBytes()});
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    // Stand-ins for the desktop: xdg-mime names the handler, xdg-open writes down what it
    // was asked to open. Their folder is the whole PATH.
    const QString bin = env->root() + QStringLiteral("/bin");
    const QString opened = env->root() + QStringLiteral("/opened");
    QVERIFY(QDir().mkpath(bin));
    for (const auto& [name, script] :
         {std::pair{"xdg-mime",
                    "#!/bin/sh\n[ \"$*\" = 'query default application/vnd.debian.binary-package' ] "
                    "&& echo '" +
                        handler + "'\n"},
          std::pair{"xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened.toUtf8() + "'\n"}}) {
        QFile file(bin + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8());
    const auto restorePath = qScopeGuard([&savedPath] { qputenv("PATH", savedPath); });
    prompts->answers << Prompts::Answer::Yes;
    // The download window is modal: it is worked from inside its own event loop.
    bool clicked = false;
    QString status;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto* form = qobject_cast<TFAktualizacja*>(QApplication::activeModalWidget());
        if (!form)
            return;
        watcher.stop();
        auto closeAnyway = qScopeGuard([form] {
            if (form->isVisible())
                form->done(0);
        });
        auto* close = form->findChild<QPushButton*>(QStringLiteral("btnClose"));
        QTRY_COMPARE(close->text(), QStringLiteral("Zainstaluj"));
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("NWersjaLabel"))->text(), QStringLiteral("1.0.1"));
        close->click();
        QTRY_VERIFY(!form->isVisible() || close->text() == QStringLiteral("Zamknij"));
        status = form->findChild<QLineEdit*>(QStringLiteral("editStatus"))->text();
        clicked = true;
    });
    watcher.start(20);
    w.glowna->Sprawdczyjestnowawersja1Click();
    QTRY_VERIFY(clicked);
    QCOMPARE(prompts->texts(), QStringList{offer("1.0.1")}); // and no closing question
    if (handler.isEmpty()) {
        QCOMPARE(status, QStringLiteral("Zainstaluj pakiet poleceniem: sudo apt install ") + packagePath());
        QVERIFY(!QFile::exists(opened));
        QVERIFY(!w.glowna->closeWithoutQuestions());
        w.glowna->setCloseWithoutQuestions(true);
        return;
    }
    QTRY_VERIFY(QFile::exists(opened));
    QFile arguments(opened);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(arguments.readAll(), packagePath().toUtf8() + '\n');
    QVERIFY(w.glowna->closeWithoutQuestions());
    QVERIFY(!(QFile::permissions(packagePath()) & QFile::ExeOwner));
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
