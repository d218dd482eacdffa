// Hands a file or web address to the desktop (the browser, the help viewer).
#pragma once

#include <QUrl>

#include <functional>

namespace DesktopOpen {
bool open(const QUrl& url);
// For tests: receives the addresses instead of the desktop; empty restores it.
void intercept(std::function<bool(const QUrl&)> handler);
} // namespace DesktopOpen
