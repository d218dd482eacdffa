// Producing the printed sheet into a PDF file through the print dialog's drawing, beside
// the same texts drawn straight into a QPdfWriter.
#include "bench/BenchMain.h"
#include "printing/TFDrukujSheet.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QTemporaryDir>

namespace {

struct Text {
    int x;
    int y;
    int pixelSize;
    const char* text;
};

// A filled transfer notice: the fixed wording and the student's values, page units.
const Text kTexts[] = {
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
    {38, 195, 21, "Kowalski Jan"},
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
    {488, 266, 21, "10231212345"},
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

constexpr DrukujSheet::Edges kEdges{10, 7, 200, 289};

QFont serif(int pixelSize)
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(pixelSize);
    return font;
}

QPicture pagePicture()
{
    QPicture page;
    QPainter painter(&page);
    for (const Text& t : kTexts) {
        painter.setFont(serif(t.pixelSize));
        painter.drawText(QRect(t.x, t.y, 800, 60), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(t.text));
    }
    painter.end();
    return page;
}

void BM_PrintedSheetPdf_Program(benchmark::State& state)
{
    QTemporaryDir dir;
    const QPicture page = pagePicture();
    DrukujSheet::Target target;
    target.pdfFile = dir.filePath(QStringLiteral("arkusz.pdf"));
    QString error;
    for (auto _ : state) {
        if (!DrukujSheet::print(target, page, kEdges, error))
            state.SkipWithError(qPrintable(error));
    }
}

// The same texts at the same places and sizes, drawn with no recorded page between.
void BM_PrintedSheetPdf_Baseline(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("arkusz.pdf"));
    for (auto _ : state) {
        QPdfWriter writer(file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(1200);
        QPainter painter(&writer);
        const QRect rect = DrukujSheet::deviceRect(kEdges, 1200, 1200, 0, 0);
        const qreal sx = qreal(rect.width()) / DrukujSheet::PageWidth;
        const qreal sy = qreal(rect.height()) / DrukujSheet::PageHeight;
        for (const Text& t : kTexts) {
            painter.setFont(serif(qRound(t.pixelSize * sy)));
            painter.drawText(QRectF(rect.left() + t.x * sx, rect.top() + t.y * sy, 800 * sx, 60 * sy),
                             Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(t.text));
        }
        painter.end();
    }
}

} // namespace

BENCHMARK(BM_PrintedSheetPdf_Program)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintedSheetPdf_Baseline)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(argc, argv);
    initializeBenchmarks(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
