#include "app/FileErrorReason.h"

#include <cerrno>

namespace {

struct Reason {
    int code;
    const char* text;
};

constexpr Reason Reasons[] = {
    {ENOSPC, "Na dysku zabrakło miejsca."},
    {EDQUOT, "Przekroczono przydział miejsca na dysku."},
    {EFBIG, "Plik przekroczył największy rozmiar, na jaki pozwala system."},
    {EROFS, "Nośnik jest tylko do odczytu."},
    {EACCES, "Brak uprawnień do zapisu pliku lub katalogu."},
    {EPERM, "Brak uprawnień do zapisu pliku lub katalogu."},
    {ENOENT, "Katalog docelowy nie istnieje."},
    {ENAMETOOLONG, "Nazwa pliku jest za długa."},
    {EIO, "Błąd zapisu na nośniku."},
};

} // namespace

QString strFunFileErrorReason(int errorCode)
{
    for (const Reason& reason : Reasons)
        if (reason.code == errorCode)
            return QLatin1Char('\n') + QString::fromUtf8(reason.text);
    return QString();
}
