// Draws the single page of a school document from its calibration: every field's text
// at its calibrated box and font, the dotted lines, the empty-field marks and, for the
// printer, the emblem and the stamp mark. One routine serves the preview, the printer
// and the calibration editor; it paints on any QPainter, normally recording a QPicture
// of 885 x 1314 page units at 96 units per inch.
//
// The fixed wording of a form (its labels) is always drawn at its calibrated size and
// place. A value too wide for its box, or standing too close to the text of its
// neighbour on the same line, is drawn smaller, then on two lines, and as a last resort
// at its smallest size cut at the box; such cut fields are reported to the caller.
#pragma once

#include "documents/FormTable.h"
#include "storage/CalibrationStore.h"
#include "storage/MessageBuffer.h"

#include <QFont>
#include <QList>
#include <QPicture>
#include <QString>
#include <QStringList>

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
    // How much the page is reduced on the sheet (the margin profile's rectangle against
    // the page's own size at 96 units per inch): a fitted value stays legible on paper.
    qreal paperScale = 1;
};

// Where the calibration editor wants the preview to show the highlighted object.
struct PageHighlight {
    int pageIndex = 0;
    int scrollY = 0;
};

// A field whose text does not fit its box even at the smallest size: it is cut there.
struct ClippedField {
    QString name;
    QString text; // the text as it stands in the form
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
    // The fields the last drawing cut at their boxes, in drawing order.
    const QList<ClippedField>& clipped() const { return m_clipped; }

    // One line per cut field for the warning before printing: its caption (by
    // `captionOf`) and the first words of its text.
    static QStringList describeClipped(const QList<ClippedField>& fields,
                                       const std::function<QString(const QString& name)>& captionOf);
    // The warning before printing fields that are cut, from the lines above.
    static QString clippedWarning(const QStringList& lines);

    // The emblem or the stamp mark: a picture of the page, the same whatever its texts.
    static bool isMark(const QString& name);
    // A font size in points as a character height in page units.
    static int pixelSize(int points);
    // The smallest size a value is fitted at, in points on paper.
    static constexpr qreal SmallestPointsOnPaper = 7;
    // Replays the page picture stretched into `target` (in the painter's coordinates),
    // whatever the resolution of the painter's device.
    static void stretch(QPainter& painter, const QPicture& picture, const QRectF& target);

    void vFunDrawText(const CalibEntry& entry, const QString& text, int page, const QString& name);
    void vFunDrawJustifiedText(const QRect& box, const QString& text);
    void vFunDrawJustifiedText(const QRectF& box, const QString& text);
    void vFunDrawDottedLine(const CalibEntry& entry, int page, const QString& name);
    void vFunGraphicDrawMark(int kind, const CalibEntry& entry, const QString& name);

    // How a text that does not fit as calibrated is drawn.
    enum class Fit { AsCalibrated, Scaled, Wrapped, Clipped };
    // One text of the page as it will be drawn, worked out before anything is drawn,
    // because a text keeps its distance from the texts beside it.
    struct TextPlan {
        bool present = false; // the form has the field: its text or its emptiness is drawn
        bool drawn = false;   // a non-empty text
        bool value = false;   // an edit or combo box, not a label
        QString original;     // as the form holds it
        QString text;         // as drawn
        QFont font;           // as calibrated
        int em = 0;           // the calibrated character height
        int align = 0;        // 3 only for a text with five spaces or more
        QRectF box;           // x1, top, x2, y2, the top as the font gives it
        qreal boxHeight = 0;  // y2 - y1
        qreal ascent = 0;
        qreal height = 0; // ascent plus descent
        qreal baseline = 0;
        QStringList lines; // the lines of the text
        qreal width = 0;   // of the widest line, in the calibrated font
        qreal left = 0;    // where the text stands at its calibrated size
        qreal right = 0;
        qreal fitLeft = 0; // where it stands fitted into its box alone
        qreal fitRight = 0;
        Fit fit = Fit::AsCalibrated;
        qreal scale = 1;
        qreal areaLeft = 0; // where a fitted text may stand
        qreal areaRight = 0;
    };

private:
    void outline(const QRect& box, int page, int scrollY);
    void planTexts(const QList<CalibEntry>& entries, const PageTexts& texts);
    void fitIntoArea(TextPlan& plan, qreal areaLeft, qreal areaRight) const;
    void drawFitted(const TextPlan& plan);

    MessageBuffer& m_buf;
    PageOptions m_options;
    QString m_dataDir;
    QPainter* m_painter = nullptr;
    bool m_printing = false;
    std::optional<PageHighlight> m_highlight;
    QList<ClippedField> m_clipped;
    QList<TextPlan> m_plans;          // one per entry of the drawing
    const TextPlan* m_plan = nullptr; // of the entry being drawn
};
