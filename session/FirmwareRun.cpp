#include "session/FirmwareRun.h"

#include "serial/SerialControl.h"

#include <QThread>

#include <utility>

namespace kv7 {

FirmwareRun::FirmwareRun(SerialControl &serial, QObject *parent) : QObject(parent), m_serial(serial)
{
    Limit.setSingleShot(true);
    Limit.setInterval(FirmwareTransfer::StartLimitMs);
    connect(&Limit, &QTimer::timeout, this, &FirmwareRun::LimitReached);
}

bool FirmwareRun::Start(const QByteArray &image, int nakLimit)
{
    m_transfer.Begin(image, nakLimit);
    m_result = Result();
    m_saved.clear();
    m_running = true;
    const SerialResult done = Opening();
    // A loss inside the opening may have ended the run already.
    if (!done.ok())
        Finish(FirmwareTransfer::Ending::NotStarted, done.error, done.lost);
    return m_running;
}

SerialResult FirmwareRun::Opening()
{
    using Move = FirmwareTransfer::Move;
    bool bootSent = false;
    for (const Move &move : FirmwareTransfer::Opening()) {
        SerialResult done = SerialResult::Ok();
        switch (move.kind) {
        case Move::Write:
            done = m_serial.Output(move.bytes);
            if (done.ok() && !std::exchange(bootSent, true))
                emit BootSent();
            break;
        case Move::Pause:
            // Slept, also on the window's thread: the boot loader counts on
            // these pauses, nothing else may use the line meanwhile, and what
            // the device says before the switch is dropped with the close.
            QThread::msleep(static_cast<unsigned long>(move.ms));
            break;
        case Move::StartLimit:
            m_holding = true;
            emit Holding();
            Limit.start(m_transfer.LimitMs());
            break;
        case Move::ToTransferSpeed:
            m_saved = m_serial.Settings();
            done = m_serial.ReopenAt(QString::fromLatin1(FirmwareTransfer::TransferSettings));
            break;
        }
        // A loss told inside a write or the switch may have ended the run.
        if (!done.ok() || !m_running)
            return done;
    }
    return SerialResult::Ok();
}

void FirmwareRun::Take(const QByteArray &text)
{
    // Once the run has ended (its message may still be open) nothing
    // answers: the transfer is deaf.
    const FirmwareTransfer::Step step = m_transfer.Reply(text);
    if (!step.acted)
        return;
    Limit.stop();
    if (step.gaveUp) {
        m_result.gaveUp = true;
        return Finish(FirmwareTransfer::Ending::Stopped);
    }
    if (step.finished)
        return Finish(FirmwareTransfer::Ending::Finished);
    const SerialResult sent = m_serial.Output(step.write);
    if (!sent.ok())
        return Finish(FirmwareTransfer::Ending::Stopped, sent.error, sent.lost);
    Limit.start(m_transfer.LimitMs());
    emit Advanced();
}

void FirmwareRun::LimitReached()
{
    // The timer is the clock: it fired a whole interval after it started.
    if (m_running && m_transfer.Waited(Limit.interval()).timedOut)
        Finish(FirmwareTransfer::Ending::TimedOut);
}

void FirmwareRun::Stop(const QString &error, bool lost)
{
    Finish(FirmwareTransfer::Ending::Stopped, error, lost);
}

void FirmwareRun::Finish(FirmwareTransfer::Ending ending, const QString &error, bool lost)
{
    // Once a run: a loss noticed inside a write ends it there, and the
    // write's own failure has nothing left to end.
    if (!m_running)
        return;
    m_running = false;
    m_transfer.End();
    Limit.stop();
    m_result.ending = ending;
    m_result.error = error;
    m_result.lost = lost;
    emit Ended();
}

SerialResult FirmwareRun::GiveBack(bool reopen)
{
    Limit.stop();
    m_holding = false;
    if (reopen)
        return m_saved.isEmpty() ? SerialResult::Ok() : m_serial.ReopenAt(m_saved);
    (void)m_serial.SetPortOpen(false);
    if (!m_saved.isEmpty())
        (void)m_serial.SetSettings(m_saved);
    return SerialResult::Ok();
}

} // namespace kv7
