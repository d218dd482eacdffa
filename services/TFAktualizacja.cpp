#include "services/TFAktualizacja.h"

#include "platform/DesktopOpen.h"
#include "prompts/Prompts.h"
#include "services/ControlTable.h"
#include "services/ServerReply.h"
#include "storage/DataPaths.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr ControlEntry Controls[] = {
    {"Label1", ControlKind::Caption, "Aktualna wersja:", 0, 0, 1, "AWersjaLabel"},
    {"AWersjaLabel", ControlKind::Value, "", 0, 1, 2},
    {"Label2", ControlKind::Caption, "Nowa wersja:", 1, 0, 1, "NWersjaLabel"},
    {"NWersjaLabel", ControlKind::Value, "", 1, 1, 2},
    {"Label3", ControlKind::Caption, "Postęp pobierania:", 2, 0, 1, "Postep"},
    {"Postep", ControlKind::Gauge, "", 2, 1, 2},
    {"Label4", ControlKind::Caption, "Status:", 3, 0, 1, "editStatus"},
    {"editStatus", ControlKind::Edit, "", 3, 1, 2},
    {"Label5", ControlKind::Caption, "Jeśli masz problem z pobraniem programu użyj adresu poniżej:", 4, 0, 3,
     "editDownloadLink"},
    {"editDownloadLink", ControlKind::Edit, "", 5, 0, 3},
    {"btnDownloadViaBrowser", ControlKind::Button, "Pobierz przez przeglądarkę", 6, 0},
    {"btnInstall", ControlKind::Button, "Zainstaluj", 6, 1, 1, nullptr, false},
    {"btnClose", ControlKind::Button, "Zamknij", 6, 2},
};

constexpr qint64 kPiece = 16 * 1024;
// A sum file holds one line: the sum and the package's name.
constexpr qsizetype kMostChecksumText = 4096;

const QString kConnection = QStringLiteral("Błąd połączenia...");
const QString kWriting = QStringLiteral("Błąd zapisu do pliku");
const QString kStalled = QStringLiteral("Serwer przestał przesyłać dane; pobieranie przerwano.");
const QString kNotASum = QStringLiteral("Plik sumy kontrolnej pakietu na serwerze jest nieczytelny.");
const QString kNoLength =
    QStringLiteral("Serwer nie podał rozmiaru pakietu, więc nie da się sprawdzić, czy dotarł cały.");
const QString kWrongSum =
    QStringLiteral("Pobrany pakiet nie zgadza się ze swoją sumą kontrolną i został usunięty.");

// A file longer than the program takes from the update server (its limit in words).
QString tooLarge(const char* what, qint64 limit)
{
    const QString most = limit >= 1024 * 1024 ? QStringLiteral("%1 MB").arg(limit / (1024 * 1024))
                                              : QStringLiteral("%1 kB").arg(limit / 1024);
    return QStringLiteral("Plik %1 na serwerze jest większy, niż program przyjmuje (najwyżej %2); "
                          "pobieranie przerwano.")
        .arg(QString::fromUtf8(what), most);
}

template <class T> T* control(const QHash<QString, QWidget*>& controls, const char* name)
{
    return static_cast<T*>(controls.value(QString::fromLatin1(name)));
}

} // namespace

TFAktualizacja::TFAktualizacja(QWidget* parent, const UpdateServer::Limits& limits)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_limits(limits),
      m_network(new QNetworkAccessManager(this)), m_stallTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("FAktualizacja"));
    setWindowTitle(QStringLiteral("Aktualizacja"));
    auto* grid = new QGridLayout(this);
    const auto controls = ControlTable::build(this, grid, Controls);
    AWersjaLabel = control<QLabel>(controls, "AWersjaLabel");
    NWersjaLabel = control<QLabel>(controls, "NWersjaLabel");
    Postep = control<QProgressBar>(controls, "Postep");
    editStatus = control<QLineEdit>(controls, "editStatus");
    editDownloadLink = control<QLineEdit>(controls, "editDownloadLink");
    btnDownloadViaBrowser = control<QPushButton>(controls, "btnDownloadViaBrowser");
    btnInstall = control<QPushButton>(controls, "btnInstall");
    btnClose = control<QPushButton>(controls, "btnClose");
    grid->setColumnStretch(1, 1);
    grid->setAlignment(btnInstall, Qt::AlignRight);
    editDownloadLink->setMinimumWidth(420);
    // Enter neither stops a download nor opens the browser by chance: only once the
    // download is over does "Zainstaluj" (or "Zamknij") become the default button.
    btnDownloadViaBrowser->setAutoDefault(false);
    btnInstall->setAutoDefault(false);
    btnClose->setAutoDefault(false);
    m_stallTimer->setInterval(m_limits.stallMs);
    connect(m_stallTimer, &QTimer::timeout, this, &TFAktualizacja::lookForStall);
    connect(btnInstall, &QPushButton::clicked, this, &TFAktualizacja::install);
    connect(btnClose, &QPushButton::clicked, this, &TFAktualizacja::reject);
    connect(btnDownloadViaBrowser, &QPushButton::clicked, this, &TFAktualizacja::btnDownloadViaBrowserClick);
}

