// Build step: makes the pictures of the "grafika" folder from the reviewable drawings
// of this folder.
//   mkpictures emf DRAWING.vec OUTPUT.emf
//       writes the drawing as a Windows enhanced metafile, the format in which a school
//       can replace the marks with its own pictures made on Windows;
//   mkpictures preview CALIBRATION.sqset EMBLEM.vec STAMP.vec OUTPUT.bmp
//       paints the preview background: a sheet on a grey desk with the emblem and the
//       stamp place in the boxes the calibration gives them, because the preview shows
//       the page without the marks.
//
// A drawing is a list of lines: "size W H", "pen #rrggbb WIDTH", "brush #rrggbb|none",
// "polygon x,y ...", "polyline x,y ...", "ellipse l,t r,b", "dashedellipse l,t r,b DASH GAP",
// "font FACE SIZE [bold] [italic]" and "text X Y \"TEXT\"" (centred on X, baseline at Y,
// in the pen's colour). '#' starts a comment line.
#include <sqlite3.h>

#include <QColor>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegularExpression>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

struct Op {
    enum Kind { Pen, Brush, Polygon, Polyline, Ellipse, Font, Text } kind;
    QColor color;      // Pen, Brush (invalid: no brush)
    int width = 0;     // Pen width; Font size
    QPolygon points;   // Polygon, Polyline; Ellipse and Text use the first points
    QString text;      // Font face; Text
    bool bold = false; // Font
    bool italic = false;
};

struct Drawing {
    QSize size;
    QList<Op> ops;
};

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "mkpictures: %s\n", message.toUtf8().constData());
    std::exit(1);
}

QPolygon parsePoints(const QStringList& words, qsizetype from, qsizetype to, const QString& where)
{
    QPolygon points;
    for (qsizetype i = from; i < to; ++i) {
        const QStringList xy = words.at(i).split(QLatin1Char(','));
        bool okX = false, okY = false;
        if (xy.size() == 2)
            points << QPoint(xy.at(0).toInt(&okX), xy.at(1).toInt(&okY));
        if (!okX || !okY)
            fail(where + QStringLiteral(": bad point ") + words.at(i));
    }
    return points;
}

// A dashed outline is written as short solid strokes, so that every EMF reader shows
// the dashes whatever it does with wide dashed pens.
QList<Op> dashedEllipse(const QRect& box, double dash, double gap)
{
    const QPointF centre = QRectF(box).center();
    const double rx = box.width() / 2.0, ry = box.height() / 2.0;
    const double circumference = std::numbers::pi * (rx + ry);
    const int dashes = std::max(1, int(std::lround(circumference / (dash + gap))));
    const double step = 2 * std::numbers::pi / dashes;
    const double dashAngle = step * dash / (dash + gap);
    QList<Op> ops;
    for (int i = 0; i < dashes; ++i) {
        Op op{Op::Polyline};
        for (int k = 0; k <= 4; ++k) {
            const double a = i * step + dashAngle * k / 4;
            op.points << QPoint(int(std::lround(centre.x() + rx * std::cos(a))),
                                int(std::lround(centre.y() + ry * std::sin(a))));
        }
        ops << op;
    }
    return ops;
}

Drawing readDrawing(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("cannot read ") + path);
    Drawing drawing;
    int lineNumber = 0;
    const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString where = path + QLatin1Char(':') + QString::number(lineNumber);
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString& cmd = w.first();
        if (cmd == QLatin1String("size") && w.size() == 3) {
            drawing.size = QSize(w.at(1).toInt(), w.at(2).toInt());
        } else if (cmd == QLatin1String("pen") && w.size() == 3 && QColor::isValidColorName(w.at(1))) {
            drawing.ops << Op{.kind = Op::Pen, .color = QColor(w.at(1)), .width = w.at(2).toInt()};
        } else if (cmd == QLatin1String("brush") && w.size() == 2 &&
                   (w.at(1) == QLatin1String("none") || QColor::isValidColorName(w.at(1)))) {
            drawing.ops << Op{.kind = Op::Brush,
                              .color = w.at(1) == QLatin1String("none") ? QColor() : QColor(w.at(1))};
        } else if ((cmd == QLatin1String("polygon") || cmd == QLatin1String("polyline")) && w.size() >= 3) {
            drawing.ops << Op{.kind = cmd == QLatin1String("polygon") ? Op::Polygon : Op::Polyline,
                              .points = parsePoints(w, 1, w.size(), where)};
        } else if (cmd == QLatin1String("ellipse") && w.size() == 3) {
            drawing.ops << Op{.kind = Op::Ellipse, .points = parsePoints(w, 1, 3, where)};
        } else if (cmd == QLatin1String("dashedellipse") && w.size() == 5) {
            const QPolygon corners = parsePoints(w, 1, 3, where);
            drawing.ops << dashedEllipse(QRect(corners.at(0), corners.at(1)), w.at(3).toDouble(),
                                         w.at(4).toDouble());
        } else if (cmd == QLatin1String("font") && w.size() >= 3) {
            drawing.ops << Op{.kind = Op::Font,
                              .width = w.at(2).toInt(),
                              .text = w.at(1),
                              .bold = w.contains(QStringLiteral("bold")),
                              .italic = w.contains(QStringLiteral("italic"))};
        } else if (cmd == QLatin1String("text") && w.size() >= 4 && quoted.match(line).hasMatch()) {
            drawing.ops << Op{.kind = Op::Text,
                              .points = parsePoints({w.at(1) + QLatin1Char(',') + w.at(2)}, 0, 1, where),
                              .text = quoted.match(line).captured(1)};
        } else {
            fail(where + QStringLiteral(": cannot read \"") + line + QLatin1Char('"'));
        }
    }
    if (drawing.size.isEmpty())
        fail(path + QStringLiteral(": no size"));
    return drawing;
}

