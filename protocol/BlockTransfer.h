#pragma once

#include <QByteArray>

namespace kv7 {

// Sum of the byte values, modulo 256.
int calcChecksum(const QByteArray &text);

// The host side of the boot loader's block transfer, without I/O: each
// reply from the device gives the bytes to write back. 128-byte blocks in
// 132-byte frames (SOH, number, complement, data, checksum).
class BlockTransfer {
public:
    enum State { UploadFinished = 1, UploadSending = 2, UploadLastBlock = 3, UploadEotSent = 4 };
    static constexpr int BlockSize = 128;
    static constexpr int FrameSize = BlockSize + 4;

    // What one reply led to.
    struct Step {
        bool acted = false;    // a reply that counts: the wait for the device ends
        QByteArray write;      // to send back, possibly empty
        bool finished = false; // the device acknowledged the end
    };

    // A fresh transfer of `image` (at least one byte).
    void Begin(const QByteArray &image);
    // One receive event's whole text.
    Step Reply(const QByteArray &text);

    void LoadNextBlock();
    QByteArray BlockFrame() const;

    int UploadState = 0;
    int BlockNumber = 0;
    QByteArray ImageData;
    QByteArray CurrentBlock;
    // Full blocks acknowledged.
    int Progress = 0;

private:
    Step OnSync();
    Step OnAck();
    Step OnNak();

    // A block frame has gone out since the sync: only then can an ACK
    // confirm anything, and a late sync must not restart the numbering.
    bool m_frameSent = false;
};

} // namespace kv7
