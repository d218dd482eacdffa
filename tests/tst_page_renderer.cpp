// The printed page's geometry, read back from a paint device that records what is
// drawn, from rasterised pages, and from the main window's preview.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukujSheet.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "tests/support/RecordingPage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CalibEntry entry(const QString& name, int x1, int x2, int y2,
                 const QString& font = QStringLiteral("Times New Roman"), int size = 12, int align = 0)
{
    return CalibEntry{.name = name,
                      .x1 = x1,
                      .x2 = x2,
                      .y1 = y2 - 30,
                      .y2 = y2,
                      .fontName = font,
                      .fontSize = size,
                      .align = align};
}

const QString kEdit = QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT");

using Texts = QMap<QString, QString>;
PageTexts textsOf(const Texts& texts)
{
    return [texts](const QString& name) -> std::optional<QString> {
        if (!texts.contains(name))
            return std::nullopt;
        return texts.value(name);
    };
}

struct Rendered {
    QList<Drawn> drawn;
    std::optional<PageHighlight> highlight;
    QList<ClippedField> clipped;
    QList<Drawn> of(Drawn::Kind kind) const
    {
        QList<Drawn> out;
        for (const Drawn& d : drawn)
            if (d.kind == kind)
                out << d;
        return out;
    }
};

Rendered render(const QList<CalibEntry>& entries, const Texts& texts, const PageOptions& options = {},
                bool printing = false, const QString& dataDir = QString())
{
    MessageBuffer buf;
    PageRenderer renderer(buf, options, dataDir);
    RecordingDevice device;
    QPainter painter(&device);
    renderer.draw(painter, entries, textsOf(texts), printing);
    painter.end();
    return {device.engine.drawn, renderer.highlight(), renderer.clipped()};
}

QFontMetricsF metricsOf(const QString& family, int pixelSize, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return QFontMetricsF(font);
}

// The page recorded as the program records it, replayed into an image.
QImage rasterise(const QList<CalibEntry>& entries, const Texts& texts, const PageOptions& options)
{
    MessageBuffer buf;
    QPicture picture;
    PageRenderer(buf, options, QString()).record(picture, entries, textsOf(texts), false);
    QImage image(PageRenderer::PageWidth, PageRenderer::PageHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PageRenderer::stretch(painter, picture, QRectF(0, 0, PageRenderer::PageWidth, PageRenderer::PageHeight));
    return image;
}

int darkPixels(const QImage& image, const QRect& area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(image.pixel(x, y)) < 200; // thin lines of a reduced page are grey
    return n;
}

} // namespace

