#include "platform/DesktopOpen.h"

#include <QDesktopServices>

namespace {
DesktopOpen::Handler* g_handler = nullptr;
}

namespace DesktopOpen {

bool open(const QUrl& url)
{
    return Handler::instance().open(url);
}

bool Handler::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
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
