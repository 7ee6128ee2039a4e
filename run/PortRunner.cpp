#include "run/PortRunner.h"

#include "protocol/FirmwareTransfer.h"
#include "protocol/GainReport.h"
#include "protocol/LogFormat.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/SampleTransfer.h"
#include "run/Console.h"
#include "run/RunLog.h"
#include "serial/QtSerialControl.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kv7::run {

namespace {

// Every reply to a command frame, as in the window's sample upload.
constexpr int ReplyWaitMs = SampleTransfer::DefaultWaitMs;
// How soon a wait notices a signal.
constexpr int StopCheckMs = 50;

QString Readable(const QByteArray &bytes)
{
    return QString::fromLatin1(EscapeBytes(bytes));
}

int Percent(double done, double all)
{
    return all > 0 ? int(std::min(100.0, 100.0 * done / all)) : 100;
}

// Why the port `name` does not exist; a number whose link a killed kv7-sim
// left behind says so.
QString Missing(const PortMap &ports, const QString &name)
{
    const QString absence = name.startsWith(QLatin1String("COM")) ? ports.Absence(name.mid(3).toInt()) : QString();
    return absence.isEmpty() ? QStringLiteral("%1 does not exist.").arg(name) : absence + QLatin1Char('.');
}

} // namespace

QString PortResult::Summary() const
{
    if (ok)
        return QStringLiteral("%1 ok, %2 steps, %3 s").arg(port).arg(stepsDone).arg(seconds, 0, 'f', 1);
    const QString where = failedStep == 0 ? QStringLiteral("at the start")
                                          : QStringLiteral("at step %1 (%2)").arg(failedStep).arg(stepName);
    return QStringLiteral("%1 %2 %3: %4").arg(port, stopped ? QStringLiteral("STOPPED") : QStringLiteral("FAILED"), where, why);
}

PortRunner::PortRunner(int index, QString name, int number, PortMap ports, const RunOptions &options,
                       Console &console, RunLog *log, const std::atomic<int> &stop)
    : m_index(index), m_name(std::move(name)), m_number(number), m_ports(std::move(ports)), m_options(options),
      m_console(console), m_log(log), m_stop(stop)
{
}

PortResult PortRunner::Run()
{
    QElapsedTimer clock;
    clock.start();
    PortResult result;
    result.port = m_name;
    QtSerialControl serial(m_ports);
    m_serial = &serial;
    if (m_log) {
        QObject::connect(&serial, &SerialControl::Wrote, [this](const QByteArray &b) { m_log->Sent(m_name, b); });
        QObject::connect(&serial, &SerialControl::Read, [this](const QByteArray &b) { m_log->Received(m_name, b); });
        QObject::connect(&serial, &SerialControl::Opened, [this] {
            Note(QStringLiteral("opened %1 at %2").arg(m_ports.DevicePath(m_number), m_serial->Settings()));
        });
        QObject::connect(&serial, &SerialControl::Closed, [this] { Note(QStringLiteral("closed")); });
        QObject::connect(&serial, &SerialControl::PortLost, [this](const QString &why) { Note(QStringLiteral("lost: ") + why); });
    }

    SerialResult opened = m_number == 0 ? SerialResult::Fail(Missing(m_ports, m_name)) : serial.SetCommPort(m_number);
    if (opened.ok())
        opened = serial.SetSettings(m_options.speed);
    if (opened.ok())
        opened = serial.SetPortOpen(true);
    const std::vector<Step> &steps = m_options.steps;
    if (!opened.ok()) {
        result.why = QStringLiteral("cannot open the port: ") + opened.error;
        m_console.Failure(QStringLiteral("kv7-run: %1: %2").arg(m_name, result.why));
    }
    for (size_t i = 0; opened.ok() && i < steps.size(); ++i) {
        QString why;
        if (!Stopped() && RunStep(steps[i], &why)) {
            ++result.stepsDone;
            continue;
        }
        result.failedStep = int(i) + 1;
        result.stepName = steps[i].name;
        result.stopped = Stopped();
        result.why = result.stopped ? QStringLiteral("ended by signal %1").arg(m_stop.load()) : why;
        Note(QStringLiteral("step %1 (%2) %3: %4")
                 .arg(result.failedStep)
                 .arg(result.stepName, result.stopped ? QStringLiteral("stopped") : QStringLiteral("failed"), result.why));
        if (!result.stopped)
            m_console.Failure(
                QStringLiteral("kv7-run: %1: step %2 (%3) failed: %4").arg(m_name).arg(i + 1).arg(steps[i].name, why));
        break;
    }
    result.ok = opened.ok() && result.stepsDone == int(steps.size());
    (void)serial.SetPortOpen(false);
    m_serial = nullptr;
    result.seconds = double(clock.elapsed()) / 1000.0;
    return result;
}

