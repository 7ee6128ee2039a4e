#include "run/PortRunner.h"

#include "protocol/FirmwareTransfer.h"
#include "protocol/GainReport.h"
#include "protocol/OutsideText.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/ReplyStatus.h"
#include "protocol/SampleLine.h"
#include "protocol/SampleTransfer.h"
#include "run/Console.h"
#include "run/Report.h"
#include "run/UnitRecord.h"
#include "serial/PortChoice.h"
#include "run/RunLog.h"
#include "serial/QtSerialControl.h"
#include "session/LineRecording.h"
#include "session/LineSession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kv7::run {

namespace {

// Every reply to a command frame, as in the window's sample upload.
constexpr int ReplyWaitMs = SampleTransfer::DefaultWaitMs;
// How soon a wait notices a signal.
constexpr int StopCheckMs = 50;

QString Readable(const QByteArray &bytes)
{
    return ShownBytes(bytes);
}

// A station looks for a unit, and for it to go, this often.
constexpr int UnitPollMs = 250;

} // namespace

PortRunner::PortRunner(int index, QString name, int number, PortMap ports, const RunOptions &options,
                       Console &console, Report &report, RunLog *log, const std::atomic<int> &stop)
    : m_index(index), m_name(std::move(name)), m_number(number), m_ports(std::move(ports)), m_options(options),
      m_console(console), m_report(report), m_log(log), m_stop(stop)
{
}

void PortRunner::Attach(SerialControl &serial)
{
    m_serial = &serial;
    if (!m_log)
        return;
    LineSink sink;
    sink.sent = [this](const QByteArray &b) { m_log->Sent(m_name, b); };
    sink.received = [this](const QByteArray &b) { m_log->Received(m_name, b); };
    sink.event = [this](const QString &event) { Note(event); };
    LineWords words; // new settings go unrecorded
    words.opened = [this] { return QStringLiteral("opened %1 at %2").arg(m_ports.DevicePath(m_number), m_serial->Settings()); };
    words.closed = [] { return QStringLiteral("closed"); };
    words.lost = [](const QString &why) { return QStringLiteral("lost: ") + why; };
    RecordLine(serial, &serial, std::move(sink), std::move(words));
}

PortResult PortRunner::Run()
{
    QElapsedTimer clock;
    clock.start();
    QtSerialControl serial(m_ports);
    Attach(serial);
    LineSession line(serial);
    m_line = &line;
    PortResult result;
    result.index = m_index;
    result.port = m_name;
    result.start = QDateTime::currentDateTime();
    result.device = m_ports.DevicePath(m_number);
    m_report.Started(result);
    SerialResult opened = m_number == 0 ? SerialResult::Fail(ChoosePort(m_ports, m_name).why)
                                        : serial.SetCommPort(m_number);
    if (opened.ok())
        opened = serial.SetSettings(m_options.speed);
    if (opened.ok())
        opened = serial.SetPortOpen(true);
    if (opened.ok()) {
        RunSteps(result);
    } else {
        result.why = QStringLiteral("cannot open the port: ") + opened.error;
        result.cause = Cause::Port;
        m_console.Failure(QStringLiteral("kv7-run: %1: %2").arg(m_name, result.why));
    }
    (void)serial.SetPortOpen(false);
    Finish(result, clock);
    m_serial = nullptr;
    m_line = nullptr;
    return result;
}

SlotSummary PortRunner::Station()
{
    QtSerialControl serial(m_ports);
    Attach(serial);
    LineSession line(serial);
    m_line = &line;
    SlotSummary summary;
    summary.port = m_name;
    while (!Stopped() && (m_options.units == 0 || summary.units < m_options.units)) {
        PortResult result;
        result.index = m_index;
        result.port = m_name;
        if (!WaitForUnit(result))
            break;
        QElapsedTimer clock;
        clock.start();
        m_report.Started(result);
        RunSteps(result);
        Finish(result, clock);
        ++summary.units;
        ++(result.ok ? summary.ok : result.stopped ? summary.stopped : summary.failed);
        // The last unit of a batch need not leave before the slot ends.
        if (!result.stopped && (m_options.units == 0 || summary.units < m_options.units))
            WaitUntilGone(result.device);
        (void)serial.SetPortOpen(false);
    }
    m_serial = nullptr;
    m_line = nullptr;
    m_report.Summarised(summary);
    return summary;
}

