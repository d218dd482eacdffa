#include "platform/Environment.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {
QString g_programDir;
QString g_appDataRoot;
QString g_loginName;
const Clock* g_clock = nullptr;
} // namespace

const Clock& Clock::instance()
{
    static const Clock systemClock;
    return g_clock ? *g_clock : systemClock;
}

void Clock::install(const Clock* clock)
{
    g_clock = clock;
}

namespace Environment {

QString programDir()
{
    if (!g_programDir.isEmpty())
        return g_programDir;
    // The executable's real place: an installed program is started through a link in
    // the system's bin folder, while its files lie beside the executable itself.
    const QString exe = QCoreApplication::applicationFilePath();
    QString dir = QFileInfo(exe).canonicalPath();
    if (dir.isEmpty())
        dir = QFileInfo(exe).absolutePath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

QString appDataRoot()
{
    if (!g_appDataRoot.isEmpty())
        return g_appDataRoot;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString loginName()
{
    if (!g_loginName.isEmpty())
        return g_loginName;
    // The account database, not the environment, says who is logged in.
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name).left(255);
    return QString::number(geteuid());
}

void overrideProgramDir(const QString& dir)
{
    g_programDir = dir;
}

void overrideAppDataRoot(const QString& dir)
{
    g_appDataRoot = dir;
}

void overrideLoginName(const QString& name)
{
    g_loginName = name;
}

} // namespace Environment
