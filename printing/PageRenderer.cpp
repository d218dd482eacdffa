#include "printing/PageRenderer.h"

#include "documents/DocumentForm.h"
#include "documents/FormBinding.h"
#include "platform/FileOps.h"
#include "printing/EmfMark.h"
#include "prompts/Prompts.h"
#include "storage/EventLog.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// Coordinates far outside the page are drawn as if at this distance: they stay off the
// page and the arithmetic below cannot overflow.
constexpr int kCoordinateLimit = 20000;
constexpr int kMaxPoints = 1000;

int clampCoordinate(int value)
{
    return qBound(-kCoordinateLimit, value, kCoordinateLimit);
}

CalibEntry clamped(const CalibEntry& entry)
{
    CalibEntry e = entry;
    e.x1 = clampCoordinate(e.x1);
    e.x2 = clampCoordinate(e.x2);
    e.y1 = clampCoordinate(e.y1);
    e.y2 = clampCoordinate(e.y2);
    e.fontSize = qBound(1, e.fontSize, kMaxPoints);
    return e;
}

// The rectangle between two corners, never of negative size.
QRect box(int left, int top, int right, int bottom)
{
    return QRect(left, top, qMax(0, right - left), qMax(0, bottom - top));
}

const QString kEmblem = QStringLiteral("GRAFIKA: ORZELEK");
const QString kStamp = QStringLiteral("GRAFIKA: PIECZATKA");
const QString kLabel = QStringLiteral("_STR1_DATA_LABEL");
const QString kEdit = QStringLiteral("_STR1_DATA_EDIT");
const QString kCombo = QStringLiteral("_STR1_DATA_COMBOBOX");
const QString kDots = QStringLiteral("_STR1_LINIA_Z_KROPEK");

} // namespace

PageTexts pageTextsOf(const DocumentForm& form)
{
    return [&form](const QString& name) -> std::optional<QString> {
        const QWidget* component = form.component(name);
        if (!component)
            return std::nullopt;
        return FormBinding::text(component);
    };
}

PageTexts blankPageTexts(std::span<const ComponentEntry> page)
{
    return [page](const QString& name) { return FormTable::builtText(page, name); };
}

PageRenderer::PageRenderer(MessageBuffer& buf, const PageOptions& options, const QString& dataDir)
    : m_buf(buf), m_options(options), m_dataDir(dataDir)
{
}

int PageRenderer::pixelSize(int points)
{
    return qRound(double(points) * UnitsPerInch / 72.0);
}

void PageRenderer::record(QPicture& picture, const QList<CalibEntry>& entries, const PageTexts& texts,
                          bool printing)
{
    picture = QPicture();
    QPainter painter(&picture);
    draw(painter, entries, texts, printing);
    painter.end();
    picture.setBoundingRect(QRect(0, 0, PageWidth, PageHeight));
}

