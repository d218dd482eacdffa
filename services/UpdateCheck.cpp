#include "services/UpdateCheck.h"

#include "prompts/Prompts.h"
#include "services/ServerReply.h"
#include "services/TFAktualizacja.h"
#include "storage/EventLog.h"
#include "storage/MessageBuffer.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QTimer>

#include <utility>

namespace {
constexpr qsizetype kVersionFileSize = 12;
} // namespace

UpdateCheck::UpdateCheck(const VersionTriple& running, TFAktualizacja* form,
                         std::function<bool()> unsavedChanges, QWidget* window,
                         const UpdateServer::Limits& limits)
    : QObject(window), m_version(running), m_form(form), m_unsavedChanges(std::move(unsavedChanges)),
      m_window(window), m_network(new QNetworkAccessManager(this)), m_deadline(new QTimer(this))
{
    // A server that trickles its answer gets no more time than one that is silent.
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(limits.answerMs);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        conclude();
    });
}

UpdateCheck::~UpdateCheck() = default;

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
    m_timedOut = false;
    m_reply = new ServerReply(m_network, UpdateServer::versionFileUrl(), this);
    // A body longer than a version file is not one (an error or a portal page); there
    // is no need to take in more of it.
    connect(m_reply, &ServerReply::readyRead, this, [this] {
        if (m_reply->bytesAvailable() > kVersionFileSize) {
            m_tooLong = true;
            conclude();
        }
    });
    connect(m_reply, &ServerReply::finished, this, &UpdateCheck::conclude);
    m_deadline->start();
}

void UpdateCheck::conclude()
{
    m_deadline->stop();
    ServerReply* reply = std::exchange(m_reply, nullptr);
    reply->disconnect(this);
    reply->deleteLater(); // which ends a transfer still under way
    const UpdateServer::Answer answer = reply->answer();
    const QByteArray body = answer == UpdateServer::Answer::Success ? reply->readAll() : QByteArray();
    if (m_timedOut)
        warn(QStringLiteral("Błąd podczas próby połączenia z internetem"));
    else if (answer == UpdateServer::Answer::NotServed || m_tooLong || reply->isTooLarge() ||
             body.size() > kVersionFileSize)
        // Anything but a version file: no version is read from an error or portal page,
        // and a manual check says what came instead.
        warn(QStringLiteral("Serwer aktualizacji odpowiedział: ") + reply->statusText() + QLatin1Char('.'));
    else if (answer == UpdateServer::Answer::NoAnswer)
        warn(QStringLiteral("Błąd podczas próby połączenia z internetem"));
    else if (body.size() != kVersionFileSize)
        refuse(QStringLiteral("ma %1 B zamiast 12 B").arg(body.size()));
    else if (const VersionTriple server = VersionTriple::fromBytes(body); !server.isPlausible())
        refuse(QStringLiteral("podaje wersję %1, której żaden program nie ma").arg(server.text()));
    else
        report(server);
    m_busy = false;
    Q_EMIT finished();
}

void UpdateCheck::refuse(const QString& reason)
{
    // A server that sends something else under the version file's name is noted in the
    // log even when the check is silent.
    MessageBuffer buf;
    buf << "Plik wersji „doc_wersja.bin” na serwerze aktualizacji " << reason
        << " i nie jest plikiem wersji programu.";
    vFunLogError(buf, QStringLiteral("vFunCheckForUpdate()"));
    warn(buf.text());
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
                                      versions + QStringLiteral("Czy chcesz pobrać nową wersję programu?"),
                                      QStringLiteral("Nowa wersja")))
        return;
    m_form->setVersions(m_version, server);
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
