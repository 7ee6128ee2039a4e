#pragma once

#include "protocol/BlockTransfer.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace kv7 {

// A firmware upload from the host's side, without I/O, for the window and
// for kv7-run alike. The opening is a fixed script of moves: the boot
// command at the user's speed, a pause, the start of the limit for the
// device's first reply, the switch to the transfer speed, and the sync
// bytes, each after a pause. Then every reply gives a step of the block
// transfer, and every ending its text. The driver writes, pauses, switches
// the line and keeps the time.
class FirmwareTransfer {
public:
    // For the device's first reply, counted from before the switch.
    static constexpr int StartLimitMs = 5000;
    // For every later reply; a silent boot loader must not hold the line for good.
    static constexpr int StallMs = 30000;
    static const char *const TransferSettings;
    // Block numbers run round from 255 to 1, so they set no bound; this cap
    // (64 MiB, 524,288 blocks) keeps a wrong file from filling the memory.
    static constexpr qint64 MaxImageBytes = 64LL * 1024 * 1024;

    struct Move {
        enum Kind { Write, Pause, StartLimit, ToTransferSpeed } kind;
        QByteArray bytes; // Write
        int ms = 0;       // Pause; StartLimit: the limit
    };
    static std::vector<Move> Opening();

    // What one reply led to.
    struct Step {
        bool acted = false;    // a reply that counts: the running limit stops
        QByteArray write;      // to send back; then the next reply may take StallMs
        bool finished = false; // the device confirmed the end
        bool gaveUp = false;   // the NAK bound was reached: nothing more is sent
        bool timedOut = false; // the limit in force ran out: nothing more is sent
    };

    enum class Ending { Finished, TimedOut, NotStarted, Stopped };
    // The user's message for an ending.
    static QString EndText(Ending ending);

    // A fresh upload of `image` (at least one byte). With `nakLimit` above
    // 0, the same frame refused that many times in a row ends the upload
    // instead of going out again; 0 resends for as long as the device asks.
    void Begin(const QByteArray &image, int nakLimit = 0);
    // One receive event's whole text; nothing once the upload has ended.
    Step Reply(const QByteArray &text);
    // `ms` have passed since the limit in force started (the opening's
    // StartLimit move, then every reply that sent something): the end once
    // that reaches the limit, nothing before it or once the upload is over.
    Step Waited(qint64 ms);
    // The limit in force: the start limit until the device has answered,
    // then the stall limit.
    int LimitMs() const { return m_answered ? StallMs : StartLimitMs; }
    // The upload is over, whichever way: later replies are ignored.
    void End() { m_ended = true; }

    // The image in blocks, the last one part-filled.
    double Blocks() const { return m_blocks; }
    // Full blocks acknowledged.
    int Progress() const { return m_transfer.Progress; }
    int FramesSent() const { return m_framesSent; }
    int Naks() const { return m_naks; }
    // Why a limit ran out, for a log or a script: the start or a stall.
    QString WhyTimedOut() const;
    // Which frame the device kept refusing, once the NAK bound was reached.
    QString WhyGaveUp() const;

private:
    BlockTransfer m_transfer;
    double m_blocks = 0;
    bool m_ended = true;
    bool m_answered = false;
    int m_framesSent = 0;
    int m_naks = 0;
    int m_nakLimit = 0;
    // NAKs in a row for the frame (or EOT) now awaiting its answer; the NAK
    // that asks for the first frame refuses nothing.
    int m_refusals = 0;
    bool m_awaiting = false;
};

} // namespace kv7
