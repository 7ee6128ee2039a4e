#pragma once

#include <QByteArray>
#include <QString>

namespace kv7 {

// A sample upload from the host's side, without I/O, for the window and for
// kv7-run alike: the area selection, then the data as hexadecimal lines of
// 32 bytes, one line in flight, each waiting for the device's reply. Every
// event (a reply, time passed, a failed write) returns the next step; the
// driver writes, keeps the time and reads the file.
class SampleTransfer {
public:
    static constexpr int LineBytes = 32;
    static constexpr int DefaultWaitMs = 5000;
    // A line's index has four hex digits: 65,536 lines, the last of them
    // part-filled, is the most a file can give without two lines sharing one.
    static constexpr qint64 MaxFileBytes = 65536LL * LineBytes - 1;

    struct Step {
        // A frame to write now; the wait for its reply starts once it is out.
        QByteArray write;
        // The area was taken: the driver hands over the file's bytes (Data).
        bool wantsData = false;
        bool ended = false;
        // Ended with every line out and answered; rejected lines are
        // counted (Rejections), not a stop.
        bool ok = false;
        // Why it stopped, for the user; empty when it ended well.
        QString failure;
        QString detail;

        // Anything to do: otherwise the wait goes on.
        bool Moves() const { return ended || wantsData || !write.isEmpty(); }
    };

    // `area` as typed; each wait may take `waitMs`.
    explicit SampleTransfer(const QString &area, int waitMs = DefaultWaitMs);

    // The area selection.
    Step Begin();
    // The last reply taken since the last write; no step (and the wait goes
    // on) while it is not the shape that ends the wait.
    Step Reply(const QByteArray &reply);
    // After `wantsData`: the first line, or the end when there are no bytes.
    Step Data(const QByteArray &bytes);
    // `ms` have passed since the last write without a fitting reply; no
    // step while that is within the limit.
    Step Waited(qint64 ms);
    // The line failed: a write did not go out, the port went away, the
    // driver was told to stop.
    Step LineFailed(const QString &why);

    // Lines that `size` bytes make: one more than the full lines, none for 0.
    static qint64 LinesFor(qint64 size) { return size == 0 ? 0 : size / LineBytes + 1; }
    // The area as the selection sends it, zero-filled.
    const QString &Area() const { return m_area; }
    int WaitMs() const { return m_waitMs; }
    qint64 Lines() const { return LinesFor(m_data.size()); }
    qint64 Answered() const { return m_answered; }
    qint64 Rejected() const { return m_rejected; }
    // The device keeps going after a rejected line; this tells the user at
    // the end, empty when none was rejected.
    QString Rejections() const;
    // For a session log: "done: 4 lines answered, 1 rejected, the first at index 0002".
    QString Verdict() const;

private:
    enum class Phase { Idle, Area, Lines, Done, Stopped };
    Step Stop(const QString &failure, const QString &detail = {});
    Step NextLine();

    QString m_area;
    int m_waitMs;
    Phase m_phase = Phase::Idle;
    QByteArray m_data;
    qint64 m_next = 0; // index of the line in flight
    qint64 m_answered = 0;
    qint64 m_rejected = 0;
    qint64 m_firstRejected = -1;
};

} // namespace kv7