bool PortRunner::WaitForUnit(PortResult &result)
{
    // Said once for each new reason, not at every try.
    QString said;
    while (!Stopped()) {
        const PortChoice choice = ChoosePort(m_ports, m_name);
        if (!choice.device.isEmpty()) {
            m_number = choice.number;
            SerialResult opened = m_serial->SetCommPort(m_number);
            if (opened.ok())
                opened = m_serial->SetSettings(m_options.speed);
            if (opened.ok())
                opened = m_serial->SetPortOpen(true);
            if (opened.ok()) {
                result.device = choice.device;
                result.start = QDateTime::currentDateTime();
                return true;
            }
            if (opened.error != said)
                m_console.Failure(QStringLiteral("kv7-run: %1: waiting for a unit: cannot open the port: %2")
                                      .arg(m_name, opened.error));
            said = opened.error;
        }
        for (int slice = 0; slice < UnitPollMs / StopCheckMs && !Stopped(); ++slice)
            QThread::msleep(StopCheckMs);
    }
    return false;
}

void PortRunner::WaitUntilGone(const QString &device)
{
    while (!Stopped() && m_serial->PortOpen() && ChoosePort(m_ports, m_name).device == device) {
        // Events, so that a hang-up of the port is noticed; bytes that come
        // meanwhile are the unit's, and nobody's to read.
        QEventLoop loop;
        QTimer slice;
        slice.setSingleShot(true);
        QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_serial, &SerialControl::PortLost, &loop, &QEventLoop::quit);
        slice.start(UnitPollMs);
        loop.exec();
        m_line->RxBuffer = RxBuffer();
    }
}

bool PortRunner::PortFit(PortResult &result)
{
    const PortFacts &facts = m_serial->Facts();
    result.stableName = facts.stableName;
    const QString advice = facts.LatencyAdvice(m_name);
    if (!advice.isEmpty() && !std::exchange(m_latencyTold, true))
        m_console.Failure(QStringLiteral("kv7-run: warning: ") + advice);
    const QString shared = m_serial->SharedWith();
    if (shared.isEmpty())
        return true;
    Note(shared);
    if (m_options.shared)
        return true;
    // Replies would go to whichever reader takes them first.
    result.why = QStringLiteral("cannot use the port: %1 Give --shared to run on it anyway.").arg(shared);
    result.cause = Cause::Port;
    m_console.Failure(QStringLiteral("kv7-run: %1: %2").arg(m_name, result.why));
    return false;
}

void PortRunner::RunSteps(PortResult &result)
{
    const std::vector<Step> &steps = m_options.steps;
    if (!PortFit(result)) {
        result.ok = false;
        return;
    }
    m_lastPrinted.clear();
    m_line->RxBuffer = RxBuffer();
    for (size_t i = 0; i < steps.size(); ++i) {
        StepOutcome out;
        out.number = int(i) + 1;
        out.name = steps[i].name;
        out.args = steps[i].args;
        out.sha256 = steps[i].sha256;
        QElapsedTimer clock;
        clock.start();
        out.ok = !Stopped() && RunStep(steps[i], out);
        out.seconds = double(clock.elapsed()) / 1000.0;
        if (!out.ok) {
            if (Stopped()) {
                out.cause = Cause::Signal;
                out.why = QStringLiteral("ended by signal %1").arg(m_stop.load());
            } else if (out.cause == Cause::None) {
                out.cause = CauseNow(Cause::Device);
            }
        }
        m_lastPrinted = out.printed;
        m_lastStep = QStringLiteral("step %1 (%2)").arg(out.number).arg(out.name);
        result.steps.push_back(out);
        m_report.StepEnded(m_index, result, out);
        if (out.ok) {
            ++result.stepsDone;
            continue;
        }
        result.failedStep = out.number;
        result.stepName = out.name;
        result.stopped = out.cause == Cause::Signal;
        result.why = out.why;
        result.cause = out.cause;
        Note(QStringLiteral("step %1 (%2) %3: %4")
                 .arg(result.failedStep)
                 .arg(result.stepName, result.stopped ? QStringLiteral("stopped") : QStringLiteral("failed"), result.why));
        if (!result.stopped)
            m_console.Failure(
                QStringLiteral("kv7-run: %1: step %2 (%3) failed: %4").arg(m_name).arg(out.number).arg(out.name, out.why));
        break;
    }
    result.ok = result.stepsDone == int(steps.size());
}

void PortRunner::Finish(PortResult &result, const QElapsedTimer &clock)
{
    result.end = QDateTime::currentDateTime();
    result.seconds = double(clock.elapsed()) / 1000.0;
    if (!m_options.record.isEmpty()) {
        QString path;
        const QString why = WriteUnitRecord(m_options.record, result, &path);
        if (!why.isEmpty()) {
            // The unit may be good, but nothing shows it: the station must not pass it.
            result.ok = false;
            result.why = QStringLiteral("its record %1 could not be written: %2").arg(path, why);
            result.cause = Cause::Input;
            m_console.Failure(QStringLiteral("kv7-run: %1: %2").arg(m_name, result.why));
        }
    }
    m_report.Ended(result);
}