// ---- Enhanced metafile records -------------------------------------------------------

enum : quint32 {
    EMR_HEADER = 1,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_EXTCREATEPEN = 95,
};
constexpr quint32 NullBrush = 0x80000005; // stock object NULL_BRUSH
constexpr int ReferenceDpi = 96;

class EmfWriter
{
public:
    // Starts a record; its size is filled in by end().
    void begin(quint32 type)
    {
        m_start = m_data.size();
        u32(type);
        u32(0);
    }
    void end()
    {
        while (m_data.size() % 4)
            m_data.append('\0');
        qToLittleEndian<quint32>(quint32(m_data.size() - m_start), m_data.data() + m_start + 4);
        ++m_records;
    }
    void record(quint32 type, std::initializer_list<qint32> values)
    {
        begin(type);
        for (qint32 v : values)
            i32(v);
        end();
    }
    void u32(quint32 v) { append<quint32>(v); }
    void i32(qint32 v) { append<qint32>(v); }
    void i16(qint16 v) { append<qint16>(v); }
    void u8(quint8 v) { m_data.append(char(v)); }
    void rect(const QRect& r)
    {
        i32(r.left());
        i32(r.top());
        i32(r.right());
        i32(r.bottom());
    }
    static qint32 colorRef(const QColor& c) { return qint32(c.red() | (c.green() << 8) | (c.blue() << 16)); }

    // Each new pen, brush or font gets the next handle; the one it replaces is deleted.
    quint32 newHandle() { return ++m_handles; }
    void select(quint32& current, quint32 handle)
    {
        record(EMR_SELECTOBJECT, {qint32(handle)});
        if (current != 0)
            record(EMR_DELETEOBJECT, {qint32(current)});
        current = handle;
    }

    QByteArray finish(const QSize& size)
    {
        record(EMR_EOF, {0, 16, 20});
        QByteArray header;
        std::swap(header, m_data);
        const int records = m_records + 1;
        // The header: bounds in pixels, frame in hundredths of a millimetre, the
        // reference device of a 96 dpi display.
        begin(EMR_HEADER);
        rect(QRect(QPoint(0, 0), size));
        rect(QRect(0, 0, size.width() * 2540 / ReferenceDpi, size.height() * 2540 / ReferenceDpi));
        u32(0x464D4520); // " EMF"
        u32(0x00010000);
        u32(0); // file size, below
        u32(quint32(records));
        i16(qint16(m_handles + 1));
        i16(0);
        u32(0); // no description
        u32(0);
        u32(0);    // no palette
        i32(1024); // reference device in pixels and millimetres
        i32(768);
        i32(271);
        i32(203);
        u32(0); // no pixel format
        u32(0);
        u32(0);      // not OpenGL
        i32(270933); // reference device in micrometres
        i32(203200);
        end();
        m_data += header;
        qToLittleEndian<quint32>(quint32(m_data.size()), m_data.data() + 48);
        return m_data;
    }

private:
    template <typename T> void append(T v)
    {
        char bytes[sizeof(T)];
        qToLittleEndian<T>(v, bytes);
        m_data.append(bytes, sizeof(T));
    }
    QByteArray m_data;
    qsizetype m_start = 0;
    int m_records = 0;
    quint32 m_handles = 0;
};

