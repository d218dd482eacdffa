#include "platform/DesktopOpen.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {
DesktopOpen::Handler* g_handler = nullptr;
constexpr int kQueryMs = 3000;
} // namespace

namespace DesktopOpen {

bool open(const QUrl& url)
{
    return Handler::instance().open(url);
}

bool Handler::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString Handler::packageInstaller()
{
    // xdg-open would hand a package that nobody opens to a browser or an archive viewer:
    // only a registered handler counts.
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("application/vnd.debian.binary-package")});
    if (!query.waitForFinished(kQueryMs)) {
        query.kill();
        query.waitForFinished(kQueryMs);
        return QString();
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput().left(1024)).trimmed();
}

QString Handler::findProgram(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

bool Handler::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

Handler& Handler::instance()
{
    static Handler desktop;
    return g_handler ? *g_handler : desktop;
}

void Handler::install(Handler* handler)
{
    g_handler = handler;
}

} // namespace DesktopOpen