void PageRenderer::stretch(QPainter& painter, const QPicture& picture, const QRectF& target)
{
    painter.save();
    painter.translate(target.topLeft());
    // Replaying a picture already scales it from the resolution it was recorded at to
    // the device's (a 600 dpi printer enlarges it 6.25 times); that part is taken out
    // so that the page fills exactly the target.
    const QPaintDevice* device = painter.device();
    const qreal dpiX = device ? device->logicalDpiX() : picture.logicalDpiX();
    const qreal dpiY = device ? device->logicalDpiY() : picture.logicalDpiY();
    painter.scale(target.width() / PageWidth * picture.logicalDpiX() / dpiX,
                  target.height() / PageHeight * picture.logicalDpiY() / dpiY);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

void PageRenderer::draw(QPainter& painter, const QList<CalibEntry>& entries, const PageTexts& texts,
                        bool printing)
{
    m_painter = &painter;
    m_printing = printing;
    m_highlight.reset();
    painter.save();
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    for (const CalibEntry& entry : entries) {
        const QString& name = entry.name;
        if (name.contains(kEmblem))
            vFunGraphicDrawMark(0, entry, name);
        if (name.contains(kStamp))
            vFunGraphicDrawMark(1, entry, name);
        // A calibrated name that the form does not have is skipped: there is no field
        // whose text, or whose emptiness, could be shown.
        if (name.contains(kLabel) || name.contains(kEdit) || name.contains(kCombo)) {
            const std::optional<QString> text = texts(name);
            if (!text)
                continue;
            const bool optionalField = !name.contains(kLabel) && name.contains(kEdit) &&
                                       (name.contains(QLatin1String("ZMIENNA_UrWE")) ||
                                        name.contains(QLatin1String("ZMIENNA_SzkolaWE")));
            if (optionalField && text->isEmpty())
                continue;
            vFunDrawText(entry, *text, 1, name);
        } else if (name.contains(kDots)) {
            vFunDrawDottedLine(entry, 1, name);
        }
    }
    painter.restore();
    m_painter = nullptr;
}

void PageRenderer::outline(const QRect& rect, int page, int scrollY)
{
    m_painter->setPen(QPen(Qt::red, 1, Qt::SolidLine));
    m_painter->drawRect(rect);
    m_painter->setPen(QPen(Qt::black, 1, Qt::SolidLine));
    m_highlight = PageHighlight{page - 1, scrollY};
}

void PageRenderer::vFunDrawText(const CalibEntry& calibrated, const QString& text, int page,
                                const QString& name)
{
    const CalibEntry entry = clamped(calibrated);
    QPainter& p = *m_painter;
    int top = entry.y1;
    if (!text.isEmpty()) {
        // A face without a name keeps the default one (an empty family breaks recording).
        QFont font;
        if (!entry.fontName.isEmpty())
            font.setFamily(entry.fontName);
        font.setBold(entry.bold != 0);
        font.setItalic(entry.italic != 0);
        font.setUnderline(entry.underline != 0);
        font.setStrikeOut(entry.strike != 0);
        font.setPixelSize(pixelSize(entry.fontSize));
        p.setFont(font);
        const QFontMetrics metrics = p.fontMetrics();
        top = entry.y2 - (metrics.ascent() + metrics.descent()) - entry.fontSize / 4;
        const QRect rect = box(entry.x1, top, entry.x2, entry.y2);
        if (entry.align == 3) {
            vFunDrawJustifiedText(rect, text);
        } else {
            int flags = Qt::AlignTop;
            flags |= entry.align == 0 ? Qt::AlignLeft : entry.align == 2 ? Qt::AlignRight : Qt::AlignHCenter;
            if (!m_options.wordWrap)
                flags |= Qt::TextDontClip;
            p.drawText(rect, flags, text);
        }
    } else if (m_options.strikeEmpty) {
        const int y = entry.y2 - (m_options.noDots ? 15 : 10);
        p.drawLine(entry.x1, y, entry.x2, y);
    }
    if (m_options.highlightMode && !name.isEmpty() && m_options.highlighted.contains(name)) {
        if (entry.y2 - top > 100)
            outline(box(entry.x1, entry.y2 - 20, entry.x2, entry.y2), page, entry.y2 / 2);
        else
            outline(box(entry.x1, top, entry.x2, entry.y2), page, entry.y2 * 2 / 3);
    }
}

void PageRenderer::vFunDrawJustifiedText(const QRect& rect, const QString& text)
{
    QPainter& p = *m_painter;
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
    const QStringList words = text.split(QLatin1Char(' '));
    const int spaces = int(words.size()) - 1;
    if (spaces < 5) {
        p.drawText(rect, flags, text);
        return;
    }
    // Widths are measured as drawn, fractions included, so that the last word ends
    // exactly at the right edge and the remainder of the division falls in the last gap.
    const QFontMetricsF metrics(p.font(), p.device());
    QList<qreal> widths;
    qreal textWidth = 0;
    for (const QString& word : words) {
        widths << metrics.horizontalAdvance(word);
        textWidth += widths.last();
    }
    const int gap = int((rect.width() - textWidth) / spaces);
    qreal left = rect.left();
    auto cell = [&](qreal width) { return QRectF(left, rect.top(), width, rect.height()); };
    for (int i = 0; i < spaces; ++i) {
        p.drawText(cell(widths.at(i)), flags, words.at(i));
        left += widths.at(i);
        p.drawText(cell(gap), flags, QStringLiteral(" "));
        left += gap;
    }
    p.drawText(QRectF(rect), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip, words.last());
}

void PageRenderer::vFunDrawDottedLine(const CalibEntry& calibrated, int page, const QString& name)
{
    const CalibEntry entry = clamped(calibrated);
    QPainter& p = *m_painter;
    if (m_options.highlightMode && name == m_options.highlighted)
        outline(box(entry.x1, entry.y2 - 5, entry.x2, entry.y2 + 5), page, entry.y2 * 2 / 3);
    const QFont remembered = p.font();
    QFont font = remembered;
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setPixelSize(pixelSize(14));
    p.setFont(font);
    const int baseline = entry.y2 - 14 + p.fontMetrics().ascent();
    // One dot every 6 units from x1 while short of x2, drawn as one run of dots spaced
    // to that pitch: a page of dotted lines stays a few texts instead of a thousand.
    const int dots = entry.x2 > entry.x1 ? (entry.x2 - entry.x1 + 5) / 6 : 0;
    if (dots > 0) {
        QFont spaced = font;
        const qreal advance = QFontMetricsF(font, p.device()).horizontalAdvance(QLatin1Char('.'));
        spaced.setLetterSpacing(QFont::AbsoluteSpacing, 6 - advance);
        p.setFont(spaced);
        p.drawText(QPointF(entry.x1, baseline), QString(dots, QLatin1Char('.')));
    }
    // Only the size goes back; the style stays cleared, as the next text sets its own.
    QFont restored = font;
    if (remembered.pixelSize() > 0)
        restored.setPixelSize(remembered.pixelSize());
    else
        restored.setPointSizeF(remembered.pointSizeF());
    p.setFont(restored);
}

void PageRenderer::vFunGraphicDrawMark(int kind, const CalibEntry& calibrated, const QString& name)
{
    const CalibEntry entry = clamped(calibrated);
    const QRect rect = box(entry.x1, entry.y1, entry.x2, entry.y2);
    if (m_options.highlightMode && name == m_options.highlighted)
        outline(rect, 1, entry.y2 / 2);
    if (!m_printing)
        return;
    const QString path =
        m_dataDir + (kind == 0 ? QStringLiteral("/grafika/orzel.emf") : QStringLiteral("/grafika/m_p.emf"));
    QString error;
    QByteArray svg;
    if (!FileOps::exists(path))
        error = QStringLiteral("Plik nie istnieje.\n\n") + path;
    else if (!bFunLoadEmfMark(path, svg, error) && error.isEmpty())
        error = QStringLiteral("Błąd odczytu pliku.\n\n") + path;
    if (!error.isEmpty()) {
        m_buf.reset(error);
        vFunLogError(m_buf, QStringLiteral("vFunGraphicDrawMark()"));
        Prompts::instance().error(nullptr, m_buf.text(), QStringLiteral("Bład"));
        return;
    }
    vFunPaintEmfMark(*m_painter, svg, QRectF(rect));
}
