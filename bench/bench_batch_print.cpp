// Printing the transfer notice for a whole class into one PDF file: the command of the
// main window (every student read from the working copy, drawn through the forms and the
// page renderer, the job written, every issue recorded, its PDF/A copy written after the
// window is back), beside the
// same command on a register open read-only (nothing recorded, no copies) and the same
// pages drawn by the page renderer straight into a QPdfWriter. And the register of
// issued documents filtered by a keystroke.
#include "app/IssueDesk.h"
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "bench/BenchMain.h"
#include "bench/BenchPrompts.h"
#include "bench/NoticeText.h"
#include "documents/DocumentForm.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "platform/Environment.h"
#include "platform/RegisterLock.h"
#include "printing/IssueArchive.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukujSheet.h"
#include "printing/TFRejestrWydanych.h"
#include "prompts/Prompts.h"
#include "storage/Cp1250.h"
#include "storage/DataPaths.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {

const char* const Surnames[] = {"Nowak",     "Kowalska",    "Wiśniewski", "Wójcik",    "Kowalczyk",
                                "Kamińska",  "Lewandowski", "Zielińska",  "Szymański", "Woźniak",
                                "Dąbrowska", "Kozłowski",   "O'Neil",     "Mazur-Żak"};
const char* const FirstNames[] = {"Anna", "Jan", "Zofia", "Łukasz", "Maja", "Paweł", "Julia", "Szymon"};

struct Student {
    QString surname, firstName, pesel;
};

Student studentOf(int i)
{
    return {QString::fromUtf8(Surnames[i % 14]), QString::fromUtf8(FirstNames[i % 8]),
            QStringLiteral("082%1%2").arg(1 + i % 9).arg(i, 7, 10, QLatin1Char('0'))};
}

// The filled transfer notice of one student, as (field, value).
QList<std::pair<QString, QString>> rowsOf(const Student& s)
{
    return {
        {QStringLiteral("DANE UCZNIA|Nazwisko_DATA_EDIT"), s.surname},
        {QStringLiteral("DANE UCZNIA|Imie_DATA_EDIT"), s.firstName},
        {QStringLiteral("DANE UCZNIA|NrPesel_DATA_EDIT"), s.pesel},
        {QStringLiteral("DANE UCZNIA|UrodzonyDnia_DATA_EDIT"), QStringLiteral("14 marca")},
        {QStringLiteral("DANE UCZNIA|UrodzonyRok_DATA_COMBOBOX"), QStringLiteral("2008 r.")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_Miejscowosc_STR1_DATA_EDIT"),
         QStringLiteral("Ostrowiec Świętokrzyski")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT"),
         QStringLiteral("1 września")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT"),
         QStringLiteral("2026")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_Zamieszkaly_STR1_DATA_EDIT"),
         QStringLiteral("ul. Długa 12 m. 4, 27-400 Ostrowiec Świętokrzyski")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_Urodz_STR1_DATA_EDIT"),
         QStringLiteral("Kielce")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_Ucz_STR1_DATA_EDIT"),
         QStringLiteral("II Liceum Ogólnokształcące im. J. Chreptowicza")},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU|ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"),
         QStringLiteral("zmiana miejsca zamieszkania")},
    };
}

void exec(sqlite3* db, const QByteArray& sql)
{
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        abort();
}

QByteArray literal(const QString& text)
{
    QByteArray bytes;
    Cp1250::encode(text, bytes);
    return "'" + bytes.replace('\'', "''") + "'";
}

// A register of `count` students, as the program stores it.
void writeRegister(const QString& path, int count)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "begin;");
    for (int i = 0; i < count; ++i) {
        const Student s = studentOf(i);
        const QByteArray table = "`PESEL" + s.pesel.toLatin1() + "`";
        exec(db, "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );");
        for (const auto& [field, value] : rowsOf(s))
            exec(db, "insert into " + table + " values(" + literal(field.section(u'|', 0, 0)) + ", " +
                         literal(field.section(u'|', 1)) + ", " + literal(value) + ");");
    }
    exec(db, "commit;");
    sqlite3_close(db);
}

