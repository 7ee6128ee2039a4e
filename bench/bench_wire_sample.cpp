// "Upload Sample" against `kv7-sim --wire` at 9600 and at 115200 baud:
// lines a second against the line's limit, and how much of each line's
// time goes to waiting for the 10 ms reply tick. bench_wire_sample [KiB],
// 8 by default. With KV7_BENCH_LATENCY=MS, behind a modelled USB adapter.
#include "bench/WireFigures.h"
#include "bench/WireSetup.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace kv7;

namespace {

// Bytes on the line for one sample line ("&HX" frame and its reply) and for
// the area selection before the first.
constexpr int LineBytes = 81 + 8;
constexpr int SelectBytes = 8 + 11;

bool Run(const bench::WireSetup &setup, int baud, int kib)
{
    test::SimLink link;
    const QString received = link.FilePath(QStringLiteral("received.bin"));
    if (!link.Start(setup.SimOptions() << QStringLiteral("--samples") << received)) {
        std::fprintf(stderr, "kv7-sim did not start, or its port did not open\n");
        return false;
    }
    link.form->speedList->setCurrentText(QString::number(baud));
    link.form->Combo1_Click();
    const int size = kib * 1024;
    const QString path = link.FilePath(QStringLiteral("bench.SSS"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, '\x5A')) != size)
        return false;
    file.close();
    link.form->sampleFileBox->setText(path);

    const int lines = size / 32 + 1;
    QElapsedTimer clock;
    clock.start();
    link.form->Command1_Click(Buttons::UploadSample);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bench::WireFigures wire = bench::WireFigures::Of(link.sim);
    QFile got(received);
    const qint64 arrived = got.open(QIODevice::ReadOnly) ? got.size() : -1;

    const double limit = bench::LineSeconds(SelectBytes + double(lines) * LineBytes, baud);
    const double lineLimit = baud / 10.0 / LineBytes;
    // One reply is taken a tick, so a line takes whole ticks of 10 ms.
    const double tickLimit = 1.0 / (std::max(1.0, std::ceil(100.0 / lineLimit)) * 0.010);
    std::printf("%d baud: %.2f s, %.1f lines/s; line's limit %.1f lines/s (%d bytes a line), ratio %.3f; with one "
                "reply a 10 ms tick at most %.1f lines/s; %lld bytes arrived, %d messages\n",
                baud, seconds, lines / seconds, lineLimit, LineBytes, limit / seconds, tickLimit,
                static_cast<long long>(arrived), int(link.messages.texts.size()));
    wire.Print();
    if (wire.turnarounds > 0)
        std::printf("  waiting for the next tick%s (the turnaround): %.2f ms a line, %.1f%% of each line's time\n",
                    setup.latencyMs > 0 ? " and the adapter's timer" : "",
                    double(wire.turnaroundUs) / 1e3 / double(wire.turnarounds),
                    100.0 * double(wire.turnaroundUs) / 1e6 / seconds);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 8;
    const std::optional<bench::WireSetup> setup = bench::WireSetup::FromEnvironment();
    if (!setup)
        return 2;
    std::printf("\"Upload Sample\" of %d KiB (%d lines) against kv7-sim --wire%s\n", kib, kib * 1024 / 32 + 1,
                setup->Behind().constData());
    return Run(*setup, 9600, kib) && Run(*setup, 115200, kib) ? 0 : 1;
}
