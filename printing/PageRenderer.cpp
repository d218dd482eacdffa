#include "printing/PageRenderer.h"

#include "documents/DocumentForm.h"
#include "documents/FormBinding.h"
#include "platform/FileOps.h"
#include "printing/EmfMark.h"
#include "prompts/Prompts.h"
#include "storage/EventLog.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>

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

// The page's pen: solid, one page unit wide.
QPen pagePen(const QColor& color)
{
    return QPen(color, 1, Qt::SolidLine);
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

// A fitted value is drawn no smaller than this share of its calibrated size, nor below
// 7 points on paper; it goes onto a second line only in a box this many of its lines tall.
constexpr qreal kSmallestShare = 0.6;
constexpr qreal kLinesForWrap = 1.8;
constexpr qreal kLineStep = 1.05; // of the font's line spacing

// The printed form writes "r." after the year fields itself.
const QString kYearMark = QStringLiteral("r.");

// "2005 r." before the label "r." is drawn "2005": the form says "r." once.
QString withoutYearMark(const QString& value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.endsWith(kYearMark) || trimmed.size() <= kYearMark.size())
        return value;
    const QChar before = trimmed.at(trimmed.size() - kYearMark.size() - 1);
    if (!before.isSpace() && !before.isDigit())
        return value; // a word that ends in "r.", not the year's mark
    const QString rest = trimmed.chopped(kYearMark.size()).trimmed();
    return rest.isEmpty() ? value : rest;
}

// `wanted` moved into [low, high]; when even that is too narrow (a text as wide as its
// place but for the last bits of a division) it starts at `low`.
qreal placeWithin(qreal low, qreal wanted, qreal high)
{
    return qMax(low, qMin(wanted, high));
}

// The share of its calibrated size below which a value of `em` page units would print
// smaller than the floor on paper; never above 1, as a value is never enlarged.
qreal smallestShare(qreal em, qreal paperScale)
{
    // A page that cannot be placed on the sheet counts as printed at its own size.
    const qreal scale = paperScale > 0 ? paperScale : 1;
    const qreal points = em * scale * 72.0 / PageRenderer::UnitsPerInch;
    if (points <= 0)
        return 1;
    return qMin<qreal>(1, qMax(kSmallestShare, PageRenderer::SmallestPointsOnPaper / points));
}

// The beginning of `line` that fits `room` page units at `scale`, whole characters only:
// what is cut off a value is left out of the drawing, so that no reader of the printed
// file finds words that are not on the sheet.
QString fittingPart(const QString& line, const QFontMetricsF& metrics, qreal scale, qreal room)
{
    const auto fits = [&](qsizetype length) {
        return metrics.horizontalAdvance(line.left(length)) * scale <= room + 0.01;
    };
    if (fits(line.size()))
        return line;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, line);
    QList<qsizetype> ends;
    for (qsizetype at = characters.toNextBoundary(); at > 0; at = characters.toNextBoundary())
        ends << at;
    // The widths of the beginnings grow with their length: the longest that fits is found
    // by halving.
    qsizetype low = 0, high = ends.size(); // ends[low - 1] fits, ends[high] does not
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (fits(ends.at(mid)))
            low = mid + 1;
        else
            high = mid;
    }
    QString part = low == 0 ? QString() : line.left(ends.at(low - 1));
    while (part.endsWith(QLatin1Char(' ')))
        part.chop(1);
    return part;
}

bool sameLine(const PageRenderer::TextPlan& a, const PageRenderer::TextPlan& b)
{
    const qreal overlap =
        qMin(a.box.top() + a.height, b.box.top() + b.height) - qMax(a.box.top(), b.box.top());
    return overlap > qMin(a.height, b.height) / 2;
}

// The first words of a text, for naming a field in a message.
QString firstWords(const QString& text)
{
    constexpr int kWords = 3;
    constexpr int kCharacters = 40;
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString out = words.mid(0, kWords).join(QLatin1Char(' '));
    if (out.size() > kCharacters)
        out = out.left(kCharacters);
    return out.size() < text.simplified().size() ? out + QStringLiteral("…") : out;
}

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