bool PortRunner::RunStep(const Step &step, QString *why)
{
    switch (step.kind) {
    case Step::Frames:
    case Step::Gains:
        return Frames(step, why);
    case Step::Sample:
    case Step::Firmware: {
        const bool done = step.kind == Step::Sample ? Sample(step, why) : Firmware(step, why);
        // The progress line goes with its upload.
        m_console.Progress(m_index, {});
        return done;
    }
    case Step::Wait:
        return Wait(step.ms, why);
    }
    return false;
}

bool PortRunner::Frames(const Step &step, QString *why)
{
    QStringList shown;
    for (const QByteArray &frame : step.frames) {
        if (const SerialResult sent = Write(frame); !sent.ok()) {
            *why = QStringLiteral("cannot write: ") + sent.error;
            return false;
        }
        const std::optional<QByteArray> reply = AwaitFrame(ReplyWaitMs);
        if (!reply) {
            *why = WhyNothing(QStringLiteral("no reply to %1 within %2 s").arg(Readable(frame)).arg(ReplyWaitMs / 1000));
            return false;
        }
        if (step.kind == Step::Gains) {
            const std::optional<GainReport> gain = ParseGainReport(*reply);
            const int channel = int(shown.size()) + 1;
            if (!gain || gain->channel != channel) {
                *why = QStringLiteral("the reply %1 is not channel %2's gain").arg(Readable(*reply)).arg(channel);
                return false;
            }
            shown << QString::number(gain->gain);
        } else {
            shown << Readable(*reply);
        }
    }
    m_console.Line(QStringLiteral("%1 %2: %3").arg(m_name, step.name, shown.join(QLatin1Char(' '))));
    return true;
}

bool PortRunner::Sample(const Step &step, QString *why)
{
    SampleTransfer transfer(step.area);
    Note(QStringLiteral("sample upload to area %1: %2 bytes").arg(transfer.Area()).arg(step.data.size()));
    const qint64 lines = SampleTransfer::LinesFor(step.data.size());
    SampleTransfer::Step next = transfer.Begin();
    while (!next.ended) {
        if (next.wantsData) {
            next = transfer.Data(step.data);
            continue;
        }
        if (const SerialResult sent = Write(next.write); !sent.ok()) {
            next = transfer.LineFailed(sent.error);
            break;
        }
        QElapsedTimer clock;
        clock.start();
        for (next = {}; !next.Moves();) {
            if (const std::optional<QByteArray> reply = AwaitFrame(transfer.WaitMs() - clock.elapsed()))
                next = transfer.Reply(*reply);
            else if (Stopped() || !m_serial->PortOpen())
                next = transfer.LineFailed(WhyNothing({}));
            else
                next = transfer.Waited(clock.elapsed());
        }
        m_console.Progress(m_index, QStringLiteral("%1 sample    line %2 of %3  %4 %")
                                        .arg(m_name)
                                        .arg(transfer.Answered())
                                        .arg(lines)
                                        .arg(Percent(double(transfer.Answered()), double(lines))));
    }
    Note(QStringLiteral("sample upload ") + transfer.Verdict());
    if (!next.ok) {
        *why = next.detail.isEmpty() ? next.failure : next.failure + QLatin1Char(' ') + next.detail;
        return false;
    }
    if (transfer.Rejected() > 0) {
        *why = transfer.Rejections();
        return false;
    }
    m_console.Line(QStringLiteral("%1 sample: %2 lines to area %3").arg(m_name).arg(lines).arg(transfer.Area()));
    return true;
}

