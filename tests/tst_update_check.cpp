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
    return versions(server, "Czy chcesz pobrać nową wersję programu?");
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
    void packageInstallerAsksTheDesktop_data();
    void packageInstallerAsksTheDesktop();
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
    QTest::addColumn<bool>("browser"); // the address is still offered to the browser

    const QByteArray package = packageBytes();
    const Resource sum = checksumOf(package);
    const QString done = QStringLiteral("Pobieranie zakończone.");
    const QString connection = QStringLiteral("Błąd połączenia...");
    const QString cut = QStringLiteral("Pakiet dotarł niepełny (%1 z %2 bajtów) i został usunięty.");
    const QString redirect =
        QStringLiteral("Serwer przekierował pobieranie pakietu pod adres, któremu program "
                       "nie ufa (302 Found); pobieranie przerwano.");
    QTest::newRow("250 in 100, 100, 50") << Resource{200, package} << sum << done << true;
    QTest::newRow("redirect on the same host")
        << Resource{.status = 302, .location = "/melvok/kopia.deb"} << sum << done << true;
    QTest::newRow("wrong checksum")
        << Resource{200, package} << checksumOf("inny pakiet")
        << QStringLiteral("Pobrany pakiet nie zgadza się ze swoją sumą kontrolną i został usunięty.")
        << false;
    QTest::newRow("no checksum")
        << Resource{200, package} << Resource{404}
        << QStringLiteral("Nie udało się pobrać sumy kontrolnej pakietu: serwer aktualizacji odpowiedział "
                          "404 Not Found.")
        << true;
    QTest::newRow("checksum not a sum")
        << Resource{200, package} << Resource{200, "<html>"}
        << QStringLiteral("Plik sumy kontrolnej pakietu na serwerze jest nieczytelny.") << true;
    QTest::newRow("cut at 150") << Resource{200, package, 150} << sum << cut.arg(150).arg(250) << true;
    const QString large =
        QStringLiteral("Plik %1 na serwerze jest większy, niż program przyjmuje (najwyżej %2); "
                       "pobieranie przerwano.");
    QTest::newRow("2 GB announced") << Resource{200, package, -1, "2147483648"} << sum
                                    << large.arg(QStringLiteral("pakietu"), QStringLiteral("100 MB")) << true;
    QTest::newRow("no length")
        << Resource{200, package, -1, ""} << sum
        << QStringLiteral("Serwer nie podał rozmiaru pakietu, więc nie da się sprawdzić, czy dotarł cały.")
        << true;
    QTest::newRow("404") << Resource{404, "nie ma"} << sum
                         << QStringLiteral("Nie udało się pobrać pakietu: serwer aktualizacji odpowiedział "
                                           "404 Not Found.")
                         << true;
    QTest::newRow("never answers") << Resource{.mute = true} << sum << connection << true;
    QTest::newRow("trickles") << Resource{.body = package, .trickleMs = 50} << sum
                              << QStringLiteral("Serwer przestał przesyłać dane; pobieranie przerwano.")
                              << true;
    QTest::newRow("101 MB announced")
        << Resource{200, package, -1, "105906176"} << sum
        << large.arg(QStringLiteral("pakietu"), QStringLiteral("100 MB")) << true;
    QTest::newRow("sum file of 5 kB")
        << Resource{200, package} << Resource{200, checksumOf(package).body + QByteArray(5000, ' ')}
        << large.arg(QStringLiteral("sumy kontrolnej pakietu"), QStringLiteral("4 kB")) << true;
    QTest::newRow("redirect to another host")
        << Resource{.status = 302, .location = "http://localhost:{port}/melvok/kopia.deb"} << sum << redirect
        << false;
    QTest::newRow("redirect to a file")
        << Resource{.status = 302, .location = "file:///etc/hostname"} << sum << redirect << false;
    QTest::newRow("checksum redirected to another host")
        << Resource{200, package}
        << Resource{.status = 302, .location = "http://localhost:{port}/melvok/kopia.deb"}
        << QStringLiteral("Serwer przekierował pobieranie sumy kontrolnej pakietu pod adres, któremu program "
                          "nie ufa (302 Found); pobieranie przerwano.")
        << false;
    QTest::newRow("unreachable") << Resource{0} << sum << connection << true;
    QTest::newRow("no download folder")
        << Resource{201, package} << sum << QStringLiteral("Błąd zapisu do pliku") << true;
}

