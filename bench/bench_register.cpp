// How long a secretary waits: opening a register to a filled student tree, and
// storing one student, each beside plain SQLite doing the same work; and saving a
// register that another desk changed meanwhile, beside a save of one that nobody did.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "bench/BenchMain.h"
#include "documents/TFDaneUcznia.h"
#include "platform/Environment.h"
#include "platform/FileOps.h"
#include "storage/DataFolder.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* kDocumentRows[][2] = {
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Miejscowosc_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Ucz_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Zamieszkaly_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Urodz_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_PrzekazujeDzien_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_PESEL_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_UrodzDnia_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_UrodzRok_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_UczenBylPrzyjety_STR1_DATA_EDIT"},
    {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_Miejscowosc_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_Ucz_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_PotwierdzamPrzyjecie_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_PESEL_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_UrodzDnia_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_UrodzRok_STR1_DATA_EDIT"},
    {"POTWIERDZENIE_PRZYJECIA_UCZNIA", "ZMIENNA_Klasy_STR1_DATA_EDIT"},
};

// The statements that store one student, as the program writes them.
std::string studentStatements(int i, bool replace)
{
    const std::string table = "PESEL" + std::to_string(90000000000LL + i);
    const std::string surname = "Nazwisko" + std::to_string((i * 7919) % 100000);
    std::string sql = "begin transaction;";
    if (replace)
        sql += "drop table `" + table + "`;";
    sql += "create table `" + table + "`( id TEXT, comp_name TEXT, value TEXT );";
    auto row = [&](const char* id, const char* comp, const std::string& value) {
        sql += "insert into `" + table + "`( id, comp_name, value ) values( '" + id + "', '" + comp + "', '" +
               value + "' );";
    };
    row("DANE UCZNIA", "Imie_DATA_EDIT", "Anna");
    row("DANE UCZNIA", "UrodzonyDnia_DATA_EDIT", "1 stycznia");
    row("DANE UCZNIA", "Plec_DATA_COMBOBOX", "kobieta");
    row("DANE UCZNIA", "UrodzonyRok_DATA_COMBOBOX", "2001 r.");
    row("DANE UCZNIA", "UrodzonyMiasto_DATA_COMBOBOX", "Krak\xf3w");
    row("DANE UCZNIA", "UrodzonyWoj_DATA_COMBOBOX", "ma\xb3opolskie");
    row("DANE UCZNIA", "Nazwisko_DATA_EDIT", surname);
    row("DANE UCZNIA", "NrPesel_DATA_EDIT", table.substr(5));
    row("DANE UCZNIA", "NrDziennika_DATA_EDIT", std::to_string(i));
    for (const auto& r : kDocumentRows)
        row(r[0], r[1], "tekst pola");
    sql += "commit transaction;";
    return sql;
}

void exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "%s\n", error);
        sqlite3_free(error);
        abort();
    }
}

QString makeRegister(const QString& dir, int students)
{
    const QString path = dir + QStringLiteral("/rejestr%1.sqdoc").arg(students);
    if (QFile::exists(path))
        return path;
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "pragma journal_mode=off; pragma synchronous=off;");
    for (int i = 0; i < students; ++i)
        exec(db, studentStatements(i, false));
    sqlite3_close(db);
    return path;
}

// The plain way of opening: copy the file, then ask the same questions.
void plainCopy(const std::string& from, const std::string& to)
{
    const int in = open(from.c_str(), O_RDONLY);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char buffer[1 << 16];
    ssize_t n;
    while ((n = read(in, buffer, sizeof buffer)) > 0)
        if (write(out, buffer, size_t(n)) != n)
            abort();
    fsync(out);
    close(in);
    close(out);
}

int plainList(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    // One read transaction for the whole listing, as the program lists.
    exec(db, "begin transaction;");
    sqlite3_stmt* tables = nullptr;
    sqlite3_prepare_v2(db, "select * from sqlite_master", -1, &tables, nullptr);
    std::vector<std::string> names;
    while (sqlite3_step(tables) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(tables, 1)));
    sqlite3_finalize(tables);
    int found = 0;
    for (const std::string& name : names) {
        for (const char* comp : {"Nazwisko_DATA_EDIT", "Imie_DATA_EDIT"}) {
            const std::string sql =
                "select * from `" + name + "` where `id`='DANE UCZNIA' and `comp_name`='" + comp + "'";
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
            if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 2))
                ++found;
            sqlite3_finalize(stmt);
        }
    }
    exec(db, "commit transaction;");
    sqlite3_close(db);
    return found;
}