TFAktualizacja::~TFAktualizacja()
{
    stop();
    // A reply handed to deleteLater goes now, while the network it came from still
    // exists: the children die in the order they were made, the network first.
    qDeleteAll(findChildren<ServerReply*>(Qt::FindDirectChildrenOnly));
}

void TFAktualizacja::setVersions(const VersionTriple& running, const VersionTriple& server)
{
    m_server = server;
    AWersjaLabel->setText(running.text());
    NWersjaLabel->setText(server.text());
}

QString TFAktualizacja::strFunGetPackagePath() const
{
    MessageBuffer scratch;
    const QString dir = strFunGetMainDirPath(scratch);
    return dir.isEmpty() ? QString()
                         : dir + QStringLiteral("/aktualizacja/") + UpdateServer::packageFileName(m_server);
}

void TFAktualizacja::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        vFunDownloadUpdate();
}

void TFAktualizacja::hideEvent(QHideEvent* event)
{
    // Hidden in the middle of a download (the program ends): nothing half-written stays.
    if (!event->spontaneous())
        stop();
    QDialog::hideEvent(event);
}

void TFAktualizacja::reject()
{
    stop();
    QDialog::reject();
}

void TFAktualizacja::vFunDownloadUpdate()
{
    stop();
    editDownloadLink->setText(UpdateServer::packageUrl(m_server).toString());
    offerBrowser(true);
    // "Zamknij" stops the download at any moment.
    btnInstall->setEnabled(false);
    btnInstall->setDefault(false);
    btnClose->setDefault(false);
    editStatus->clear();
    editStatus->setToolTip(QString());
    editStatus->setMinimumWidth(0);
    adjustSize(); // back from a long text of the last showing
    Postep->setRange(0, 100);
    Postep->setValue(0);
    m_downloaded = false;
    m_installerStarted = false;
    // The sum first: without it the package could not be trusted, so it is not fetched.
    startTransfer(Stage::Checksum, UpdateServer::checksumUrl(m_server));
}

void TFAktualizacja::startTransfer(Stage stage, const QUrl& url)
{
    m_stage = stage;
    m_received = 0;
    m_lastLook = 0;
    m_reply = new ServerReply(m_network, url, this);
    connect(m_reply, &ServerReply::readyRead, this, &TFAktualizacja::replyReadyRead);
    connect(m_reply, &ServerReply::finished, this, &TFAktualizacja::replyFinished);
    m_stallTimer->start();
}

void TFAktualizacja::replyReadyRead()
{
    // An error page is not kept; the end of the reply tells what went wrong.
    if (!m_reply->isSuccessStatus()) {
        m_reply->readAll();
        return;
    }
    if (m_stage == Stage::Package) {
        if (!m_file && !beginWriting())
            return;
        writeAvailable();
        return;
    }
    const QByteArray piece = m_reply->readAll();
    m_received += piece.size();
    m_checksumText += piece;
    if (m_checksumText.size() > kMostChecksumText)
        fail(kNotASum);
}

