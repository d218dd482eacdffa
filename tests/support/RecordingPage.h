// A page of 885 x 1314 units at 96 units per inch that records what is drawn on it
// (texts, lines, rectangles in page units, with their fonts and pens) instead of painting.
#pragma once

#include "printing/PageRenderer.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <climits>

struct Drawn {
    enum Kind { Text, Line, Rect } kind;
    QString text;
    QPointF at; // text: the baseline's start
    QLineF line;
    QRectF rect;
    QFont font;
    QColor pen;
    qreal scale = 1; // of a text drawn smaller to fit
};

// Keeps every text item, line and rectangle in page units, with its font and pen.
class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QList<Drawn> drawn;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        if (!item.text().trimmed().isEmpty())
            add({Drawn::Text, item.text(), painter()->transform().map(p), {}, {}, item.font()});
    }
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            add({Drawn::Line, {}, {}, painter()->transform().map(lines[i])});
    }
    void drawRects(const QRectF* rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            add({Drawn::Rect, {}, {}, {}, painter()->transform().mapRect(rects[i])});
    }
    using QPaintEngine::drawLines; // the integer forms come here converted
    using QPaintEngine::drawRects;

private:
    void add(Drawn d)
    {
        d.pen = painter()->pen().color();
        d.scale = painter()->transform().m22();
        drawn.append(d);
    }
};

// A page of 885 x 1314 units at 96 units per inch that records instead of painting.
class RecordingDevice : public QPaintDevice
{
public:
    RecordingEngine engine;
    QPaintEngine* paintEngine() const override { return const_cast<RecordingEngine*>(&engine); }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
            return PageRenderer::PageWidth;
        case PdmHeight:
            return PageRenderer::PageHeight;
        case PdmWidthMM:
            return 234;
        case PdmHeightMM:
            return 348;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 96; // every resolution
        }
    }
};
