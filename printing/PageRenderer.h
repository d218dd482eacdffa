// Draws the single page of a school document from its calibration: every field's text
// at its calibrated box and font, the dotted lines, the empty-field marks and, for the
// printer, the emblem and the stamp mark. One routine serves the preview, the printer
// and the calibration editor; it paints on any QPainter, normally recording a QPicture
// of 885 x 1314 page units at 96 units per inch.
#pragma once

#include "documents/FormTable.h"
#include "storage/CalibrationStore.h"
#include "storage/MessageBuffer.h"

#include <QFont>
#include <QPicture>
#include <QString>

#include <functional>
#include <optional>
#include <span>

class DocumentForm;
class QPainter;

// The main window's drawing options, read whenever a page is drawn.
struct PageOptions {
    bool strikeEmpty = true; // "Wykresuj puste pola"
    bool noDots = false;     // "Wyłącz kropki": the empty-field mark lies higher
    bool wordWrap = false;   // "Ogranicz pola tekstowe": texts are cut at their boxes
    bool highlightMode = false;
    QString highlighted; // the object chosen in the calibration editor
};

// Where the calibration editor wants the preview to show the highlighted object.
struct PageHighlight {
    int pageIndex = 0;
    int scrollY = 0;
};

// The text of a form component by name; nothing when the form has no such component.
using PageTexts = std::function<std::optional<QString>(const QString& name)>;
PageTexts pageTextsOf(const DocumentForm& form);
// The texts of a form that has just been built from `page`, without building it.
PageTexts blankPageTexts(std::span<const ComponentEntry> page);

class PageRenderer
{
public:
    static constexpr int PageWidth = 885;
    static constexpr int PageHeight = 1314;
    static constexpr int UnitsPerInch = 96;

    // `dataDir` is the data folder, where the mark pictures lie.
    PageRenderer(MessageBuffer& buf, const PageOptions& options, const QString& dataDir);

    // Draws every entry in list order; the painter's state is restored afterwards.
    void draw(QPainter& painter, const QList<CalibEntry>& entries, const PageTexts& texts, bool printing);
    // Records the page into `picture`, replacing what it held.
    void record(QPicture& picture, const QList<CalibEntry>& entries, const PageTexts& texts, bool printing);

    // The last highlight request of the last drawing, if any object was highlighted.
    const std::optional<PageHighlight>& highlight() const { return m_highlight; }

    // A font size in points as a character height in page units.
    static int pixelSize(int points);
    // Replays the page picture stretched into `target` (in the painter's coordinates),
    // whatever the resolution of the painter's device.
    static void stretch(QPainter& painter, const QPicture& picture, const QRectF& target);

    void vFunDrawText(const CalibEntry& entry, const QString& text, int page, const QString& name);
    void vFunDrawJustifiedText(const QRect& box, const QString& text);
    void vFunDrawDottedLine(const CalibEntry& entry, int page, const QString& name);
    void vFunGraphicDrawMark(int kind, const CalibEntry& entry, const QString& name);

private:
    void outline(const QRect& box, int page, int scrollY);

    MessageBuffer& m_buf;
    PageOptions m_options;
    QString m_dataDir;
    QPainter* m_painter = nullptr;
    bool m_printing = false;
    std::optional<PageHighlight> m_highlight;
};
