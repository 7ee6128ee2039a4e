// CPU use of the open window while the 10 ms reply timer ticks and nothing
// arrives.
#include "tests/support/WindowRig.h"
#include "bench/BenchUtil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace kv7;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;

    test::WindowRig rig({1});
    Form1 &form = *rig.form;
    form.Form_Load();
    form.show();

    int ticks = 0;
    QObject::connect(form.replyTimer, &QTimer::timeout, [&ticks] { ++ticks; });
    QApplication::processEvents();
    const double cpu0 = bench::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    QApplication::exec();
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = bench::CpuSeconds() - cpu0;
    std::printf("idle window, %d s (target: < 2%% of one core)\n", seconds);
    std::printf("CPU %.3f s over %.2f s = %.2f%% of one core; Timer1 ticked %d times (%.1f per s)\n", cpu, wall,
                100.0 * cpu / wall, ticks, ticks / wall);
    return 0;
}