void TFAktualizacja::replyFinished()
{
    m_stallTimer->stop();
    if (m_stage == Stage::Package) {
        // Nothing of the body came before the end: no connection, an error status, or
        // an empty body.
        if (!m_file && !beginWriting())
            return;
        if (!writeAvailable())
            return;
        // A transfer cut short is not a package.
        if (m_reply->answer() != UpdateServer::Answer::Success || m_written != m_length) {
            fail(QStringLiteral("Pakiet dotarł niepełny (%1 z %2 bajtów) i został usunięty.")
                     .arg(m_written)
                     .arg(m_length));
            return;
        }
        finishPackage();
        return;
    }
    if (m_reply->isTooLarge()) {
        fail(tooLarge("sumy kontrolnej pakietu", UpdateServer::SmallAnswerLimit));
        return;
    }
    if (m_reply->answer() != UpdateServer::Answer::Success) {
        failOnAnswer(QStringLiteral("sumy kontrolnej pakietu"));
        return;
    }
    if (!takeChecksum(m_checksumText + m_reply->readAll())) {
        fail(kNotASum);
        return;
    }
    std::exchange(m_reply, nullptr)->deleteLater();
    startTransfer(Stage::Package, UpdateServer::packageUrl(m_server));
}

bool TFAktualizacja::takeChecksum(const QByteArray& text)
{
    static const QRegularExpression sum(QStringLiteral("^\\s*([0-9A-Fa-f]{64})(\\s|$)"));
    const QRegularExpressionMatch match = sum.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return false;
    m_expectedSum = QByteArray::fromHex(match.captured(1).toLatin1());
    return true;
}

bool TFAktualizacja::beginWriting()
{
    if (!m_reply->isSuccessStatus()) {
        failOnAnswer(QStringLiteral("pakietu"));
        return false;
    }
    if (m_reply->isTooLarge()) {
        fail(tooLarge("pakietu", UpdateServer::PackageSizeLimit));
        return false;
    }
    // Without a length there is no telling a whole package from a cut one.
    const qint64 length = m_reply->announcedLength();
    if (length <= 0) {
        fail(kNoLength);
        return false;
    }
    m_length = length;
    m_written = 0;
    m_gaugeShift = 0;
    while ((length >> m_gaugeShift) > INT_MAX)
        ++m_gaugeShift;
    Postep->setRange(0, int(length >> m_gaugeShift));
    Postep->setValue(0);
    const QString path = strFunGetPackagePath();
    // The package is written beside its final name and takes it only once its sum
    // has been checked; until then a stop or a failure leaves nothing behind.
    m_file = std::make_unique<QSaveFile>(path);
    if (path.isEmpty() || !m_file->open(QIODevice::WriteOnly)) {
        fail(kWriting);
        return false;
    }
    m_hash.reset();
    setStatus(QStringLiteral("Pobieranie nowej wersji programu"));
    return true;
}

bool TFAktualizacja::writeAvailable()
{
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(kPiece);
        m_received += piece.size();
        if (m_file->write(piece) != piece.size()) {
            fail(kWriting);
            return false;
        }
        m_hash.addData(piece);
        m_written += piece.size();
        Postep->setValue(int(std::min(m_written, m_length) >> m_gaugeShift));
    }
    return true;
}

void TFAktualizacja::finishPackage()
{
    if (m_hash.result() != m_expectedSum) {
        fail(kWrongSum);
        // The same address would bring the same package: the browser is not offered it.
        offerBrowser(false);
        return;
    }
    if (!m_file->commit()) {
        fail(kWriting);
        return;
    }
    m_file.reset();
    std::exchange(m_reply, nullptr)->deleteLater();
    m_stage = Stage::Idle;
    Postep->setValue(Postep->maximum());
    setStatus(QStringLiteral("Pobieranie zakończone."));
    m_downloaded = true;
    btnInstall->setEnabled(true);
    btnInstall->setDefault(true);
    btnInstall->setFocus();
}

void TFAktualizacja::lookForStall()
{
    // A server that trickles keeps a connection alive without ever delivering.
    if (m_received - m_lastLook < m_limits.leastBytes)
        fail(m_received > 0 || m_reply->isSuccessStatus() ? kStalled : kConnection);
    else
        m_lastLook = m_received;
}

void TFAktualizacja::stop()
{
    m_stallTimer->stop();
    if (m_reply) {
        m_reply->disconnect(this);
        std::exchange(m_reply, nullptr)->deleteLater(); // which cuts off a transfer under way
    }
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset(); // which deletes what was written
    }
    m_stage = Stage::Idle;
    m_checksumText.clear();
}

void TFAktualizacja::fail(const QString& status)
{
    stop();
    m_downloaded = false;
    btnInstall->setEnabled(false);
    setStatus(status);
    // Enter then closes instead of opening the browser.
    btnClose->setDefault(true);
    btnClose->setFocus();
}

