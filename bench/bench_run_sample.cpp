// kv7-run uploading a sample to one `kv7-sim --wire` at 115200:
// bench_run_sample [KiB], 64 by default. kv7-run takes each reply as it
// arrives, with no reply tick to wait for, so the line's limit is the
// bound. With KV7_BENCH_LOG=FILE the session log is on.
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

#include <algorithm>
#include <cstdio>

using namespace kv7;

namespace {

// Bytes on the line for one sample line ("&HX" frame and its reply) and for
// the area selection before the first.
constexpr int LineBytes = 81 + 8;
constexpr int SelectBytes = 8 + 11;
constexpr int Baud = 115200;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 64;
    const std::optional<bench::WireSetup> setup = bench::WireSetup::FromEnvironment();
    if (!setup)
        return 2;
    QTemporaryDir dir;
    const QByteArray sample = test::RandomBytes(kib * 1024, 2);
    const QString path = dir.filePath(QStringLiteral("bench.SSS"));
    if (!dir.isValid() || !test::WriteFile(path, sample))
        return 1;
    const QString received = dir.filePath(QStringLiteral("received.bin"));
    test::SimProcess sim;
    if (!sim.Start(dir.filePath(QStringLiteral("kv7-ports")), setup->SimOptions() << QStringLiteral("--samples") << received)) {
        std::fprintf(stderr, "kv7-sim did not start\n");
        return 1;
    }
    QStringList args{QStringLiteral("--port"), QStringLiteral("COM%1").arg(sim.Port()), QStringLiteral("--speed"),
                     QString::number(Baud)};
    const QString log = qEnvironmentVariable("KV7_BENCH_LOG");
    if (!log.isEmpty())
        args << QStringLiteral("--log") << log;
    args << QStringLiteral("--json") << QStringLiteral("sample") << QStringLiteral("1") << path;
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    run.setProcessEnvironment(env);
    const qint64 lines = sample.size() / 32 + 1;
    const double limit = bench::LineSeconds(SelectBytes + double(lines) * LineBytes, Baud);
    QElapsedTimer clock;
    clock.start();
    run.start(QStringLiteral(KV7_RUN_PATH), args);
    const bool finished = run.waitForFinished(int(limit * 4000) + 60000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!finished || run.exitCode() != 0) {
        std::printf("kv7-run failed (exit %d): %s\n", run.exitCode(), run.readAllStandardError().constData());
        return 1;
    }
    sim.Stop(); // so that what it received is written
    QFile got(received);
    const QByteArray arrived = got.open(QIODevice::ReadOnly) ? got.readAll() : QByteArray();
    std::printf("kv7-run: sample upload of %d KiB (%lld lines) at %d against kv7-sim --wire%s, session log %s "
                "(goal: >= 0.97 of the line's limit)\n",
                kib, static_cast<long long>(lines), Baud, setup->Behind().constData(), log.isEmpty() ? "off" : "on");
    // The step's own time leaves out kv7-run's start and end.
    const double upload = bench::StepSeconds(run.readAllStandardOutput(), QStringLiteral("sample"));
    std::printf("  time %.3f s (the whole process), %.3f s (the step); line's limit %.3f s (%d bytes a line); "
                "ratio %.4f (the step: %.4f); %.1f lines/s; sample %s\n",
                seconds, upload, limit, LineBytes, limit / seconds, limit / upload, double(lines) / upload,
                arrived.startsWith(sample) ? "arrived whole" : "NOT arrived whole");
    bench::PrintPtyFloor();
    return arrived.startsWith(sample) ? 0 : 1;
}
