// One keystroke in the filter above the student list: every student of the register
// matched against what has been typed, beside a plain case-insensitive search of the
// names, which knows nothing of Polish letters or the PESEL.
#include "app/StudentOrder.h"
#include "bench/BenchMain.h"

#include <benchmark/benchmark.h>

namespace {

QList<StudentListEntry> students(int count)
{
    const char* surnames[] = {"Żak", "Zając", "Łukasiewicz", "Nowak", "Kowalska", "Wiśniewski", "Wójcik"};
    const char* names[] = {"Anna", "Łucja", "Jan", "Małgorzata", "Piotr"};
    QList<StudentListEntry> out;
    for (int i = 0; i < count; ++i)
        out.append({QString::fromUtf8(surnames[i % 7]) + QLatin1Char(' ') + QString::fromUtf8(names[i % 5]),
                    QStringLiteral("PESEL%1").arg(5270812345LL + i, 11, 10, QLatin1Char('0'))});
    return out;
}

void BM_Filter_Program(benchmark::State& state)
{
    const QList<StudentListEntry> list = students(int(state.range(0)));
    for (auto _ : state) {
        int shown = 0;
        for (const StudentListEntry& s : list)
            shown += bFunStudentMatches(s, QStringLiteral("lukas luc"));
        benchmark::DoNotOptimize(shown);
    }
}

void BM_Filter_Baseline(benchmark::State& state)
{
    const QList<StudentListEntry> list = students(int(state.range(0)));
    for (auto _ : state) {
        int shown = 0;
        for (const StudentListEntry& s : list)
            shown += s.displayName.contains(QStringLiteral("łukas"), Qt::CaseInsensitive);
        benchmark::DoNotOptimize(shown);
    }
}

} // namespace

BENCHMARK(BM_Filter_Program)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Filter_Baseline)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] {});
}