void TestUpdateCheck::download()
{
    QFETCH(Resource, package);
    QFETCH(Resource, checksum);
    QFETCH(QString, status);
    QFETCH(bool, browser);
    if (package.status == 201) // a success, but the download folder is gone
        QVERIFY(QDir(downloadDir()).removeRecursively());
    server->serve(kChecksum, checksum);
    server->serve("kopia.deb", {200, packageBytes()});
    serve(kPackage, package);
    TFAktualizacja form(nullptr, kLimits);
    form.setVersions(kRunning, kOffered);
    form.show();
    auto* close = form.findChild<QPushButton*>(QStringLiteral("btnClose"));
    auto* install = form.findChild<QPushButton*>(QStringLiteral("btnInstall"));
    auto* viaBrowser = form.findChild<QPushButton*>(QStringLiteral("btnDownloadViaBrowser"));
    QVERIFY(close->isEnabled()); // the user can always stop it
    QVERIFY(!install->isEnabled());
    QTRY_COMPARE(form.findChild<QLineEdit*>(QStringLiteral("editStatus"))->text(), status);
    QCOMPARE(form.downloaded(), status == QStringLiteral("Pobieranie zakończone."));
    // Whatever the outcome, "Zamknij" is there; Enter installs after a download and
    // closes after a failure, never opens the browser.
    QVERIFY(close->isVisible() && close->isEnabled());
    QCOMPARE(close->text(), QStringLiteral("Zamknij"));
    QCOMPARE(install->isEnabled(), form.downloaded());
    QCOMPARE(install->isDefault(), form.downloaded());
    QCOMPARE(close->isDefault(), !form.downloaded());
    QCOMPARE(viaBrowser->isEnabled(), browser);
    QCOMPARE(server->requests.value("/melvok/kopia.deb"), package.location == "/melvok/kopia.deb" ? 1 : 0);
    if (form.downloaded()) {
        QCOMPARE(downloadFolder(), QStringList{kPackage});
        QFile file(packagePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), packageBytes());
        QCOMPARE(file.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther), 0);
    } else {
        QCOMPARE(downloadFolder(), QStringList()); // nothing half-written or unchecked stays
    }
    // The browser gets the package's address unless it would bring an untrusted package.
    RecordingDesktop desktop;
    viaBrowser->click();
    QCOMPARE(desktop.opened, browser ? QList<QUrl>{UpdateServer::packageUrl(kOffered)} : QList<QUrl>());
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("editDownloadLink"))->text().isEmpty(), !browser);
    close->click();
    QVERIFY(!form.isVisible());
    QVERIFY(desktop.started.isEmpty());
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
    QVERIFY(!form.findChild<QPushButton*>(QStringLiteral("btnInstall"))->isEnabled());
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
    QTest::addColumn<QString>("installer"); // of Debian packages; empty: none registered
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<bool>("yes");            // the answer to the password question
    QTest::addColumn<QStringList>("started"); // "{}" stands for the package's path
    QTest::addColumn<QString>("told");        // the box shown after the offer; empty: none

    const QStringList apt{QStringLiteral("pkexec"), QStringLiteral("apt-get")};
    const QStringList pkexec{QStringLiteral("/usr/bin/pkexec"), QStringLiteral("/usr/bin/apt-get"),
                             QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("{}")};
    const QString password =
        QStringLiteral("Na tym komputerze nie ma programu do instalowania pakietów. Nową wersję zainstaluje "
                       "systemowe polecenie apt-get; potrzebne jest do tego hasło administratora komputera, "
                       "o które system zapyta w osobnym oknie.\n\nProgram zostanie zamknięty. Czy "
                       "zainstalować nową wersję teraz?");
    const QString ask =
        QStringLiteral("Na tym komputerze nie ma programu do instalowania pakietów, a Twoje konto nie może "
                       "samo instalować programów.\n\nPoproś administratora komputera (na przykład szkolnego "
                       "informatyka) o zainstalowanie nowej wersji z pliku: {}");
    QTest::newRow("software installer")
        << QStringLiteral("org.gnome.Software.desktop") << apt << true
        << QStringList{QStringLiteral("xdg-open"), QStringLiteral("{}")} << QString();
    QTest::newRow("apt-get with the password") << QString() << apt << true << pkexec << password;
    QTest::newRow("apt-get declined") << QString() << apt << false << QStringList() << password;
    QTest::newRow("no pkexec") << QString() << QStringList{QStringLiteral("apt-get")} << true << QStringList()
                               << ask;
    QTest::newRow("nothing at all") << QString() << QStringList() << true << QStringList() << ask;
}

