#pragma once

#include "app/Form1.h"

#include <QFileInfo>

#include <cstdio>

namespace kv7::bench {

// With KV7_BENCH_LOG set, the window keeps its session log in that file
// while the benchmark runs, so the figures show what logging costs.
inline QString StartBenchLog(Form1 &form)
{
    QString path = qEnvironmentVariable("KV7_BENCH_LOG");
    if (path.isEmpty()) {
        std::printf("session log: off (set KV7_BENCH_LOG=FILE to keep one)\n");
        return {};
    }
    if (!form.StartLog(path))
        return {};
    std::printf("session log: on, into %s\n", qPrintable(path));
    return path;
}

inline void PrintLogSize(const QString &path, double seconds)
{
    if (path.isEmpty())
        return;
    const double mib = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("session log: %.1f MiB, %.2f MiB a minute\n", mib, seconds > 0 ? mib * 60.0 / seconds : 0.0);
}

} // namespace kv7::bench