class TestPageRenderer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fontSizeAndTextTopFollowTheMetrics_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("pixels"); // the character height at 96 units per inch
        QTest::newRow("Times 12") << QStringLiteral("Times New Roman") << 12 << false << 16;
        QTest::newRow("Times 14 bold") << QStringLiteral("Times New Roman") << 14 << true << 19;
        QTest::newRow("Arial 10") << QStringLiteral("Arial") << 10 << false << 13;
        QTest::newRow("Courier 11") << QStringLiteral("Courier New") << 11 << false << 15;
        QTest::newRow("Times 22") << QStringLiteral("Times New Roman") << 22 << true << 29;
    }
    void fontSizeAndTextTopFollowTheMetrics()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(bool, bold);
        QFETCH(int, pixels);
        CalibEntry e = entry(kEdit, 100, 600, 400, family, points);
        e.bold = bold;
        const Rendered r = render({e}, {{kEdit, QStringLiteral("Zażółć gęślą jaźń")}});
        QCOMPARE(r.of(Drawn::Text).size(), 1);
        const Drawn text = r.of(Drawn::Text).first();
        QCOMPARE(text.font.pixelSize(), pixels);
        QCOMPARE(text.font.bold(), bold);
        const QFontMetrics m(text.font);
        const int top = 400 - (m.ascent() + m.descent()) - points / 4;
        // The first line's baseline lies one ascent below the top of the box.
        QVERIFY2(qAbs(text.at.y() - metricsOf(family, pixels, bold).ascent() - top) < 1.0,
                 qPrintable(QStringLiteral("baseline %1, top %2").arg(text.at.y()).arg(top)));
        QCOMPARE(text.at.x(), 100.0);
    }

    void alignments_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("0 left") << 0 << QStringLiteral("left");
        QTest::newRow("1 centre") << 1 << QStringLiteral("centre");
        QTest::newRow("2 right") << 2 << QStringLiteral("right");
        QTest::newRow("3 justified, few spaces: left") << 3 << QStringLiteral("left");
        QTest::newRow("7 centre") << 7 << QStringLiteral("centre");
    }
    void alignments()
    {
        QFETCH(int, align);
        QFETCH(QString, anchor);
        const QString text = QStringLiteral("Ala ma kota");
        const Rendered r =
            render({entry(kEdit, 200, 500, 300, QStringLiteral("Arial"), 12, align)}, {{kEdit, text}});
        QCOMPARE(r.of(Drawn::Text).size(), 1);
        const Drawn d = r.of(Drawn::Text).first();
        const qreal width = QFontMetricsF(d.font).horizontalAdvance(text);
        const qreal at = anchor == QLatin1String("left")    ? d.at.x()
                         : anchor == QLatin1String("right") ? d.at.x() + width
                                                            : d.at.x() + width / 2;
        const qreal expected = anchor == QLatin1String("left")    ? 200
                               : anchor == QLatin1String("right") ? 500
                                                                  : 350;
        QVERIFY2(qAbs(at - expected) <= 0.5, qPrintable(QString::number(at)));
    }

    void justifiedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("four spaces: one left-aligned text") << QStringLiteral("raz dwa trzy cztery pięć");
        QTest::newRow("five spaces: spread") << QStringLiteral("a bb ccc dddd eeeee ffffff");
        QTest::newRow("seven spaces") << QStringLiteral("Uczeń ten był przyjęty do klasy pierwszej w");
    }
    void justifiedText()
    {
        QFETCH(QString, text);
        const int x1 = 100, x2 = 700;
        const Rendered r =
            render({entry(kEdit, x1, x2, 300, QStringLiteral("Courier New"), 12, 3)}, {{kEdit, text}});
        const QList<Drawn> items = r.of(Drawn::Text);
        const int spaces = int(text.count(QLatin1Char(' ')));
        if (spaces < 5) {
            QCOMPARE(items.size(), 1);
            QCOMPARE(items.first().text, text);
            QCOMPARE(items.first().at.x(), qreal(x1));
            return;
        }
        const QStringList words = text.split(QLatin1Char(' '));
        QCOMPARE(items.size(), words.size());
        const QFontMetricsF m(items.first().font);
        qreal textWidth = 0;
        for (const QString& word : words)
            textWidth += m.horizontalAdvance(word);
        const int gap = int((x2 - x1 - textWidth) / spaces);
        QCOMPARE(items.first().at.x(), qreal(x1));
        for (int i = 1; i < words.size(); ++i) {
            QCOMPARE(items.at(i).text, words.at(i));
            const qreal between =
                items.at(i).at.x() - (items.at(i - 1).at.x() + m.horizontalAdvance(words.at(i - 1)));
            // Every gap is equal but the last, which takes the remainder of the division.
            const qreal expected = i < spaces ? gap : gap + (x2 - x1 - textWidth - spaces * gap);
            QVERIFY2(qAbs(between - expected) < 0.01,
                     qPrintable(QStringLiteral("gap %1: %2").arg(i).arg(between)));
        }
        const Drawn& last = items.last();
        QCOMPARE(last.at.x() + m.horizontalAdvance(last.text), qreal(x2));
    }

    void dottedLine_data()
    {
        QTest::addColumn<int>("x2");
        QTest::addColumn<QList<int>>("dots");
        QTest::newRow("100 to 112") << 112 << QList<int>({100, 106});
        QTest::newRow("100 to 113") << 113 << QList<int>({100, 106, 112});
        QTest::newRow("none backwards") << 90 << QList<int>();
    }
    void dottedLine()
    {
        QFETCH(int, x2);
        QFETCH(QList<int>, dots);
        const QString name = QStringLiteral("LiniaPodpis_STR1_LINIA_Z_KROPEK");
        // Before any text the dots take the default face; Times New Roman is set first here.
        const QList<CalibEntry> entries{entry(kEdit, 0, 10, 100), entry(name, 100, x2, 500)};
        const QImage page = rasterise(entries, {{kEdit, QStringLiteral("x")}}, {});
        const QFontMetricsF m = metricsOf(QStringLiteral("Times New Roman"), 19); // 14 points
        const QRectF ink = m.tightBoundingRect(QStringLiteral("."));
        const qreal baseline = 500 - 14 + m.ascent();
        QList<int> found;
        for (int x = 90; x < 130; ++x)
            if (darkPixels(page, QRect(x, 400, 1, 200)) > 0 &&
                (found.isEmpty() || x > found.last() + 3 + ink.left()))
                found << qRound(x - ink.left());
        QCOMPARE(found, dots);
        if (!dots.isEmpty())
            QVERIFY(darkPixels(page,
                               QRectF(90, baseline + ink.top() - 1, 40, ink.height() + 2).toAlignedRect()) ==
                    darkPixels(page, QRect(90, 400, 40, 200)));
    }

    void emptyFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("strike");
        QTest::addColumn<bool>("noDots");
        QTest::addColumn<int>("lineY"); // -1 no line
        QTest::addColumn<int>("texts");
        QTest::newRow("empty edit struck") << kEdit << QString() << true << false << 490 << 0;
        QTest::newRow("higher without dots") << kEdit << QString() << true << true << 485 << 0;
        QTest::newRow("striking off") << kEdit << QString() << false << false << -1 << 0;
        QTest::newRow("empty combo box")
            << QStringLiteral("ZMIENNA_Klasa_STR1_DATA_COMBOBOX") << QString() << true << false << 490 << 0;
        QTest::newRow("SzkolaWE empty")
            << QStringLiteral("ZMIENNA_SzkolaWE_STR1_DATA_EDIT") << QString() << true << false << -1 << 0;
        QTest::newRow("UrWE empty") << QStringLiteral("ZMIENNA_UrWE_STR1_DATA_EDIT") << QString() << true
                                    << true << -1 << 0;
        QTest::newRow("SzkolaWE filled") << QStringLiteral("ZMIENNA_SzkolaWE_STR1_DATA_EDIT")
                                         << QStringLiteral("Liceum") << true << false << -1 << 1;
        QTest::newRow("second page never")
            << QStringLiteral("ZMIENNA_Ucz_STR2_DATA_EDIT") << QString() << true << false << -1 << 0;
    }
    void emptyFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, strike);
        QFETCH(bool, noDots);
        QFETCH(int, lineY);
        QFETCH(int, texts);
        PageOptions options;
        options.strikeEmpty = strike;
        options.noDots = noDots;
        const Rendered r = render({entry(name, 120, 400, 500)}, {{name, text}}, options);
        QCOMPARE(r.of(Drawn::Text).size(), texts);
        const QList<Drawn> lines = r.of(Drawn::Line);
        if (lineY < 0) {
            QVERIFY(lines.isEmpty());
            return;
        }
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().line, QLineF(120, lineY, 400, lineY));
        QCOMPARE(lines.first().pen, QColor(Qt::black));
    }

    // A text too wide for its box is drawn smaller, then on two lines, and at last cut at
    // its smallest size; it never reaches past its box.
    void fitting_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<qreal>("share"); // of the text's width that the box holds
        QTest::addColumn<int>("height");  // of the box, y2 - y1
        QTest::addColumn<bool>("wordWrap");
        QTest::addColumn<bool>("neighbour"); // the label "dnia" two units after the box
        QTest::addColumn<int>("lines");      // 0: cut
        QTest::addColumn<qreal>("scale");    // expected; 0: any between 60 % and 100 %
        QTest::newRow("fits as is") << 1 << 1.05 << 30 << false << false << 1 << 1.0;
        QTest::newRow("needs 80 %") << 1 << 0.8 << 30 << false << false << 1 << 0.8;
        QTest::newRow("justified, needs 80 %") << 3 << 0.8 << 30 << false << false << 1 << 0.8;
        QTest::newRow("fits the box, too close to the label") << 0 << 1.0 << 30 << false << true << 1 << 0.0;
        QTest::newRow("below 60 %, tall box: two lines") << 1 << 0.5 << 60 << false << false << 2 << 0.0;
        QTest::newRow("below 60 %, low box: cut") << 1 << 0.5 << 20 << false << false << 0 << 0.6;
        QTest::newRow("cut with the box limit option") << 2 << 0.5 << 20 << true << false << 0 << 0.6;
    }
    void fitting()
    {
        QFETCH(int, align);
        QFETCH(qreal, share);
        QFETCH(int, height);
        QFETCH(bool, wordWrap);
        QFETCH(bool, neighbour);
        QFETCH(int, lines);
        QFETCH(qreal, scale);
        const QString text = QStringLiteral("Szkoły Podstawowej nr 12 im. Jana Pawła II w Tomaszowie");
        const QFontMetricsF m = metricsOf(QStringLiteral("Arial"), 19); // 14 points
        const int x1 = 100;
        const int x2 = x1 + int(m.horizontalAdvance(text) * share);
        CalibEntry field = entry(kEdit, x1, x2, 500, QStringLiteral("Arial"), 14, align);
        field.y1 = 500 - height;
        const QString label = QStringLiteral("STALY_UrodzDnia_STR1_DATA_LABEL");
        QList<CalibEntry> entries{field};
        Texts texts{{kEdit, text}};
        if (neighbour) {
            entries << entry(label, x2 + 2, x2 + 60, 500, QStringLiteral("Times New Roman"), 15);
            texts.insert(label, QStringLiteral("dnia"));
        }
        PageOptions options;
        options.wordWrap = wordWrap;
        const Rendered r = render(entries, texts, options);
        QList<Drawn> items;
        for (const Drawn& d : r.of(Drawn::Text))
            if (d.text != QLatin1String("dnia"))
                items << d;
        qreal right = 0;
        QList<qreal> baselines;
        for (const Drawn& d : items) {
            right = qMax(right, d.at.x() + QFontMetricsF(d.font).horizontalAdvance(d.text) * d.scale);
            if (!baselines.contains(d.at.y()))
                baselines << d.at.y();
            if (scale > 0)
                QVERIFY2(qAbs(d.scale - scale) < 0.01, qPrintable(QString::number(d.scale)));
            else
                QVERIFY2(d.scale >= 0.6 && d.scale < 1, qPrintable(QString::number(d.scale)));
        }
        if (lines > 0) {
            QCOMPARE(int(baselines.size()), align == 3 ? 1 : lines);
            // Within the box, and a quarter of an em before the next text.
            QVERIFY2(items.first().at.x() >= x1 - 0.01 &&
                         right <= (neighbour ? x2 + 2 - 19 / 4.0 : x2) + 0.01,
                     qPrintable(QStringLiteral("%1..%2").arg(items.first().at.x()).arg(right)));
            QVERIFY(r.clipped.isEmpty());
        } else {
            QCOMPARE(r.clipped.size(), 1);
            QCOMPARE(r.clipped.first().name, kEdit);
            QCOMPARE(r.clipped.first().text, text);
        }
        if (scale == 1.0) // where the calibration puts it
            QVERIFY(qAbs(items.first().at.x() - (x1 + (x2 - x1 - m.horizontalAdvance(text)) / 2)) <= 0.5);
        if (align == 3) // spread to the end of the box
            QVERIFY(qAbs(right - x2) < 0.5);
        // Nothing of it reaches past its box, and a cut field is outlined in the preview only.
        const QImage page = rasterise(entries, texts, options);
        QCOMPARE(darkPixels(page, QRect(0, 400, x1 - 1, 200)) + darkPixels(page, QRect(x2 + 1, 400, 1, 200)),
                 0);
        const auto redRects = [](const Rendered& drawn) {
            return std::count_if(drawn.drawn.begin(), drawn.drawn.end(), [](const Drawn& d) {
                return d.kind == Drawn::Rect && d.pen == QColor(Qt::red);
            });
        };
        QCOMPARE(redRects(r), lines > 0 ? 0 : 1);
        QCOMPARE(redRects(render(entries, texts, options, true)), 0);
    }

    // A value ending in "r." before the label "r." is drawn without its own.
    void yearMark_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("next"); // the label after the value on its line
        QTest::addColumn<int>("nextY");    // the label's y2
        QTest::addColumn<QString>("drawn");
        QTest::newRow("before r.") << "2005 r."
                                   << "r." << 540 << "2005";
        QTest::newRow("written together") << "2005r."
                                          << "r." << 540 << "2005";
        QTest::newRow("before another label") << "2005 r."
                                              << "PESEL" << 540 << "2005 r.";
        QTest::newRow("r. on another line") << "2005 r."
                                            << "r." << 600 << "2005 r.";
        QTest::newRow("a word ending in r.") << "ul. Bór."
                                             << "r." << 540 << "ul. Bór.";
        QTest::newRow("no year mark") << "2005"
                                      << "r." << 540 << "2005";
    }
    void yearMark()
    {
        QFETCH(QString, value);
        QFETCH(QString, next);
        QFETCH(int, nextY);
        QFETCH(QString, drawn);
        const QString year = QStringLiteral("ZMIENNA_UrodzRok_STR1_DATA_EDIT");
        const QString label = QStringLiteral("STALY_UrodzRok_STR1_DATA_LABEL");
        const Rendered r = render({entry(year, 482, 560, 540, QStringLiteral("Arial"), 14, 1),
                                   entry(label, 562, 640, nextY, QStringLiteral("Times New Roman"), 15)},
                                  {{year, value}, {label, next}});
        QStringList texts;
        for (const Drawn& d : r.of(Drawn::Text))
            texts << d.text;
        QCOMPARE(texts, QStringList({drawn, next}));
    }

    void stretchFillsTheTargetAtAnyResolution_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("screen") << 96 << 1.0;
        QTest::newRow("192 dpi") << 192 << 2.0;
        QTest::newRow("600 dpi, reduced") << 600 << 0.5;
    }
    void stretchFillsTheTargetAtAnyResolution()
    {
        QFETCH(int, dpi);
        QFETCH(qreal, scale);
        MessageBuffer buf;
        QPicture picture;
        // The empty-field mark of a field across the whole page, 657 units down, and a
        // dotted line whose last dot stands at 882.
        PageRenderer(buf, {}, QString())
            .record(picture,
                    {entry(kEdit, 0, 885, 667), entry(QStringLiteral("L_STR1_LINIA_Z_KROPEK"), 0, 885, 300)},
                    textsOf({{kEdit, {}}}), false);
        QImage image(int(900 * scale) + 40, int(1314 * scale) + 40, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        PageRenderer::stretch(painter, picture, QRectF(20, 20, 885 * scale, 1314 * scale));
        painter.end();
        const int y = 20 + qRound(657 * scale);
        const int end = 20 + qRound(885 * scale);
        QVERIFY(darkPixels(image, QRect(20, y - 1, end - 20, 3)) >= end - 24);
        QCOMPARE(darkPixels(image, QRect(end + 2, 0, image.width(), image.height())), 0);
        const QRect dots(20, 20 + int(250 * scale), end - 20, int(70 * scale));
        // The dots keep their pitch: the last one still ends the line.
        QVERIFY(darkPixels(image, dots.adjusted(0, 0, int(-880 * scale), 0)) > 0);
        QVERIFY(darkPixels(image, dots.adjusted(int(880 * scale), 0, 0, 0)) > 0);
    }

    // A printer or a PDF file gets the empty-field line one page unit wide (about
    // 0.2 mm on the sheet), not a hairline, also when nothing else was drawn before it.
    void emptyFieldLineOnPaper()
    {
        MessageBuffer buf;
        QPicture picture;
        PageRenderer(buf, {}, QString())
            .record(picture, {entry(kEdit, 100, 800, 500)}, textsOf({{kEdit, {}}}), true);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("linia.pdf"));
        QString error;
        QVERIFY(DrukujSheet::print({.pdfFile = pdf}, picture, {10, 7, 200, 289}, error));
        // At 600 pixels an inch the line (y 490) lies 7 + 490 * 282 / 1314 mm down.
        const int y = int((7 + 490 * 282.0 / 1314) * 600 / 25.4) - 20;
        QProcess::execute(QStringLiteral("pdftoppm"),
                          QStringLiteral("-r 600 -gray -singlefile -x 1400 -y %1 -W 4 "
                                         "-H 40 %2 %3")
                              .arg(y)
                              .arg(pdf, dir.filePath(QStringLiteral("p")))
                              .split(u' '));
        const QImage strip(dir.filePath(QStringLiteral("p.pgm")));
        int rows = 0;
        for (int row = 0; row < strip.height(); ++row)
            rows += qGray(strip.pixel(1, row)) < 128;
        QVERIFY2(rows >= 4 && rows <= 6, qPrintable(QString::number(rows)));
    }

    void highlight_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRectF>("outline"); // empty: none
        QTest::addColumn<int>("scrollY");
        const QString dots = QStringLiteral("Linia_STR1_LINIA_Z_KROPEK");
        QTest::newRow("empty field") << kEdit << kEdit << 12 << QString() << QRectF(100, 570, 300, 30) << 400;
        QTest::newRow("chosen text holds the name")
            << kEdit << QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT (zmienna)") << 12 << QString()
            << QRectF(100, 570, 300, 30) << 400;
        QTest::newRow("tall text") << kEdit << kEdit << 100 << QStringLiteral("A")
                                   << QRectF(100, 580, 300, 20) << 300;
        QTest::newRow("dotted line") << dots << dots << 12 << QString() << QRectF(100, 595, 300, 10) << 400;
        QTest::newRow("other object") << kEdit << dots << 12 << QString() << QRectF() << -1;
    }
    void highlight()
    {
        QFETCH(QString, name);
        QFETCH(QString, chosen);
        QFETCH(int, points);
        QFETCH(QString, text);
        QFETCH(QRectF, outline);
        QFETCH(int, scrollY);
        PageOptions options;
        options.highlightMode = true;
        options.highlighted = chosen;
        const Rendered r =
            render({entry(name, 100, 400, 600, QStringLiteral("Arial"), points)}, {{name, text}}, options);
        QList<Drawn> red;
        for (const Drawn& d : r.of(Drawn::Rect))
            if (d.pen == QColor(Qt::red))
                red << d;
        if (outline.isNull()) {
            QVERIFY(red.isEmpty());
            QVERIFY(!r.highlight);
            return;
        }
        QCOMPARE(red.size(), 1);
        QCOMPARE(red.first().rect, outline);
        QVERIFY(r.highlight);
        QCOMPARE(r.highlight->pageIndex, 0);
        QCOMPARE(r.highlight->scrollY, scrollY);
        // Everything after the outline is drawn in black again.
        for (const Drawn& d : r.drawn)
            if (d.kind != Drawn::Rect)
                QCOMPARE(d.pen, QColor(Qt::black));
    }

    void marksOnlyWhenPrinting()
    {
        TestEnvironment env(false);
        ScriptedPrompts prompts;
        const QString dir = env.dataDir();
        const QRectF emblem(10, 40, 90, 60), stamp(500, 1170, 100, 30);
        const QList<CalibEntry> entries{entry(QStringLiteral("GRAFIKA: ORZELEK"), 10, 100, 100),
                                        entry(QStringLiteral("GRAFIKA: PIECZATKA"), 500, 600, 1200),
                                        entry(kEdit, 100, 400, 600)};
        const Texts texts{{kEdit, QStringLiteral("tekst")}};
        auto shapesIn = [](const Rendered& r, const QRectF& box) {
            int n = 0;
            for (const Drawn& d : r.of(Drawn::Rect))
                n += box.adjusted(-1, -1, 1, 1).contains(d.rect);
            return n;
        };
        QVERIFY(render(entries, texts, {}, false, dir).of(Drawn::Text).size() == 1);
        QVERIFY(prompts.shown.isEmpty());

        const Rendered missing = render(entries, texts, {}, true, dir);
        QCOMPARE(prompts.texts(),
                 QStringList({QStringLiteral("Plik nie istnieje.\n\n") + dir + "/grafika/orzel.emf",
                              QStringLiteral("Plik nie istnieje.\n\n") + dir + "/grafika/m_p.emf"}));
        QCOMPARE(prompts.shown.first().caption, QStringLiteral("Bład"));
        QCOMPARE(prompts.shown.first().icon, Prompts::Icon::Error);
        MessageBuffer scratch;
        QList<LogEntry> log;
        QVERIFY(bFunSqlGetLogsData(scratch, log));
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.last().fun, QStringLiteral("vFunGraphicDrawMark()"));
        QCOMPARE(missing.of(Drawn::Text).size(), 1); // the page goes on after a missing mark

        // A black square as a Windows metafile: header, brush, selection, rectangle, end.
        QByteArray emf;
        QDataStream out(&emf, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        for (const quint32 v :
             {1u, 108u, 0u, 0u, 100u, 100u, 0u, 0u, 2646u, 2646u, 0x464D4520u, 0x10000u, 188u, 5u})
            out << v;
        out << quint16(2) << quint16(0);
        for (const quint32 v :
             {0u, 0u, 0u,  1024u, 768u, 271u, 203u, 0u,  0u,  0u,  271000u, 203000u, 39u, 24u, 1u,  0u,
              0u, 0u, 37u, 12u,   1u,   43u,  24u,  10u, 10u, 90u, 90u,     14u,     20u, 0u,  16u, 20u})
            out << v;
        QDir().mkpath(dir + QStringLiteral("/grafika"));
        for (const char* name : {"/grafika/orzel.emf", "/grafika/m_p.emf"}) {
            QFile file(dir + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(emf);
        }
        prompts.clear();
        QVERIFY(render(entries, texts, {}, false, dir).of(Drawn::Rect).isEmpty());
        const Rendered printed = render(entries, texts, {}, true, dir);
        QVERIFY(prompts.shown.isEmpty());
        QVERIFY(shapesIn(printed, emblem) > 0);
        QVERIFY(shapesIn(printed, stamp) > 0);
        QCOMPARE(shapesIn(printed, emblem) + shapesIn(printed, stamp), printed.of(Drawn::Rect).size());
    }

    void badInputNeverBreaksThePage()
    {
        QList<CalibEntry> entries;
        for (const int v : {INT_MIN, -100000, -1, 0, INT_MAX}) {
            CalibEntry e = entry(kEdit, v, -v, v, QString(), v, v);
            e.bold = e.italic = e.underline = e.strike = v;
            entries << e;
            entries << entry(QStringLiteral("Linia_STR1_LINIA_Z_KROPEK"), v, INT_MAX, v);
        }
        // Names the form does not have, and a screen-only label, leave no trace.
        entries << entry(QStringLiteral("ZMIENNA_Brak_STR1_DATA_EDIT"), 0, 100, 100)
                << entry(QStringLiteral("Label11"), 0, 100, 200)
                << entry(QStringLiteral("ZMIENNA_Ostatnie_STR1_DATA_EDIT"), 100, 400, 600);
        const Texts texts{{kEdit, QStringLiteral("tekst dwa trzy cztery pięć sześć")},
                          {QStringLiteral("Label11"), QStringLiteral("....")},
                          {QStringLiteral("ZMIENNA_Ostatnie_STR1_DATA_EDIT"), QStringLiteral("ostatnie")}};
        const Rendered r = render(entries, texts);
        QCOMPARE(r.of(Drawn::Text).last().text, QStringLiteral("ostatnie"));
        for (const Drawn& d : r.drawn) {
            QVERIFY(d.kind != Drawn::Text || d.text != QLatin1String("...."));
            QVERIFY(d.kind != Drawn::Line ||
                    d.line != QLineF(0, 90, 100, 90)); // no mark for the missing field
        }
        QVERIFY(darkPixels(rasterise(entries, texts, {}), QRect(100, 560, 300, 40)) > 0);
    }

    // A calibration made on Windows lands the same here only with fonts of the same
    // metrics: each calibrated family must resolve to its Liberation twin.
    void calibratedFontsResolveToLiberation()
    {
        QStringList families{QStringLiteral("Times New Roman"), QStringLiteral("Arial"),
                             QStringLiteral("Courier New")};
        const QString installed =
            QStringLiteral(MELVOK_PROGRAM_DIR) + QStringLiteral("/dokumenty_kalibracja.sqset");
        if (QFile::exists(installed)) {
            for (const QByteArray& table :
                 RawSql::column(installed, "select name from sqlite_master where type='table'"))
                for (const QByteArray& family :
                     RawSql::column(installed, "select distinct font_name from `" + table + "`"))
                    if (!family.isEmpty() && !families.contains(QString::fromLatin1(family)))
                        families << QString::fromLatin1(family);
        }
        for (const QString& family : std::as_const(families)) {
            QFont font(family);
            font.setPixelSize(16);
            const QString resolved = QFontInfo(font).family();
            QVERIFY2(resolved.startsWith(QLatin1String("Liberation")),
                     qPrintable(family + QStringLiteral(" -> ") + resolved));
        }
    }

    // What the renderer reads from a transfer notice form just built is known without
    // building the form.
    void blankTextsAreThoseOfANewForm()
    {
        const TFZawiadomieniePrzek form(nullptr);
        const PageTexts built = pageTextsOf(form);
        const PageTexts blank = blankPageTexts(TFZawiadomieniePrzek::pageTable());
        for (const ComponentEntry& entry : TFZawiadomieniePrzek::pageTable()) {
            const QString name = QString::fromLatin1(entry.name);
            QVERIFY2(blank(name) == built(name), entry.name);
        }
        QVERIFY(!blank(QStringLiteral("ZMIENNA_Brak_STR1_DATA_EDIT")));
    }

    void previewOfASelectedDocument();
    void longValuesPrintWholeAndApart_data();
    void longValuesPrintWholeAndApart();
    void startPreviewIsTheBlankTransferNotice_data();
    void startPreviewIsTheBlankTransferNotice();
};

