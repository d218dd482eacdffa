#include "services/UpdateCheck.h"

#include "prompts/Prompts.h"
#include "services/TFAktualizacja.h"
#include "services/UpdateServer.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtEndian>

#include <tuple>
#include <utility>

namespace {
constexpr qsizetype kVersionFileSize = 12;
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

QString VersionTriple::text() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(release);
}

UpdateCheck::UpdateCheck(const VersionTriple& running, TFAktualizacja* form,
                         std::function<bool()> unsavedChanges, QWidget* window)
    : QObject(window), m_version(running), m_form(form), m_unsavedChanges(std::move(unsavedChanges)),
      m_window(window), m_network(new QNetworkAccessManager(this))
{
}

UpdateCheck::~UpdateCheck()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateCheck::vFunCheckForUpdate(Mode mode)
{
    if (m_busy) {
        if (mode == Mode::Manual)
            m_mode = Mode::Manual;
        return;
    }
    m_busy = true;
    m_mode = mode;
    m_tooLong = false;
    m_reply = m_network->get(UpdateServer::request(UpdateServer::versionFileUrl()));
    // A body longer than a version file is not one (an error or a portal page served
    // as a success); there is no need to take in more of it.
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (m_reply->bytesAvailable() > kVersionFileSize && UpdateServer::isSuccessStatus(m_reply)) {
            m_tooLong = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::replyFinished);
}

void UpdateCheck::replyFinished()
{
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    const UpdateServer::Answer answer = UpdateServer::answerOf(reply);
    const QByteArray body = answer == UpdateServer::Answer::Success ? reply->readAll() : QByteArray();
    if (m_tooLong || body.size() > kVersionFileSize)
        warn(QStringLiteral("Serwer aktualizacji podał nieprawidłowy plik wersji."));
    else if (answer == UpdateServer::Answer::NoAnswer)
        warn(QStringLiteral("Błąd podczas próby połączenia z internetem"));
    else if (answer == UpdateServer::Answer::Success)
        report(VersionTriple::fromBytes(body));
    // Any other status ends the check without a word: no version is read from an
    // error page.
    m_busy = false;
    Q_EMIT finished();
}

void UpdateCheck::warn(const QString& text)
{
    if (m_mode == Mode::Manual)
        Prompts::instance().message(m_window, text, QStringLiteral("Aktualizacja"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
}

void UpdateCheck::report(const VersionTriple& server)
{
    const QString versions = QStringLiteral("Aktualna wersja programu to: ") + m_version.text() +
                             QStringLiteral("\nWersja dostępna na serwerze to: ") + server.text() +
                             QStringLiteral("\n\n");
    if (!server.isNewerThan(m_version)) {
        if (m_mode == Mode::Manual)
            Prompts::instance().message(m_window, versions + QStringLiteral("Brak nowej wersji do pobrania."),
                                        QString(), Prompts::Icon::None, Prompts::Buttons::Ok);
        return;
    }
    if (!Prompts::instance().askYesNo(m_window,
                                      versions + QStringLiteral("Czy chcesz pobrać nową wersje programu ?"),
                                      QStringLiteral("Nowa wersja")))
        return;
    m_form->setVersions(m_version.text(), server.text());
    if (m_unsavedChanges && m_unsavedChanges()) {
        // The reminder rings the bell; the bell character itself would stand in the text
        // as an empty box.
        QApplication::beep();
        Prompts::instance().message(
            m_window,
            QStringLiteral("Przed aktualizacją programu zapisz dane a następnie uruchom "
                           "aktualizację.\nPomoc->Sprawdź czy jest nowa wersja"),
            QStringLiteral("Zapisz dane"), Prompts::Icon::None, Prompts::Buttons::Ok);
        return;
    }
    Q_EMIT downloadAccepted();
}
