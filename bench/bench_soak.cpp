// A long run against a noisy line: kv7-sim streams gain and version
// replies, broken frames and noise at the byte rate of 115200 baud while
// "Get Gains" repeats. Prints the resident memory as it goes, the frames
// the window decoded against those the simulator sent, the longest gap of
// the reply timer and the longest "Get Gains" run. bench_soak [seconds],
// 600 by default.
#include "app/Form1.h"
#include "bench/BenchUtil.h"
#include "gains/GainSlider.h"
#include "session/LineSession.h"
#include "tests/support/EventWait.h"
#include "bench/BenchLog.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace kv7;

namespace {

// The number after `prefix` in the simulator's line that starts with it,
// -1 while there is none.
qint64 Count(test::SimProcess &sim, const QString &prefix)
{
    for (const QString &line : sim.Lines())
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).toLongLong();
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 600;
    test::SimLink link;
    if (!link.Start({QStringLiteral("--gains"), QStringLiteral("1,2,3,4,5,6,7,8"), QStringLiteral("--stream"),
                     QString::number(seconds)})) {
        std::fprintf(stderr, "kv7-sim did not start, or its port did not open\n");
        return 1;
    }
    Form1 &form = *link.form;
    const QString log = bench::StartBenchLog(form);

    // The reply timer runs every 10 ms; a long gap between its ticks is a stall.
    QElapsedTimer tickClock;
    tickClock.start();
    qint64 lastTick = 0, maxGapMs = 0;
    QObject::connect(form.replyTimer, &QTimer::timeout, [&] {
        const qint64 now = tickClock.elapsed();
        maxGapMs = std::max(maxGapMs, now - lastTick);
        lastTick = now;
    });

    std::printf("soak: %d s of streamed replies and noise at 11520 B/s, \"Get Gains\" repeating\n", seconds);
    const double rssStart = bench::RssMiB();
    std::printf("RSS at start: %.1f MiB\n", rssStart);
    QElapsedTimer clock;
    clock.start();
    int runs = 0;
    qint64 longestRunMs = 0, nextReport = 60000;
    qint64 streamed = -1;
    while ((streamed = Count(link.sim, QStringLiteral("stream done "))) < 0) {
        if (clock.elapsed() > (seconds + 30) * 1000LL) {
            std::fprintf(stderr, "kv7-sim never finished its stream\n");
            return 1;
        }
        QElapsedTimer run;
        run.start();
        form.Command1_Click(Buttons::GetGains);
        longestRunMs = std::max(longestRunMs, run.elapsed());
        ++runs;
        if (clock.elapsed() >= nextReport) {
            std::printf("  %3lld s: RSS %.1f MiB, %d runs, %lld frames decoded\n", static_cast<long long>(clock.elapsed() / 1000), bench::RssMiB(),
                        runs, static_cast<long long>(form.Line().Decoder.FramesTaken()));
            std::fflush(stdout);
            nextReport += 60000;
        }
    }
    // Whatever is still on its way or in the buffer is decoded by now.
    (void)test::WaitUntil([] { return false; }, 2000);
    link.sim.Stop();
    const qint64 replies = Count(link.sim, QStringLiteral("replies "));
    const qint64 decoded = form.Line().Decoder.FramesTaken();
    const double rssEnd = bench::RssMiB();
    std::printf("RSS at end: %.1f MiB (%+.1f MiB; receive buffer and pane are bounded at 1 MiB each)\n", rssEnd,
                rssEnd - rssStart);
    std::printf("frames: %lld sent (%lld streamed + %lld replies), %lld decoded, %lld missing\n",
                static_cast<long long>(streamed + replies), static_cast<long long>(streamed),
                static_cast<long long>(replies), static_cast<long long>(decoded),
                static_cast<long long>(streamed + replies - decoded));
    std::printf("receive buffer: %lld bytes left, %lld dropped at its bound\n",
                static_cast<long long>(form.Line().RxBuffer.Size()), static_cast<long long>(form.Line().RxBuffer.Overflowed()));
    std::printf("\"Get Gains\": %d runs, longest %lld ms; longest gap between reply-timer ticks: %lld ms\n", runs,
                static_cast<long long>(longestRunMs), static_cast<long long>(maxGapMs));
    QString sliders;
    for (const auto *slider : form.gainSliders)
        sliders += QString::number(slider->Gain()) + QLatin1Char(' ');
    std::printf("sliders at the end: %s(the simulator's gains are 1 2 3 4 5 6 7 8)\n", qPrintable(sliders));
    const double wall = double(clock.elapsed()) / 1000.0;
    std::printf("CPU: %.1f s in %.0f s = %.1f%% of one core\n", bench::CpuSeconds(), wall,
                100.0 * bench::CpuSeconds() / wall);
    std::printf("messages shown: %lld\n", static_cast<long long>(link.messages.texts.size()));
    bench::PrintLogSize(log, wall);
    return 0;
}
