// The printed sheet of the print dialog: where the page lands on the device and the one
// drawing that puts it there, for a printer and for a PDF file alike.
#pragma once

#include <QPageLayout>
#include <QPrinter>
#include <QRect>
#include <QString>

class QPainter;
class QPicture;

namespace DrukujSheet {

constexpr int PageWidth = 885;   // page units across
constexpr int PageHeight = 1314; // page units down

// Edges of the page on the sheet, millimetres from the sheet's left and top edges.
struct Edges
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The page's rectangle in device pixels whose origin is the printable area's corner,
// `offX`/`offY` being that corner's distance from the sheet's corner:
// trunc(mm * dpi / 25.4) - offset on every edge.
QRect deviceRect(const Edges& edges, int dpiX, int dpiY, int offX, int offY);

// Stretches the whole page picture into `target` (device pixels), each direction on
// its own. The picture replays at the device's resolution by itself; the scale undoes
// that so that its 885 x 1314 units cover exactly the rectangle.
void drawPage(QPainter& painter, const QPicture& page, const QRect& target);

// Where a job goes: a printer of the machine, or a PDF file through Qt's own output.
struct Target
{
    QString printerName; // empty: the PDF file
    QString pdfFile;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QString jobName = QStringLiteral("Melvok - dokument");
};

// Prints one A4 portrait sheet with the page at `edges`. False with a message when the
// job cannot start.
bool print(const Target& target, const QPicture& page, const Edges& edges, QString& error);

} // namespace DrukujSheet
