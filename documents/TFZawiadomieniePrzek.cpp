#include "documents/TFZawiadomieniePrzek.h"

namespace {

using namespace PageTable;

constexpr ComponentEntry Page[] = {
    text("STALY_PodluznaPieczatkaSzkoly_STR1_DATA_LABEL", "Podłużna pieczątka szkoły", 36, 25, 11),
    text("STALY_LDz_STR1_DATA_LABEL", "L. dz.", 36, 49, 11),
    text("STALY_MiejscowoscData_STR1_DATA_LABEL", ", data", 435, 45, 16),
    text("STALY_MiejscowoscRok_STR1_DATA_LABEL", "r.", 664, 45, 16),
    text("STALY_ZawiadomienieOPrzekazaniu_STR1_DATA_LABEL", "ZAWIADOMIENIE O PRZEKAZANIU UCZNIA", 62, 99, 29),
    text("STALY_PrzekazujeZDniem_STR1_DATA_LABEL", "Przekazuję z dniem", 39, 167, 16),
    text("STALY_PrzekazujeRok_STR1_DATA_LABEL", "r.", 664, 167, 16),
    text("STALY_ImieNazwisko_STR1_DATA_LABEL", "(nazwisko i imię)", 317, 213, 11),
    text("STALY_Zamieszkaly_STR1_DATA_LABEL", "zamieszkały", 38, 231, 16),
    text("STALY_Urodz_STR1_DATA_LABEL", "urodz.", 37, 264, 16),
    text("STALY_UrodzDnia_STR1_DATA_LABEL", "dnia", 158, 264, 16),
    text("STALY_UrodzRok_STR1_DATA_LABEL", "r.", 419, 264, 16),
    text("STALY_PESEL_STR1_DATA_LABEL", "PESEL", 438, 264, 16),
    text("STALY_Ucz_STR1_DATA_LABEL", "ucz.", 37, 297, 16),
    text("STALY_DoTamtejszejSzkoly_STR1_DATA_LABEL", "kl. do tamtejszej szkoły.", 527, 297, 16),
    text("STALY_UczenBylPrzyjety_STR1_DATA_LABEL",
         "Uczeń ten był przyjęty do klasy pierwszej w roku szkolnym ", 37, 329, 16),
    text("STALY_PowodPrzekazania_STR1_DATA_LABEL", "Powód przekazania", 37, 362, 16),
    text("STALY_ProszeOPotwierdzenie_STR1_DATA_LABEL",
         "Proszę o potwierdzenie przyjęcia na załączonej karcie.", 37, 394, 16),
    text("STALY_PoOtrzymaniu_STR1_DATA_LABEL",
         "Po otrzymaniu tego potwierdzenia przyślę kartę zdrowia i wyciąg arkusza ocen ucznia.", 37, 427, 16),
    textInCell("STALY_Dyrektor_STR1_DATA_LABEL", "Dyrektor", 557, 475, 20),
    // The signature line is drawn by the renderer; this one is for the screen only.
    text("Label11", ".......................................", 511, 523, 16),
    text("STALY_PieczecPodpis_STR1_DATA_LABEL", "(pieczęć, podpis)", 550, 541, 11),

    field("ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "miejscowość", 306, 46, 128, 1, Entry::Free, "miejscowość"),
    field("ZMIENNA_Ucz_STR1_DATA_EDIT", "ucz. … kl. do tamtejszej szkoły", 66, 298, 455, 12, Entry::Free,
          "szkoła XYZ"),
    field("ZMIENNA_Zamieszkaly_STR1_DATA_EDIT", "zamieszkały", 112, 233, 561, 7, Entry::Free,
          "miejsce zamieszkania"),
    field("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "nazwisko i imię", 38, 195, 636, 6, Entry::Copied,
          "imię i nazwisko"),
    field("ZMIENNA_Urodz_STR1_DATA_EDIT", "urodz. (miejsce urodzenia)", 80, 266, 73, 8, Entry::Free, "urodz"),
    field("ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT", "data (dzień i miesiąc)", 474, 46, 113, 2, Entry::Free,
          "1 stycznia"),
    field("ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT", "data (rok)", 587, 46, 74, 3, Entry::Year, "2015"),
    field("ZMIENNA_PrzekazujeDzien_STR1_DATA_EDIT", "przekazuję z dniem (dzień i miesiąc)", 160, 168, 425, 4,
          Entry::Free, "1 stycznia"),
    field("ZMIENNA_PESEL_STR1_DATA_EDIT", "PESEL", 488, 266, 185, 11, Entry::Copied, "123456789"),
    field("ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT", "przekazuję z dniem (rok)", 587, 168, 74, 5, Entry::Year,
          "2015"),
    field("ZMIENNA_UrodzDnia_STR1_DATA_EDIT", "urodz. dnia", 189, 266, 148, 9, Entry::Copied, "1 stycznia"),
    field("ZMIENNA_UrodzRok_STR1_DATA_EDIT", "rok urodzenia", 342, 266, 74, 10, Entry::Copied, "1980"),
    field("ZMIENNA_UczenBylPrzyjety_STR1_DATA_EDIT", "przyjęty do klasy pierwszej w roku szkolnym", 400, 330,
          273, 13, Entry::Free, "przyjęty"),
    field("ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT", "powód przekazania", 160, 363, 513, 14, Entry::Free,
          "przekazano"),
};

} // namespace

TFZawiadomieniePrzek::TFZawiadomieniePrzek(TFDaneUcznia* student, QWidget* parent)
    : DocumentForm(student, QStringLiteral("Zawiadomienie o przekazaniu ucznia"), Page, parent)
{
    setObjectName(QStringLiteral("FZawiadomieniePrzek"));
}

std::span<const ComponentEntry> TFZawiadomieniePrzek::pageTable()
{
    return Page;
}