Cause PortRunner::CauseNow(Cause otherwise) const
{
    if (Stopped())
        return Cause::Signal;
    if (m_serial && !m_serial->PortOpen())
        return Cause::Port;
    return otherwise;
}

bool PortRunner::RunStep(const Step &step, StepOutcome &out)
{
    switch (step.kind) {
    case Step::Frames:
    case Step::Gains:
        return Frames(step, out);
    case Step::Sample:
    case Step::Firmware: {
        const bool done = step.kind == Step::Sample ? Sample(step, out) : Firmware(step, out);
        // The progress line goes with its upload.
        m_report.Progress(m_index, m_name, step.name, 0, 0, {});
        return done;
    }
    case Step::Wait:
        return Wait(step.ms, out);
    case Step::Expect:
        return Expect(step, out);
    }
    return false;
}

bool PortRunner::Expect(const Step &step, StepOutcome &out)
{
    if (m_lastPrinted.contains(step.text)) {
        out.printed = QStringLiteral("found \"%1\"").arg(step.text);
        return true;
    }
    out.why = QStringLiteral("expected \"%1\" in what %2 printed: %3")
                  .arg(step.text, m_lastStep, m_lastPrinted.isEmpty() ? QStringLiteral("nothing") : m_lastPrinted);
    out.cause = Cause::Device;
    return false;
}

bool PortRunner::Frames(const Step &step, StepOutcome &out)
{
    for (const QByteArray &frame : step.frames) {
        if (const SerialResult sent = Write(frame); !sent.ok()) {
            out.why = QStringLiteral("cannot write: ") + sent.error;
            out.cause = Cause::Port;
            return false;
        }
        const std::optional<QByteArray> reply = AwaitFrame(ReplyWaitMs);
        if (!reply) {
            out.why = WhyNothing(QStringLiteral("no reply to %1 within %2 s").arg(Readable(frame)).arg(ReplyWaitMs / 1000));
            return false;
        }
        out.replies << Readable(*reply);
        // A device that says "no" has not done what the step asked.
        if (!m_options.accept.contains(StatusOf(*reply))) {
            out.why = WhyNotAccepted(*reply);
            return false;
        }
        if (step.kind == Step::Gains) {
            const std::optional<GainReport> gain = ParseGainReport(*reply);
            const int channel = int(out.gains.size()) + 1;
            if (!gain || gain->channel != channel) {
                out.why = QStringLiteral("the reply %1 is not channel %2's gain").arg(Readable(*reply)).arg(channel);
                return false;
            }
            out.gains.push_back(gain->gain);
        }
    }
    QStringList shown = out.replies;
    if (step.kind == Step::Gains) {
        shown.clear();
        for (const int gain : out.gains)
            shown << QString::number(gain);
    }
    out.printed = shown.join(QLatin1Char(' '));
    return true;
}

bool PortRunner::Sample(const Step &step, StepOutcome &out)
{
    SampleRun &run = m_line->Sample;
    Note(QStringLiteral("sample upload to area %1: %2 bytes").arg(UploadArea(step.area)).arg(step.data.size()));
    const qint64 lines = SampleTransfer::LinesFor(step.data.size());
    run.write = [this](const QByteArray &frame) { return Write(frame); };
    run.data = [&step] { return std::optional<QByteArray>(step.data); };
    // Each reply frame is offered as it arrives, with no tick to wait for;
    // this thread's loop only waits for the end.
    QEventLoop loop;
    QObject::connect(&run, &SampleRun::Ended, &loop, &QEventLoop::quit);
    QObject::connect(&run, &SampleRun::Advanced, &loop, [&] {
        m_report.Progress(m_index, m_name, step.name, run.Transfer().Answered(), lines, QStringLiteral("line"));
    });
    QObject::connect(m_line, &LineSession::Received, &loop, [&] {
        while (run.Running()) {
            const std::optional<QByteArray> frame = m_line->NextFrame();
            if (!frame)
                break;
            run.Offer(*frame);
        }
    });
    RunUpload(
        loop,
        [&] {
            run.Start(step.area);
            return run.Running();
        },
        [&](const QString &why, bool) { run.Fail(why); });

    const SampleTransfer &transfer = run.Transfer();
    const SampleTransfer::Step &end = run.Outcome();
    Note(QStringLiteral("sample upload ") + transfer.Verdict());
    if (!end.ok) {
        out.why = end.detail.isEmpty() ? end.failure : end.failure + QLatin1Char(' ') + end.detail;
        if (run.ToldElsewhere() && !Stopped() && m_serial->PortOpen())
            out.cause = Cause::Port;
        return false;
    }
    if (transfer.Rejected() > 0) {
        out.why = transfer.Rejections();
        return false;
    }
    out.printed = QStringLiteral("%1 lines to area %2").arg(lines).arg(transfer.Area());
    return true;
}

