// The look for a newer version on the update server: silent at every start (it speaks
// only when there is something to offer), manual from the "Pomoc" menu (it reports
// every outcome). It runs on the event loop and never holds up the window.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;
class TFAktualizacja;

// (major, minor, release), compared in that order.
struct VersionTriple {
    qint32 major = 0;
    qint32 minor = 0;
    qint32 release = 0;

    // The version file: three little-endian 32-bit integers; bytes that are missing
    // count as zero.
    static VersionTriple fromBytes(const QByteArray& bytes);
    bool isNewerThan(const VersionTriple& other) const;
    QString text() const; // "1.0.0"
};

class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Silent, Manual };

    // `unsavedChanges` tells whether the open document has changes that are not saved;
    // the boxes are shown over `window`.
    UpdateCheck(const VersionTriple& running, TFAktualizacja* form, std::function<bool()> unsavedChanges,
                QWidget* window);
    ~UpdateCheck() override;

    // Starts a check and returns at once. While one runs, another request does not
    // start a second: a manual one makes the running check report like a manual one.
    void vFunCheckForUpdate(Mode mode);
    bool isRunning() const { return m_busy; }

Q_SIGNALS:
    // The user wants the newer version and nothing is left unsaved: the download can
    // start.
    void downloadAccepted();
    // The check is over, whatever its outcome.
    void finished();

private:
    void replyFinished();
    // Shows `text` as a warning in a manual check.
    void warn(const QString& text);
    void report(const VersionTriple& server);

    VersionTriple m_version;
    TFAktualizacja* m_form;
    std::function<bool()> m_unsavedChanges;
    QWidget* m_window;
    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
    Mode m_mode = Mode::Silent;
    bool m_busy = false;
    bool m_tooLong = false;
};
