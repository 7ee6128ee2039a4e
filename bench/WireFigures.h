#pragma once

#include "tests/support/SimProcess.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace kv7::bench {

// Seconds that `bytes` take on a line at `baud`, 8N1 (10 bits a byte).
inline double LineSeconds(double bytes, int baud)
{
    return bytes * 10.0 / baud;
}

// What no firmware upload of `imageBytes` can beat at 115200: the start's
// own pauses (100 ms, then ten times 10 ms before each "{"; the boot frame
// crosses at 9600 inside the first), the device's wait for the "{" burst
// to end, and then every byte one after the other: the last "{", the
// device's "{", the host's "{", NAK, each 132-byte frame and its one-byte
// reply, EOT and its ACK.
struct FirmwareLimit {
    int frames;
    double pauses = 0.100 + 10 * 0.010;
    double deviceWait = 0.030;
    double bytes;
    double seconds;

    explicit FirmwareLimit(qint64 imageBytes)
        : frames(int(imageBytes / 128) + 1), bytes(4 + frames * 133.0 + 2),
          seconds(pauses + deviceWait + LineSeconds(bytes, 115200))
    {
    }
};

// What `kv7-sim --wire` says of a run once it has stopped: bytes and line
// time each way, how late it handed bytes over against the line, and how
// long the window took from the end of each reply to its next byte.
struct WireFigures {
    long long in = -1, inUs = 0, out = 0, outUs = 0;
    long long lateMaxUs = 0, lateMeanUs = 0, handovers = 0;
    long long turnarounds = 0, turnaroundUs = 0, turnaroundMaxUs = 0;

    // Stops the simulator and reads its lines; `in` stays -1 without them.
    static WireFigures Of(test::SimProcess &sim)
    {
        sim.Stop();
        const QStringList lines = sim.Lines();
        WireFigures f;
        if (const QList<long long> n = Numbers(lines, "wire in "); n.size() == 4) {
            f.in = n[0], f.inUs = n[1], f.out = n[2], f.outUs = n[3];
        }
        if (const QList<long long> n = Numbers(lines, "wire late "); n.size() == 3) {
            f.lateMaxUs = n[0], f.lateMeanUs = n[1], f.handovers = n[2];
        }
        if (const QList<long long> n = Numbers(lines, "wire turnaround "); n.size() == 3) {
            f.turnarounds = n[0], f.turnaroundUs = n[1], f.turnaroundMaxUs = n[2];
        }
        return f;
    }

    // The numbers in the line that starts with `prefix`, in order.
    static QList<long long> Numbers(const QStringList &lines, const char *prefix)
    {
        QList<long long> numbers;
        for (const QString &line : lines) {
            if (!line.startsWith(QLatin1String(prefix)))
                continue;
            static const QRegularExpression notDigits(QStringLiteral("[^0-9]+"));
            for (const QString &word : line.split(notDigits, Qt::SkipEmptyParts))
                numbers << word.toLongLong();
            break;
        }
        return numbers;
    }

    void Print() const
    {
        if (in < 0) {
            std::printf("  kv7-sim printed no wire figures\n");
            return;
        }
        std::printf("  on the wire: window to device %lld bytes (%.3f s), device to window %lld bytes (%.3f s)\n", in,
                    double(inUs) / 1e6, out, double(outUs) / 1e6);
        std::printf("  window's turnaround (end of a reply to its next byte): %lld, total %.3f s, mean %.2f ms, "
                    "max %.2f ms\n",
                    turnarounds, double(turnaroundUs) / 1e6,
                    turnarounds > 0 ? double(turnaroundUs) / 1e3 / double(turnarounds) : 0.0,
                    double(turnaroundMaxUs) / 1e3);
        std::printf("  kv7-sim's lateness against the line: max %lld us, mean %lld us over %lld handovers\n", lateMaxUs,
                    lateMeanUs, handovers);
    }
};

} // namespace kv7::bench
