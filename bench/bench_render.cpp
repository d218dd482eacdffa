// How quickly a page follows the user: drawing one page into the page picture, and
// showing it in the preview, each beside QPainter drawing the same texts straight into
// an image.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "bench/BenchMain.h"
#include "bench/BenchPrompts.h"
#include "documents/DocumentForm.h"
#include "documents/FormBinding.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "platform/Environment.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukujSheet.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <functional>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

namespace {

// A calibration of every fixed text and field of the transfer notice, laid out on the
// page as the screen form lays them out, with the dotted lines of a paper form.
QList<CalibEntry> calibrationOf(const DocumentForm& form)
{
    QList<CalibEntry> entries;
    for (const QWidget* c : form.components()) {
        const QString name = c->objectName();
        if (!name.contains(QLatin1String("_STR1_DATA_")))
            continue;
        const bool title = name.contains(QLatin1String("ZawiadomienieOPrzekazaniu"));
        const int x1 = c->x() * 885 / 700 + 20;
        const int y2 = c->y() * 1314 / 990 + 60;
        const int x2 = qMin(860, x1 + qMax(c->width(), 120) * 885 / 700);
        entries << CalibEntry{.name = name,
                              .x1 = x1,
                              .x2 = x2,
                              .y1 = y2 - 30,
                              .y2 = y2,
                              .fontName = QStringLiteral("Times New Roman"),
                              .fontSize = title ? 18 : 12,
                              .align = name.contains(QLatin1String("ZMIENNA_")) ? 1 : 0,
                              .bold = title ? 1 : 0};
    }
    for (int i = 0; i < 8; ++i)
        entries << CalibEntry{.name = QStringLiteral("Linia%1_STR1_LINIA_Z_KROPEK").arg(i),
                              .x1 = 150,
                              .x2 = 820,
                              .y1 = 0,
                              .y2 = 300 + 45 * i};
    return entries;
}

// The same texts and dots straight into an image, fonts and boxes as the page has them.
void drawStraight(QPainter& p, const QList<CalibEntry>& entries, const PageTexts& texts)
{
    for (const CalibEntry& e : entries) {
        QFont font(e.fontName.isEmpty() ? QStringLiteral("Times New Roman") : e.fontName);
        if (e.name.contains(QLatin1String("_LINIA_Z_KROPEK"))) {
            font.setPixelSize(19);
            font.setLetterSpacing(QFont::AbsoluteSpacing,
                                  6 - QFontMetricsF(font).horizontalAdvance(QLatin1Char('.')));
            p.setFont(font);
            p.drawText(e.x1, e.y2, QString((e.x2 - e.x1 + 5) / 6, QLatin1Char('.')));
            continue;
        }
        font.setPixelSize(PageRenderer::pixelSize(e.fontSize));
        font.setBold(e.bold);
        p.setFont(font);
        const QString text = texts(e.name).value_or(QString());
        p.drawText(QRect(e.x1, e.y2 - 30, e.x2 - e.x1, 30),
                   (e.align == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::TextDontClip, text);
    }
}

// Nothing to answer while measuring: boxes are taken as read.
struct Fixture {
    BenchPrompts prompts;
    QTemporaryDir dir;
    ProgramWindows windows;
    QList<CalibEntry> entries;
    QString background;
    Fixture()
    {
        Environment::overrideAppDataRoot(dir.path() + QStringLiteral("/share"));
        Environment::overrideProgramDir(QStringLiteral(MELVOK_PROGRAM_DIR));
        Prompts::install(&prompts);
        bFunStartProgram(windows, QString());
        windows.zawiadomienie->FillSampleValues();
        prompts.shown = 0; // the start-up preview found no calibration yet
        entries = calibrationOf(*windows.zawiadomienie);

        MessageBuffer buf;
        const QString calib = strFunGetCalibFilePath(buf, false);
        QFile::remove(calib);
        sqlite3* db = nullptr;
        sqlite3_open(calib.toUtf8().constData(), &db);
        sqlite3_exec(
            db,
            "create table `zawiadomienie_o_przekazaniu`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, "
            "`x2` INTEGER, `y2` INTEGER, `font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, "
            "`font_style_bold` INTEGER, `font_style_italic` INTEGER, `font_style_underline` INTEGER, "
            "`font_style_strike` INTEGER );",
            nullptr, nullptr, nullptr);
        for (const CalibEntry& e : entries) {
            const QString sql =
                QStringLiteral("insert into `zawiadomienie_o_przekazaniu` values('%1', %2, %3, %4, "
                               "%5, '%6', %7, %8, %9, 0, 0, 0);")
                    .arg(e.name)
                    .arg(e.x1)
                    .arg(e.y1)
                    .arg(e.x2)
                    .arg(e.y2)
                    .arg(e.fontName)
                    .arg(e.fontSize)
                    .arg(e.align)
                    .arg(e.bold);
            sqlite3_exec(db, sql.toLatin1().constData(), nullptr, nullptr, nullptr);
        }
        sqlite3_close(db);

        QDir().mkpath(strFunGetMainDirPath(buf) + QStringLiteral("/grafika"));
        background = strFunGetMainDirPath(buf) + QStringLiteral("/grafika/a4_prw.bmp");
        QImage blank(958, 1389, QImage::Format_RGB888);
        blank.fill(Qt::white);
        blank.save(background);
    }
};

Fixture* g_fixture = nullptr;

Fixture& fixture()
{
    if (!g_fixture)
        g_fixture = new Fixture;
    return *g_fixture;
}

// The form's texts with every variable field's value replaced by `value` of it.
PageTexts withVariables(const PageTexts& form, const std::function<QString(const QString&)>& value)
{
    return [form, value](const QString& name) -> std::optional<QString> {
        std::optional<QString> text = form(name);
        if (text && name.contains(QLatin1String("ZMIENNA_")))
            *text = value(*text);
        return text;
    };
}

void BM_PagePicture_Program(benchmark::State& state)
{
    Fixture& f = fixture();
    MessageBuffer buf;
    PageRenderer renderer(buf, PageOptions{}, f.dir.path());
    const PageTexts texts = pageTextsOf(*f.windows.zawiadomienie);
    QPicture picture;
    for (auto _ : state) {
        renderer.record(picture, f.entries, texts, false);
        benchmark::DoNotOptimize(picture.size());
    }
}

// Every variable field far too long for its box: each one is drawn smaller, on two
// lines or cut.
void BM_PagePicture_EveryFieldFitted(benchmark::State& state)
{
    Fixture& f = fixture();
    MessageBuffer buf;
    PageRenderer renderer(buf, PageOptions{}, f.dir.path());
    const PageTexts form = pageTextsOf(*f.windows.zawiadomienie);
    const PageTexts texts =
        withVariables(form, [](const QString& text) { return QStringList(4, text).join(QLatin1Char(' ')); });
    QPicture picture;
    for (auto _ : state) {
        renderer.record(picture, f.entries, texts, false);
        benchmark::DoNotOptimize(picture.size());
    }
}

// Every variable field 200 characters long on a page reduced onto the sheet as the
// installed profile reduces it: each one is cut, drawn only as far as it is seen.
void BM_PagePicture_EveryFieldCut(benchmark::State& state)
{
    Fixture& f = fixture();
    MessageBuffer buf;
    PageOptions options;
    options.paperScale = DrukujSheet::paperScale({10, 7, 200, 289});
    PageRenderer renderer(buf, options, f.dir.path());
    const PageTexts form = pageTextsOf(*f.windows.zawiadomienie);
    const QString longValue =
        QStringLiteral("Szkoły Podstawowej nr 12 im. Tadeusza Kościuszki w Tomaszowie Mazowieckim ")
            .repeated(3)
            .left(200);
    const PageTexts texts = withVariables(form, [&longValue](const QString&) { return longValue; });
    QPicture picture;
    for (auto _ : state) {
        renderer.record(picture, f.entries, texts, false);
        benchmark::DoNotOptimize(picture.size());
    }
    if (renderer.clipped().isEmpty())
        state.SkipWithError("no field was cut");
}

void BM_PagePicture_Baseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const PageTexts texts = pageTextsOf(*f.windows.zawiadomienie);
    QImage image(PageRenderer::PageWidth, PageRenderer::PageHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        drawStraight(p, f.entries, texts);
    }
}

void BM_PreviewRedraw_Program(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        f.windows.glowna->vFunDrawPage(f.windows.zawiadomienie, false, 0, 1);
    if (f.windows.glowna->pagePicture().size() == 0 || f.prompts.shown > 0)
        state.SkipWithError("the page was not drawn");
}

void BM_PreviewRedraw_Baseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const PageTexts texts = pageTextsOf(*f.windows.zawiadomienie);
    for (auto _ : state) {
        QImage image(f.background);
        QPainter p(&image);
        p.translate(74, 74);
        p.scale(883.0 / 885.0, 1.0);
        drawStraight(p, f.entries, texts);
    }
}

} // namespace

BENCHMARK(BM_PagePicture_Program)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagePicture_EveryFieldFitted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagePicture_EveryFieldCut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagePicture_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewRedraw_Program)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewRedraw_Baseline)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { delete g_fixture; });
}