QByteArray writeEmf(const Drawing& drawing)
{
    EmfWriter emf;
    emf.record(EMR_SETMAPMODE, {1});        // MM_TEXT: one logical unit is one pixel
    emf.record(EMR_SETBKMODE, {1});         // TRANSPARENT
    emf.record(EMR_SETPOLYFILLMODE, {2});   // WINDING
    emf.record(EMR_SETTEXTALIGN, {6 | 24}); // TA_CENTER | TA_BASELINE
    quint32 pen = 0, brush = 0, font = 0;
    int fontSize = 0;
    QColor textColor = Qt::black;
    auto polyRecord = [&](quint32 type, const QPolygon& points) {
        emf.begin(type);
        emf.rect(points.boundingRect());
        emf.u32(quint32(points.size()));
        for (const QPoint& p : points) {
            emf.i16(qint16(p.x()));
            emf.i16(qint16(p.y()));
        }
        emf.end();
    };
    for (const Op& op : drawing.ops) {
        switch (op.kind) {
        case Op::Pen: {
            // A pen wider than one pixel is a geometric pen: PS_GEOMETRIC | PS_SOLID with
            // round ends and joins, no bitmap, a solid brush of its colour.
            const quint32 h = emf.newHandle();
            emf.record(EMR_EXTCREATEPEN, {qint32(h), 0, 0, 0, 0, 0x00010000, op.width, 0 /* BS_SOLID */,
                                          EmfWriter::colorRef(op.color), 0, 0});
            emf.select(pen, h);
            if (op.color != textColor) {
                textColor = op.color;
                emf.record(EMR_SETTEXTCOLOR, {EmfWriter::colorRef(textColor)});
            }
            break;
        }
        case Op::Brush:
            if (!op.color.isValid()) {
                emf.record(EMR_SELECTOBJECT, {qint32(NullBrush)});
                if (brush != 0)
                    emf.record(EMR_DELETEOBJECT, {qint32(brush)});
                brush = 0;
            } else {
                const quint32 h = emf.newHandle();
                emf.record(EMR_CREATEBRUSHINDIRECT,
                           {qint32(h), 0 /* BS_SOLID */, EmfWriter::colorRef(op.color), 0});
                emf.select(brush, h);
            }
            break;
        case Op::Polygon:
            polyRecord(EMR_POLYGON16, op.points);
            break;
        case Op::Polyline:
            polyRecord(EMR_POLYLINE16, op.points);
            break;
        case Op::Ellipse:
            emf.record(EMR_ELLIPSE,
                       {op.points.at(0).x(), op.points.at(0).y(), op.points.at(1).x(), op.points.at(1).y()});
            break;
        case Op::Font: {
            const quint32 h = emf.newHandle();
            emf.begin(EMR_EXTCREATEFONTINDIRECTW);
            emf.u32(h);
            emf.i32(-op.width); // negative: the character height without internal leading
            emf.i32(0);
            emf.i32(0);
            emf.i32(0);
            emf.i32(op.bold ? 700 : 400);
            emf.u8(op.italic ? 1 : 0);
            emf.u8(0);
            emf.u8(0);
            emf.u8(238); // EASTEUROPE_CHARSET
            emf.u8(0);
            emf.u8(0);
            emf.u8(2); // PROOF_QUALITY
            emf.u8(0);
            QString face = op.text.left(31);
            for (int i = 0; i < 32; ++i)
                emf.i16(i < face.size() ? qint16(face.at(i).unicode()) : 0);
            emf.end();
            emf.select(font, h);
            fontSize = op.width;
            break;
        }
        case Op::Text: {
            const QString& text = op.text;
            const QPoint at = op.points.at(0);
            const qint32 n = qint32(text.size());
            const quint32 stringOffset = 76;
            const quint32 dxOffset = stringOffset + quint32((n * 2 + 3) / 4 * 4);
            emf.begin(EMR_EXTTEXTOUTW);
            emf.rect(
                QRect(at.x() - n * fontSize / 3, at.y() - fontSize, n * fontSize * 2 / 3, fontSize * 5 / 4));
            emf.u32(1); // GM_COMPATIBLE
            emf.u32(0); // scales unused in this mode
            emf.u32(0);
            emf.i32(at.x());
            emf.i32(at.y());
            emf.u32(quint32(n));
            emf.u32(stringOffset);
            emf.u32(0); // no clipping or opaque rectangle
            emf.rect(QRect(0, 0, 0, 0));
            emf.u32(dxOffset);
            for (QChar c : text)
                emf.i16(qint16(c.unicode()));
            if (n % 2)
                emf.i16(0);
            // Advance widths for the reader that wants them; a plain average is enough
            // for a centred word.
            for (qint32 i = 0; i < n; ++i)
                emf.u32(quint32(fontSize / 2));
            emf.end();
            break;
        }
        }
    }
    return emf.finish(drawing.size);
}

