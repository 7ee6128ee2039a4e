// kv7-run sending 64 KiB of firmware to 1, 2, 4 and 8 devices at once, each
// a `kv7-sim --wire` at 115200: bench_run_ports [KiB], 64 by default. Each
// run's time against the line's limit and against the 1-device run, and
// kv7-run's CPU. With KV7_BENCH_LATENCY=MS, each behind a modelled USB
// adapter; with KV7_BENCH_LOG=FILE, with the session log on.
#include "bench/PtyFloor.h"
#include "bench/StepSeconds.h"
#include "bench/WireFigures.h"
#include "bench/WireSetup.h"
#include "tests/support/FileBytes.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TransferBytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kv7;

namespace {

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 64;
    const std::optional<bench::WireSetup> setup = bench::WireSetup::FromEnvironment();
    if (!setup)
        return 2;
    QTemporaryDir dir;
    const QByteArray image = test::RandomBytes(kib * 1024, 1);
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    if (!dir.isValid() || !test::WriteFile(path, image))
        return 1;
    const bench::FirmwareLimit limit(image.size());
    const QByteArray padded = test::Padded(image);

    const QString log = qEnvironmentVariable("KV7_BENCH_LOG");
    std::printf("kv7-run: firmware upload of %d KiB (%d frames) to 1, 2, 4 and 8 kv7-sim --wire%s at once, session "
                "log %s (goal: 8 devices within 1.3x of 1); line's limit %.3f s\n",
                kib, limit.frames, setup->Behind().constData(), log.isEmpty() ? "off" : "on", limit.seconds);
    std::printf("  devices   time s   limit/time   upload s   limit/upload   time/1-device   CPU s (of a core)   "
                "images equal\n");
    double one = 0;
    bool allEqual = true;
    for (const int devices : {1, 2, 4, 8}) {
        std::vector<std::unique_ptr<test::SimProcess>> sims;
        QStringList args;
        for (int i = 0; i < devices; ++i) {
            const QString received = dir.filePath(QStringLiteral("received%1.bin").arg(i));
            QFile::remove(received);
            sims.push_back(std::make_unique<test::SimProcess>());
            if (!sims.back()->Start(dir.filePath(QStringLiteral("kv7-ports")),
                                    setup->SimOptions() << QStringLiteral("--image") << received)) {
                std::fprintf(stderr, "kv7-sim did not start\n");
                return 1;
            }
            args << QStringLiteral("--port") << QStringLiteral("COM%1").arg(sims.back()->Port());
        }
        if (!log.isEmpty())
            args << QStringLiteral("--log") << log;
        args << QStringLiteral("--json") << QStringLiteral("firmware") << path;
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        run.setProcessEnvironment(env);
        const double cpuBefore = ChildrenCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        run.start(QStringLiteral(KV7_RUN_PATH), args);
        const bool finished = run.waitForFinished(int(limit.seconds * 4000) + 60000);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double cpu = ChildrenCpuSeconds() - cpuBefore;
        if (!finished || run.exitCode() != 0) {
            std::printf("  %d devices: kv7-run failed (exit %d): %s\n", devices, run.exitCode(),
                        run.readAllStandardError().constData());
            return 1;
        }
        int equal = 0;
        for (int i = 0; i < devices; ++i) {
            sims[size_t(i)]->Stop(); // so that its image is written
            QFile got(dir.filePath(QStringLiteral("received%1.bin").arg(i)));
            equal += got.open(QIODevice::ReadOnly) && got.readAll() == padded ? 1 : 0;
        }
        allEqual = allEqual && equal == devices;
        if (devices == 1)
            one = seconds;
        // The step's own time leaves out kv7-run's start and end.
        const double upload = bench::StepSeconds(run.readAllStandardOutput(), QStringLiteral("firmware"));
        std::printf("  %7d   %6.3f   %10.4f   %8.3f   %12.4f   %13.3f   %8.3f (%4.1f %%)     %d of %d\n", devices,
                    seconds, limit.seconds / seconds, upload, limit.seconds / upload, seconds / one, cpu,
                    100.0 * cpu / seconds, equal, devices);
    }
    bench::PrintPtyFloor();
    return allEqual ? 0 : 1;
}