void TestPageRenderer::longValuesPrintWholeAndApart_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("transfer notice") << 0;
    QTest::newRow("admission confirmation") << 1;
}

// Real place names and a school's full name, printed with the installed calibration:
// every word whole, apart from every other text and on the sheet.
void TestPageRenderer::longValuesPrintWholeAndApart()
{
    QFETCH(int, type);
    TestEnvironment env;
    ScriptedPrompts prompts;
    QVERIFY(env.installDataFolder());
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    const QString student = TFDaneUcznia::SectionId;
    const QStringList values{
        QStringLiteral("Ostrowiec Świętokrzyski"), QStringLiteral("Tomaszów Mazowiecki"),
        QStringLiteral("Szkoły Podstawowej nr 12 im. Jana Pawła II w Tomaszowie Mazowieckim")};
    FieldRowList rows{{student, "Nazwisko_DATA_EDIT", "Wiśniewska-Kowalczyk"},
                      {student, "Imie_DATA_EDIT", "Małgorzata"},
                      {student, "UrodzonyDnia_DATA_EDIT", "12 października"},
                      {student, "UrodzonyRok_DATA_COMBOBOX", "2005 r."},
                      {student, "NrPesel_DATA_EDIT", "05301212345"}};
    for (const QString& section : {TFZawiadomieniePrzek::SectionId, TFPotwierdzeniePrzyjUcznia::SectionId})
        rows << FieldRow{section, "ZMIENNA_Miejscowosc_STR1_DATA_EDIT", values.at(0)}
             << FieldRow{section, "ZMIENNA_Urodz_STR1_DATA_EDIT", values.at(1)}
             << FieldRow{section, "ZMIENNA_Ucz_STR1_DATA_EDIT", values.at(2)};
    w.daneUcznia->FillFields(rows);
    w.zawiadomienie->FillFields(rows);
    w.potwierdzenie->FillFields(rows);
    w.glowna->vFunDrawPage(type == 0 ? static_cast<DocumentForm*>(w.zawiadomienie) : w.potwierdzenie, true,
                           type, 1);
    QCOMPARE(prompts.texts(), QStringList());
    QCOMPARE(w.glowna->clippedFields(), QStringList());

    const QString pdf = env.root() + QStringLiteral("/wydruk.pdf");
    QString error;
    QVERIFY2(DrukujSheet::print({.pdfFile = pdf}, w.glowna->pagePicture(), {10, 7, 200, 289}, error),
             qPrintable(error));
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QVERIFY(reader.waitForFinished(30000));
    struct Word {
        QString text;
        QRectF box;
    };
    QList<Word> words;
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto m = word.globalMatch(QString::fromUtf8(reader.readAllStandardOutput())); m.hasNext();) {
        const QRegularExpressionMatch found = m.next();
        const QString text = found.captured(5);
        if (text.count(QLatin1Char('.')) == text.size())
            continue; // a dotted line: the values are written on it
        words << Word{text, QRectF(QPointF(found.captured(1).toDouble(), found.captured(2).toDouble()),
                                   QPointF(found.captured(3).toDouble(), found.captured(4).toDouble()))};
    }
    QStringList texts;
    for (const Word& found : std::as_const(words))
        texts << found.text;
    for (const QString& value : values)
        for (const QString& part : value.split(QLatin1Char(' ')))
            if (type == 0 || value != values.at(1))
                QVERIFY2(texts.contains(part), qPrintable(part));
    QVERIFY2(!texts.join(QLatin1Char(' ')).contains(QStringLiteral("r. r.")), qPrintable(texts.join(u' ')));
    const QRectF sheet(0, 0, 595.3, 841.9);
    for (qsizetype i = 0; i < words.size(); ++i) {
        QVERIFY2(sheet.contains(words.at(i).box), qPrintable(words.at(i).text));
        for (qsizetype j = i + 1; j < words.size(); ++j) {
            const QRectF& a = words.at(i).box;
            const QRectF& b = words.at(j).box;
            const bool apart =
                a.right() < b.left() || b.right() < a.left() || a.bottom() < b.top() || b.bottom() < a.top();
            QVERIFY2(apart, qPrintable(words.at(i).text + QStringLiteral(" / ") + words.at(j).text));
        }
    }
}

