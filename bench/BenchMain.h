// The common start of the benchmarks: an offscreen application, the benchmark
// library's command line, and the caller's clean-up once every figure is out.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

// Reads the benchmark library's options. Every case runs for two seconds unless the
// command line says otherwise (the smoke test of CTest gives it a hundredth), which is
// why no benchmark sets MinTime itself: that would beat the command line.
inline void initializeBenchmarks(int argc, char** argv)
{
    static std::vector<char*> args(argv, argv + argc);
    static char twoSeconds[] = "--benchmark_min_time=2";
    const bool given = std::any_of(args.begin(), args.end(), [](const char* arg) {
        return std::strncmp(arg, "--benchmark_min_time", 20) == 0;
    });
    if (!given)
        args.insert(args.begin() + 1, twoSeconds);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
}

inline int runBenchmarks(int argc, char** argv, const std::function<void()>& cleanUp)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's remarks would drown the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    initializeBenchmarks(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    cleanUp();
    return 0;
}
