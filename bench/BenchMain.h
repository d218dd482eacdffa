// The common start of the benchmarks: an offscreen application, the benchmark
// library's command line, and the caller's clean-up once every figure is out.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <functional>

inline int runBenchmarks(int argc, char** argv, const std::function<void()>& cleanUp)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's remarks would drown the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    cleanUp();
    return 0;
}
