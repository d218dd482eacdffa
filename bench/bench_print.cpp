// Producing the printed sheet into a PDF file through the print dialog's drawing, beside
// the same texts drawn straight into a QPdfWriter.
#include "bench/BenchMain.h"
#include "bench/NoticeText.h"
#include "printing/TFDrukujSheet.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QTemporaryDir>

namespace {

constexpr DrukujSheet::Edges kEdges{10, 7, 200, 289};

const QString Name = QStringLiteral("Kowalski Jan");
const QString Pesel = QStringLiteral("10231212345");

QPicture pagePicture()
{
    QPicture page;
    QPainter painter(&page);
    NoticeText::drawAll(painter, QRectF(0, 0, DrukujSheet::PageWidth, DrukujSheet::PageHeight), Name, Pesel);
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
        NoticeText::setUpSheet(writer);
        QPainter painter(&writer);
        NoticeText::drawAll(painter, DrukujSheet::deviceRect(kEdges, 1200, 1200, 0, 0), Name, Pesel);
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