void TFAktualizacja::failOnAnswer(const QString& what)
{
    const QString status = m_reply->statusText();
    const int code = status.section(QLatin1Char(' '), 0, 0).toInt();
    if (code / 100 == 3) {
        // A redirect the program does not follow: to another server, to a file, from
        // https to http, or round in circles. The browser would follow it.
        fail(QStringLiteral("Serwer przekierował pobieranie %1 pod adres, któremu program nie ufa (%2); "
                            "pobieranie przerwano.")
                 .arg(what, status));
        offerBrowser(false);
    } else if (code != 0) {
        fail(QStringLiteral("Nie udało się pobrać %1: serwer aktualizacji odpowiedział %2.")
                 .arg(what, status));
    } else {
        fail(kConnection);
    }
}

void TFAktualizacja::offerBrowser(bool offered)
{
    if (!offered)
        editDownloadLink->clear();
    editDownloadLink->setEnabled(offered);
    btnDownloadViaBrowser->setEnabled(offered);
}

void TFAktualizacja::install()
{
    DesktopOpen::Handler& desktop = DesktopOpen::Handler::instance();
    const QString path = strFunGetPackagePath();
    // The desktop's software installer asks for what it needs itself.
    if (!desktop.packageInstaller().isEmpty() && desktop.startDetached(QStringLiteral("xdg-open"), {path})) {
        m_installerStarted = true;
        accept();
        return;
    }
    const QString pkexec = desktop.findProgram(QStringLiteral("pkexec"));
    const QString aptGet = desktop.findProgram(QStringLiteral("apt-get"));
    if (!pkexec.isEmpty() && !aptGet.isEmpty()) {
        if (!Prompts::instance().askYesNo(
                this,
                QStringLiteral("Na tym komputerze nie ma programu do instalowania pakietów. Nową wersję "
                               "zainstaluje systemowe polecenie apt-get; potrzebne jest do tego hasło "
                               "administratora komputera, o które system zapyta w osobnym oknie.\n\n"
                               "Program zostanie zamknięty. Czy zainstalować nową wersję teraz?"),
                QStringLiteral("Aktualizacja")))
            return;
        if (desktop.startDetached(pkexec, {aptGet, QStringLiteral("install"), QStringLiteral("-y"), path})) {
            m_installerStarted = true;
            accept();
            return;
        }
    }
    // The program stays; the package waits in its folder for whoever may install it.
    btnInstall->setEnabled(false);
    const QString ask = QStringLiteral("Poproś administratora komputera (na przykład szkolnego informatyka) "
                                       "o zainstalowanie nowej wersji z pliku: ") +
                        path;
    setStatus(ask);
    btnClose->setDefault(true);
    btnClose->setFocus();
    Prompts::instance().message(
        this,
        QStringLiteral("Na tym komputerze nie ma programu do instalowania pakietów, a Twoje konto nie może "
                       "samo instalować programów.\n\n") +
            ask,
        QStringLiteral("Aktualizacja"), Prompts::Icon::Information, Prompts::Buttons::Ok);
}

void TFAktualizacja::setStatus(const QString& text, const QString& toolTip)
{
    editStatus->setText(text);
    editStatus->setToolTip(toolTip.isEmpty() ? text : toolTip);
    editStatus->setCursorPosition(0);
    const int room = editStatus->fontMetrics().horizontalAdvance(text) + 16;
    if (room <= editStatus->width())
        return;
    // The whole text stays in sight, to be read or copied from the line: the window
    // widens about its centre, as far as the screen allows.
    const QRect before = geometry();
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const int most = screen.isValid() ? editStatus->width() + screen.width() - 40 - width() : room;
    editStatus->setMinimumWidth(std::min(room, std::max(most, editStatus->width())));
    adjustSize();
    QRect after = geometry();
    after.moveCenter(QPoint(before.center().x(), after.center().y()));
    if (screen.isValid())
        after.moveLeft(
            std::clamp(after.left(), screen.left(), std::max(screen.left(), screen.right() - after.width())));
    move(after.topLeft());
}

void TFAktualizacja::btnDownloadViaBrowserClick()
{
    DesktopOpen::open(QUrl(editDownloadLink->text()));
}
