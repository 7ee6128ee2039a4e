// kv7-run: the bench's steps from a script, on several ports at once.
#include "run/Console.h"
#include "run/JsonReport.h"
#include "run/JunitReport.h"
#include "run/PortRunner.h"
#include "run/Report.h"
#include "run/RunLog.h"
#include "run/RunOptions.h"
#include "run/TextReport.h"
#include "serial/HeldLocks.h"
#include "serial/PortChoice.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/StandardStreams.h"
#include "serial/StopSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    kv7::EnsureStandardStreams();
    QCoreApplication app(argc, argv);
    kv7::PortMap ports(kv7::PortFolder::DefaultPath(), true, kv7::SystemRoots::FromEnvironment());
    kv7::run::RunLine line = kv7::run::ParseRunLine(QCoreApplication::arguments().mid(1));
    // Each port resolved to its device before anything is sent; a port that
    // does not exist (number 0) fails at its start, and the others run.
    QStringList names = line.options.ports;
    std::vector<int> numbers;
    QMap<QString, QString> given; // device key -> the first spelling that led there
    for (int i = 0; !line.exitCode && i < names.size(); ++i) {
        const QString &name = names[i];
        const kv7::PortChoice choice = kv7::ChoosePort(ports, name);
        numbers.push_back(choice.number);
        const QString key = choice.Key(name);
        if (given.contains(key))
            line = kv7::run::UsageError(QStringLiteral("--port %1 and --port %2 are the same device (%3)")
                                            .arg(given.value(key), line.options.ports[i], key));
        given.insert(key, line.options.ports.value(i));
    }
    if (line.exitCode) {
        std::FILE *to = *line.exitCode == 0 ? stdout : stderr;
        const bool written = std::fputs(line.text.toLocal8Bit().constData(), to) >= 0 && std::fflush(to) == 0;
        return written || *line.exitCode != 0 ? *line.exitCode : 1;
    }
    const kv7::run::RunOptions &options = line.options;

    // JSON Lines leave no room for progress lines drawn on a terminal.
    kv7::run::Console console(stdout, stderr, !options.json && ::isatty(STDOUT_FILENO) == 1, int(names.size()));
    kv7::run::Reports reports;
    kv7::run::TextReport text(console, options.station);
    kv7::run::JsonReport json(console);
    kv7::run::JunitReport junit(options.steps);
    reports.Add(options.json ? static_cast<kv7::run::Report *>(&json) : &text);
    if (!options.junit.isEmpty())
        reports.Add(&junit);
    if (!options.record.isEmpty() && !QDir().mkpath(options.record)) {
        std::fprintf(stderr, "kv7-run: the record folder %s cannot be made\n", qPrintable(options.record));
        return 2;
    }
    std::unique_ptr<kv7::run::RunLog> log;
    // The record of the run is lost from here on: the run goes on, but may
    // not end as a success.
    std::atomic<bool> logLost{false};
    if (!options.log.isEmpty()) {
        log = std::make_unique<kv7::run::RunLog>();
        log->onFailure = [&console, &logLost](const QString &path, const QString &why) {
            logLost.store(true);
            console.Failure(QStringLiteral("kv7-run: the session log %1 stopped: %2; the run goes on without it "
                                           "and ends with exit status 1")
                                .arg(path, why));
        };
        const QString why = log->Open(options.log, QStringLiteral("log started by kv7-run %1; %2 at %3")
                                                       .arg(QStringLiteral(KV7_VERSION), names.join(QStringLiteral(", ")),
                                                            options.speed));
        if (!why.isEmpty()) {
            std::fprintf(stderr, "kv7-run: the session log %s cannot be opened: %s\n", qPrintable(options.log),
                         qPrintable(why));
            return 2;
        }
    }

    // A reader that went away (kv7-run | head) must not end the run before
    // its ports are closed: the failed write is counted instead.
    std::signal(SIGPIPE, SIG_IGN);
    // A signal stops every port at its next bound; each gives its port its
    // speed back and closes it, so no lock file outlives the run.
    // However it ends, short of SIGKILL, its ports' lock files go with it.
    kv7::HeldLocks::ReleaseOnExit();
    std::atomic<int> stop{0};
    kv7::StopSignals stopSignals;
    QObject::connect(&stopSignals, &kv7::StopSignals::Received, [&stop](int signal) { stop.store(signal); });
    if (!stopSignals.Catch())
        std::perror("kv7-run: cannot catch signals");

    std::vector<kv7::run::PortResult> results(size_t(names.size()));
    std::vector<kv7::run::SlotSummary> summaries(size_t(names.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    int running = int(names.size());
    for (int i = 0; i < int(names.size()); ++i) {
        // Each thread gets its own copy of the resolved ports.
        threads.emplace_back(QThread::create([&, i, map = ports] {
            kv7::run::PortRunner runner(i, names[i], numbers[size_t(i)], map, options, console, reports, log.get(), stop);
            if (options.station)
                summaries[size_t(i)] = runner.Station();
            else
                results[size_t(i)] = runner.Run();
        }));
        QObject::connect(threads.back().get(), &QThread::finished, &app, [&running] {
            if (--running == 0)
                QCoreApplication::quit();
        });
    }
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->start();
    QCoreApplication::exec();
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->wait();

    bool allOk = true;
    bool cut = false;
    if (options.station) {
        for (const kv7::run::SlotSummary &slot : summaries) {
            allOk = allOk && slot.failed == 0;
            cut = cut || slot.stopped > 0;
        }
    } else {
        for (const kv7::run::PortResult &result : results) {
            if (!options.json)
                console.Line(result.Summary());
            allOk = allOk && result.ok;
            cut = cut || result.stopped;
        }
    }
    // Written at the end, also of a run a signal cut short.
    if (!options.junit.isEmpty()) {
        const QString why = junit.Write(options.junit);
        if (!why.isEmpty()) {
            console.Failure(QStringLiteral("kv7-run: the JUnit report %1 cannot be written: %2").arg(options.junit, why));
            allOk = false;
        }
    }
    if (cut)
        return 128 + stop.load();
    if (!console.Written() || logLost.load())
        return 1;
    return allOk ? 0 : 1;
}