// ---- Preview background --------------------------------------------------------------

void paintDrawing(QPainter& painter, const Drawing& drawing, const QRectF& box)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / drawing.size.width(), box.height() / drawing.size.height());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    QFont font;
    for (const Op& op : drawing.ops) {
        switch (op.kind) {
        case Op::Pen:
            painter.setPen(QPen(op.color, op.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            break;
        case Op::Brush:
            painter.setBrush(op.color.isValid() ? QBrush(op.color) : QBrush(Qt::NoBrush));
            break;
        case Op::Polygon:
            painter.drawPolygon(op.points, Qt::WindingFill);
            break;
        case Op::Polyline:
            painter.drawPolyline(op.points);
            break;
        case Op::Ellipse:
            painter.drawEllipse(QRect(op.points.at(0), op.points.at(1)));
            break;
        case Op::Font:
            font = QFont(op.text);
            font.setPixelSize(op.width);
            font.setBold(op.bold);
            font.setItalic(op.italic);
            painter.setFont(font);
            break;
        case Op::Text: {
            const double width = QFontMetricsF(font).horizontalAdvance(op.text);
            painter.drawText(QPointF(op.points.at(0).x() - width / 2, op.points.at(0).y()), op.text);
            break;
        }
        }
    }
    painter.restore();
}

// The box of a calibration row, in page units.
QRect calibratedBox(const QString& calibration, const char* name)
{
    sqlite3* db = nullptr;
    QRect box;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(calibration.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "select x1, y1, x2, y2 from `zawiadomienie_o_przekazaniu` where name = ?", -1,
                           &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, name, -1, SQLITE_STATIC);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            box = QRect(QPoint(sqlite3_column_int(stmt, 0), sqlite3_column_int(stmt, 1)),
                        QPoint(sqlite3_column_int(stmt, 2), sqlite3_column_int(stmt, 3)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (box.isNull())
        fail(calibration + QStringLiteral(": no row ") + QString::fromLatin1(name));
    return box;
}

// The page of 885 x 1314 units is stretched into (74, 74)-(957, 1388) of the picture.
constexpr QSize PageSize(885, 1314);
constexpr QRect Sheet(74, 74, 883, 1314);
constexpr QSize PictureSize(1031, 1462);

QRectF toPicture(const QRect& box)
{
    const double sx = double(Sheet.width()) / PageSize.width();
    const double sy = double(Sheet.height()) / PageSize.height();
    return QRectF(Sheet.left() + box.left() * sx, Sheet.top() + box.top() * sy, box.width() * sx,
                  box.height() * sy);
}

QImage paintPreview(const QString& calibration, const Drawing& emblem, const Drawing& stamp)
{
    QImage image(PictureSize, QImage::Format_RGB32);
    image.fill(QColor(0xa0, 0xa0, 0xa0));
    QPainter painter(&image);
    painter.fillRect(Sheet.translated(6, 6), QColor(0x70, 0x70, 0x70)); // the sheet's shadow
    painter.fillRect(Sheet, Qt::white);
    paintDrawing(painter, emblem, toPicture(calibratedBox(calibration, "GRAFIKA: ORZELEK")));
    paintDrawing(painter, stamp, toPicture(calibratedBox(calibration, "GRAFIKA: PIECZATKA")));
    painter.end();
    // Grey levels only: an indexed picture keeps the file small and exact.
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("emf")) {
        const QByteArray emf = writeEmf(readDrawing(args.at(2)));
        QFile out(args.at(3));
        if (!out.open(QIODevice::WriteOnly) || out.write(emf) != emf.size() || !out.flush())
            fail(QStringLiteral("cannot write ") + args.at(3));
        return 0;
    }
    if (args.size() == 6 && args.at(1) == QLatin1String("preview")) {
        const QImage image = paintPreview(args.at(2), readDrawing(args.at(3)), readDrawing(args.at(4)));
        if (!image.save(args.at(5), "BMP"))
            fail(QStringLiteral("cannot write ") + args.at(5));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: %s emf DRAWING.vec OUTPUT.emf\n"
                 "       %s preview CALIBRATION.sqset EMBLEM.vec STAMP.vec OUTPUT.bmp\n",
                 argv[0], argv[0]);
    return 2;
}
