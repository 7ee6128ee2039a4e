// 4 MiB through the receive path into the terminal pane, in 64-byte chunks,
// with a line break every 40 bytes and with none, at device-pixel ratios 1
// and 2, and with a selection held; then a full redraw, and a copy of a
// 1 MiB selection.
#include "tests/support/WindowRig.h"
#include "bench/BenchUtil.h"
#include "terminal/TerminalPane.h"
#include "tests/support/OffscreenScreens.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QScreen>

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

QScreen *ScreenAt(qreal ratio)
{
    for (QScreen *screen : QGuiApplication::screens())
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio))
            return screen;
    return QGuiApplication::primaryScreen();
}

void Run(bool lineBreaks, qreal ratio, bool selecting)
{
    test::WindowRig rig({1});
    Form1 &form = *rig.form;
    form.Form_Load();
    form.show();
    form.setScreen(ScreenAt(ratio));
    QApplication::processEvents();
    TerminalPane *pane = form.terminalPane;

    const QByteArray data = Traffic(4 * 1024 * 1024, lineBreaks);
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < data.size(); at += 64) {
        rig.serial.Feed(data.mid(at, 64));
        // Held all along: selected again now and then, as the oldest text
        // (and the selection with it) is dropped at the bound.
        if (selecting && at % (256 * 1024) == 0)
            pane->SelectAll();
        // Let the window paint and the timer tick as it would between
        // receive events.
        if ((at / 64) % 16 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    // The view refreshes at most every 15 ms whatever the traffic; what one
    // full redraw of the pane costs bounds that share.
    if (selecting)
        pane->SelectAll();
    QElapsedTimer paint;
    paint.start();
    for (int i = 0; i < 100; ++i)
        pane->viewport()->repaint();
    const double paintMs = double(paint.nsecsElapsed()) / 1e6 / 100;

    std::printf("%-17s ratio %.0f (cell %dx%d px)%s  %6.1f MiB/s  (%.3f s)  pane %lld bytes, %lld lines  full redraw %.2f ms"
                "  peak RSS %.1f MiB\n",
                lineBreaks ? "breaks every 40 B" : "no line breaks", pane->devicePixelRatioF(), pane->CellSize().width(),
                pane->CellSize().height(), selecting ? ", selection held" : "",
                4.0 / seconds, seconds, static_cast<long long>(pane->Model().Size()),
                static_cast<long long>(pane->Model().LineCount()), paintMs, bench::PeakRssMiB());

    // A copy of a full pane: the glyphs of a mebibyte to the clipboard.
    pane->Clear();
    pane->AppendText(data.left(pane->Model().Limit()));
    pane->SelectAll();
    QElapsedTimer copy;
    copy.start();
    pane->Copy();
    const double copyMs = double(copy.nsecsElapsed()) / 1e6;
    std::printf("%-17s ratio %.0f  copy of a %lld-byte selection %.1f ms (%lld characters)\n", "", ratio,
                static_cast<long long>(pane->SelectedBytes().size()), copyMs,
                static_cast<long long>(QGuiApplication::clipboard()->text().size()));
}

} // namespace

int main(int argc, char *argv[])
{
    if (!test::UseOffscreenScreens({1, 2}))
        return 2;
    QApplication app(argc, argv);
    std::printf("terminal ingest, 64-byte chunks (target: >= 2 MiB/s, peak RSS < 150 MiB; copy of 1 MiB < 100 ms)\n");
    for (const qreal ratio : {1.0, 2.0}) {
        Run(true, ratio, false);
        Run(false, ratio, false);
    }
    Run(true, 1, true);
    Run(false, 2, true);
    return 0;
}
