// Long values on the installed calibration of both documents: a value makes room for
// itself, shrinking, breaking or being cut, while the form's own wording and every other
// text keep their calibrated size and place, on the recorded page and in the printed PDF.
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukujSheet.h"
#include "storage/CalibrationStore.h"
#include "storage/DataPaths.h"
#include "tests/support/RecordingPage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(DrukujSheet::Edges)

namespace {

const QString kSchool =
    QStringLiteral("Szkoły Podstawowej nr 12 im. Tadeusza Kościuszki w Tomaszowie Mazowieckim");
const QString kKeys[] = {QStringLiteral("zawiadomienie_o_przekazaniu"),
                         QStringLiteral("potwierdzenie_przyjecia_ucznia")};
// The installed profile "Domyślne" and the narrowest one.
const DrukujSheet::Edges kDefaultEdges{10, 7, 200, 289};
const DrukujSheet::Edges kNarrowEdges{8, 5, 202, 293};

std::unique_ptr<DocumentForm> formOf(int type)
{
    if (type == 0)
        return std::make_unique<TFZawiadomieniePrzek>(nullptr);
    return std::make_unique<TFPotwierdzeniePrzyjUcznia>(nullptr);
}

bool isValue(const QString& name)
{
    return name.contains(QLatin1String("_STR1_DATA_EDIT")) ||
           name.contains(QLatin1String("_STR1_DATA_COMBOBOX"));
}

// The form's own texts with some values replaced.
PageTexts textsWith(const DocumentForm& form, const QMap<QString, QString>& values)
{
    return [base = pageTextsOf(form), values](const QString& name) -> std::optional<QString> {
        std::optional<QString> text = base(name);
        if (text && values.contains(name))
            return values.value(name);
        return text;
    };
}

// Real words of a school office, `length` characters of them.
QString wordsOf(int length, bool spaces)
{
    const QString words = kSchool + QStringLiteral(" Ostrowiec Świętokrzyski Wiśniewska-Kowalczyk ");
    QString out;
    while (out.size() < length)
        out += words;
    if (!spaces)
        out.remove(QLatin1Char(' '));
    return out.left(length).trimmed();
}

// A dotted line: the values are written on it.
bool isDots(const Drawn& d)
{
    return d.text.count(QLatin1Char('.')) == d.text.size();
}

qreal rightOf(const Drawn& d)
{
    return d.at.x() + QFontMetricsF(d.font).horizontalAdvance(d.text) * d.scale;
}

// The same text at the same place and size; a dotted line takes the face of the text
// drawn before it, so only its place and size count.
bool sameItem(const Drawn& a, const Drawn& b)
{
    return a.text == b.text && qAbs(a.at.x() - b.at.x()) < 1e-6 && qAbs(a.at.y() - b.at.y()) < 1e-6 &&
           a.font.pixelSize() == b.font.pixelSize() && (isDots(a) || a.font.family() == b.font.family()) &&
           qAbs(a.scale - b.scale) < 1e-9;
}

// Texts drawn on overlapping heights, whose runs touch.
bool collide(const Drawn& a, const Drawn& b)
{
    const auto span = [](const Drawn& d) {
        const QFontMetricsF m(d.font);
        return std::pair{d.at.y() - m.ascent() * d.scale, d.at.y() + m.descent() * d.scale};
    };
    const auto [aTop, aBottom] = span(a);
    const auto [bTop, bBottom] = span(b);
    const bool level = aTop < bBottom && bTop < aBottom;
    return level && a.at.x() < rightOf(b) && b.at.x() < rightOf(a);
}

struct Recorded {
    QList<Drawn> texts;
    QList<ClippedField> clipped;
};

Recorded record(const QList<CalibEntry>& entries, const PageTexts& texts, qreal paperScale)
{
    MessageBuffer buf;
    PageOptions options;
    options.paperScale = paperScale;
    PageRenderer renderer(buf, options, QString());
    RecordingDevice device;
    QPainter painter(&device);
    renderer.draw(painter, entries, texts, false);
    painter.end();
    Recorded out{{}, renderer.clipped()};
    for (const Drawn& d : std::as_const(device.engine.drawn))
        if (d.kind == Drawn::Text)
            out.texts << d;
    return out;
}

// One word of the printed file's text, with its box in points.
struct Word {
    QString text;
    QRectF box;
};
using PdfPage = QList<Word>;

// The words of every page of `pdf`, as pdftotext reads them; dotted lines left out.
QList<PdfPage> wordsOfPdf(const QString& pdf)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!reader.waitForFinished(60000))
        return {};
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<PdfPage> pages;
    const QStringList parts =
        QString::fromUtf8(reader.readAllStandardOutput()).split(QStringLiteral("<page "));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        PdfPage page;
        for (auto m = word.globalMatch(parts.at(i)); m.hasNext();) {
            const QRegularExpressionMatch found = m.next();
            const QString text = found.captured(5);
            if (text.count(QLatin1Char('.')) == text.size())
                continue;
            page << Word{text, QRectF(QPointF(found.captured(1).toDouble(), found.captured(2).toDouble()),
                                      QPointF(found.captured(3).toDouble(), found.captured(4).toDouble()))};
        }
        pages << page;
    }
    return pages;
}