struct Fixture {
    QTemporaryDir dir;
    BenchPrompts prompts;
    std::unique_ptr<ProgramWindows> windows;
    int students = 0;
    bool readOnly = false;
    // `readOnly`: another user holds the register, so it is opened read-only and its
    // documents are printed without being recorded.
    Fixture(int count, bool readOnly) : students(count), readOnly(readOnly)
    {
        Environment::overrideAppDataRoot(dir.path() + QStringLiteral("/share"));
        Environment::overrideProgramDir(QStringLiteral(MELVOK_PROGRAM_DIR));
        prompts.choice = 0; // the transfer notice; "Drukuj mimo to"
        Prompts::install(&prompts);
        const QString doc = dir.path() + QStringLiteral("/klasa.sqdoc");
        writeRegister(doc, count);
        if (readOnly) // "Otwórz tylko do odczytu", then "Drukuj bez zapisu"
            QFile(RegisterLock::lockPath(doc)).open(QIODevice::WriteOnly);
        prompts.file = dir.path() + QStringLiteral("/klasa.pdf");
        windows = std::make_unique<ProgramWindows>();
        bFunStartProgram(*windows, doc);
        windows->glowna->treeView()->selectAll();
    }
    ~Fixture()
    {
        windows->glowna->setCloseWithoutQuestions(true);
        windows.reset();
        Prompts::install(nullptr);
    }
};

std::unique_ptr<Fixture> g_fixture;

Fixture& fixture(int students, bool readOnly = false)
{
    if (!g_fixture || g_fixture->students != students || g_fixture->readOnly != readOnly) {
        g_fixture.reset();
        g_fixture = std::make_unique<Fixture>(students, readOnly);
    }
    return *g_fixture;
}

void printBatch(benchmark::State& state, bool readOnly, bool withCopies = false)
{
    Fixture& f = fixture(int(state.range(0)), readOnly);
    TFGlowna* main = f.windows->glowna.get();
    for (auto _ : state) {
        // "Plik PDF…" and "Drukuj" as soon as the print dialog is up.
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("DrukarkiComboBox"));
            printers->setCurrentIndex(printers->count() - 1);
            dialog->findChild<QPushButton*>(QStringLiteral("DrukujButton"))->click();
        });
        main->DrukujDlaZaznaczonychClick();
        // The user has the window back; the copies are written meanwhile, waited for
        // outside the time unless `withCopies`.
        if (!withCopies)
            state.PauseTiming();
        IssueDesk::finishCopies();
        if (!withCopies)
            state.ResumeTiming();
    }
    if (QFile(f.prompts.file).size() < 1000 * state.range(0))
        state.SkipWithError("the PDF file was not written");
}

// Every issue recorded and copied as PDF/A (after the first round, as reprints).
void BM_BatchPrintPdf_Program(benchmark::State& state)
{
    printBatch(state, false);
}

// The same, timed until every copy is written and its record completed.
void BM_BatchPrintPdf_ProgramCopiesDone(benchmark::State& state)
{
    printBatch(state, false, true);
}

// The same job with nothing recorded and no copies.
void BM_BatchPrintPdf_NoRecords(benchmark::State& state)
{
    printBatch(state, true);
}

// The PDF/A copy of one printed page, made in memory.
void BM_ArchiveCopyOfOnePage(benchmark::State& state)
{
    Fixture& f = fixture(1);
    TFGlowna* main = f.windows->glowna.get();
    main->treeView()->setCurrentItem(main->treeView()->topLevelItem(0)->child(0));
    main->TreeViewClick();
    main->vFunDrawPage(f.windows->zawiadomienie, true, 0, 1);
    const QPicture page = main->pagePicture();
    for (auto _ : state)
        benchmark::DoNotOptimize(IssueArchive::pdfOf(page, {QStringLiteral("SP12.4340.1.2026"),
                                                            QStringLiteral("Nowak Anna"),
                                                            QStringLiteral("Zawiadomienie o przekazaniu"),
                                                            {}}));
}

