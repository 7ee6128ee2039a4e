// "Get Gains" against kv7-sim over a pseudo-terminal: the run's wall time
// (floor: 8 x 5 ticks of 10 ms) and the process's CPU meanwhile.
#include "app/Form1.h"
#include "bench/BenchUtil.h"
#include "gains/GainSlider.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace kv7;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    test::SimLink link;
    if (!link.Start({QStringLiteral("--gains"), QStringLiteral("1,2,3,4,5,6,7,8")})) {
        std::fprintf(stderr, "kv7-sim did not start, or its port did not open\n");
        return 1;
    }
    Form1 &form = *link.form;
    std::printf("\"Get Gains\" against kv7-sim (target: <= 0.6 s, < 10%% of one core)\n");
    for (int run = 0; run < 5; ++run) {
        const double cpu0 = bench::CpuSeconds();
        QElapsedTimer clock;
        clock.start();
        form.Command1_Click(Buttons::GetGains);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        const double cpu = bench::CpuSeconds() - cpu0;
        std::printf("run %d: %.3f s, CPU %.3f s = %.1f%% of one core, slider 8 at %d\n", run + 1, wall, cpu,
                    100.0 * cpu / wall, form.gainSliders[7]->Gain());
    }
    return 0;
}