// A pupil's values by the kind of field, the way a school office writes them.
QString realValue(const QString& name, int pupil)
{
    static const QStringList towns{
        QStringLiteral("Ostrowiec Świętokrzyski"), QStringLiteral("Tomaszów Mazowiecki"),
        QStringLiteral("Kędzierzyn-Koźle"),        QStringLiteral("Skarżysko-Kamienna"),
        QStringLiteral("Nowy Dwór Gdański"),       QStringLiteral("Sędziszów Małopolski"),
        QStringLiteral("Grodzisk Mazowiecki")};
    static const QStringList schools{
        kSchool,
        QStringLiteral("Szkoły Podstawowej nr 3 im. Marii Skłodowskiej-Curie w Ostrowcu Świętokrzyskim"),
        QStringLiteral("Zespołu Szkolno-Przedszkolnego nr 5 w Kędzierzynie-Koźlu"),
        QStringLiteral("Szkoły Podstawowej im. Jana Pawła II w Sędziszowie Małopolskim"),
        QStringLiteral("Publicznej Szkoły Podstawowej nr 2 w Skarżysku-Kamiennej")};
    static const QStringList people{QStringLiteral("Małgorzata Aleksandra Wiśniewska-Kowalczyk"),
                                    QStringLiteral("Krzysztof Bartłomiej Brzęczyszczykiewicz"),
                                    QStringLiteral("Grzegorz Konstantynowicz-Szczepański"),
                                    QStringLiteral("Zofia Przybyszewska-Jędrzejczak")};
    static const QStringList days{QStringLiteral("12 października"), QStringLiteral("30 września"),
                                  QStringLiteral("1 grudnia"), QStringLiteral("28 lutego")};
    static const QStringList reasons{
        QStringLiteral("zmiana miejsca zamieszkania"),
        QStringLiteral("przeprowadzka rodziny do Ostrowca Świętokrzyskiego"),
        QStringLiteral(
            "zmiana miejsca zamieszkania rodziców w związku z podjęciem przez nich pracy za granicą, "
            "wniosek rodziców złożony w sekretariacie szkoły wraz z zaświadczeniem pracodawcy o "
            "zatrudnieniu obojga rodziców od pierwszego dnia następnego miesiąca, sprawa ostatecznie "
            "załatwiona")};
    const auto pick = [pupil](const QStringList& list) { return list.at(pupil % list.size()); };
    if (name.contains(QLatin1String("Rok")))
        return name.contains(QLatin1String("Urodz")) ? QStringLiteral("2011 r.") : QStringLiteral("2024");
    if (name.contains(QLatin1String("Dzien")) || name.contains(QLatin1String("Dnia")) ||
        name.contains(QLatin1String("PotwierdzamPrzyjecie")))
        return pick(days);
    if (name.contains(QLatin1String("PESEL")))
        return QStringLiteral("11301512345");
    if (name.contains(QLatin1String("ImieNazwisko")))
        return pick(people);
    if (name.contains(QLatin1String("Zamieszkaly")))
        return QStringLiteral("ul. Kardynała Stefana Wyszyńskiego 123/45, 27-400 ") + pick(towns);
    if (name.contains(QLatin1String("Ucz_")) || name.contains(QLatin1String("Klasy")))
        return pick(schools);
    if (name.contains(QLatin1String("UczenBylPrzyjety")))
        return QStringLiteral("2017/2018");
    if (name.contains(QLatin1String("Powod")))
        return pick(reasons);
    return pick(towns);
}

} // namespace