// One keystroke in the pupil filter of the register of 1,000 issued documents.
void BM_IssuedRegisterFilterKeystroke(benchmark::State& state)
{
    QList<Issued::Record> book;
    for (int i = 0; i < state.range(0); ++i) {
        const Student s = studentOf(i);
        Issued::Record r;
        r.key = QStringLiteral("WYDANIE_%1").arg(i);
        r.number = QStringLiteral("SP12.4340.%1.2026").arg(i + 1);
        r.issuedAt = QDateTime(QDate(2025 + i % 2, 1 + i % 12, 1 + i % 28), QTime(9, 0));
        r.pupil = s.surname + u' ' + s.firstName;
        r.school = QStringLiteral("II Liceum Ogólnokształcące im. J. Chreptowicza");
        r.document = i % 2;
        book << r;
    }
    TFRejestrWydanych window;
    window.setRecords(book);
    auto* pupil = window.findChild<QLineEdit*>(QStringLiteral("UczenEdit"));
    const QString typed[] = {QStringLiteral("k"),    QStringLiteral("ko"),  QStringLiteral("kow"),
                             QStringLiteral("kowa"), QStringLiteral("kow"), QStringLiteral("ko")};
    int n = 0;
    for (auto _ : state)
        pupil->setText(typed[n++ % 6]);
}

// The same pages drawn by the same routine straight into the writer: their texts read
// beforehand, no register, no forms, no recorded page between.
void BM_BatchPrintPdf_Baseline(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    TFGlowna* main = f.windows->glowna.get();
    MessageBuffer buf;
    QList<CalibEntry> entries;
    bFunCalibLoadData(buf, strFunGetCalibFilePath(buf, false), QStringLiteral("zawiadomienie_o_przekazaniu"),
                      entries);
    QList<QHash<QString, QString>> pages;
    for (const StudentListEntry& student : main->students()) {
        main->bFunLoadStudent(student.tableName);
        const PageTexts texts = pageTextsOf(*f.windows->zawiadomienie);
        QHash<QString, QString>& page = pages.emplace_back();
        for (const CalibEntry& entry : std::as_const(entries))
            if (const std::optional<QString> text = texts(entry.name))
                page.insert(entry.name, *text);
    }
    const QString file = f.dir.filePath(QStringLiteral("prosto.pdf"));
    const QString mainDir = strFunGetMainDirPath(buf);
    for (auto _ : state) {
        QPdfWriter writer(file);
        NoticeText::setUpSheet(writer);
        QPainter painter(&writer);
        const QRect onSheet = DrukujSheet::deviceRect({10, 7, 200, 289}, 1200, 1200, 0, 0);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            const QHash<QString, QString>& page = pages.at(i);
            painter.save();
            painter.translate(onSheet.topLeft());
            painter.scale(qreal(onSheet.width()) / PageRenderer::PageWidth,
                          qreal(onSheet.height()) / PageRenderer::PageHeight);
            PageRenderer renderer(buf, PageOptions{}, mainDir);
            renderer.draw(
                painter, entries,
                [&page](const QString& name) -> std::optional<QString> {
                    const auto text = page.constFind(name);
                    return text == page.cend() ? std::nullopt : std::optional<QString>(*text);
                },
                true);
            painter.restore();
        }
        painter.end();
    }
}

} // namespace

BENCHMARK(BM_BatchPrintPdf_Program)->Arg(1)->Arg(35)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchPrintPdf_ProgramCopiesDone)->Arg(35)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchPrintPdf_NoRecords)->Arg(35)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveCopyOfOnePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IssuedRegisterFilterKeystroke)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchPrintPdf_Baseline)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { g_fixture.reset(); });
}
