// The update check and the installer download against a small HTTP server of the
// test's own on 127.0.0.1, and the way from the "Pomoc" menu to the started installer.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "services/TFAktualizacja.h"
#include "services/UpdateCheck.h"
#include "services/UpdateServer.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

namespace {

// What the server does for one file. Status 0 stands for an address where nothing
// listens; 302 sends the client back to the same file.
struct Resource {
    int status = 200;
    QByteArray body;
    int cutAt = -1;             // the connection ends after this many bytes of the body
    QByteArray length = "auto"; // Content-Length: the body's, none (""), or as given
    bool mute = false;          // takes the request and never answers
    bool held = false;          // answers once released
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
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                socket->disconnect(this); // one request per connection
                const QByteArray path = socket->readLine().split(' ').value(1);
                ++requests[path];
                const Resource r = files.value(path, {404});
                if (r.held)
                    held.append({socket, r});
                else if (!r.mute)
                    answer(socket, r);
            });
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/melvok/").arg(serverPort()); }
    void serve(const char* name, const Resource& r) { files.insert(QByteArray("/melvok/") + name, r); }
    void release()
    {
        for (auto [socket, r] : std::exchange(held, {}))
            answer(socket, r);
    }
    QHash<QByteArray, int> requests;

private:
    static void answer(QTcpSocket* socket, const Resource& r)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nConnection: close\r\n";
        const QByteArray length = r.length == "auto" ? QByteArray::number(r.body.size()) : r.length;
        if (!length.isEmpty())
            head += "Content-Length: " + length + "\r\n";
        if (r.status == 302)
            head += "Location: /melvok/doc_wersja.bin\r\n";
        socket->write(head + "\r\n");
        writePieces(socket, r.cutAt >= 0 ? r.body.left(r.cutAt) : r.body);
    }
    // The body in pieces of 100 bytes, each flushed before the next is written.
    static void writePieces(QTcpSocket* socket, const QByteArray& rest)
    {
        socket->write(rest.left(100));
        socket->flush();
        if (rest.size() <= 100)
            socket->disconnectFromHost();
        else
            QTimer::singleShot(20, socket, [socket, rest] { writePieces(socket, rest.mid(100)); });
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
    QString installerPath() { return env->dataDir() + QStringLiteral("/aktualizacja/nowy.exe"); }

private Q_SLOTS:
    void initTestCase() { UpdateServer::overrideTransferTimeout(500); }
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
    void installEndsTheProgram();
};

