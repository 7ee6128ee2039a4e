#pragma once

#include "run/Outcome.h"
#include "run/RunOptions.h"
#include "serial/PortMap.h"
#include "serial/SerialResult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

class QEventLoop;

namespace kv7 {
class LineSession;
class SerialControl;
}

namespace kv7::run {

class Console;
class Report;
class RunLog;

// The steps on one port, start to end, in the calling thread: each write
// and each bounded wait in order, so several ports in threads of their own
// never change one another's bytes or pauses.
class PortRunner {
public:
    // `number` leads to the port in `ports`; 0 for one that does not exist.
    PortRunner(int index, QString name, int number, PortMap ports, const RunOptions &options, Console &console,
               Report &report, RunLog *log, const std::atomic<int> &stop);

    // The steps once, on the port as it is now.
    PortResult Run();
    // A station's slot: waits for a unit, runs the steps on it, waits for
    // it to go, and again, until `options.units` units or a signal. A unit
    // that stays is never run twice.
    SlotSummary Station();

private:
    // The open port through its whole run: steps, record, verdict.
    void RunSteps(PortResult &result);
    // Whether the port just opened may be used: warns of a slow adapter
    // (once), and refuses one that another program holds unless --shared.
    bool PortFit(PortResult &result);
    void Finish(PortResult &result, const QElapsedTimer &clock);
    bool RunStep(const Step &step, StepOutcome &out);
    bool Frames(const Step &step, StepOutcome &out);
    bool Sample(const Step &step, StepOutcome &out);
    bool Firmware(const Step &step, StepOutcome &out);
    // Starts an upload (`start`: false when it ended at once) and runs
    // this thread's events until `loop` quits at its end; a lost port or a
    // signal ends it through `stop`.
    void RunUpload(QEventLoop &loop, const std::function<bool()> &start,
                   const std::function<void(const QString &why, bool lost)> &stop);
    bool Wait(int ms, StepOutcome &out);
    bool Expect(const Step &step, StepOutcome &out);
    // Until a unit is there and its port opened; false on a signal.
    bool WaitForUnit(PortResult &result);
    // Until the unit's port is lost or leads elsewhere, or a signal.
    void WaitUntilGone(const QString &device);
    void Attach(SerialControl &serial);

    SerialResult Write(const QByteArray &bytes);
    // Until bytes arrive, the port goes away or `ms` pass; a signal is
    // noticed within a slice.
    void AwaitBytes(qint64 ms);
    // The next reply frame within `ms`.
    std::optional<QByteArray> AwaitFrame(qint64 ms);
    // Why a wait ended without what it waited for.
    QString WhyNothing(const QString &timedOut) const;
    bool Stopped() const { return m_stop.load() != 0; }
    // Whose fault a wait's failure is now: the signal's, the port's, or
    // `otherwise` (the device's).
    Cause CauseNow(Cause otherwise) const;
    void Note(const QString &event);

    int m_index;
    QString m_name;
    int m_number;
    PortMap m_ports;
    const RunOptions &m_options;
    Console &m_console;
    Report &m_report;
    RunLog *m_log;
    const std::atomic<int> &m_stop;
    SerialControl *m_serial = nullptr;
    // The line of the port now in use: what it received, its uploads.
    LineSession *m_line = nullptr;
    // The step before's printed output, for expect.
    QString m_lastPrinted;
    QString m_lastStep;
    // The slow adapter was warned of: once a port, not once a unit.
    bool m_latencyTold = false;
};

} // namespace kv7::run
