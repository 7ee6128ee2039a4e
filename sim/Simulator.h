#pragma once

#include "sim/Device.h"
#include "sim/FrameParser.h"
#include "sim/PtyPort.h"
#include "sim/SimOptions.h"

#include <QObject>

namespace kv7::sim {

// Wires the pseudo-terminal to the device and shapes how replies go out
// (split, doubled, with garbage, or not at all). Received bytes all go
// through the frame parser; a boot-loader mode would take them here instead.
class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(SimOptions options, QObject *parent = nullptr);

    // Opens and links the port and prints "COM<n> <device>".
    OpenError Start();
    PtyPort &Port() { return m_port; }

private:
    void OnReceived(const QByteArray &bytes);
    void Send(const QByteArray &reply);
    void SendNextSplitByte();
    void Log(const QByteArray &line);

    SimOptions m_options;
    PtyPort m_port;
    FrameParser m_parser;
    Device m_device;
    QByteArray m_splitQueue;
};

} // namespace kv7::sim