bool PageRenderer::isMark(const QString& name)
{
    return name.contains(kEmblem) || name.contains(kStamp);
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
    // The page's pen is the painter's default one, so the picture's pen changes nothing
    // when replayed, and a printer or PDF device left alone strokes a hairline: the pen
    // is handed to the device as a change.
    painter.setPen(Qt::NoPen);
    painter.setPen(pagePen(Qt::black));
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

void PageRenderer::draw(QPainter& painter, const QList<CalibEntry>& entries, const PageTexts& texts,
                        bool printing)
{
    m_painter = &painter;
    m_printing = printing;
    m_highlight.reset();
    m_clipped.clear();
    painter.save();
    painter.setPen(pagePen(Qt::black));
    painter.setBrush(Qt::NoBrush);
    planTexts(entries, texts);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const CalibEntry& entry = entries.at(i);
        const QString& name = entry.name;
        if (name.contains(kEmblem))
            vFunGraphicDrawMark(0, entry, name);
        if (name.contains(kStamp))
            vFunGraphicDrawMark(1, entry, name);
        if (name.contains(kLabel) || name.contains(kEdit) || name.contains(kCombo)) {
            const TextPlan& plan = m_plans.at(i);
            if (!plan.present)
                continue; // not on the form, or an optional field left empty
            m_plan = &plan;
            vFunDrawText(entry, plan.text, 1, name);
            m_plan = nullptr;
            if (plan.fit == Fit::Clipped)
                m_clipped.append({name, plan.original});
        } else if (name.contains(kDots)) {
            vFunDrawDottedLine(entry, 1, name);
        }
    }
    painter.restore();
    m_painter = nullptr;
}

void PageRenderer::planTexts(const QList<CalibEntry>& entries, const PageTexts& texts)
{
    m_plans.clear();
    m_plans.resize(entries.size());
    const QPaintDevice* device = m_painter->device();
    QList<qsizetype> drawn;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const CalibEntry entry = clamped(entries.at(i));
        const QString& name = entry.name;
        const bool label = name.contains(kLabel);
        if (!label && !name.contains(kEdit) && !name.contains(kCombo))
            continue;
        TextPlan& plan = m_plans[i];
        // A calibrated name that the form does not have is skipped: there is no field
        // whose text, or whose emptiness, could be shown.
        const std::optional<QString> text = texts(name);
        if (!text)
            continue;
        const bool optionalField = !label && name.contains(kEdit) &&
                                   (name.contains(QLatin1String("ZMIENNA_UrWE")) ||
                                    name.contains(QLatin1String("ZMIENNA_SzkolaWE")));
        if (optionalField && text->isEmpty())
            continue;
        plan.present = true;
        plan.value = !label;
        plan.text = plan.original = *text;
        if (text->isEmpty())
            continue;
        plan.drawn = true;
        // A face without a name keeps the default one (an empty family breaks recording).
        if (!entry.fontName.isEmpty())
            plan.font.setFamily(entry.fontName);
        plan.font.setBold(entry.bold != 0);
        plan.font.setItalic(entry.italic != 0);
        plan.font.setUnderline(entry.underline != 0);
        plan.font.setStrikeOut(entry.strike != 0);
        plan.em = pixelSize(entry.fontSize);
        plan.font.setPixelSize(plan.em);
        const QFontMetrics metrics(plan.font, device);
        const int top = entry.y2 - (metrics.ascent() + metrics.descent()) - entry.fontSize / 4;
        plan.box = QRectF(box(entry.x1, top, entry.x2, entry.y2));
        plan.boxHeight = qreal(entry.y2) - entry.y1;
        plan.ascent = metrics.ascent();
        plan.height = metrics.ascent() + metrics.descent();
        plan.baseline = top + plan.ascent;
        plan.align = entry.align;
        drawn << i;
    }

    // Values written before the label "r." lose their own "r.".
    for (const qsizetype i : std::as_const(drawn)) {
        TextPlan& plan = m_plans[i];
        if (!plan.value)
            continue;
        const TextPlan* next = nullptr;
        for (const qsizetype j : std::as_const(drawn)) {
            const TextPlan& other = m_plans.at(j);
            if (j != i && sameLine(plan, other) && other.box.left() > plan.box.center().x() &&
                (!next || other.box.left() < next->box.left()))
                next = &other;
        }
        if (next && !next->value && next->text.trimmed() == kYearMark)
            plan.text = withoutYearMark(plan.text);
    }

    // Where each text stands at its calibrated size, and fitted into its box alone.
    for (const qsizetype i : std::as_const(drawn)) {
        TextPlan& plan = m_plans[i];
        const QFontMetricsF metrics(plan.font, device);
        plan.lines = plan.text.split(QLatin1Char('\n'));
        for (const QString& line : std::as_const(plan.lines))
            plan.width = qMax(plan.width, metrics.horizontalAdvance(line));
        const qreal x1 = plan.box.left();
        const qreal x2 = plan.box.right();
        if (plan.align == 3) {
            const int spaces = int(plan.text.count(QLatin1Char(' ')));
            if (spaces < 5) {
                plan.align = 0;
            } else {
                // Spread, the text fills its box; as it stands without spreading it must fit.
                plan.width = metrics.horizontalAdvance(plan.text);
            }
        }
        if (plan.align == 0 || plan.align == 3) {
            plan.left = x1;
        } else if (plan.align == 2) {
            plan.left = x2 - plan.width;
        } else {
            plan.left = x1 + (x2 - x1 - plan.width) / 2;
        }
        plan.right = plan.left + plan.width;
        if (plan.align == 3 && plan.width <= x2 - x1)
            plan.right = x2;
        // A label stands where the calibration puts it, even past its box.
        if (!plan.value || (plan.left >= x1 && plan.right <= x2)) {
            plan.fitLeft = plan.left;
            plan.fitRight = plan.right;
        } else {
            plan.fitLeft = x1;
            plan.fitRight = qMax(x1, x2);
        }
    }

    // A value keeps a quarter of an em from the nearest text beside it on the same line;
    // the labels, the form's own wording, are never moved or made smaller.
    for (const qsizetype i : std::as_const(drawn)) {
        TextPlan& plan = m_plans[i];
        if (!plan.value)
            continue;
        const qreal gap = plan.em / 4.0;
        const qreal centre = (plan.fitLeft + plan.fitRight) / 2;
        qreal areaLeft = plan.box.left();
        qreal areaRight = plan.box.right();
        for (const qsizetype j : std::as_const(drawn)) {
            const TextPlan& other = m_plans.at(j);
            if (j == i || !sameLine(plan, other))
                continue;
            // A neighbour is on the side of its middle, even when it reaches into this box.
            if ((other.fitLeft + other.fitRight) / 2 >= centre)
                areaRight = qMin(areaRight, other.fitLeft - gap);
            else
                areaLeft = qMax(areaLeft, other.fitRight + gap);
        }
        if (plan.width <= 0 || (plan.left >= areaLeft && plan.right <= areaRight))
            continue;
        // Fitted, a text never leaves the place it takes fitted alone, so the texts
        // beside it keep their distance whatever they become themselves.
        fitIntoArea(plan, qMax(areaLeft, plan.fitLeft), qMin(areaRight, plan.fitRight));
    }
}

