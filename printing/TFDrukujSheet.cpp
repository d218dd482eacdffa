#include "printing/TFDrukujSheet.h"

#include "platform/FileErrorReason.h"
#include "platform/FileWrite.h"

#include <QBuffer>
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

qreal paperScale(const Edges& edges)
{
    const qreal across = qreal(qBound(-kMillimetreLimit, edges.right, kMillimetreLimit)) -
                         qBound(-kMillimetreLimit, edges.left, kMillimetreLimit);
    const qreal down = qreal(qBound(-kMillimetreLimit, edges.bottom, kMillimetreLimit)) -
                       qBound(-kMillimetreLimit, edges.top, kMillimetreLimit);
    if (across <= 0 || down <= 0)
        return 1;
    constexpr qreal kMillimetresPerUnit = 25.4 / PageRenderer::UnitsPerInch;
    return qMin(across / (PageWidth * kMillimetresPerUnit), down / (PageHeight * kMillimetresPerUnit));
}

QRect deviceRect(const Edges& edges, int dpiX, int dpiY, int offX, int offY)
{
    const int left = millimetresToPixels(edges.left, dpiX) - offX;
    const int right = millimetresToPixels(edges.right, dpiX) - offX;
    const int top = millimetresToPixels(edges.top, dpiY) - offY;
    const int bottom = millimetresToPixels(edges.bottom, dpiY) - offY;
    return QRect(left, top, right - left, bottom - top);
}

namespace {

// Draws the pages stretched into their rectangles on sheets without an unprintable
// border; false when the device refused.
bool paint(QPdfWriter& device, const QList<PagePainter>& pages, const Edges& edges)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRect onSheet = deviceRect(edges, device.logicalDpiX(), device.logicalDpiY(), 0, 0);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage())
            return false;
        // The whole page stretched into the rectangle, each direction on its own.
        pages[i](painter, onSheet);
    }
    return painter.end();
}

QString pdfFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Błąd podczas zapisywania pliku PDF:\n") + path + QLatin1Char('\n') + reason;
}

} // namespace

bool print(const Target& target, const QPicture& page, const Edges& edges, QString& error)
{
    return printPages(target, {[&page](QPainter& painter, const QRectF& onSheet) {
                          PageRenderer::stretch(painter, page, onSheet);
                      }},
                      edges, error);
}

bool printPages(const Target& target, const QList<PagePainter>& pages, const Edges& edges, QString& error)
{
    if (target.printerName.isEmpty()) {
        // The document is made in memory and checked whole before the file is written,
        // so that a full disk or a failed writer never leaves a file no reader opens.
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        bool made = false;
        {
            QPdfWriter writer(&pdf);
            writer.setResolution(1200);
            writer.setTitle(target.jobName);
            // A file has no unprintable border.
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
            made = paint(writer, pages, edges);
        }
        if (!made || !pdf.data().trimmed().endsWith("%%EOF")) {
            error = pdfFailure(target.pdfFile, QStringLiteral("Nie udało się utworzyć treści dokumentu."));
            return false;
        }
        if (const int err = FileWrite::replaceWith(target.pdfFile, pdf.data()); err != 0) {
            const QString reason = strFunFileErrorReason(err);
            error = pdfFailure(target.pdfFile, reason.isEmpty()
                                                   ? QStringLiteral("Kod błędu: ") + QString::number(err)
                                                   : reason.mid(1));
            return false;
        }
        return true;
    }

    // The printer the user has set up keeps the choices made there (copies, collation,
    // paper source, the printer's own options); the sheet itself is always A4, portrait.
    std::unique_ptr<QPrinter> own;
    QPrinter* printer = target.setUp;
    if (!printer || printer->printerName() != target.printerName) {
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        own->setPrinterName(target.printerName);
        printer = own.get();
    }
    // Qt turns a printer it does not know into a PDF file without a name.
    if (printer->outputFormat() != QPrinter::NativeFormat || printer->printerName() != target.printerName) {
        error = QStringLiteral("Drukarka „") + target.printerName + QStringLiteral("” jest niedostępna.");
        return false;
    }
    printer->setDocName(target.jobName);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setDuplex(target.duplex);
    QPainter painter;
    if (!painter.begin(printer)) {
        error = QStringLiteral("Nie można rozpocząć wydruku na drukarce ") + target.printerName;
        return false;
    }
    const QPageLayout layout = printer->pageLayout();
    const int dpiX = printer->logicalDpiX();
    const QPoint offset = layout.paintRectPixels(dpiX).topLeft() - layout.fullRectPixels(dpiX).topLeft();
    const QRect onSheet = deviceRect(edges, dpiX, printer->logicalDpiY(), offset.x(), offset.y());
    const bool emptyBacks = target.duplex != QPrinter::DuplexNone;
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !(printer->newPage() && (!emptyBacks || printer->newPage()))) {
            painter.end();
            error = QStringLiteral("Błąd podczas wysyłania wydruku.");
            return false;
        }
        pages[i](painter, onSheet);
    }
    if (!painter.end()) {
        error = QStringLiteral("Błąd podczas wysyłania wydruku.");
        return false;
    }
    return true;
}

} // namespace DrukujSheet
