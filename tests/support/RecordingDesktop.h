// The desktop as the tests see it: every address the program hands over and every
// program it starts, in order, and nothing opened or started for real.
#pragma once

#include "platform/DesktopOpen.h"
#include "tests/support/StandIn.h"

#include <QList>
#include <QStringList>

class RecordingDesktop : public StandIn<DesktopOpen::Handler>
{
public:
    QList<QUrl> opened;
    // The handler of Debian packages the desktop names; empty: none.
    QString installer;
    // The programs installed, found in /usr/bin.
    QStringList programs;
    // Each program started: its path, then its arguments.
    QList<QStringList> started;

    bool open(const QUrl& url) override
    {
        opened << url;
        return true;
    }
    QString packageInstaller() override { return installer; }
    QString findProgram(const QString& name) override
    {
        return programs.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }
    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        started << (QStringList{program} + arguments);
        return true;
    }
};
