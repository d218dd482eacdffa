// The download window: fetches the installer of the newer version into the data
// folder's "aktualizacja" folder with a progress gauge, and starts it on "Zainstaluj".
#pragma once

#include <QDialog>
#include <QFile>

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;

class TFAktualizacja : public QDialog
{
    Q_OBJECT
public:
    explicit TFAktualizacja(QWidget* parent = nullptr);
    ~TFAktualizacja() override;

    void setVersions(const QString& running, const QString& server);
    // The installer of the current showing arrived whole.
    bool downloaded() const { return m_downloaded; }
    // "Zainstaluj" started the installer: the program is to end.
    bool installerStarted() const { return m_installerStarted; }
    // Data folder + "/aktualizacja/nowy.exe"; empty when the data folder is unusable.
    static QString strFunGetInstallerPath();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    void vFunDownloadUpdate();
    void replyReadyRead();
    void replyFinished();
    // Status line, gauge and target file once the server's answer has begun.
    bool beginWriting();
    bool writeAvailable();
    // Ends the download as failed: the reply is dropped, a partial file deleted.
    void fail(const QString& status);
    // The download is over: the window can be closed, by Enter as well.
    void enableClose();
    void btnCloseClick();
    void btnDownloadViaBrowserClick();

    QLabel* AWersjaLabel;
    QLabel* NWersjaLabel;
    QProgressBar* Postep;
    QLineEdit* editStatus;
    QLineEdit* editDownloadLink;
    QPushButton* btnDownloadViaBrowser;
    QPushButton* btnClose;

    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
    QFile m_file;
    qint64 m_length = 0;
    qint64 m_written = 0;
    bool m_writing = false;
    bool m_downloaded = false;
    bool m_installerStarted = false;
};
