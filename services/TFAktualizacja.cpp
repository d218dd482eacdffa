#include "services/TFAktualizacja.h"

#include "platform/DesktopOpen.h"
#include "services/ControlTable.h"
#include "services/UpdateServer.h"
#include "storage/DataPaths.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

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
    {"editStatus", ControlKind::Edit, "", 3, 1, 1, nullptr, false},
    {"Label5", ControlKind::Caption, "Jeśli masz problem z pobraniem programu użyj adresu poniżej:", 4, 0, 2,
     "editDownloadLink"},
    {"editDownloadLink", ControlKind::Edit, "", 5, 0, 2},
    {"btnDownloadViaBrowser", ControlKind::Button, "Pobierz przez przeglądarkę", 6, 0},
    {"btnClose", ControlKind::Button, "Zamknij", 6, 1},
};

constexpr qint64 kPiece = 100;

template <class T> T* control(const QHash<QString, QWidget*>& controls, const char* name)
{
    return static_cast<T*>(controls.value(QString::fromLatin1(name)));
}

} // namespace

TFAktualizacja::TFAktualizacja(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_network(new QNetworkAccessManager(this))
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
    connect(btnClose, &QPushButton::clicked, this, &TFAktualizacja::btnCloseClick);
    connect(btnDownloadViaBrowser, &QPushButton::clicked, this, &TFAktualizacja::btnDownloadViaBrowserClick);
}

TFAktualizacja::~TFAktualizacja()
{
    if (m_reply)
        fail(QString());
}

void TFAktualizacja::setVersions(const QString& running, const QString& server)
{
    AWersjaLabel->setText(running);
    NWersjaLabel->setText(server);
}

QString TFAktualizacja::strFunGetInstallerPath()
{
    MessageBuffer scratch;
    const QString dir = strFunGetMainDirPath(scratch);
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/aktualizacja/nowy.exe");
}

void TFAktualizacja::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    editDownloadLink->setText(UpdateServer::installerUrl().toString());
    btnClose->setEnabled(false);
    btnClose->setText(QStringLiteral("Zamknij"));
    m_downloaded = false;
    m_installerStarted = false;
    vFunDownloadUpdate();
}

void TFAktualizacja::hideEvent(QHideEvent* event)
{
    // Hidden in the middle of a download (the program ends): nothing half-written stays.
    if (m_reply && !event->spontaneous())
        fail(QString());
    QDialog::hideEvent(event);
}

void TFAktualizacja::reject()
{
    // The window closes through its button, which waits for the download to end.
    if (btnClose->isEnabled())
        QDialog::reject();
}

void TFAktualizacja::vFunDownloadUpdate()
{
    editStatus->clear();
    Postep->setRange(0, 100);
    Postep->setValue(0);
    m_length = 0;
    m_written = 0;
    m_writing = false;
    m_reply = m_network->get(UpdateServer::request(UpdateServer::installerUrl()));
    connect(m_reply, &QNetworkReply::readyRead, this, &TFAktualizacja::replyReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &TFAktualizacja::replyFinished);
}

bool TFAktualizacja::beginWriting()
{
    if (!UpdateServer::isSuccessStatus(m_reply)) {
        fail(QStringLiteral("Błąd połączenia..."));
        return false;
    }
    // Without a length there is no telling a whole installer from a cut one.
    bool isNumber = false;
    const qint64 length = m_reply->rawHeader("Content-Length").trimmed().toLongLong(&isNumber);
    if (!isNumber || length <= 0) {
        fail(QStringLiteral("Błąd podczas próby czytania pliku..."));
        return false;
    }
    m_length = length;
    Postep->setRange(0, int(std::min<qint64>(length, INT_MAX)));
    Postep->setValue(0);
    const QString path = strFunGetInstallerPath();
    QFile::remove(path);
    m_file.setFileName(path);
    if (path.isEmpty() || !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("Błąd zapisu do pliku"));
        return false;
    }
    m_writing = true;
    editStatus->setText(QStringLiteral("Pobieranie nowej wersji programu"));
    return true;
}

bool TFAktualizacja::writeAvailable()
{
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(kPiece);
        if (m_file.write(piece) != piece.size()) {
            fail(QStringLiteral("Błąd zapisu do pliku"));
            return false;
        }
        m_written += piece.size();
        Postep->setValue(int(std::min<qint64>({m_written, m_length, INT_MAX})));
    }
    return true;
}

void TFAktualizacja::replyReadyRead()
{
    if (!m_writing && !beginWriting())
        return;
    writeAvailable();
}

void TFAktualizacja::replyFinished()
{
    // Nothing of the body came before the end: no connection, an error status, or an
    // empty body.
    if (!m_writing && !beginWriting())
        return;
    if (!writeAvailable())
        return;
    // A transfer cut short is not an installer.
    if (m_reply->error() != QNetworkReply::NoError || m_written != m_length) {
        fail(QStringLiteral("Błąd podczas próby czytania pliku..."));
        return;
    }
    if (!m_file.flush()) {
        fail(QStringLiteral("Błąd zapisu do pliku"));
        return;
    }
    m_file.close();
    std::exchange(m_reply, nullptr)->deleteLater();
    m_writing = false;
    btnClose->setText(QStringLiteral("Zainstaluj"));
    m_downloaded = true;
    enableClose();
}

void TFAktualizacja::fail(const QString& status)
{
    if (m_reply) {
        QNetworkReply* reply = std::exchange(m_reply, nullptr);
        reply->disconnect(this);
        reply->deleteLater(); // which ends a transfer still under way
    }
    if (m_file.isOpen()) {
        m_file.close();
        m_file.remove();
    }
    m_writing = false;
    m_downloaded = false;
    editStatus->setText(status);
    enableClose();
}

void TFAktualizacja::enableClose()
{
    // Enter then installs (or closes) instead of opening the browser, which had the
    // focus while the download ran.
    btnClose->setEnabled(true);
    btnClose->setDefault(true);
    btnClose->setFocus();
}

void TFAktualizacja::btnCloseClick()
{
    if (m_downloaded) {
        const QString path = strFunGetInstallerPath();
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
        if (!QProcess::startDetached(path, {}, QFileInfo(path).absolutePath())) {
            // The program stays: ending it without a running installer would leave
            // the user with neither.
            editStatus->setText(QStringLiteral("Błąd podczas próby uruchomienia instalatora"));
            return;
        }
        m_installerStarted = true;
    }
    accept();
}

void TFAktualizacja::btnDownloadViaBrowserClick()
{
    DesktopOpen::open(QUrl(editDownloadLink->text()));
}
