#include "services/ServerReply.h"

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
    : QObject(parent), m_network(network)
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
    else
        Q_EMIT readyRead();
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
    return isRedirect() ? 0 : m_reply->bytesAvailable();
}

QByteArray ServerReply::read(qint64 most)
{
    return isRedirect() ? QByteArray() : m_reply->read(most);
}

QByteArray ServerReply::readAll()
{
    return isRedirect() ? QByteArray() : m_reply->readAll();
}

qint64 ServerReply::announcedLength() const
{
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