// The main window reads the calibration once per selection and shows the page over the
// blank form; its failures name their cause.
void TestPageRenderer::previewOfASelectedDocument()
{
    TestEnvironment env;
    ScriptedPrompts prompts;
    QVERIFY(env.installDataFolder());
    const QString calib = strFunGetCalibFilePath(env.buf, false);
    QFile::remove(calib);
    RawSql::exec(
        calib, RawSql::createCalibrationTable("zawiadomienie_o_przekazaniu") +
                   "insert into `zawiadomienie_o_przekazaniu` values('ZMIENNA_ImieNazwisko_STR1_DATA_EDIT', "
                   "100, 170, 500, 200, 'Times New Roman', 14, 0, 0, 0, 0, 0);");
    QDir().mkpath(env.dataDir() + QStringLiteral("/grafika"));
    QImage blank(1000, 1400, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QVERIFY(blank.save(env.dataDir() + QStringLiteral("/grafika/a4_prw.bmp")));
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    RawSql::exec(doc, "create table PESEL1( id TEXT, comp_name TEXT, value TEXT );"
                      "insert into PESEL1 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Nowak');"
                      "insert into PESEL1 values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Jan');");
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, doc));
    TFGlowna* main = w.glowna.get();

    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, calib.toLocal8Bit().constData(), IN_OPEN) >= 0);
    main->treeView()->setCurrentItem(main->treeView()->topLevelItem(0)->child(0));
    int opens = 0;
    char events[4096];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
        opens += int(n / sizeof(inotify_event));
    close(watch);
    QCOMPARE(opens, 1);

    const auto* image = main->findChild<QLabel*>(QStringLiteral("Image1"));
    const QImage shown = image->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(1000, 1400));
    QCOMPARE(image->size(), QSize(1000, 1400));
    QCOMPARE(main->pageCount(), 1);
    // "Nowak Jan" stands on y2 = 200 from x1 = 100: on the image 74 pixels further in.
    QVERIFY(darkPixels(shown, QRect(74 + 100, 74 + 170, 150, 30)) > 0);
    QCOMPARE(darkPixels(shown, QRect(0, 0, 1000, 74 + 160)), 0);
    QVERIFY(prompts.shown.isEmpty());

    main->vFunDrawPage(w.potwierdzenie, false, 1, 1);
    QCOMPARE(prompts.texts(),
             QStringList(QStringLiteral("Błąd podczas próby wczytania danych kalibracji.\n\n"
                                        "Tablica nie istnieje: \npotwierdzenie_przyjecia_ucznia")));
    main->vFunDrawPage(w.potwierdzenie, false, 2, 1);
    QCOMPARE(prompts.shown.last().text, QStringLiteral("Niepoprawny typ świadectwa"));
    QCOMPARE(prompts.shown.last().icon, Prompts::Icon::Warning);
    // The failed drawings left the last preview as it was.
    QCOMPARE(image->pixmap().toImage(), shown);

    // A pipe in place of the blank form is not waited on: the last background stays.
    const QString background = env.dataDir() + QStringLiteral("/grafika/a4_prw.bmp");
    QVERIFY(QFile::remove(background));
    QCOMPARE(mkfifo(background.toLocal8Bit().constData(), 0600), 0);
    main->vFunDrawPage(w.zawiadomienie, false, 0, 1);
    QCOMPARE(image->pixmap().toImage(), shown);
}

