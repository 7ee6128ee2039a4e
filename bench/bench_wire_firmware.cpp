// A firmware upload against `kv7-sim --wire` at 115200 baud, timed against
// the line's own limit: bench_wire_firmware [KiB], 64 by default. With
// KV7_BENCH_LATENCY=MS, behind a modelled USB adapter.
#include "bench/PtyFloor.h"
#include "bench/WireFigures.h"
#include "bench/WireSetup.h"
#include "tests/support/EventWait.h"
#include "bench/BenchLog.h"
#include "tests/support/SimLink.h"
#include "tests/support/TransferBytes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>

using namespace kv7;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 64;
    const std::optional<bench::WireSetup> setup = bench::WireSetup::FromEnvironment();
    if (!setup)
        return 2;
    test::SimLink link;
    const QString received = link.FilePath(QStringLiteral("received.bin"));
    if (!link.Start(setup->SimOptions() << QStringLiteral("--image") << received)) {
        std::fprintf(stderr, "kv7-sim did not start, or its port did not open\n");
        return 1;
    }
    const QByteArray image = test::RandomBytes(kib * 1024, 1);
    const QString path = link.FilePath(QStringLiteral("image.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return 1;
    file.close();
    link.form->firmwareFileBox->setText(path);
    const QString log = bench::StartBenchLog(*link.form);

    const bench::FirmwareLimit lim(image.size());
    const int frames = lim.frames;
    const double pauses = lim.pauses;
    const double deviceWait = lim.deviceWait;
    const double bytes = lim.bytes;
    const double limit = lim.seconds;

    // The goal is the window's over a bare line; an adapter's timer only
    // adds to the time, and the figure shows by how much.
    std::printf("firmware upload of %d KiB (%d frames) at 115200 against kv7-sim --wire%s%s\n", kib, frames,
                setup->Behind().constData(), setup->latencyMs == 0 ? " (goal: >= 0.97 of the line's limit)" : "");
    QElapsedTimer clock;
    clock.start();
    link.form->StartUpload();
    const bool ended = test::WaitUntil([&] { return !link.form->UploadActive(); }, int(limit * 2000) + 30000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bench::WireFigures wire = bench::WireFigures::Of(link.sim);
    QFile got(received);
    const bool equal = got.open(QIODevice::ReadOnly) && got.readAll().left(image.size()) == image;
    if (!ended || link.messages.texts != QStringList{QStringLiteral("Finished uploading firmware and all is OK!")}) {
        std::printf("upload failed: %s\n", qPrintable(link.messages.texts.join(QLatin1String(" / "))));
        return 1;
    }
    std::printf("  time %.3f s, %s; line's limit %.3f s (pauses %.3f s + device's sync wait %.3f s + %.0f bytes at "
                "11520 B/s %.3f s)\n",
                seconds, equal ? "image equal" : "IMAGE DIFFERS", limit, pauses, deviceWait, bytes,
                bench::LineSeconds(bytes, 115200));
    std::printf("  ratio limit / time %.4f (%.4f with the device's wait counted against us); overhead %.3f s = "
                "%.3f ms a frame\n",
                limit / seconds, (limit - deviceWait) / seconds, seconds - limit, (seconds - limit) * 1e3 / frames);
    std::printf("  bytes expected: window to device %d (boot frame 6, 11 \"{\", frames, EOT), device to window %d\n",
                6 + 11 + frames * 132 + 1, 2 + frames + 1);
    wire.Print();
    bench::PrintPtyFloor();
    std::printf("  overhead outside the window's turnaround: %.3f s (the simulator's lateness, about two handovers "
                "a frame)\n", seconds - limit - double(wire.turnaroundUs) / 1e6);
    bench::PrintLogSize(log, seconds);
    return 0;
}