void PageRenderer::fitIntoArea(TextPlan& plan, qreal areaLeft, qreal areaRight) const
{
    plan.areaLeft = areaLeft;
    plan.areaRight = qMax(areaLeft, areaRight);
    const qreal room = plan.areaRight - plan.areaLeft;
    const qreal smallest = smallestShare(plan.em, m_options.paperScale);
    const qreal single = room / plan.width;
    if (single >= smallest) {
        plan.fit = Fit::Scaled;
        plan.scale = qMin<qreal>(1, single);
        return;
    }
    // Two lines, broken at the space that leaves the shorter longest line; the words
    // are measured once, the lines as their words and the spaces between them.
    if (plan.lines.size() == 1) {
        const QFontMetricsF metrics(plan.font, m_painter->device());
        const QStringList words = plan.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
        QList<qreal> widths;
        qreal total = 0;
        for (const QString& word : words) {
            widths << metrics.horizontalAdvance(word);
            total += widths.last();
        }
        qreal best = -1;
        qsizetype bestBreak = 0;
        qreal before = 0; // the words of the first line
        for (qsizetype at = 1; at < words.size(); ++at) {
            before += widths.at(at - 1);
            const qreal first = before + space * qreal(at - 1);
            const qreal second = total - before + space * qreal(words.size() - at - 1);
            if (best < 0 || qMax(first, second) < best) {
                best = qMax(first, second);
                bestBreak = at;
            }
        }
        if (best > 0) {
            const qreal byHeight = plan.boxHeight / (kLinesForWrap * plan.height);
            const qreal scale = std::min({qreal(1), byHeight, room / best});
            if (scale >= smallest) {
                plan.fit = Fit::Wrapped;
                plan.scale = scale;
                plan.lines = {words.mid(0, bestBreak).join(QLatin1Char(' ')),
                              words.mid(bestBreak).join(QLatin1Char(' '))};
                return;
            }
        }
    }
    plan.fit = Fit::Clipped;
    plan.scale = smallest;
}