bool PortRunner::Firmware(const Step &step, QString *why)
{
    using Move = FirmwareTransfer::Move;
    FirmwareTransfer transfer;
    transfer.Begin(step.data);
    Note(QStringLiteral("firmware upload: %1 bytes").arg(step.data.size()));
    const QString saved = m_serial->Settings();
    bool switched = false;
    QElapsedTimer limitClock;
    qint64 limit = 0;
    // Whichever way it ends, the port gets its speed back.
    const auto end = [&](const QString &failure) {
        transfer.End();
        const SerialResult back = switched ? m_serial->ReopenAt(saved) : SerialResult::Ok();
        Note(QStringLiteral("firmware upload ended: %1; %2 block frames sent, %3 NAKs seen")
                 .arg(failure.isEmpty() ? QStringLiteral("done") : failure)
                 .arg(transfer.FramesSent())
                 .arg(transfer.Naks()));
        *why = failure;
        if (failure.isEmpty() && !back.ok())
            *why = QStringLiteral("the port could not get its speed back: ") + back.error;
        return why->isEmpty();
    };
    for (const Move &move : FirmwareTransfer::Opening()) {
        SerialResult done;
        switch (move.kind) {
        case Move::Write:
            done = Write(move.bytes);
            break;
        case Move::Pause:
            QThread::msleep(static_cast<unsigned long>(move.ms));
            break;
        case Move::StartLimit:
            limit = move.ms;
            limitClock.start();
            break;
        case Move::ToTransferSpeed:
            switched = true;
            done = m_serial->ReopenAt(QString::fromLatin1(FirmwareTransfer::TransferSettings));
            break;
        }
        if (!done.ok())
            return end(QStringLiteral("it did not start: ") + done.error);
    }
    const int blocks = int(std::ceil(transfer.Blocks()));
    for (;;) {
        const qint64 left = limit - limitClock.elapsed();
        if (left <= 0)
            return end(transfer.WhyTimedOut());
        const QByteArray bytes = Take(left);
        if (bytes.isEmpty() && (Stopped() || !m_serial->PortOpen()))
            return end(WhyNothing({}));
        const FirmwareTransfer::Step next = transfer.Reply(bytes);
        if (!next.acted)
            continue;
        if (next.finished)
            break;
        if (const SerialResult sent = Write(next.write); !sent.ok())
            return end(QStringLiteral("it stopped: ") + sent.error);
        limit = FirmwareTransfer::StallMs;
        limitClock.start();
        m_console.Progress(m_index, QStringLiteral("%1 firmware  block %2 of %3  %4 %")
                                        .arg(m_name)
                                        .arg(transfer.Progress())
                                        .arg(blocks)
                                        .arg(Percent(transfer.Progress(), blocks)));
    }
    if (!end({}))
        return false;
    m_console.Line(QStringLiteral("%1 firmware: %2 blocks, %3 %4")
                       .arg(m_name)
                       .arg(blocks)
                       .arg(transfer.Naks())
                       .arg(transfer.Naks() == 1 ? QStringLiteral("NAK") : QStringLiteral("NAKs")));
    return true;
}

bool PortRunner::Wait(int ms, QString *why)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0 && !Stopped(); left = ms - clock.elapsed())
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, StopCheckMs)));
    *why = WhyNothing({});
    if (Stopped())
        return false;
    m_console.Line(QStringLiteral("%1 wait: %2 ms").arg(m_name).arg(ms));
    return true;
}

SerialResult PortRunner::Write(const QByteArray &bytes)
{
    // A frame that came before this write answers nothing of it; the window
    // forgets its last reply the same way.
    m_rx.Append(m_serial->Input());
    while (TakeFrame(m_rx)) {
    }
    return m_serial->Output(bytes);
}

QByteArray PortRunner::Take(qint64 ms)
{
    if (m_serial->InBufferCount() == 0 && ms > 0 && !Stopped()) {
        QEventLoop loop;
        QTimer slice;
        slice.setSingleShot(true);
        slice.setTimerType(Qt::PreciseTimer);
        QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_serial, &SerialControl::OnComm, &loop, &QEventLoop::quit);
        QObject::connect(m_serial, &SerialControl::PortLost, &loop, &QEventLoop::quit);
        slice.start(int(std::min<qint64>(ms, StopCheckMs)));
        loop.exec();
    }
    return m_serial->Input();
}

std::optional<QByteArray> PortRunner::AwaitFrame(qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (std::optional<QByteArray> frame = TakeFrame(m_rx))
            return frame;
        const qint64 left = ms - clock.elapsed();
        if (left <= 0 || Stopped() || !m_serial->PortOpen())
            return std::nullopt;
        m_rx.Append(Take(left));
    }
}

QString PortRunner::WhyNothing(const QString &timedOut) const
{
    if (Stopped())
        return QStringLiteral("ended by signal %1").arg(m_stop.load());
    if (!m_serial->PortOpen())
        return QStringLiteral("the port went away");
    return timedOut;
}

void PortRunner::Note(const QString &event)
{
    if (m_log)
        m_log->Event(m_name, event);
}

} // namespace kv7::run
