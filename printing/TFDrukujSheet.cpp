#include "printing/TFDrukujSheet.h"

#include <QPageSize>
#include <QPainter>
#include <QPicture>

namespace {

// trunc(mm * dpi / 25.4) in whole numbers, so that no rounding of 25.4 moves an edge.
int millimetresToPixels(int mm, int dpi)
{
    return int(qint64(mm) * dpi * 10 / 254);
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

void drawPage(QPainter& painter, const QPicture& page, const QRect& target)
{
    const QPaintDevice* device = painter.device();
    const qreal replayX = qreal(device->logicalDpiX()) / page.logicalDpiX();
    const qreal replayY = qreal(device->logicalDpiY()) / page.logicalDpiY();
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / (PageWidth * replayX), target.height() / (PageHeight * replayY));
    painter.drawPicture(0, 0, page);
    painter.restore();
}

bool print(const Target& target, const QPicture& page, const Edges& edges, QString& error)
{
    QPrinter printer(QPrinter::HighResolution);
    if (target.printerName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target.pdfFile);
    } else {
        printer.setPrinterName(target.printerName);
        // Qt turns a printer it does not know into a PDF file without a name.
        if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName() != target.printerName) {
            error = QStringLiteral("Drukarka \"") + target.printerName + QStringLiteral("\" jest niedostępna.");
            return false;
        }
    }
    printer.setDocName(target.jobName);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDuplex(target.duplex);
    // A file has no unprintable border; a printer keeps the margins its driver needs.
    if (target.printerName.isEmpty())
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

    QPainter painter;
    if (!painter.begin(&printer)) {
        error = target.printerName.isEmpty()
                    ? QStringLiteral("Nie można utworzyć pliku ") + target.pdfFile
                    : QStringLiteral("Nie można rozpocząć wydruku na drukarce ") + target.printerName;
        return false;
    }
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect printable = printer.pageRect(QPrinter::DevicePixel).toRect();
    const QRect rect = deviceRect(edges, printer.logicalDpiX(), printer.logicalDpiY(),
                                  printable.left() - paper.left(), printable.top() - paper.top());
    drawPage(painter, page, rect);
    if (!painter.end()) {
        error = QStringLiteral("Błąd podczas wysyłania wydruku.");
        return false;
    }
    return true;
}

} // namespace DrukujSheet
