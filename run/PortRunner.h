#pragma once

#include "protocol/RxBuffer.h"
#include "run/RunOptions.h"
#include "serial/PortMap.h"
#include "serial/SerialResult.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

namespace kv7 {
class SerialControl;
}

namespace kv7::run {

class Console;
class RunLog;

// How the steps went on one port.
struct PortResult {
    QString port;
    int stepsDone = 0;
    bool ok = false;
    // When not ok: the step (counted from 1) and why; 0 when the port did not open.
    int failedStep = 0;
    QString stepName;
    QString why;
    // A signal cut the run short.
    bool stopped = false;
    double seconds = 0;

    // "COM3 ok, 3 steps, 12.4 s" or "COM4 FAILED at step 2 (firmware): why".
    QString Summary() const;
};

// The steps on one port, start to end, in the calling thread: each write
// and each bounded wait in order, so several ports in threads of their own
// never change one another's bytes or pauses.
class PortRunner {
public:
    // `number` leads to the port in `ports`; 0 for one that does not exist.
    PortRunner(int index, QString name, int number, PortMap ports, const RunOptions &options, Console &console,
               RunLog *log, const std::atomic<int> &stop);

    PortResult Run();

private:
    bool RunStep(const Step &step, QString *why);
    bool Frames(const Step &step, QString *why);
    bool Sample(const Step &step, QString *why);
    bool Firmware(const Step &step, QString *why);
    bool Wait(int ms, QString *why);

    SerialResult Write(const QByteArray &bytes);
    // What arrived within `ms`; empty when nothing did, the port went away
    // or a signal came.
    QByteArray Take(qint64 ms);
    // The next reply frame within `ms`.
    std::optional<QByteArray> AwaitFrame(qint64 ms);
    // Why a wait ended without what it waited for.
    QString WhyNothing(const QString &timedOut) const;
    bool Stopped() const { return m_stop.load() != 0; }
    void Note(const QString &event);

    int m_index;
    QString m_name;
    int m_number;
    PortMap m_ports;
    const RunOptions &m_options;
    Console &m_console;
    RunLog *m_log;
    const std::atomic<int> &m_stop;
    SerialControl *m_serial = nullptr;
    RxBuffer m_rx;
};

} // namespace kv7::run