class TestPageFitting : public QObject
{
    Q_OBJECT

private:
    TestEnvironment m_env;
    QList<CalibEntry> m_calibration[2];

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_env.installDataFolder());
        for (int type = 0; type < 2; ++type)
            QVERIFY2(bFunCalibLoadData(m_env.buf, strFunGetCalibFilePath(m_env.buf, false), kKeys[type],
                                       m_calibration[type]),
                     qPrintable(m_env.buf.text()));
    }

    // Every value field of both documents, from one character to 200: the value alone
    // changes, within its box and apart from its neighbours, no smaller than 7 points on
    // paper, whole or listed as cut and drawn only as far as it is seen.
    void everyValueFitsWithoutMovingAnythingElse_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("spaces");
        QTest::addColumn<DrukujSheet::Edges>("edges");
        for (int type = 0; type < 2; ++type)
            for (const int length : {1, 6, 20, 45, 75, 120, 200})
                QTest::addRow("%s, %d characters", type == 0 ? "notice" : "confirmation", length)
                    << type << length << true << kDefaultEdges;
        QTest::newRow("notice, one word of 90 letters") << 0 << 90 << false << kDefaultEdges;
        QTest::newRow("notice, narrow margins") << 0 << 75 << true << kNarrowEdges;
        QTest::newRow("confirmation, whole page on the sheet") << 1 << 120 << true << DrukujSheet::Edges{};
    }
    void everyValueFitsWithoutMovingAnythingElse()
    {
        QFETCH(int, type);
        QFETCH(int, length);
        QFETCH(bool, spaces);
        QFETCH(DrukujSheet::Edges, edges);
        const auto form = formOf(type);
        const qreal paperScale = DrukujSheet::paperScale(edges);
        const QString value = wordsOf(length, spaces);
        int fields = 0;
        for (const CalibEntry& field : std::as_const(m_calibration[type])) {
            if (!isValue(field.name) || !pageTextsOf(*form)(field.name))
                continue;
            ++fields;
            const Recorded without =
                record(m_calibration[type], textsWith(*form, {{field.name, QString()}}), paperScale);
            const Recorded with =
                record(m_calibration[type], textsWith(*form, {{field.name, value}}), paperScale);
            QList<Drawn> own = with.texts;
            for (const Drawn& other : without.texts) {
                const auto same =
                    std::find_if(own.begin(), own.end(), [&](const Drawn& d) { return sameItem(d, other); });
                QVERIFY2(same != own.end(), qPrintable(field.name + QStringLiteral(" moved ") + other.text));
                own.erase(same);
            }
            QVERIFY2(!own.isEmpty(), qPrintable(field.name));
            QStringList drawn;
            for (const Drawn& d : std::as_const(own)) {
                drawn << d.text;
                const qreal onPaper =
                    d.font.pixelSize() * d.scale * paperScale * 72 / PageRenderer::UnitsPerInch;
                QVERIFY2(onPaper >= PageRenderer::SmallestPointsOnPaper - 1e-9,
                         qPrintable(field.name + QStringLiteral(": %1 pt").arg(onPaper)));
                QVERIFY2(d.at.x() >= field.x1 - 0.01 && rightOf(d) <= field.x2 + 0.01,
                         qPrintable(field.name + QStringLiteral(": %1..%2").arg(d.at.x()).arg(rightOf(d))));
                for (const Drawn& other : without.texts)
                    QVERIFY2(isDots(other) || !collide(d, other),
                             qPrintable(field.name + QStringLiteral(" / ") + other.text));
            }
            const QString shown = drawn.join(QLatin1Char(' '));
            if (with.clipped.isEmpty()) {
                QCOMPARE(shown, value);
            } else {
                QCOMPARE(with.clipped.size(), 1);
                QCOMPARE(with.clipped.first().name, field.name);
                QCOMPARE(with.clipped.first().text, value);
                QVERIFY2(own.size() == 1 && value.startsWith(shown) && shown.size() < value.size(),
                         qPrintable(shown));
            }
        }
        QVERIFY(fields >= 9);
    }

    // A value whose box is a whisker too narrow or too wide for it, at every width the
    // rounding of a division may meet: it stays inside its box and its neighbours stay.
    void roundingEdgesKeepTheValueInItsBox_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<qreal>("paperScale");
        QTest::newRow("centred") << 1 << 0.811;
        QTest::newRow("right") << 2 << 0.811;
        QTest::newRow("left") << 0 << 0.811;
        QTest::newRow("centred, full size") << 1 << 1.0;
        QTest::newRow("centred, page enlarged") << 1 << 1.7;
    }
    void roundingEdgesKeepTheValueInItsBox()
    {
        QFETCH(int, align);
        QFETCH(qreal, paperScale);
        const QString value = QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT");
        const QString before = QStringLiteral("STALY_Ucz_STR1_DATA_LABEL");
        const QString after = QStringLiteral("STALY_DoTamtejszejSzkoly_STR1_DATA_LABEL");
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(PageRenderer::pixelSize(14));
        const int width = int(QFontMetricsF(arial).horizontalAdvance(kSchool));
        const auto calibrated = [](const QString& name, int x1, int x2, const char* font, int size,
                                   int align) {
            return CalibEntry{.name = name,
                              .x1 = x1,
                              .x2 = x2,
                              .y1 = 557,
                              .y2 = 585,
                              .fontName = QString::fromLatin1(font),
                              .fontSize = size,
                              .align = align};
        };
        const auto texts = [&](const QString& name) -> std::optional<QString> {
            if (name == value)
                return kSchool;
            return name == before ? QStringLiteral("ucz.") : QStringLiteral("kl. do tamtejszej szkoły.");
        };
        int cut = 0, fitted = 0;
        for (int x2 = 87 + width / 5; x2 <= 87 + width + 8; ++x2) {
            const QList<CalibEntry> entries{calibrated(before, 45, 85, "Times New Roman", 15, 0),
                                            calibrated(value, 87, x2, "Arial", 14, align),
                                            calibrated(after, x2 + 2, x2 + 250, "Times New Roman", 15, 0)};
            const Recorded r = record(entries, texts, paperScale);
            QCOMPARE(r.texts.first().text, QStringLiteral("ucz."));
            QCOMPARE(r.texts.last().text, QStringLiteral("kl. do tamtejszej szkoły."));
            QCOMPARE(r.texts.last().at.x(), qreal(x2 + 2));
            QCOMPARE(r.texts.last().scale, 1.0);
            for (qsizetype i = 1; i + 1 < r.texts.size(); ++i) {
                const Drawn& d = r.texts.at(i);
                QVERIFY2(d.at.x() >= 87 - 1e-9 && rightOf(d) <= x2 + 1e-6 && !collide(d, r.texts.last()),
                         qPrintable(QStringLiteral("x2 %1: %2..%3").arg(x2).arg(d.at.x()).arg(rightOf(d))));
            }
            (r.clipped.isEmpty() ? fitted : cut)++;
        }
        // The sweep went through every way of fitting, down to cutting.
        QVERIFY(cut > 0 && fitted > 0);
    }

    // Thirty-five pupils with long real values, both documents: seventy pages in one PDF.
    // Every word of the fixed wording is where and as large as on a page without values,
    // and what is cut off a value is not in the file's text.
    void aClassPrintsWithTheWordingInPlace()
    {
        ScriptedPrompts prompts;
        constexpr int kPupils = 35;
        const qreal paperScale = DrukujSheet::paperScale(kDefaultEdges);
        QList<DrukujSheet::PagePainter> pages;
        QList<QMap<QString, QString>> valuesOf;
        QList<QList<ClippedField>> clippedOf{{}, {}};
        const auto pageOf = [&](int type, const QMap<QString, QString>& values,
                                QList<ClippedField>* clipped) {
            const auto form = formOf(type);
            MessageBuffer buf;
            PageOptions options;
            options.paperScale = paperScale;
            PageRenderer renderer(buf, options, m_env.dataDir());
            QPicture picture;
            renderer.record(picture, m_calibration[type], textsWith(*form, values), true);
            if (clipped)
                *clipped = renderer.clipped();
            pages << [picture](QPainter& painter, const QRectF& onSheet) {
                PageRenderer::stretch(painter, picture, onSheet);
            };
        };
        // The two pages of the wording alone come first.
        for (int type = 0; type < 2; ++type) {
            QMap<QString, QString> empty;
            for (const CalibEntry& e : std::as_const(m_calibration[type]))
                if (isValue(e.name))
                    empty.insert(e.name, QString());
            pageOf(type, empty, nullptr);
            valuesOf << empty;
        }
        for (int pupil = 0; pupil < kPupils; ++pupil)
            for (int type = 0; type < 2; ++type) {
                QMap<QString, QString> values;
                for (const CalibEntry& e : std::as_const(m_calibration[type]))
                    if (isValue(e.name))
                        values.insert(e.name, realValue(e.name, pupil));
                QList<ClippedField> clipped;
                pageOf(type, values, &clipped);
                valuesOf << values;
                clippedOf << clipped;
            }
        QMap<QString, int> cutFields;
        for (const QList<ClippedField>& clipped : std::as_const(clippedOf))
            for (const ClippedField& field : clipped)
                ++cutFields[field.name];
        qInfo() << "cut values:" << cutFields;
        // The long reason never fits whole.
        QCOMPARE(cutFields.value(QStringLiteral("ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT")), kPupils / 3);
        QCOMPARE(prompts.texts(), QStringList());

        const QString pdf = m_env.root() + QStringLiteral("/klasa.pdf");
        QString error;
        QVERIFY2(DrukujSheet::printPages({.pdfFile = pdf}, pages, kDefaultEdges, error), qPrintable(error));
        const QList<PdfPage> printed = wordsOfPdf(pdf);
        QCOMPARE(printed.size(), 2 + 2 * kPupils);
        int labelWords = 0;
        for (qsizetype i = 2; i < printed.size(); ++i) {
            const PdfPage& wording = printed.at(i % 2);
            for (const Word& fixed : wording) {
                const bool kept = std::any_of(printed.at(i).begin(), printed.at(i).end(), [&](const Word& w) {
                    return w.text == fixed.text && qAbs(w.box.left() - fixed.box.left()) < 0.01 &&
                           qAbs(w.box.top() - fixed.box.top()) < 0.01 &&
                           qAbs(w.box.right() - fixed.box.right()) < 0.01 &&
                           qAbs(w.box.bottom() - fixed.box.bottom()) < 0.01;
                });
                QVERIFY2(kept, qPrintable(QStringLiteral("page %1: %2").arg(i + 1).arg(fixed.text)));
                ++labelWords;
            }
            // Every other word is one of the page's values, and a cut value ends where the
            // sheet shows it end.
            QStringList valueWords;
            for (const QString& text : valuesOf.at(i))
                valueWords << text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QStringList pageWords;
            for (const Word& w : printed.at(i)) {
                pageWords << w.text;
                const bool known = std::any_of(wording.begin(), wording.end(),
                                               [&](const Word& f) { return f.text == w.text; }) ||
                                   std::any_of(valueWords.begin(), valueWords.end(),
                                               [&](const QString& v) { return v.startsWith(w.text); });
                QVERIFY2(known, qPrintable(QStringLiteral("page %1: %2").arg(i + 1).arg(w.text)));
            }
            // The last word of a cut value is off the sheet, so not in the text either,
            // unless another value of the page has it.
            for (const ClippedField& field : clippedOf.at(i)) {
                const QString last = field.text.section(QLatin1Char(' '), -1);
                QMap<QString, QString> others = valuesOf.at(i);
                others.remove(field.name);
                const bool elsewhere = std::any_of(others.begin(), others.end(),
                                                   [&](const QString& v) { return v.contains(last); });
                QVERIFY2(elsewhere || !pageWords.contains(last),
                         qPrintable(QStringLiteral("page %1: %2").arg(i + 1).arg(last)));
                QVERIFY(pageWords.contains(field.text.section(QLatin1Char(' '), 0, 0)));
            }
        }
        QVERIFY(labelWords > 2 * kPupils * 20);
        qInfo() << "fixed words in place:" << labelWords << "on" << printed.size() - 2 << "pages";
        // pdftotext leaves out what a clip hides; Ghostscript's text output reads every
        // text drawn, so only it shows that the cut words are not in the file.
        QProcess gs;
        gs.start(QStringLiteral("gs"),
                 {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"), QStringLiteral("-dBATCH"),
                  QStringLiteral("-dSAFER"), QStringLiteral("-sDEVICE=txtwrite"), QStringLiteral("-o"),
                  QStringLiteral("-"), pdf});
        QVERIFY2(gs.waitForFinished(120000) && gs.exitCode() == 0, qPrintable(gs.errorString()));
        const QByteArray allText = gs.readAllStandardOutput();
        QVERIFY(allText.contains("wniosek"));
        QVERIFY(!allText.contains("ostatecznie"));
    }
};

QTEST_MAIN(TestPageFitting)
#include "tst_page_fitting.moc"
