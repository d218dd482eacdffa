#include "platform/DesktopOpen.h"

#include <QDesktopServices>

namespace {
std::function<bool(const QUrl&)> g_handler;
}

namespace DesktopOpen {

bool open(const QUrl& url)
{
    if (g_handler)
        return g_handler(url);
    return QDesktopServices::openUrl(url);
}

void intercept(std::function<bool(const QUrl&)> handler)
{
    g_handler = std::move(handler);
}

} // namespace DesktopOpen
