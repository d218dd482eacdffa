// Hands a file or web address to the desktop (the browser, the help viewer).
#pragma once

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

    static Handler& instance();
    // Not owned; nullptr restores the desktop's own.
    static void install(Handler* handler);
};

} // namespace DesktopOpen
