#include "services/ServerReply.h"

#include "storage/EventLog.h"
#include "storage/MessageBuffer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int kMostRedirects = 5;

bool isWebScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isSafeRedirect(const QUrl& from, const QUrl& to)
{
    return isWebScheme(to.scheme()) && to.host().compare(from.host(), Qt::CaseInsensitive) == 0 &&
           !(from.scheme() == QLatin1String("https") && to.scheme() == QLatin1String("http"));
}

} // namespace

ServerReply::ServerReply(QNetworkAccessManager* network, const QUrl& url, QObject* parent)
    : QObject(parent), m_network(network), m_limit(UpdateServer::answerLimit(url))
{
    send(url);
}

ServerReply::~ServerReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    // One that has failed already is over; one still running is cut off.
    if (m_reply->isRunning() && m_reply->error() == QNetworkReply::NoError)
        m_reply->abort();
    m_reply->deleteLater();
}

void ServerReply::send(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("UPDATE CHECK"));
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &ServerReply::hopReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &ServerReply::hopFinished);
}

bool ServerReply::isRedirect() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status / 100 == 3 && m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid();
}

void ServerReply::hopReadyRead()
{
    // The body of a redirect is only a note for browsers.
    if (isRedirect())
        m_reply->readAll();
    else if (!refuseWhenTooLarge())
        Q_EMIT readyRead();
}

bool ServerReply::refuseWhenTooLarge()
{
    if (m_tooLarge)
        return true;
    const qint64 announced = announcedLength();
    if (announced <= m_limit && m_taken + m_reply->bytesAvailable() <= m_limit)
        return false;
    m_tooLarge = true;
    MessageBuffer buf;
    buf << "Odpowiedź serwera aktualizacji na żądanie pliku\n"
        << m_reply->url().toString() << "\njest dłuższa niż " << QString::number(m_limit)
        << " bajtów i została odrzucona.";
    vFunLogError(buf, QStringLiteral("ServerReply()"));
    m_reply->abort(); // which ends the reply: finished follows
    return true;
}

void ServerReply::hopFinished()
{
    if (isRedirect() && m_reply->error() == QNetworkReply::NoError) {
        const QUrl from = m_reply->url();
        const QUrl to =
            from.resolved(m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
        if (++m_redirects <= kMostRedirects && isSafeRedirect(from, to)) {
            m_reply->disconnect(this);
            m_reply->deleteLater();
            send(to);
            return;
        }
        m_refused = true;
    }
    Q_EMIT finished();
}

qint64 ServerReply::bytesAvailable() const
{
    return isRedirect() || m_tooLarge ? 0 : m_reply->bytesAvailable();
}

QByteArray ServerReply::read(qint64 most)
{
    if (isRedirect() || refuseWhenTooLarge())
        return QByteArray();
    QByteArray piece = m_reply->read(most);
    m_taken += piece.size();
    return piece;
}

QByteArray ServerReply::readAll()
{
    if (isRedirect() || refuseWhenTooLarge())
        return QByteArray();
    QByteArray piece = m_reply->readAll();
    m_taken += piece.size();
    return piece;
}

qint64 ServerReply::announcedLength() const
{
    if (m_tooLarge)
        return -1;
    bool isNumber = false;
    const qint64 length = m_reply->rawHeader("Content-Length").trimmed().toLongLong(&isNumber);
    return isNumber && length >= 0 ? length : -1;
}

bool ServerReply::isSuccessStatus() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

UpdateServer::Answer ServerReply::answer() const
{
    if (m_tooLarge)
        return UpdateServer::Answer::NoAnswer;
    if (m_refused)
        return UpdateServer::Answer::NotServed;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 200 && status < 300)
        return m_reply->error() == QNetworkReply::NoError ? UpdateServer::Answer::Success
                                                          : UpdateServer::Answer::NoAnswer;
    return status != 0 ? UpdateServer::Answer::NotServed : UpdateServer::Answer::NoAnswer;
}

QString ServerReply::statusText() const
{
    const QString reason =
        m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().simplified().left(80);
    const QString code =
        QString::number(m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    return reason.isEmpty() ? code : code + QLatin1Char(' ') + reason;
}
