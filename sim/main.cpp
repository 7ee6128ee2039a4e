// kv7-sim: a simulated KV7 on a pseudo-terminal.
#include "serial/StandardStreams.h"
#include "serial/StopSignals.h"
#include "sim/PortLink.h"
#include "sim/Simulator.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace {

// Abort (a fatal error), a crash or SIGQUIT: the link goes, then the signal
// takes its default course, core dump and all.
void OnFatalSignal(int signal)
{
    kv7::sim::PortLink::RemoveLatest();
    ::raise(signal);
}

bool Catch(std::initializer_list<int> numbers, void (*handler)(int), int flags)
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sa.sa_flags = flags;
    ::sigemptyset(&sa.sa_mask);
    for (int s : numbers)
        if (::sigaction(s, &sa, nullptr) != 0)
            return false;
    return true;
}

bool CatchSignals(kv7::StopSignals &stop)
{
    return stop.Catch()
        // A closed output then fails the write instead of killing us.
        && Catch({SIGPIPE}, SIG_IGN, 0)
        && Catch({SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGQUIT}, OnFatalSignal, SA_RESETHAND);
}

} // namespace

int main(int argc, char *argv[])
{
    kv7::EnsureStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv7-sim"));

    QString text;
    const auto options = kv7::sim::SimOptions::Parse(QCoreApplication::arguments(), &text);
    if (!options) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(text));
        return 2;
    }

    // Signals end the event loop normally, so the link is always removed.
    kv7::StopSignals stop;
    QObject::connect(&stop, &kv7::StopSignals::Received, &app, &QCoreApplication::quit);
    if (!CatchSignals(stop)) {
        std::perror("kv7-sim: cannot catch signals");
        return 1;
    }

    kv7::sim::Simulator sim(*options);
    // Output that can no longer be printed ends the run as a signal would;
    // only a reader that has gone is no error. Queued, as the first line
    // may fail before the loop runs.
    QObject::connect(
        &sim, &kv7::sim::Simulator::OutputFailed, &app,
        [](int error) {
            if (error != EPIPE)
                std::fprintf(stderr, "kv7-sim: cannot print: %s\n", qPrintable(qt_error_string(error)));
            QCoreApplication::exit(error == EPIPE ? 0 : 1);
        },
        Qt::QueuedConnection);
    const kv7::sim::OpenError error = sim.Start();
    if (error.Failed()) {
        std::fprintf(stderr, "kv7-sim: %s\n", qPrintable(error.text));
        return error.portTaken ? 2 : 1;
    }
    const int code = QCoreApplication::exec();
    // The link first: the reports may fail to print.
    sim.Port().Close();
    sim.Finish();
    return code;
}