void TestUpdateCheck::versionFile_data()
{
    QTest::addColumn<Resource>("resource");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("shown"); // the one box shown; empty: none

    const QString invalid = QStringLiteral("Serwer aktualizacji podał nieprawidłowy plik wersji.");
    QTest::newRow("1.0.0") << Resource{200, versionBytes(1, 0, 0)} << true << noNewer("1.0.0");
    QTest::newRow("1.0.0 silent") << Resource{200, versionBytes(1, 0, 0)} << false << QString();
    QTest::newRow("1.0.1 silent") << Resource{200, versionBytes(1, 0, 1)} << false << offer("1.0.1");
    QTest::newRow("1.1.0") << Resource{200, versionBytes(1, 1, 0)} << true << offer("1.1.0");
    QTest::newRow("2.0.0 silent") << Resource{200, versionBytes(2, 0, 0)} << false << offer("2.0.0");
    QTest::newRow("0.9.9") << Resource{200, versionBytes(0, 9, 9)} << true << noNewer("0.9.9");
    QTest::newRow("4 bytes") << Resource{200, versionBytes(2, 0, 0).left(4)} << true << offer("2.0.0");
    for (int status : {404, 500, 403})
        QTest::addRow("%d", status) << Resource{status, versionBytes(9, 9, 9)} << true << QString();
    QTest::newRow("13 bytes") << Resource{200, versionBytes(9, 9, 9) + "x"} << true << invalid;
    QTest::newRow("13 bytes silent") << Resource{200, versionBytes(9, 9, 9) + "x"} << false << QString();
    QTest::newRow("portal page") << Resource{200, QByteArray(200000, '<')} << true << invalid;
    QTest::newRow("never answers") << Resource{.mute = true} << true << kNoConnection;
    QTest::newRow("never answers silent") << Resource{.mute = true} << false << QString();
    QTest::newRow("redirect loop") << Resource{302} << true << kNoConnection;
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
    TFAktualizacja form;
    UpdateCheck check(
        {1, 0, 0}, &form, [] { return false; }, nullptr);
    QSignalSpy accepted(&check, &UpdateCheck::downloadAccepted);
    check.vFunCheckForUpdate(manual ? UpdateCheck::Mode::Manual : UpdateCheck::Mode::Silent);
    QTRY_VERIFY(!check.isRunning());
    QCOMPARE(prompts->texts(), shown.isEmpty() ? QStringList() : QStringList{shown});
    if (shown.endsWith(QLatin1Char('?')))
        QCOMPARE(prompts->shown[0].caption, QStringLiteral("Nowa wersja"));
    QCOMPARE(accepted.size(), 0); // an offer is declined
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
        {1, 0, 0}, &form, [] { return false; }, nullptr);
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
    QTest::addColumn<Resource>("resource");
    QTest::addColumn<QString>("status"); // empty: the download is complete

    QByteArray installer(250, '\0');
    for (int i = 0; i < installer.size(); ++i)
        installer[i] = char(i * 7);
    const QString reading = QStringLiteral("Błąd podczas próby czytania pliku...");
    const QString connection = QStringLiteral("Błąd połączenia...");
    QTest::newRow("250 in 100, 100, 50") << Resource{200, installer} << QString();
    QTest::newRow("cut at 150") << Resource{200, installer, 150} << reading;
    QTest::newRow("no length") << Resource{200, installer, -1, ""} << reading;
    QTest::newRow("length not a number") << Resource{200, installer, -1, "dużo"} << reading;
    QTest::newRow("404") << Resource{404, "nie ma"} << connection;
    QTest::newRow("never answers") << Resource{.mute = true} << connection;
    QTest::newRow("unreachable") << Resource{0} << connection;
    QTest::newRow("no download folder") << Resource{201, installer} << QStringLiteral("Błąd zapisu do pliku");
}

void TestUpdateCheck::download()
{
    QFETCH(Resource, resource);
    QFETCH(QString, status);
    if (resource.status == 201) // a success, but the download folder is gone
        QVERIFY(QDir(env->dataDir() + QStringLiteral("/aktualizacja")).removeRecursively());
    serve("zidarari.exe", resource);
    TFAktualizacja form;
    form.show();
    auto* close = form.findChild<QPushButton*>(QStringLiteral("btnClose"));
    QVERIFY(!close->isEnabled());
    QTRY_VERIFY(close->isEnabled());
    QVERIFY(close->isDefault()); // Enter installs or closes, not the browser button
    QCOMPARE(form.downloaded(), status.isEmpty());
    QFile file(installerPath());
    if (status.isEmpty()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), resource.body);
        QCOMPARE(close->text(), QStringLiteral("Zainstaluj"));
    } else {
        QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("editStatus"))->text(), status);
        QCOMPARE(close->text(), QStringLiteral("Zamknij"));
        QVERIFY(!file.exists()); // nothing half-written is offered
    }
    // Whatever happened, the browser gets the installer's address.
    RecordingDesktop desktop;
    form.findChild<QPushButton*>(QStringLiteral("btnDownloadViaBrowser"))->click();
    QCOMPARE(desktop.opened, QList<QUrl>{UpdateServer::installerUrl()});
}

void TestUpdateCheck::installEndsTheProgram()
{
    // The installer is a script that writes down the path it was started from.
    const QString marker = env->root() + QStringLiteral("/installer-started");
    server->serve("doc_wersja.bin", {200, versionBytes(1, 0, 1)});
    server->serve("zidarari.exe", {200, "#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n"});
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    prompts->answers << Prompts::Answer::Yes;
    // The download window is modal: it is worked from inside its own event loop.
    bool installed = false;
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
        installed = true;
    });
    watcher.start(20);
    w.glowna->Sprawdczyjestnowawersja1Click();
    QTRY_VERIFY(installed);
    QTRY_VERIFY(QFile::exists(marker));
    QFile started(marker);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll().trimmed(), installerPath().toUtf8());
    QVERIFY(w.glowna->closeWithoutQuestions());
    QCOMPARE(prompts->texts(), QStringList{offer("1.0.1")}); // and no closing question
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
