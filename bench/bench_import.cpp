// How long a class list takes: the whole import command (file read, preview, the
// students stored in one transaction, the tree refilled) beside plain SQLite storing
// and listing the same students; and how quickly the preview of a long file is ready.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "bench/BenchMain.h"
#include "bench/BenchPrompts.h"
#include "documents/TFImportUczniow.h"
#include "platform/Environment.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <sys/resource.h>

#include <string>
#include <vector>

namespace {

const char* const Surnames[] = {"Nowak",     "Kowalska",    "Wiśniewski", "Wójcik",    "Kowalczyk",
                                "Kamińska",  "Lewandowski", "Zielińska",  "Szymański", "Woźniak",
                                "Dąbrowska", "Kozłowski",   "O'Neil",     "Mazur-Żak"};
const char* const FirstNames[] = {"Anna", "Jan", "Zofia", "Łukasz", "Maja", "Paweł", "Julia", "Szymon"};

QString peselOf(int i)
{
    // Valid numbers of pupils born in 2008: the check digit computed as the number asks.
    const QString ten =
        QStringLiteral("08%1%2%3").arg(21 + i % 12).arg(10 + i % 18).arg(i % 10000, 4, 10, QLatin1Char('0'));
    static constexpr int Weights[10] = {1, 3, 7, 9, 1, 3, 7, 9, 1, 3};
    int sum = 0;
    for (int k = 0; k < 10; ++k)
        sum += Weights[k] * (ten.at(k).unicode() - '0');
    return ten + QString::number((10 - sum % 10) % 10);
}

QByteArray classList(int students)
{
    QByteArray out = "Lp.;Nazwisko;Imiona;PESEL;Data urodzenia;Miejsce urodzenia;Województwo;Płeć\r\n";
    for (int i = 0; i < students; ++i)
        out += QStringLiteral("%1;%2;%3 Maria;%4;;Kraków;małopolskie;\r\n")
                   .arg(i + 1)
                   .arg(QString::fromUtf8(Surnames[i % 14]), QString::fromUtf8(FirstNames[i % 8]), peselOf(i))
                   .toUtf8();
    return out;
}

struct Fixture {
    QTemporaryDir dir;
    BenchPrompts prompts;
    ProgramWindows windows;
    Fixture()
    {
        Environment::overrideAppDataRoot(dir.path() + QStringLiteral("/share"));
        Environment::overrideProgramDir(QStringLiteral(MELVOK_PROGRAM_DIR));
        Prompts::install(&prompts);
        bFunStartProgram(windows, QString());
    }
    ~Fixture() { Prompts::install(nullptr); }
    QString list(int students)
    {
        const QString path = dir.path() + QStringLiteral("/klasa%1.csv").arg(students);
        if (!QFile::exists(path)) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(classList(students));
        }
        return path;
    }
};

Fixture* g_fixture = nullptr;

Fixture& fixture()
{
    if (!g_fixture)
        g_fixture = new Fixture;
    return *g_fixture;
}

void BM_ImportCsv_Program(benchmark::State& state)
{
    Fixture& f = fixture();
    f.prompts.file = f.list(int(state.range(0)));
    TFGlowna* main = f.windows.glowna.get();
    for (auto _ : state) {
        state.PauseTiming();
        main->vFunReset(); // an empty register
        state.ResumeTiming();
        // "Importuj" as soon as the window shows the file.
        QTimer::singleShot(0, [] {
            QApplication::activeModalWidget()
                ->findChild<QPushButton*>(QStringLiteral("ImportujButton"))
                ->click();
        });
        main->Importujuczniow1Click();
    }
    if (main->treeView()->topLevelItemCount() != state.range(0))
        state.SkipWithError("the tree does not hold every student");
}

void exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        abort();
}

