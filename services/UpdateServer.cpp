#include "services/UpdateServer.h"

#include "storage/SettingsStore.h"

#include <QtEndian>

#include <tuple>

namespace {
constexpr qsizetype kVersionFileSize = 12;

QString versionedName(const VersionTriple& version, const char* ending)
{
    return QStringLiteral("melvok-dokumenty_") + version.text() + QLatin1String(ending);
}
} // namespace

VersionTriple VersionTriple::fromBytes(const QByteArray& bytes)
{
    QByteArray padded = bytes.left(kVersionFileSize);
    padded.append(kVersionFileSize - padded.size(), '\0');
    const auto* data = reinterpret_cast<const uchar*>(padded.constData());
    return {qFromLittleEndian<qint32>(data), qFromLittleEndian<qint32>(data + 4),
            qFromLittleEndian<qint32>(data + 8)};
}

bool VersionTriple::isNewerThan(const VersionTriple& o) const
{
    return std::tie(major, minor, release) > std::tie(o.major, o.minor, o.release);
}

bool VersionTriple::isPlausible() const
{
    for (const qint32 part : {major, minor, release})
        if (part < 0 || part > 999)
            return false;
    return true;
}

QString VersionTriple::text() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(release);
}

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

QString packageFileName(const VersionTriple& version)
{
    return versionedName(version, "_amd64.deb");
}

QUrl packageUrl(const VersionTriple& version)
{
    return QUrl(strFunGetUpdateAddress() + packageFileName(version));
}

QUrl checksumUrl(const VersionTriple& version)
{
    return QUrl(strFunGetUpdateAddress() + versionedName(version, ".sha256"));
}

qint64 answerLimit(const QUrl& url)
{
    return url.path().endsWith(QLatin1String(".deb")) ? PackageSizeLimit : SmallAnswerLimit;
}

} // namespace UpdateServer
