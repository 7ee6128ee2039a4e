#include "sim/Simulator.h"

#include <QTimer>

#include <cstdio>

namespace kv7::sim {

namespace {

QByteArray Readable(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += b < 32 || b >= 127 ? "<" + QByteArray::number(b) + ">" : QByteArray(1, c);
    }
    return out;
}

} // namespace

Simulator::Simulator(SimOptions options, QObject *parent) : QObject(parent), m_options(std::move(options))
{
    m_device.status = m_options.status;
    m_device.gains = m_options.gains;
    connect(&m_port, &PtyPort::Received, this, &Simulator::OnReceived);
    connect(&m_port, &PtyPort::SpeedChanged, this, [this](int baud) { Log("line " + QByteArray::number(baud)); });
}

OpenError Simulator::Start()
{
    const OpenError error = m_port.Open(m_options.folder, m_options.port);
    if (!error.Failed())
        Log(QStringLiteral("COM%1 %2").arg(m_port.Port()).arg(m_port.Device()).toLocal8Bit());
    return error;
}

void Simulator::Log(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Simulator::OnReceived(const QByteArray &bytes)
{
    for (const Frame &frame : m_parser.Feed(bytes)) {
        const QByteArray reply = m_device.Reply(frame);
        if (m_options.verbose) {
            const QByteArray word = frame.isShort ? "<20>" + frame.word : frame.word;
            Log("got " + Readable("\x01" + word + (frame.hasParam ? "\x02" + frame.param : QByteArray()) + "\x04"));
        }
        if (m_options.silent)
            continue;
        if (m_options.verbose)
            Log("reply " + Readable(reply));
        const QByteArray once = m_options.garbage + reply;
        Send(m_options.doubled ? once + once : once);
    }
}

void Simulator::Send(const QByteArray &reply)
{
    if (!m_options.split) {
        m_port.Write(reply);
        return;
    }
    const bool idle = m_splitQueue.isEmpty();
    m_splitQueue += reply;
    if (idle)
        SendNextSplitByte();
}

void Simulator::SendNextSplitByte()
{
    if (m_splitQueue.isEmpty())
        return;
    m_port.Write(m_splitQueue.left(1));
    m_splitQueue.remove(0, 1);
    // A short gap, so the other side really sees one byte per read.
    if (!m_splitQueue.isEmpty())
        QTimer::singleShot(1, Qt::PreciseTimer, this, &Simulator::SendNextSplitByte);
}

} // namespace kv7::sim
