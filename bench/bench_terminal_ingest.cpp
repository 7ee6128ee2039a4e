// 4 MiB through the receive path into the terminal pane, in 64-byte chunks,
// once with a line break every 40 bytes and once with none.
#include "bench/BenchRig.h"
#include "bench/BenchUtil.h"
#include "terminal/TerminalPane.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace kv7;

namespace {

QByteArray Traffic(qsizetype size, bool lineBreaks)
{
    QByteArray data;
    data.reserve(size);
    // Replies as the device sends them, so the decoder has work too.
    const QByteArray reply("\x01RGAV\x02" "3064\x04", 11);
    while (data.size() < size) {
        if (lineBreaks) {
            QByteArray line = reply + QByteArray(27, char('a' + data.size() / 40 % 26));
            data += line + "\r\n";
        } else {
            data += reply + QByteArray(29, 'b');
        }
    }
    data.truncate(size);
    return data;
}

void Run(const char *name, bool lineBreaks)
{
    bench::BenchRig rig;
    Form1 &form = rig.form;
    test::FakeSerialControl &serial = rig.serial;
    form.show();
    QApplication::processEvents();

    const QByteArray data = Traffic(4 * 1024 * 1024, lineBreaks);
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < data.size(); at += 64) {
        serial.Feed(data.mid(at, 64));
        // Let the window paint and the timer tick as it would between
        // receive events.
        if ((at / 64) % 16 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    // The view refreshes at most every 15 ms whatever the traffic; what one
    // full redraw of the pane costs bounds that share.
    QElapsedTimer paint;
    paint.start();
    for (int i = 0; i < 100; ++i)
        form.Text1->viewport()->repaint();
    const double paintMs = double(paint.nsecsElapsed()) / 1e6 / 100;

    std::printf("%-22s %6.1f MiB/s  (%.3f s for 4 MiB)  pane %lld bytes, %lld lines  full redraw %.2f ms"
                "  peak RSS %.1f MiB\n",
                name, 4.0 / seconds, seconds, static_cast<long long>(form.Text1->Model().Size()),
                static_cast<long long>(form.Text1->Model().LineCount()), paintMs, bench::PeakRssMiB());
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    std::printf("terminal ingest, 64-byte chunks (target: >= 2 MiB/s, peak RSS < 150 MiB)\n");
    Run("line break every 40 B", true);
    Run("no line breaks", false);
    return 0;
}
