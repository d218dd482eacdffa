#include "services/SendMail.h"

#include "storage/SettingsStore.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace SendMail {

const char* const defaultSupportAddress = "pomoc@melvok.pl";

QString strFunGetSupportAddress()
{
    return strFunGetSettingsText(QStringLiteral("support_mail"), QString::fromLatin1(defaultSupportAddress));
}

void vFunSendMail(const Message& message, QObject* context,
                  std::function<void(bool sent, const QString& reason)> done)
{
    if (!QFileInfo(message.attachmentPath).isFile()) {
        // The mail program would refuse a missing attachment all the same.
        QTimer::singleShot(0, context, [done, path = message.attachmentPath] {
            done(false, QStringLiteral("Plik nie istnieje: ") + path);
        });
        return;
    }
    auto* process = new QProcess(context);
    process->setProgram(QStringLiteral("xdg-email"));
    process->setArguments({QStringLiteral("--subject"), message.subject, QStringLiteral("--body"),
                           message.body, QStringLiteral("--attach"), message.attachmentPath,
                           message.recipient});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(
        process, &QProcess::finished, context, [process, done](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status != QProcess::NormalExit)
                done(false, QStringLiteral("Program xdg-email zakończył się awaryjnie."));
            else if (code != 0)
                done(false, QStringLiteral("Program xdg-email zakończył się z kodem %1.").arg(code));
            else
                done(true, QString());
        });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash is reported by `finished` as well
                         process->deleteLater();
                         done(false, QStringLiteral("Nie można uruchomić programu xdg-email."));
                     });
    process->start();
}

} // namespace SendMail
