// kv7-run --station's own CPU: 8 slots waiting for units that do not come
// (bench_run_station [seconds], 10 by default), then 8 units flashed with
// 64 KiB each, every one a `kv7-sim --wire` at 115200.
#include "bench/WireFigures.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TransferBytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kv7;

namespace {

constexpr int Slots = 8;

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Start(QProcess &run, const QTemporaryDir &dir, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    run.setProcessEnvironment(env);
    run.start(QStringLiteral(KV7_RUN_PATH), args);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    QTemporaryDir dir;
    const QByteArray image = test::RandomBytes(64 * 1024, 1);
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return 1;
    file.close();

    // Idle: the slots look for their units four times a second.
    QStringList idle{QStringLiteral("--station")};
    for (int i = 0; i < Slots; ++i)
        idle << QStringLiteral("--port") << QStringLiteral("COM%1").arg(200 + i);
    idle << QStringLiteral("version");
    QProcess waiting;
    double before = ChildrenCpuSeconds();
    Start(waiting, dir, idle);
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    ::kill(pid_t(waiting.processId()), SIGTERM);
    if (!waiting.waitForFinished(15000) || waiting.exitCode() != 0) {
        std::fprintf(stderr, "the idle station did not end as it should (exit %d)\n", waiting.exitCode());
        return 1;
    }
    const double idleCpu = ChildrenCpuSeconds() - before;
    std::printf("kv7-run --station, %d slots waiting for %d s: CPU %.3f s (%.2f %% of a core)\n", Slots, idleSeconds,
                idleCpu, 100.0 * idleCpu / idleSeconds);

    // Busy: one 64 KiB image to each of 8 units at once.
    const bench::FirmwareLimit limit(image.size());
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    QStringList busy{QStringLiteral("--station"), QStringLiteral("--units"), QStringLiteral("1"), QStringLiteral("--speed"),
                     QStringLiteral("115200")};
    for (int i = 0; i < Slots; ++i) {
        sims.push_back(std::make_unique<test::SimProcess>());
        if (!sims.back()->Start(dir.filePath(QStringLiteral("kv7-ports")), {QStringLiteral("--wire")}))
            return 1;
        busy << QStringLiteral("--port") << QStringLiteral("COM%1").arg(sims.back()->Port());
    }
    busy << QStringLiteral("firmware") << path;
    QProcess flashing;
    before = ChildrenCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    Start(flashing, dir, busy);
    if (!flashing.waitForFinished(int(limit.seconds * 4000) + 60000) || flashing.exitCode() != 0) {
        std::fprintf(stderr, "the station failed (exit %d): %s\n", flashing.exitCode(),
                     flashing.readAllStandardError().constData());
        return 1;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = ChildrenCpuSeconds() - before;
    std::printf("kv7-run --station, %d units flashed with %d frames each: %.3f s (line's limit %.3f s), CPU %.3f s "
                "(%.1f %% of a core)\n",
                Slots, limit.frames, seconds, limit.seconds, cpu, 100.0 * cpu / seconds);
    return 0;
}
