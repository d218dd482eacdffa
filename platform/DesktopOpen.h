// Hands a file or web address to the desktop (the browser, the help viewer), and a
// downloaded package to whatever installs software on this computer.
#pragma once

#include <QStringList>
#include <QUrl>

namespace DesktopOpen {

bool open(const QUrl& url);

// Where open() hands the addresses: the desktop's own handlers, unless a test
// installed one that notes them instead.
class Handler
{
public:
    virtual ~Handler() = default;
    virtual bool open(const QUrl& url);
    // The desktop's program for Debian packages (the name of its desktop entry); empty
    // when none is registered or the desktop does not answer within a few seconds.
    virtual QString packageInstaller();
    // The full path of an installed program, empty when there is none.
    virtual QString findProgram(const QString& name);
    // Starts `program` and does not wait for it.
    virtual bool startDetached(const QString& program, const QStringList& arguments);

    static Handler& instance();
    // Not owned; nullptr restores the desktop's own.
    static void install(Handler* handler);
};

} // namespace DesktopOpen
