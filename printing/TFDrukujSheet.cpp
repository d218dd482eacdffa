#include "printing/TFDrukujSheet.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>

#include <memory>

namespace {

// Ten metres either way: far off any sheet, yet the edges and their distances stay
// within an int at any printer resolution.
constexpr int kMillimetreLimit = 10000;

// trunc(mm * dpi / 25.4) in whole numbers, so that no rounding of 25.4 moves an edge.
int millimetresToPixels(int mm, int dpi)
{
    return int(qint64(qBound(-kMillimetreLimit, mm, kMillimetreLimit)) * dpi * 10 / 254);
}

} // namespace

namespace DrukujSheet {

QRect deviceRect(const Edges& edges, int dpiX, int dpiY, int offX, int offY)
{
    const int left = millimetresToPixels(edges.left, dpiX) - offX;
    const int right = millimetresToPixels(edges.right, dpiX) - offX;
    const int top = millimetresToPixels(edges.top, dpiY) - offY;
    const int bottom = millimetresToPixels(edges.bottom, dpiY) - offY;
    return QRect(left, top, right - left, bottom - top);
}

bool print(const Target& target, const QPicture& page, const Edges& edges, QString& error)
{
    // A file goes straight to Qt's PDF writer: a printer object would first ask the
    // print server about its default printer.
    std::unique_ptr<QPagedPaintDevice> device;
    if (target.printerName.isEmpty()) {
        auto writer = std::make_unique<QPdfWriter>(target.pdfFile);
        writer->setResolution(1200);
        writer->setTitle(target.jobName);
        // A file has no unprintable border.
        writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        device = std::move(writer);
    } else {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(target.printerName);
        // Qt turns a printer it does not know into a PDF file without a name.
        if (printer->outputFormat() != QPrinter::NativeFormat ||
            printer->printerName() != target.printerName) {
            error =
                QStringLiteral("Drukarka \"") + target.printerName + QStringLiteral("\" jest niedostępna.");
            return false;
        }
        printer->setDocName(target.jobName);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setPageOrientation(QPageLayout::Portrait);
        printer->setDuplex(target.duplex);
        device = std::move(printer);
    }

    QPainter painter;
    if (!painter.begin(device.get())) {
        error = target.printerName.isEmpty()
                    ? QStringLiteral("Nie można utworzyć pliku ") + target.pdfFile
                    : QStringLiteral("Nie można rozpocząć wydruku na drukarce ") + target.printerName;
        return false;
    }
    // The painter's origin is the printable area's corner.
    const QPageLayout layout = device->pageLayout();
    const int dpiX = device->logicalDpiX();
    const QPoint offset = layout.paintRectPixels(dpiX).topLeft() - layout.fullRectPixels(dpiX).topLeft();
    // The whole page stretched into the rectangle, each direction on its own.
    const QRect onSheet = deviceRect(edges, dpiX, device->logicalDpiY(), offset.x(), offset.y());
    PageRenderer::stretch(painter, page, onSheet);
    if (!painter.end()) {
        error = QStringLiteral("Błąd podczas wysyłania wydruku.");
        return false;
    }
    return true;
}

} // namespace DrukujSheet
