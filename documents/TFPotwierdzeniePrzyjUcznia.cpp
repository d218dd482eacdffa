#include "documents/TFPotwierdzeniePrzyjUcznia.h"

namespace {

using namespace PageTable;

constexpr ComponentEntry Page[] = {
    text("STALY_PodluznaPieczatkaSzkoly_STR1_DATA_LABEL", "Podłużna pieczątka szkoły", 36, 25, 11),
    text("STALY_LDz_STR1_DATA_LABEL", "L. dz.", 36, 49, 11),
    text("STALY_MiejscowoscData_STR1_DATA_LABEL", ", data", 435, 45, 16),
    text("STALY_MiejscowoscRok_STR1_DATA_LABEL", "r.", 664, 45, 16),
    text("STALY_PotwierdzeniePrzyjeciaUcznia_STR1_DATA_LABEL", "POTWIERDZENIE PRZYJĘCIA UCZNIA", 102, 99, 29),
    text("STALY_PotwierdzamPrzyjecie_STR1_DATA_LABEL", "Potwierdzam przyjęcie do tutejszej szkoły z dniem",
         39, 167, 16),
    text("STALY_PotwierdzamPrzyjecieRok_STR1_DATA_LABEL", "r.", 664, 167, 16),
    text("STALY_ImieNazwisko_STR1_DATA_LABEL", "(nazwisko i imię)", 317, 213, 11),
    text("STALY_UrodzDnia_STR1_DATA_LABEL", "urodz. dnia", 37, 232, 16),
    text("STALY_UrodzRok_STR1_DATA_LABEL", "r.", 419, 232, 16),
    text("STALY_PESEL_STR1_DATA_LABEL", "PESEL", 438, 232, 16),
    text("STALY_Ucz_STR1_DATA_LABEL", "ucz.", 37, 273, 16),
    text("STALY_Klasy_STR1_DATA_LABEL", "klasy", 229, 273, 16),
    textInCell("STALY_Dyrektor_STR1_DATA_LABEL", "Dyrektor", 573, 307, 20),
    // The signature line is drawn by the renderer; this one is for the screen only.
    text("Label11", ".......................................", 527, 355, 16),
    text("STALY_PieczecPodpis_STR1_DATA_LABEL", "(pieczęć, podpis)", 566, 373, 11),

    field("ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "miejscowość", 306, 46, 128, 1, Entry::Free, "miejscowość"),
    field("ZMIENNA_Ucz_STR1_DATA_EDIT", "ucz.", 66, 274, 159, 10, Entry::Free, "ucz"),
    field("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "nazwisko i imię", 38, 195, 636, 6, Entry::Copied,
          "imię i nazwisko"),
    field("ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT", "data (dzień i miesiąc)", 474, 46, 113, 2, Entry::Free,
          "1 stycznia"),
    field("ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT", "data (rok)", 587, 46, 74, 3, Entry::Year, "2015"),
    field("ZMIENNA_PotwierdzamPrzyjecie_STR1_DATA_EDIT", "przyjęcie z dniem (dzień i miesiąc)", 344, 168, 241,
          4, Entry::Free, "1 stycznia"),
    field("ZMIENNA_PESEL_STR1_DATA_EDIT", "PESEL", 488, 234, 185, 9, Entry::Copied, "123456789"),
    field("ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT", "przyjęcie z dniem (rok)", 587, 168, 74, 5,
          Entry::Year, "2015"),
    field("ZMIENNA_UrodzDnia_STR1_DATA_EDIT", "urodz. dnia", 112, 234, 225, 7, Entry::Copied, "1 stycznia"),
    field("ZMIENNA_UrodzRok_STR1_DATA_EDIT", "rok urodzenia", 342, 234, 74, 8, Entry::Copied, "1980"),
    field("ZMIENNA_Klasy_STR1_DATA_EDIT", "klasy", 264, 274, 409, 11, Entry::Free, "klasa"),
};

} // namespace

TFPotwierdzeniePrzyjUcznia::TFPotwierdzeniePrzyjUcznia(TFDaneUcznia* student, QWidget* parent)
    : DocumentForm(student, QStringLiteral("Potwierdzenie przyjęcia ucznia"), Page, parent)
{
    setObjectName(QStringLiteral("FPotwierdzeniePrzyjUcznia"));
}