// Plain SQLite: the same students, one transaction, prepared inserts; then the two
// questions per student the student list asks.
void BM_ImportCsv_Baseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const int students = int(state.range(0));
    const std::string path = (f.dir.path() + QStringLiteral("/baseline.sqtmp")).toStdString();
    std::vector<std::string> peselBytes;
    for (int i = 0; i < students; ++i)
        peselBytes.push_back(peselOf(i).toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(QString::fromStdString(path));
        state.ResumeTiming();
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        exec(db, "begin transaction;");
        for (int i = 0; i < students; ++i) {
            const std::string table = "PESEL" + peselBytes[size_t(i)];
            exec(db, ("create table `" + table + "`( id TEXT, comp_name TEXT, value TEXT )").c_str());
            sqlite3_stmt* insert = nullptr;
            sqlite3_prepare_v2(
                db, ("insert into `" + table + "`( id, comp_name, value ) values( ?, ?, ? )").c_str(), -1,
                &insert, nullptr);
            for (int row = 0; row < 34; ++row) {
                sqlite3_bind_text(insert, 1, row < 9 ? "DANE UCZNIA" : "ZAWIADOMIENIE_O_PRZEKAZANIU", -1,
                                  SQLITE_STATIC);
                const std::string comp = "Pole" + std::to_string(row) + "_DATA_EDIT";
                sqlite3_bind_text(insert, 2, comp.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 3, row < 9 ? "Nowak" : "", -1, SQLITE_STATIC);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
        }
        exec(db, "commit transaction;");
        exec(db, "begin transaction;");
        for (int i = 0; i < students; ++i) {
            for (const char* comp : {"Pole6_DATA_EDIT", "Pole0_DATA_EDIT"}) {
                const std::string sql = "select * from `PESEL" + peselBytes[size_t(i)] +
                                        "` where `id`='DANE UCZNIA' and `comp_name`='" + comp + "'";
                sqlite3_stmt* stmt = nullptr;
                sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
                benchmark::DoNotOptimize(sqlite3_step(stmt));
                sqlite3_finalize(stmt);
            }
        }
        exec(db, "commit transaction;");
        sqlite3_close(db);
    }
}

// The preview of a long file: read, every row judged, the table ready to be shown.
void BM_ImportPreview(benchmark::State& state)
{
    Fixture& f = fixture();
    const QByteArray bytes = classList(int(state.range(0)));
    for (auto _ : state) {
        TFImportUczniow window;
        if (!window.setFile(QStringLiteral("klasa.csv"), bytes, {}))
            state.SkipWithError("the file was not read");
        benchmark::DoNotOptimize(window.rows().size());
    }
    (void)f;
}

// Lists made to hang the window or fill the memory; each is refused or previewed.
const char* const HostileNames[] = {"header of 100,000 columns", "line of 1,000,000 separators",
                                    "20,000 rows of one PESEL",  "50,000 pupils (the most taken)",
                                    "7 MB of one-letter fields", "64 MB file"};

QByteArray hostileList(int kind)
{
    switch (kind) {
    case 0:
        return "Nazwisko" + QByteArray(";Imię").repeated(100000) + "\r\nNowak;Anna\r\n";
    case 1:
        return "Nazwisko;Imię\r\n" + QByteArray(1000000, ';');
    case 2:
        return "Nazwisko;Imię;PESEL;Płeć\r\n" + QByteArray("Nowak;Anna;08231401249;K\r\n").repeated(20000);
    case 3:
        return classList(49999);
    case 4:
        return "Nazwisko;Imię\r\n" + QByteArray("a;b\r\n").repeated(7 * 1024 * 1024 / 5);
    default:
        return "Nazwisko;Imię;PESEL;Płeć\r\n" + QByteArray(64 * 1024 * 1024, ' ');
    }
}

// The most memory the process has held so far, in MB.
double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_ImportHostileList(benchmark::State& state)
{
    const QByteArray bytes = hostileList(int(state.range(0)));
    bool shown = false;
    for (auto _ : state) {
        TFImportUczniow window;
        shown = window.setFile(QStringLiteral("lista.csv"), bytes, {});
        benchmark::DoNotOptimize(window.rows().size());
    }
    state.SetLabel(std::string(HostileNames[state.range(0)]) + (shown ? ": previewed" : ": refused"));
    state.counters["peak_MB"] = peakMegabytes();
}

// Choosing another meaning for a column judges every row again.
void BM_ImportRemapColumn(benchmark::State& state)
{
    TFImportUczniow window;
    window.setFile(QStringLiteral("klasa.csv"), classList(int(state.range(0))), {});
    bool skip = false;
    for (auto _ : state) {
        window.setColumn(5, (skip = !skip) ? StudentImport::Column::Skip : StudentImport::Column::Town);
        benchmark::DoNotOptimize(window.rows().size());
    }
}

} // namespace

// First, so that the peak memory each reports is its own or an earlier hostile list's.
BENCHMARK(BM_ImportHostileList)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportCsv_Program)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsv_Baseline)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsv_Baseline)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportCsv_Program)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportPreview)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportRemapColumn)->Arg(50000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { delete g_fixture; });
}