void TestPageRenderer::startPreviewIsTheBlankTransferNotice_data()
{
    QTest::addColumn<bool>("failedDrawingFirst");
    QTest::newRow("shown at once") << false;
    QTest::newRow("after a failed drawing") << true;
}

// The page drawn at start, finished only when the window first appears, is the blank
// transfer notice over the blank form, in the place the window was laid out for; a
// drawing that fails before the window appears leaves it there.
void TestPageRenderer::startPreviewIsTheBlankTransferNotice()
{
    QFETCH(bool, failedDrawingFirst);
    TestEnvironment env;
    ScriptedPrompts prompts;
    QVERIFY(env.installDataFolder());
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    TFGlowna* main = w.glowna.get();
    auto closeQuietly = qScopeGuard([main] { main->setCloseWithoutQuestions(true); });
    const auto* image = main->findChild<QLabel*>(QStringLiteral("Image1"));
    const QSize laidOut = image->size();
    if (failedDrawingFirst)
        main->vFunDrawPage(w.potwierdzenie, false, 2, 1);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    const QImage shown = image->pixmap().toImage();
    QCOMPARE(image->size(), laidOut);
    QCOMPARE(shown.size(), laidOut);
    QVERIFY(darkPixels(shown, QRect(74, 74, 883, 600)) > 0);

    main->vFunDrawPage(w.zawiadomienie, false, 0, 1);
    QCOMPARE(image->pixmap().toImage(), shown);
    QCOMPARE(prompts.texts(),
             failedDrawingFirst ? QStringList{QStringLiteral("Niepoprawny typ świadectwa")} : QStringList());
    main->hide();
}

QTEST_MAIN(TestPageRenderer)
#include "tst_page_renderer.moc"
