// kv7-sim: a simulated KV7 on a pseudo-terminal.
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv7-sim"));

    QString error;
    const auto options = kv7::sim::SimOptions::Parse(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(error));
        return 2;
    }

    // Signals end the event loop normally, so the link is always removed.
    if (::pipe(g_signalPipe) != 0) {
        std::perror("kv7-sim: pipe");
        return 1;
    }
    QSocketNotifier onSignal(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&onSignal, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, OnSignal);

    kv7::sim::Simulator sim(*options);
    error = sim.Start();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(error));
        return error.contains(QLatin1String("already served")) ? 2 : 1;
    }
    const int code = QCoreApplication::exec();
    sim.Port().Close();
    return code;
}
