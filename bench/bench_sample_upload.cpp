// "Upload Sample" against kv7-sim over a pseudo-terminal: lines a second
// (ceiling: one line per 10 ms reply tick) and the process's CPU meanwhile.
#include "bench/BenchUtil.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>

#include <cstdio>

using namespace kv7;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    test::SimLink link;
    const QString received = link.FilePath(QStringLiteral("received.bin"));
    if (!link.Start({QStringLiteral("--samples"), received})) {
        std::fprintf(stderr, "kv7-sim did not start\n");
        return 1;
    }
    const int size = 32 * 1024;
    const QString path = link.FilePath(QStringLiteral("bench.SSS"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, '\x5A')) != size)
        return 1;
    file.close();
    link.form->sampleFileBox->setText(path);

    const int lines = size / 32 + 1;
    std::printf("\"Upload Sample\" of %d bytes (%d lines) against kv7-sim (target: >= 90 lines/s, < 10%% of one core)\n",
                size, lines);
    for (int run = 0; run < 3; ++run) {
        const double cpu0 = bench::CpuSeconds();
        QElapsedTimer clock;
        clock.start();
        link.form->Command1_Click(Buttons::UploadSample);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        const double cpu = bench::CpuSeconds() - cpu0;
        QFile got(received);
        const qint64 arrived = got.open(QIODevice::ReadOnly) ? got.size() : -1;
        std::printf("run %d: %.2f s, %.1f lines/s, CPU %.2f s = %.1f%% of one core, %lld bytes arrived, %d messages\n",
                    run + 1, wall, lines / wall, cpu, 100.0 * cpu / wall, static_cast<long long>(arrived), int(link.messages.texts.size()));
    }
    return 0;
}
