#include "services/TFAktualizacja.h"

#include "platform/DesktopOpen.h"
#include "services/ControlTable.h"
#include "services/ServerReply.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QProcess>
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
    {"AWersjaLabel", ControlKind::Value, "", 0, 1},
    {"Label2", ControlKind::Caption, "Nowa wersja:", 1, 0, 1, "NWersjaLabel"},
    {"NWersjaLabel", ControlKind::Value, "", 1, 1},
    {"Label3", ControlKind::Caption, "Postęp pobierania:", 2, 0, 1, "Postep"},
    {"Postep", ControlKind::Gauge, "", 2, 1},
    {"Label4", ControlKind::Caption, "Status:", 3, 0, 1, "editStatus"},
    {"editStatus", ControlKind::Edit, "", 3, 1},
    {"Label5", ControlKind::Caption, "Jeśli masz problem z pobraniem programu użyj adresu poniżej:", 4, 0, 2,
     "editDownloadLink"},
    {"editDownloadLink", ControlKind::Edit, "", 5, 0, 2},
    {"btnDownloadViaBrowser", ControlKind::Button, "Pobierz przez przeglądarkę", 6, 0},
    {"btnClose", ControlKind::Button, "Zamknij", 6, 1},
};

constexpr qint64 kPiece = 16 * 1024;
// A sum file holds one line: the sum and the package's name.
constexpr qsizetype kMostChecksumText = 4096;

const QString kConnection = QStringLiteral("Błąd połączenia...");
const QString kReading = QStringLiteral("Błąd podczas próby czytania pliku...");
const QString kWriting = QStringLiteral("Błąd zapisu do pliku");

template <class T> T* control(const QHash<QString, QWidget*>& controls, const char* name)
{
    return static_cast<T*>(controls.value(QString::fromLatin1(name)));
}

// The path as a shell reads it, quoted where it has to be; the home folder as "~".
QString shellPath(const QString& path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    const QString home = QDir::homePath() + QLatin1Char('/');
    const bool inHome = home.size() > 1 && path.startsWith(home);
    QString word = inHome ? path.mid(home.size()) : path;
    if (!plain.match(word).hasMatch())
        word =
            QLatin1Char('\'') + word.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
    return inHome ? QStringLiteral("~/") + word : word;
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
    btnClose = control<QPushButton>(controls, "btnClose");
    grid->setColumnStretch(1, 1);
    editDownloadLink->setMinimumWidth(420);
    // Enter neither stops a download nor opens the browser by chance: only once the
    // download is over does "Zainstaluj" (or "Zamknij") become the default button.
    btnDownloadViaBrowser->setAutoDefault(false);
    btnClose->setAutoDefault(false);
    m_stallTimer->setInterval(m_limits.stallMs);
    connect(m_stallTimer, &QTimer::timeout, this, &TFAktualizacja::lookForStall);
    connect(btnClose, &QPushButton::clicked, this, &TFAktualizacja::btnCloseClick);
    connect(btnDownloadViaBrowser, &QPushButton::clicked, this, &TFAktualizacja::btnDownloadViaBrowserClick);
}

TFAktualizacja::~TFAktualizacja()
{
    stop();
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
    // "Zamknij" stops the download at any moment.
    btnClose->setText(QStringLiteral("Zamknij"));
    btnClose->setEnabled(true);
    btnClose->setDefault(false);
    editStatus->clear();
    editStatus->setToolTip(QString());
    editStatus->setMinimumWidth(0);
    adjustSize(); // back from a long text of the last showing
    Postep->setRange(0, 100);
    Postep->setValue(0);
    m_downloaded = false;
    m_installable = false;
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
        fail(kReading);
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
            fail(kReading);
            return;
        }
        finishPackage();
        return;
    }
    if (m_reply->answer() != UpdateServer::Answer::Success) {
        fail(m_reply->isSuccessStatus() ? kReading : kConnection);
        return;
    }
    if (!takeChecksum(m_checksumText + m_reply->readAll())) {
        fail(kReading);
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
        fail(kConnection);
        return false;
    }
    // Without a length there is no telling a whole package from a cut one.
    const qint64 length = m_reply->announcedLength();
    if (length <= 0) {
        fail(kReading);
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
        fail(QStringLiteral("Pobrany pakiet nie zgadza się ze swoją sumą kontrolną i został usunięty."));
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
    btnClose->setText(QStringLiteral("Zainstaluj"));
    m_downloaded = true;
    m_installable = true;
    focusClose();
}

void TFAktualizacja::lookForStall()
{
    // A server that trickles keeps a connection alive without ever delivering.
    if (m_received - m_lastLook < m_limits.leastBytes)
        fail(kConnection);
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
    if (m_query) {
        m_query->disconnect(this);
        m_query->kill();
        m_query->waitForFinished(1000);
        std::exchange(m_query, nullptr)->deleteLater();
        btnClose->setEnabled(true);
    }
    m_stage = Stage::Idle;
    m_checksumText.clear();
}

void TFAktualizacja::fail(const QString& status)
{
    stop();
    m_downloaded = false;
    m_installable = false;
    setStatus(status);
    focusClose();
}

void TFAktualizacja::focusClose()
{
    // Enter then installs (or closes) instead of opening the browser.
    btnClose->setDefault(true);
    btnClose->setFocus();
}

void TFAktualizacja::btnCloseClick()
{
    if (m_installable)
        install();
    else
        reject();
}

void TFAktualizacja::install()
{
    // The desktop's software installer is whatever opens Debian packages; xdg-open would
    // hand a package nobody opens to a browser or an archive viewer instead.
    m_query = new QProcess(this);
    m_query->setProgram(QStringLiteral("xdg-mime"));
    m_query->setArguments({QStringLiteral("query"), QStringLiteral("default"),
                           QStringLiteral("application/vnd.debian.binary-package")});
    m_query->setStandardInputFile(QProcess::nullDevice());
    m_query->setStandardErrorFile(QProcess::nullDevice());
    connect(m_query, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QByteArray handler = m_query->readAllStandardOutput().trimmed();
        handOver(status == QProcess::NormalExit && code == 0 && !handler.isEmpty());
    });
    connect(m_query, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            handOver(false);
    });
    btnClose->setEnabled(false);
    m_query->start();
}

void TFAktualizacja::handOver(bool installerRegistered)
{
    std::exchange(m_query, nullptr)->deleteLater();
    btnClose->setEnabled(true);
    const QString path = strFunGetPackagePath();
    if (installerRegistered && QProcess::startDetached(QStringLiteral("xdg-open"), {path})) {
        m_installerStarted = true;
        accept();
        return;
    }
    // The program stays: the package waits in its folder for the command below.
    m_installable = false;
    btnClose->setText(QStringLiteral("Zamknij"));
    const QString command = QStringLiteral("sudo apt install ") + shellPath(path);
    setStatus(QStringLiteral("Zainstaluj pakiet poleceniem: ") + command,
              QStringLiteral("Brak programu do instalowania pakietów. Zainstaluj pakiet poleceniem:\n") +
                  command);
    focusClose();
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
