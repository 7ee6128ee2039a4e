#include "sim/BootLoader.h"

#include "protocol/ControlChars.h"

namespace kv7::sim {

namespace {

int Byte(const QByteArray &bytes, int i)
{
    return static_cast<unsigned char>(bytes[i]);
}

// Start byte, complement and checksum; the number is judged apart.
bool WellFormed(const QByteArray &frame)
{
    if (frame[0] != SOH || Byte(frame, 1) + Byte(frame, 2) != 255)
        return false;
    int sum = 0;
    for (int i = 3; i < 3 + BootLoader::BlockSize; ++i)
        sum += Byte(frame, i);
    return sum % 256 == Byte(frame, BootLoader::FrameSize - 1);
}

} // namespace

BootLoader::Step BootLoader::Feed(const QByteArray &bytes)
{
    Step step;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        OnByte(bytes[i], step);
        if (step.finished) {
            step.rest = bytes.mid(i + 1);
            break;
        }
    }
    return step;
}

BootLoader::Step BootLoader::QuietElapsed()
{
    Step step;
    // One "{" only: the host restarts its transfer on every "{" it reads.
    if (m_phase == Phase::Syncing) {
        m_phase = Phase::SyncAnswered;
        step.replies += SyncChar;
    }
    return step;
}

void BootLoader::OnByte(char c, Step &step)
{
    switch (m_phase) {
    case Phase::WaitSync:
    case Phase::Syncing:
        // The host writes "{" a number of times; answer once they stop.
        if (c == SyncChar) {
            m_phase = Phase::Syncing;
            step.armQuiet = true;
        }
        return;
    case Phase::SyncAnswered:
        // The host's "{" back: ask for block 1.
        if (c == SyncChar) {
            m_phase = Phase::Transfer;
            step.replies += NAK;
        }
        return;
    case Phase::Transfer:
        if (m_frame.isEmpty()) {
            // Between frames only SOH and EOT mean anything; stray "{" and
            // line noise are dropped.
            if (c == SOH)
                m_frame += c;
            else if (c == EOT)
                OnEot(step);
            return;
        }
        m_frame += c;
        if (m_frame.size() == FrameSize)
            OnFrame(step);
        return;
    case Phase::Done:
        return;
    }
}

void BootLoader::OnFrame(Step &step)
{
    const int number = Byte(m_frame, 1);
    const bool good = WellFormed(m_frame);
    ++m_frames;
    QByteArray data = m_frame.mid(3, BlockSize);
    // Whatever the verdict, the next frame starts from nothing.
    m_frame.clear();

    if (good && m_faults.nakEvery > 0 && m_frames % m_faults.nakEvery == 0) {
        step.replies += NAK;
        step.notes.append({Note::ForcedNak, number});
    } else if (good && number == m_expected) {
        m_image += data;
        m_previous = number;
        m_expected = number == 255 ? 1 : number + 1;
        step.replies += ACK;
        step.notes.append({Note::Accepted, number});
    } else if (good && number == m_previous) {
        // Our ACK was lost and the host sent the block again.
        step.replies += ACK;
        step.notes.append({Note::Repeated, number});
    } else {
        step.replies += NAK;
        step.notes.append({Note::Refused, number});
    }
}

void BootLoader::OnEot(Step &step)
{
    ++m_eots;
    if (m_faults.nakEot && m_eots == 1) {
        step.replies += NAK;
        step.notes.append({Note::EndRefused, 0});
        return;
    }
    step.replies += ACK;
    step.notes.append({Note::End, 0});
    step.finished = true;
    m_phase = Phase::Done;
}

} // namespace kv7::sim
