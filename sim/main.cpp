// kv7-sim: a simulated KV7 on a pseudo-terminal.
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    // Non-blocking: a burst of signals must not hang the handler.
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

bool CatchStopSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sa.sa_flags = SA_RESTART;
    ::sigemptyset(&sa.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(s, &sa, nullptr) != 0)
            return false;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv7-sim"));

    QString text;
    const auto options = kv7::sim::SimOptions::Parse(QCoreApplication::arguments(), &text);
    if (!options) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(text));
        return 2;
    }

    // Signals end the event loop normally, so the link is always removed.
    if (!CatchStopSignals()) {
        std::perror("kv7-sim: cannot catch signals");
        return 1;
    }
    QSocketNotifier onSignal(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&onSignal, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    kv7::sim::Simulator sim(*options);
    const kv7::sim::OpenError error = sim.Start();
    if (error.Failed()) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(error.text));
        return error.portTaken ? 2 : 1;
    }
    const int code = QCoreApplication::exec();
    sim.Finish();
    sim.Port().Close();
    return code;
}
