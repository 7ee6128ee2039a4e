#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace kv7::bench {

// The line a wire benchmark runs over: kv7-sim --wire on its pseudo-
// terminal, or, with KV7_BENCH_LATENCY=MS set, the same behind a modelled
// USB adapter whose latency timer holds the device's replies up to MS ms.
struct WireSetup {
    int latencyMs = 0; // 0: no adapter

    // Nothing when KV7_BENCH_LATENCY holds anything but 1 to 255 ms: a
    // figure taken over another line than the one asked for would mislead.
    static std::optional<WireSetup> FromEnvironment()
    {
        const QString text = qEnvironmentVariable("KV7_BENCH_LATENCY");
        if (text.isEmpty())
            return WireSetup{};
        bool ok = false;
        const int ms = text.toInt(&ok);
        if (!ok || ms < 1 || ms > 255) {
            std::fprintf(stderr, "KV7_BENCH_LATENCY needs a number of milliseconds from 1 to 255, not \"%s\"\n",
                         qPrintable(text));
            return std::nullopt;
        }
        return WireSetup{ms};
    }

    // kv7-sim's options for this line; the benchmark adds its own.
    QStringList SimOptions() const
    {
        QStringList options{QStringLiteral("--wire")};
        if (latencyMs > 0)
            options << QStringLiteral("--latency") << QString::number(latencyMs);
        return options;
    }

    // For the header line, after "kv7-sim --wire": empty without an adapter.
    QByteArray Behind() const
    {
        if (latencyMs == 0)
            return {};
        return " behind an adapter with a " + QByteArray::number(latencyMs) + " ms latency timer";
    }
};

} // namespace kv7::bench
