#pragma once

#include <QByteArray>
#include <QList>

namespace kv7::sim {

// The boot loader's side of the firmware transfer, without I/O or clocks:
// bytes in, reply bytes out. The "{" handshake first, then 132-byte block
// frames (SOH, number, 255 - number, 128 data bytes, sum of the data), then
// EOT. Every reply is a single byte that goes out as a write of its own.
class BootLoader {
public:
    static constexpr int BlockSize = 128;
    static constexpr int FrameSize = BlockSize + 4;

    // Faults for tests; 0 / false is a well-behaved device.
    struct Faults {
        int nakEvery = 0;    // NAK every K-th frame received although it was good
        bool nakEot = false; // NAK the first EOT
    };

    // What became of one frame or EOT, for the log.
    struct Note {
        enum Kind { Accepted, Repeated, Refused, ForcedNak, EndRefused, End } kind;
        int block = 0; // number in the frame; 0 for the EOT kinds
    };

    struct Step {
        QByteArray replies;      // one byte a reply, in order
        bool armQuiet = false;   // (re)start the quiet wait, then call QuietElapsed
        QList<Note> notes;
        bool finished = false;   // EOT acknowledged: Image() is complete
        QByteArray rest;         // bytes after the finishing EOT, for the command parser
    };

    BootLoader() = default;
    explicit BootLoader(Faults faults) : m_faults(faults) {}

    Step Feed(const QByteArray &bytes);
    // No "{" came for the quiet wait: the host's sync burst is over.
    Step QuietElapsed();

    const QByteArray &Image() const { return m_image; }
    // The number the next new block must carry (1..255).
    int ExpectedBlock() const { return m_expected; }

private:
    enum class Phase { WaitSync, Syncing, SyncAnswered, Transfer, Done };

    void OnByte(char c, Step &step);
    void OnFrame(Step &step);
    void OnEot(Step &step);

    Faults m_faults;
    Phase m_phase = Phase::WaitSync;
    QByteArray m_frame;
    QByteArray m_image;
    int m_expected = 1;
    int m_previous = 0; // last accepted number, 0 before the first
    int m_frames = 0;   // complete frames received, for nakEvery
    int m_eots = 0;
};

} // namespace kv7::sim
