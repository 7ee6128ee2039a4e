#pragma once

#include "sim/BootLoader.h"
#include "sim/ByteQueue.h"
#include "sim/Device.h"
#include "sim/FrameParser.h"
#include "sim/PtyPort.h"
#include "sim/ReplyStream.h"
#include "sim/SimOptions.h"
#include "sim/WireLine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

namespace kv7::sim {

// Wires the pseudo-terminal to the device and shapes how replies go out
// (split, doubled, with garbage, or not at all). Received bytes go through
// the frame parser, or to the boot loader while one runs; the simulator
// keeps its clock, logs its events and writes the files.
class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(SimOptions options, QObject *parent = nullptr);

    // Opens and links the port and prints "COM<n> <device>".
    OpenError Start();
    PtyPort &Port() { return m_port; }
    // At the end of the run: with --stream, prints "replies <frames sent>";
    // with --wire, the line's "wire ..." figures; "dropped <bytes> bytes"
    // when output had to be dropped.
    void Finish();

signals:
    // Printing failed with `error` (EPIPE: the reader has gone); nothing
    // more is printed.
    void OutputFailed(int error);

private:
    // Gap between a --bad-reply text and its reply, so each is a read of its own.
    static constexpr int BadReplyGapMs = 5;

    void OnReceived(const QByteArray &bytes);
    void OnFrames(const QByteArray &bytes);
    void OnSampleEvents();
    void OnBootStep(const BootLoader::Step &step);
    void LogBootNote(const BootLoader::Note &note);
    void SaveImage();
    void SendBootReply(char reply);
    void Send(const QByteArray &reply);
    // To the port, or onto the paced line with --wire.
    void Transmit(const QByteArray &bytes);
    void Log(const QByteArray &line);
    void StartStream();
    void StreamDue();

    SimOptions m_options;
    PtyPort m_port;
    std::unique_ptr<WireLine> m_wire;
    FrameParser m_parser;
    Device m_device;
    // --split: a short gap between bytes, so each is a read of its own.
    ByteQueue m_split{[this](const QByteArray &b) { Transmit(b); }, 0, 1};
    // Set while the boot loader has the line.
    std::unique_ptr<BootLoader> m_boot;
    QTimer m_quiet;
    int m_bootReplies = 0;
    // Boot replies that wait behind their --bad-reply text, each a read of
    // its own.
    ByteQueue m_delayed{[this](const QByteArray &b) { Transmit(b); }, BadReplyGapMs, BadReplyGapMs};
    // --stream: the units due by the clock, and the reply frames sent.
    std::unique_ptr<ReplyStream> m_stream;
    QTimer m_streamTimer;
    QElapsedTimer m_streamClock;
    qint64 m_replyFrames = 0;
    bool m_outputFailed = false;
};

} // namespace kv7::sim
