// The program's version, shown in the main window's caption and compared by the
// update check.
#pragma once

#include <QString>

namespace Version {
constexpr int major = 1;
constexpr int minor = 0;
constexpr int build = 0;

inline QString triple()
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(build);
}
inline QString mainCaption()
{
    return QStringLiteral("Drukowanie dokumentów, wersja: ") + triple();
}
} // namespace Version

namespace Maker {
// The maker's web pages.
inline const char* contactPage = "https://www.melvok.pl/kontakt";
inline const char* webPage = "https://www.melvok.pl/";
} // namespace Maker
