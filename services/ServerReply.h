// One request to the update server. Its redirects are followed here, each as a request
// of its own, and only where the program would have asked anyway: the same host, over
// http(s), never from https to http, five at most. A redirect that is not followed ends
// the reply on its own status. An answer longer than UpdateServer::answerLimit() allows
// for its address is cut off as soon as that shows, logged, and ends as no answer.
#pragma once

#include "services/UpdateServer.h"

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class ServerReply : public QObject
{
    Q_OBJECT
public:
    // Sends the request at once: agent "UPDATE CHECK", the body as stored on the server
    // (never compressed, so its length is the announced one).
    ServerReply(QNetworkAccessManager* network, const QUrl& url, QObject* parent);
    // A reply deleted before its end is cut off.
    ~ServerReply() override;

    // The body of the final answer, as it arrives.
    qint64 bytesAvailable() const;
    QByteArray read(qint64 most);
    QByteArray readAll();
    // The announced length of the body; -1 when there is none or it is not a number.
    qint64 announcedLength() const;
    // Whether the status line of the final answer has arrived and is a 2xx one.
    bool isSuccessStatus() const;
    // Once finished.
    UpdateServer::Answer answer() const;
    // The status line as the user is told it: "403 Forbidden".
    QString statusText() const;
    // Whether the answer was cut off for being longer than its limit.
    bool isTooLarge() const { return m_tooLarge; }

Q_SIGNALS:
    void readyRead();
    void finished();

private:
    void send(const QUrl& url);
    bool isRedirect() const;
    void hopReadyRead();
    void hopFinished();

    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
    int m_redirects = 0;
    // Refuses the answer when it is, or announces to be, longer than its limit.
    bool refuseWhenTooLarge();

    bool m_refused = false;
    bool m_tooLarge = false;
    qint64 m_limit = 0;
    qint64 m_taken = 0; // bytes of the body handed out so far
};
