// A filled transfer notice as plain texts at their places and sizes (page units of
// 885 x 1314), for the baselines that draw a page straight onto a device.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QRectF>
#include <QString>

namespace NoticeText {

struct Text {
    int x;
    int y;
    int pixelSize;
    const char* text; // "%1" stands for the student's name, "%2" for the PESEL
};

inline constexpr Text Texts[] = {
    {36, 25, 15, "Podłużna pieczątka szkoły"},
    {36, 49, 15, "L. dz. 123/2026"},
    {306, 46, 21, "Warszawa"},
    {435, 45, 21, ", data"},
    {474, 46, 21, "1 września"},
    {587, 46, 21, "2026"},
    {664, 45, 21, "r."},
    {62, 99, 39, "ZAWIADOMIENIE O PRZEKAZANIU UCZNIA"},
    {39, 167, 21, "Przekazuję z dniem"},
    {160, 168, 21, "1 września"},
    {587, 168, 21, "2026"},
    {664, 167, 21, "r."},
    {38, 195, 21, "%1"},
    {317, 213, 15, "(nazwisko i imię)"},
    {38, 231, 21, "zamieszkały"},
    {112, 233, 21, "ul. Długa 12 m. 4, 00-950 Warszawa"},
    {37, 264, 21, "urodz."},
    {80, 266, 21, "Łódź"},
    {158, 264, 21, "dnia"},
    {189, 266, 21, "12 marca"},
    {342, 266, 21, "2010"},
    {419, 264, 21, "r."},
    {438, 264, 21, "PESEL"},
    {488, 266, 21, "%2"},
    {37, 297, 21, "ucz."},
    {66, 298, 21, "II Liceum Ogólnokształcące im. S. Staszica w Krakowie"},
    {527, 297, 21, "kl. do tamtejszej szkoły."},
    {37, 329, 21, "Uczeń ten był przyjęty do klasy pierwszej w roku szkolnym "},
    {400, 330, 21, "2025/2026"},
    {37, 362, 21, "Powód przekazania"},
    {160, 363, 21, "zmiana miejsca zamieszkania"},
    {37, 394, 21, "Proszę o potwierdzenie przyjęcia na załączonej karcie."},
    {37, 427, 21, "Po otrzymaniu tego potwierdzenia przyślę kartę zdrowia i wyciąg arkusza ocen ucznia."},
    {557, 475, 27, "Dyrektor"},
    {550, 541, 15, "(pieczęć, podpis)"},
};

// A4 without margins at the printer's resolution, as the program writes its PDF files.
inline void setUpSheet(QPdfWriter& writer)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
}

// Every text of the notice, the page stretched into `page` (device coordinates).
inline void drawAll(QPainter& painter, const QRectF& page, const QString& name, const QString& pesel)
{
    const qreal sx = page.width() / 885;
    const qreal sy = page.height() / 1314;
    for (const Text& t : Texts) {
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPixelSize(qRound(t.pixelSize * sy));
        painter.setFont(font);
        const QString text = QString::fromUtf8(t.text)
                                 .replace(QStringLiteral("%1"), name)
                                 .replace(QStringLiteral("%2"), pesel);
        painter.drawText(QRectF(page.left() + t.x * sx, page.top() + t.y * sy, 800 * sx, 60 * sy),
                         Qt::AlignLeft | Qt::AlignTop, text);
    }
}

} // namespace NoticeText
