// "Get Gains" against `kv7-sim --wire` at 9600 baud, against its floor:
// the larger of its 8 x 5 ticks of 10 ms and the line time of its frames,
// the replies and the set-gain commands with their echoes.
#include "bench/WireFigures.h"
#include "gains/GainSlider.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace kv7;

namespace {

// A channel: "GAV" frame 7 bytes, its report 11; a moved slider adds the
// "AV " frame, 10 bytes, and its echo, 11.
constexpr int QueryBytes = 7 + 11;
constexpr int SetBytes = 10 + 11;

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    test::SimLink link;
    if (!link.Start({QStringLiteral("--wire"), QStringLiteral("--gains"), QStringLiteral("1,2,3,4,5,6,7,8")})) {
        std::fprintf(stderr, "kv7-sim did not start, or its port did not open\n");
        return 1;
    }
    Form1 &form = *link.form;
    std::printf("\"Get Gains\" at 9600 against kv7-sim --wire; the first run moves all eight sliders\n");
    for (int run = 0; run < 3; ++run) {
        const int bytes = 8 * (QueryBytes + (run == 0 ? SetBytes : 0));
        const double floor = std::max(8 * 5 * 0.010, bench::LineSeconds(bytes, 9600));
        const qint64 replies = form.Line().Decoder.FramesTaken() + (run == 0 ? 16 : 8);
        QElapsedTimer clock;
        clock.start();
        form.Command1_Click(Buttons::GetGains);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        // The run ends by its ticks; the last replies may still be on the line.
        const bool taken = test::WaitUntil([&] { return form.Line().Decoder.FramesTaken() >= replies; }, 5000);
        const double all = double(clock.nsecsElapsed()) / 1e9;
        std::printf("run %d: %.3f s (floor %.3f s: %d bytes on the line take %.3f s), ratio %.3f; last reply taken "
                    "after %.3f s%s, slider 8 at %d\n",
                    run + 1, seconds, floor, bytes, bench::LineSeconds(bytes, 9600), floor / seconds, all,
                    taken ? "" : " (MISSING REPLIES)", form.gainSliders[7]->Gain());
    }
    bench::WireFigures::Of(link.sim).Print();
    return 0;
}
