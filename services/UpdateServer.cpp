#include "services/UpdateServer.h"

#include "storage/SettingsStore.h"

#include <QNetworkReply>

namespace {
constexpr int kDefaultTimeout = 30000;
constexpr int kMostRedirects = 5;
int g_timeout = 0;

int statusOf(const QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? status.toInt() : 0;
}
} // namespace

namespace UpdateServer {

const char* const defaultAddress = "https://www.melvok.pl/aktualizacje/liceum/";

QString strFunGetUpdateAddress()
{
    QString address =
        strFunGetSettingsText(QStringLiteral("update_address"), QString::fromLatin1(defaultAddress));
    if (!address.contains(QStringLiteral("://")))
        address.prepend(QStringLiteral("https://"));
    if (!address.endsWith(QLatin1Char('/')))
        address += QLatin1Char('/');
    return address;
}

QUrl versionFileUrl()
{
    return QUrl(strFunGetUpdateAddress() + QStringLiteral("doc_wersja.bin"));
}

QUrl installerUrl()
{
    return QUrl(strFunGetUpdateAddress() + QStringLiteral("zidarari.exe"));
}

QNetworkRequest request(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("UPDATE CHECK"));
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMostRedirects);
    request.setTransferTimeout(transferTimeout());
    return request;
}

int transferTimeout()
{
    return g_timeout > 0 ? g_timeout : kDefaultTimeout;
}

void overrideTransferTimeout(int ms)
{
    g_timeout = ms;
}

Answer answerOf(const QNetworkReply* reply)
{
    switch (reply->error()) {
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return Answer::NoAnswer;
    default:
        break;
    }
    const int status = statusOf(reply);
    if (status >= 200 && status < 300)
        return reply->error() == QNetworkReply::NoError ? Answer::Success : Answer::NoAnswer;
    return status != 0 ? Answer::NotServed : Answer::NoAnswer;
}

bool isSuccessStatus(const QNetworkReply* reply)
{
    const int status = statusOf(reply);
    return status >= 200 && status < 300;
}

} // namespace UpdateServer