struct Fixture {
    QTemporaryDir dir;
    ProgramWindows windows;
    Fixture()
    {
        Environment::overrideAppDataRoot(dir.path() + QStringLiteral("/share"));
        Environment::overrideProgramDir(QStringLiteral(MELVOK_PROGRAM_DIR));
        bFunStartProgram(windows, QString());
    }
};

Fixture* g_fixture = nullptr;

Fixture& fixture()
{
    if (!g_fixture)
        g_fixture = new Fixture;
    return *g_fixture;
}

void BM_OpenRegister_Program(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = makeRegister(f.dir.path(), int(state.range(0)));
    for (auto _ : state) {
        f.windows.glowna->bFunWczytajPlikSwiadectw(path);
        benchmark::DoNotOptimize(f.windows.glowna->treeView()->topLevelItemCount());
    }
    if (f.windows.glowna->treeView()->topLevelItemCount() != state.range(0))
        state.SkipWithError("the tree does not hold every student");
}

void BM_OpenRegister_Baseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::string path = makeRegister(f.dir.path(), int(state.range(0))).toStdString();
    const std::string tmp = (f.dir.path() + QStringLiteral("/baseline.sqtmp")).toStdString();
    for (auto _ : state) {
        plainCopy(path, tmp);
        benchmark::DoNotOptimize(plainList(tmp));
    }
}

void BM_SaveStudent_Program(benchmark::State& state)
{
    Fixture& f = fixture();
    f.windows.glowna->bFunWczytajPlikSwiadectw(makeRegister(f.dir.path(), 1000));
    auto* tree = f.windows.glowna->treeView();
    tree->setCurrentItem(tree->topLevelItem(500));
    const QString table = f.windows.glowna->selectedStudentTable();
    for (auto _ : state) {
        if (!f.windows.glowna->bFunSaveStudent(table))
            state.SkipWithError("the student was not stored");
    }
}

void BM_SaveStudent_Baseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::string path = makeRegister(f.dir.path(), 1000).toStdString();
    const std::string tmp = (f.dir.path() + QStringLiteral("/baseline.sqtmp")).toStdString();
    plainCopy(path, tmp);
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open(tmp.c_str(), &db);
        exec(db, studentStatements(500, true));
        sqlite3_close(db);
        // The program shows the new order at once: the same listing.
        benchmark::DoNotOptimize(plainList(tmp));
    }
}

// Saves the 1,000-student register after opening it afresh; with `otherDesk` another
// desk has changed 10 of its students on disk meanwhile, and Save joins them in.
void saveRegister(benchmark::State& state, bool otherDesk)
{
    Fixture& f = fixture();
    const QString original = makeRegister(f.dir.path(), 1000);
    const QString doc = f.dir.path() + QStringLiteral("/wspolny.sqdoc");
    const QString theirs = f.dir.path() + QStringLiteral("/inne_biurko.sqdoc");
    const QString next = doc + QStringLiteral(".nowy");
    FileOps::copyFile(original, theirs, false);
    sqlite3* db = nullptr;
    sqlite3_open(theirs.toUtf8().constData(), &db);
    for (int i = 0; i < 1000; i += 100)
        exec(db, "update `PESEL" + std::to_string(90000000000LL + i) +
                     "` set value='Zmieniony' where comp_name='Nazwisko_DATA_EDIT';");
    sqlite3_close(db);
    TFGlowna* main = f.windows.glowna.get();
    for (auto _ : state) {
        state.PauseTiming();
        FileOps::copyFile(original, doc, false);
        main->bFunWczytajPlikSwiadectw(doc);
        main->setOpenDocumentPath(doc);
        if (otherDesk) { // the other desk's Save: a new file renamed over the register
            FileOps::copyFile(theirs, next, false);
            std::rename(next.toUtf8().constData(), doc.toUtf8().constData());
        }
        state.ResumeTiming();
        if (!main->bFunZapiszIstniejacyPlikSwiadectw())
            state.SkipWithError("the register was not saved");
    }
    if (otherDesk && main->students().size() != 1000)
        state.SkipWithError("the merged register does not hold every student");
}

void BM_SaveRegister_Plain(benchmark::State& state)
{
    saveRegister(state, false);
}

void BM_SaveRegister_Merge(benchmark::State& state)
{
    saveRegister(state, true);
}

} // namespace

BENCHMARK(BM_SaveRegister_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRegister_Merge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRegister_Program)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRegister_Baseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveStudent_Program)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveStudent_Baseline)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { delete g_fixture; });
}