void TestUpdateCheck::installHandsThePackageOver()
{
    QFETCH(QString, installer);
    QFETCH(QStringList, programs);
    QFETCH(bool, yes);
    QFETCH(QStringList, started);
    QFETCH(QString, told);
    started.replaceInStrings(QStringLiteral("{}"), packagePath());
    told.replace(QStringLiteral("{}"), packagePath());
    server->serve("doc_wersja.bin", {200, versionBytes(1, 0, 1)});
    server->serve(kChecksum, checksumOf(packageBytes()));
    server->serve(kPackage, {200, packageBytes()});
    RecordingDesktop desktop;
    desktop.installer = installer;
    desktop.programs = programs;
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    prompts->answers << Prompts::Answer::Yes << (yes ? Prompts::Answer::Yes : Prompts::Answer::No);
    // The download window is modal: it is worked from inside its own event loop.
    bool clicked = false;
    bool stillOpen = false;
    bool installLeft = false;
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
        auto* install = form->findChild<QPushButton*>(QStringLiteral("btnInstall"));
        QTRY_VERIFY(install->isEnabled());
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("NWersjaLabel"))->text(), QStringLiteral("1.0.1"));
        install->click();
        stillOpen = form->isVisible();
        installLeft = install->isEnabled();
        status = form->findChild<QLineEdit*>(QStringLiteral("editStatus"))->text();
        auto* close = form->findChild<QPushButton*>(QStringLiteral("btnClose"));
        QVERIFY(!stillOpen || (close->isEnabled() && close->text() == QStringLiteral("Zamknij")));
        clicked = true;
    });
    watcher.start(20);
    w.glowna->Sprawdczyjestnowawersja1Click();
    QTRY_VERIFY(clicked);
    QStringList shown{offer("1.0.1")};
    if (!told.isEmpty())
        shown << told;
    QCOMPARE(prompts->texts(), shown);
    QCOMPARE(desktop.started, started.isEmpty() ? QList<QStringList>() : QList<QStringList>({started}));
    // Handed over, the program ends without a question; otherwise it stays as it was.
    QCOMPARE(stillOpen, started.isEmpty());
    QCOMPARE(w.glowna->closeWithoutQuestions(), !started.isEmpty());
    // Declined, "Zainstaluj" can be pressed again; with nobody to install, the status
    // line keeps whom to ask.
    if (stillOpen)
        QCOMPARE(installLeft, !yes);
    if (told.contains(QStringLiteral("Poproś")))
        QVERIFY(told.endsWith(status));
    QVERIFY(QFile::exists(packagePath()));
    QVERIFY(!(QFile::permissions(packagePath()) & QFile::ExeOwner));
    w.glowna->setCloseWithoutQuestions(true);
}

void TestUpdateCheck::packageInstallerAsksTheDesktop_data()
{
    QTest::addColumn<QByteArray>("script"); // xdg-mime; empty: not installed
    QTest::addColumn<QString>("installer");

    const QByteArray query =
        "#!/bin/sh\n[ \"$*\" = 'query default application/vnd.debian.binary-package' ] && ";
    QTest::newRow("registered") << query + "echo 'org.gnome.Software.desktop'\n"
                                << QStringLiteral("org.gnome.Software.desktop");
    QTest::newRow("none registered") << query + "echo\n" << QString();
    QTest::newRow("fails") << QByteArray("#!/bin/sh\necho x-archive.desktop\nexit 3\n") << QString();
    QTest::newRow("no xdg-mime") << QByteArray() << QString();
}

void TestUpdateCheck::packageInstallerAsksTheDesktop()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, installer);
    // A stand-in for the desktop's xdg-mime; its folder is the whole PATH.
    const QString bin = env->root() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    if (!script.isEmpty()) {
        QFile file(bin + QStringLiteral("/xdg-mime"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8());
    const auto restorePath = qScopeGuard([&savedPath] { qputenv("PATH", savedPath); });
    QCOMPARE(DesktopOpen::Handler::instance().packageInstaller(), installer);
    QCOMPARE(DesktopOpen::Handler::instance().findProgram(QStringLiteral("xdg-mime")).isEmpty(),
             script.isEmpty());
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
