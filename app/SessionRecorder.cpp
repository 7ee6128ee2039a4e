#include "app/SessionRecorder.h"

#include "serial/PortMap.h"
#include "serial/SerialControl.h"

#include <QCoreApplication>

namespace kv7 {

SessionRecorder::SessionRecorder(SerialControl &serial, const PortMap &ports, QObject *parent)
    : QObject(parent), m_serial(serial), m_ports(ports)
{
    m_log.onFailure = [this](const QString &path, const QString &why) { emit Failed(path, why); };
    connect(&serial, &SerialControl::Wrote, this, [this](const QByteArray &bytes) { m_log.Sent(bytes); });
    connect(&serial, &SerialControl::Read, this, [this](const QByteArray &bytes) { m_log.Received(bytes); });
    connect(&serial, &SerialControl::Opened, this, [this] { Note(Port() + QStringLiteral(" opened") + m_serial.Facts().AfterOpened()); });
    connect(&serial, &SerialControl::Closed, this,
            [this] { Note(m_ports.Name(m_serial.CommPort()) + QStringLiteral(" closed")); });
    connect(&serial, &SerialControl::SettingsApplied, this, [this] { Note(Port() + QStringLiteral(" set")); });
    connect(&serial, &SerialControl::PortLost, this, [this](const QString &why) {
        Note(QStringLiteral("%1 lost: %2").arg(m_ports.Name(m_serial.CommPort()), why));
    });
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
