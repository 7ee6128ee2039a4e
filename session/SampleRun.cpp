#include "session/SampleRun.h"

#include <utility>

namespace kv7 {

SampleRun::SampleRun(QObject *parent) : QObject(parent)
{
    Limit.setSingleShot(true);
    // The timer is the clock: it fires a whole wait after the write.
    connect(&Limit, &QTimer::timeout, this, [this] {
        if (m_running)
            Go(m_transfer.Waited(Limit.interval()));
    });
}

void SampleRun::Start(const QString &area, int waitMs)
{
    m_transfer = SampleTransfer(area, waitMs);
    m_outcome = {};
    m_running = true;
    m_toldElsewhere = false;
    Limit.setInterval(waitMs);
    Go(m_transfer.Begin());
}

void SampleRun::Offer(const QByteArray &reply)
{
    if (!m_running)
        return;
    const qint64 answered = m_transfer.Answered();
    SampleTransfer::Step step = m_transfer.Reply(reply);
    if (!step.Moves())
        return;
    if (m_transfer.Answered() != answered)
        emit Advanced();
    Go(std::move(step));
}

void SampleRun::Fail(const QString &why)
{
    if (!m_running)
        return;
    m_toldElsewhere = true;
    Go(m_transfer.LineFailed(why));
}

void SampleRun::Go(SampleTransfer::Step step)
{
    for (;;) {
        if (step.ended) {
            Limit.stop();
            m_running = false;
            m_outcome = std::move(step);
            emit Ended();
            return;
        }
        if (step.wantsData) {
            std::optional<QByteArray> bytes = data();
            m_toldElsewhere = !bytes;
            step = bytes ? m_transfer.Data(*bytes) : m_transfer.LineFailed({});
            continue;
        }
        const SerialResult sent = write(step.write);
        // A loss told inside the write may have ended the upload already.
        if (!m_running)
            return;
        if (!sent.ok()) {
            m_toldElsewhere = true;
            step = m_transfer.LineFailed(sent.error);
            continue;
        }
        Limit.start();
        return;
    }
}

} // namespace kv7