bool PortRunner::Firmware(const Step &step, StepOutcome &out)
{
    Note(QStringLiteral("firmware upload: %1 bytes").arg(step.data.size()));
    FirmwareRun &run = m_line->Firmware;
    const FirmwareTransfer &transfer = run.Transfer();
    const int blocks = int(std::ceil(double(step.data.size()) / BlockTransfer::BlockSize));
    // Each reply is answered as it arrives; this thread's loop only waits
    // for the end, looking for a signal now and then.
    QEventLoop loop;
    QObject::connect(&run, &FirmwareRun::Ended, &loop, &QEventLoop::quit);
    QObject::connect(&run, &FirmwareRun::Advanced, &loop, [&] {
        m_report.Progress(m_index, m_name, step.name, transfer.Progress(), blocks, QStringLiteral("block"));
    });
    RunUpload(
        loop, [&] { return run.Start(step.data, m_options.maxNaks); },
        [&](const QString &why, bool lost) { run.Stop(why, lost); });

    const FirmwareRun::Result &result = run.Outcome();
    using Ending = FirmwareTransfer::Ending;
    switch (result.ending) {
    case Ending::Finished:
        break;
    case Ending::TimedOut:
        out.why = transfer.WhyTimedOut();
        break;
    case Ending::NotStarted:
        out.why = QStringLiteral("it did not start: ") + result.error;
        out.cause = Cause::Port;
        break;
    case Ending::Stopped:
        if (result.gaveUp) {
            out.why = transfer.WhyGaveUp();
        } else if (Stopped() || !m_serial->PortOpen()) {
            out.why = WhyNothing({});
        } else {
            out.why = QStringLiteral("it stopped: ") + result.error;
            out.cause = Cause::Port;
        }
        break;
    }
    // Whichever way it ended, the port gets its speed back.
    const SerialResult back = run.GiveBack(true);
    Note(QStringLiteral("firmware upload ended: %1; %2 block frames sent, %3 NAKs seen")
             .arg(out.why.isEmpty() ? QStringLiteral("done") : out.why)
             .arg(transfer.FramesSent())
             .arg(transfer.Naks()));
    if (out.why.isEmpty() && !back.ok()) {
        out.why = QStringLiteral("the port could not get its speed back: ") + back.error;
        out.cause = Cause::Port;
    }
    if (!out.why.isEmpty())
        return false;
    out.printed = QStringLiteral("%1 blocks, %2 %3")
                      .arg(blocks)
                      .arg(transfer.Naks())
                      .arg(transfer.Naks() == 1 ? QStringLiteral("NAK") : QStringLiteral("NAKs"));
    return true;
}

void PortRunner::RunUpload(QEventLoop &loop, const std::function<bool()> &start,
                           const std::function<void(const QString &why, bool lost)> &stop)
{
    QObject::connect(m_serial, &SerialControl::PortLost, &loop, [&] { stop(WhyNothing({}), true); });
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
        if (Stopped())
            stop(WhyNothing({}), false);
    });
    stopCheck.start(StopCheckMs);
    if (start())
        loop.exec();
}

bool PortRunner::Wait(int ms, StepOutcome &out)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0 && !Stopped(); left = ms - clock.elapsed())
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, StopCheckMs)));
    if (Stopped())
        return false;
    out.printed = QStringLiteral("%1 ms").arg(ms);
    return true;
}

SerialResult PortRunner::Write(const QByteArray &bytes)
{
    // A frame that came before this write answers nothing of it; the window
    // forgets its last reply the same way.
    m_line->ForgetFrames();
    return m_serial->Output(bytes);
}

void PortRunner::AwaitBytes(qint64 ms)
{
    if (ms <= 0 || Stopped())
        return;
    QEventLoop loop;
    QTimer slice;
    slice.setSingleShot(true);
    slice.setTimerType(Qt::PreciseTimer);
    QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_line, &LineSession::Received, &loop, &QEventLoop::quit);
    QObject::connect(m_serial, &SerialControl::PortLost, &loop, &QEventLoop::quit);
    slice.start(int(std::min<qint64>(ms, StopCheckMs)));
    loop.exec();
}

std::optional<QByteArray> PortRunner::AwaitFrame(qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (std::optional<QByteArray> frame = m_line->NextFrame())
            return frame;
        const qint64 left = ms - clock.elapsed();
        if (left <= 0 || Stopped() || !m_serial->PortOpen())
            return std::nullopt;
        AwaitBytes(left);
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
