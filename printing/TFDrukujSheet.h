// The printed sheet of the print dialog: where the page lands on the device and the one
// drawing that puts it there, for a printer and for a PDF file alike.
#pragma once

#include "printing/PageRenderer.h"

#include <QList>
#include <QPageLayout>
#include <QPicture>
#include <QPrinter>
#include <QRect>
#include <QString>

#include <functional>

namespace DrukujSheet {

constexpr int PageWidth = PageRenderer::PageWidth;   // page units across
constexpr int PageHeight = PageRenderer::PageHeight; // page units down

// Edges of the page on the sheet, millimetres from the sheet's left and top edges.
struct Edges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// How much the page is reduced (below 1) or enlarged on the sheet between `edges`: the
// smaller of the two directions against the page's own size at 96 units per inch; 1 for
// edges that enclose nothing.
qreal paperScale(const Edges& edges);

// The page's rectangle in device pixels whose origin is the printable area's corner,
// `offX`/`offY` being that corner's distance from the sheet's corner:
// trunc(mm * dpi / 25.4) - offset on every edge.
QRect deviceRect(const Edges& edges, int dpiX, int dpiY, int offX, int offY);

// Where a job goes: a printer of the machine, or a PDF file through Qt's own output.
struct Target {
    QString printerName; // empty: the PDF file
    QString pdfFile;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QString jobName = QStringLiteral("Melvok - dokument");
    // The printer as the user set it up, used when it is the one named above.
    QPrinter* setUp = nullptr;
};

// Prints one A4 portrait sheet with the page at `edges`. A PDF file is written whole
// or not at all. False with a message when the job cannot start or the file cannot be
// written.
bool print(const Target& target, const QPicture& page, const Edges& edges, QString& error);

// Draws one page of a job filling `onSheet` (device coordinates).
using PagePainter = std::function<void(QPainter& painter, const QRectF& onSheet)>;

// One job of one sheet per page, every page at `edges`; a PDF file is written only once
// every page is drawn. On a two-sided printer each page still gets a sheet of its own,
// its back left empty, so that no page is printed on the back of another's.
bool printPages(const Target& target, const QList<PagePainter>& pages, const Edges& edges, QString& error);

} // namespace DrukujSheet
