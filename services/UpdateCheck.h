// The look for a newer version on the update server: silent at every start (it speaks
// only when there is something to offer), manual from the "Pomoc" menu (it reports
// every outcome). It runs on the event loop and never holds up the window.
#pragma once

#include "services/UpdateServer.h"

#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QTimer;
class ServerReply;
class QWidget;
class TFAktualizacja;

class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Silent, Manual };

    // `unsavedChanges` tells whether the open document has changes that are not saved;
    // the boxes are shown over `window`; `limits` bound how long the server may take.
    UpdateCheck(const VersionTriple& running, TFAktualizacja* form, std::function<bool()> unsavedChanges,
                QWidget* window, const UpdateServer::Limits& limits = {});
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
    // The check is over: the reply has ended, was cut off as too long, or took too long.
    void conclude();
    // Shows `text` as a warning in a manual check.
    void warn(const QString& text);
    // The version file is not one, for `reason`: logged, and told in a manual check.
    void refuse(const QString& reason);
    void report(const VersionTriple& server);

    VersionTriple m_version;
    TFAktualizacja* m_form;
    std::function<bool()> m_unsavedChanges;
    QWidget* m_window;
    QNetworkAccessManager* m_network;
    QTimer* m_deadline;
    ServerReply* m_reply = nullptr;
    Mode m_mode = Mode::Silent;
    bool m_busy = false;
    bool m_tooLong = false;
    bool m_timedOut = false;
};
