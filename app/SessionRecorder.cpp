#include "app/SessionRecorder.h"

#include "serial/PortMap.h"
#include "serial/SerialControl.h"
#include "session/LineRecording.h"

#include <QCoreApplication>

#include <utility>

namespace kv7 {

SessionRecorder::SessionRecorder(SerialControl &serial, const PortMap &ports, QObject *parent)
    : QObject(parent), m_serial(serial), m_ports(ports)
{
    m_log.onFailure = [this](const QString &path, const QString &why) { emit Failed(path, why); };
    LineSink sink;
    sink.sent = [this](const QByteArray &bytes) { m_log.Sent(bytes); };
    sink.received = [this](const QByteArray &bytes) { m_log.Received(bytes); };
    sink.event = [this](const QString &event) { Note(event); };
    const auto name = [this] { return m_ports.Name(m_serial.CommPort()); };
    LineWords words;
    words.opened = [this] { return Port() + QStringLiteral(" opened"); };
    words.closed = [name] { return name() + QStringLiteral(" closed"); };
    words.set = [this] { return Port() + QStringLiteral(" set"); };
    words.lost = [name](const QString &why) { return QStringLiteral("%1 lost: %2").arg(name(), why); };
    RecordLine(serial, this, std::move(sink), std::move(words));
}

QString SessionRecorder::Port() const
{
    const int n = m_serial.CommPort();
    return QStringLiteral("%1 %2 at %3").arg(m_ports.Name(n), m_ports.DevicePath(n), m_serial.Settings());
}

QString SessionRecorder::Start(const QString &path)
{
    const QString state = m_serial.PortOpen() ? QStringLiteral("open") : QStringLiteral("closed");
    return m_log.Open(path, QStringLiteral("log started by KV7 Test %1; %2, %3")
                                .arg(QCoreApplication::applicationVersion(), Port(), state));
}

void SessionRecorder::Stop()
{
    Note(QStringLiteral("log stopped"));
    m_log.Close();
}

} // namespace kv7
