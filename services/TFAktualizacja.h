// The download window: fetches the Debian package of the newer version and its SHA-256
// sum into the data folder's "aktualizacja" folder with a progress gauge, keeps the
// package only when the sum matches, and on "Zainstaluj" hands it to the desktop's
// software installer, or to apt-get with the administrator's password, or says whom to
// ask. "Zamknij" is always there and stops a download at any time.
#pragma once

#include "services/UpdateServer.h"

#include <QCryptographicHash>
#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QProgressBar;
class QPushButton;
class QSaveFile;
class QTimer;
class ServerReply;

class TFAktualizacja : public QDialog
{
    Q_OBJECT
public:
    explicit TFAktualizacja(QWidget* parent = nullptr, const UpdateServer::Limits& limits = {});
    ~TFAktualizacja() override;

    // The running version and the one the server offers, whose package is downloaded.
    void setVersions(const VersionTriple& running, const VersionTriple& server);
    // The package of the current showing arrived whole and matches its sum.
    bool downloaded() const { return m_downloaded; }
    // "Zainstaluj" handed the package to an installer: the program is to end.
    bool installerStarted() const { return m_installerStarted; }
    // Data folder + "/aktualizacja/" + the package's name; empty when the data folder
    // is unusable.
    QString strFunGetPackagePath() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    enum class Stage { Idle, Checksum, Package };

    void vFunDownloadUpdate();
    void startTransfer(Stage stage, const QUrl& url);
    void replyReadyRead();
    void replyFinished();
    bool takeChecksum(const QByteArray& text);
    // Status line, gauge and target file once the package's answer has begun.
    bool beginWriting();
    bool writeAvailable();
    void finishPackage();
    void lookForStall();
    // Ends a transfer under way: the reply is dropped, a partial file deleted.
    void stop();
    // Ends the download as failed, with `status` in the status line.
    void fail(const QString& status);
    // Fails on an answer that brought no body: `what` was not served ("pakietu").
    void failOnAnswer(const QString& what);
    // Whether the address is offered to the browser.
    void offerBrowser(bool offered);
    // Shows `text` in the status line, the window widened until it fits.
    void setStatus(const QString& text, const QString& toolTip = QString());
    void install();
    void btnDownloadViaBrowserClick();

    QLabel* AWersjaLabel;
    QLabel* NWersjaLabel;
    QProgressBar* Postep;
    QLineEdit* editStatus;
    QLineEdit* editDownloadLink;
    QPushButton* btnDownloadViaBrowser;
    QPushButton* btnInstall;
    QPushButton* btnClose;

    UpdateServer::Limits m_limits;
    VersionTriple m_server;
    QNetworkAccessManager* m_network;
    QTimer* m_stallTimer;
    ServerReply* m_reply = nullptr;
    Stage m_stage = Stage::Idle;
    QByteArray m_checksumText;
    QByteArray m_expectedSum;
    std::unique_ptr<QSaveFile> m_file;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    qint64 m_length = 0;
    qint64 m_written = 0;
    qint64 m_received = 0; // by the transfer under way
    qint64 m_lastLook = 0; // `m_received` at the last look for a stall
    int m_gaugeShift = 0;  // the gauge counts in units of 2^shift bytes
    bool m_downloaded = false;
    bool m_installerStarted = false;
};