void PageRenderer::drawFitted(const TextPlan& plan)
{
    QPainter& p = *m_painter;
    const QFontMetricsF metrics(plan.font, p.device());
    const qreal s = plan.scale;
    // Lines a little apart, so that the accents of the second never touch the first.
    const qreal lineStep = metrics.lineSpacing() * s * kLineStep;
    const qreal firstBaseline = plan.baseline - lineStep * (plan.lines.size() - 1);
    const bool clip = plan.fit == Fit::Clipped || m_options.wordWrap;
    p.save();
    if (clip) {
        const qreal top = qMin(plan.box.top(), firstBaseline - plan.ascent * s);
        p.setClipRect(QRectF(plan.areaLeft, top, plan.areaRight - plan.areaLeft, plan.box.bottom() - top),
                      Qt::IntersectClip);
    }
    if (plan.fit == Fit::Scaled && plan.align == 3) {
        // Spread over its place as the calibrated text is spread over its box.
        p.translate(plan.areaLeft, plan.baseline - plan.ascent * s);
        p.scale(s, s);
        vFunDrawJustifiedText(QRectF(0, 0, (plan.areaRight - plan.areaLeft) / s, plan.height), plan.text);
        p.restore();
        return;
    }
    const qreal centre = plan.box.center().x();
    for (qsizetype i = 0; i < plan.lines.size(); ++i) {
        const QString& line = plan.lines.at(i);
        const qreal width = (plan.lines.size() == 1 ? plan.width : metrics.horizontalAdvance(line)) * s;
        qreal x = plan.areaLeft;
        // A cut text shows its beginning; any other keeps its alignment within its place.
        if (plan.fit != Fit::Clipped) {
            if (plan.align == 2)
                x = placeWithin(plan.areaLeft, plan.areaRight - width, plan.areaRight);
            else if (plan.align != 0 && plan.align != 3)
                x = placeWithin(plan.areaLeft, centre - width / 2, plan.areaRight - width);
        }
        const QString drawn =
            plan.fit == Fit::Clipped ? fittingPart(line, metrics, s, plan.areaRight - plan.areaLeft) : line;
        if (drawn.isEmpty())
            continue;
        p.save();
        p.translate(x, firstBaseline + lineStep * i);
        p.scale(s, s);
        p.drawText(QPointF(0, 0), drawn);
        p.restore();
    }
    p.restore();
}

void PageRenderer::outline(const QRect& rect, int page, int scrollY)
{
    m_painter->setPen(pagePen(Qt::red));
    m_painter->drawRect(rect);
    m_painter->setPen(pagePen(Qt::black));
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
        if (m_plan && m_plan->fit != Fit::AsCalibrated) {
            drawFitted(*m_plan);
            if (m_plan->fit == Fit::Clipped && !m_printing) {
                // The preview shows where the printout will be cut.
                p.setPen(pagePen(Qt::red));
                p.drawRect(rect);
                p.setPen(pagePen(Qt::black));
            }
        } else if (entry.align == 3) {
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
    vFunDrawJustifiedText(QRectF(rect), text);
}

void PageRenderer::vFunDrawJustifiedText(const QRectF& rect, const QString& text)
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
    p.drawText(rect, Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip, words.last());
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

QStringList PageRenderer::describeClipped(const QList<ClippedField>& fields,
                                          const std::function<QString(const QString& name)>& captionOf)
{
    QStringList lines;
    for (const ClippedField& field : fields) {
        QString caption = captionOf ? captionOf(field.name) : QString();
        if (caption.isEmpty())
            caption = field.name;
        lines << caption + QStringLiteral(": „") + firstWords(field.text) + QStringLiteral("”");
    }
    return lines;
}

QString PageRenderer::clippedWarning(const QStringList& lines)
{
    return QStringLiteral("Niektóre pola nie mieszczą się w wyznaczonym miejscu i zostaną obcięte:\n") +
           lines.join(QLatin1Char('\n'));
}
