#include "serial/PortReturn.h"

#include "serial/PortMap.h"
#include "serial/SerialControl.h"

#include <QFileInfo>
#include <QTimer>

namespace kv7 {

PortReturn::PortReturn(SerialControl &serial, PortMap &ports, QObject *parent)
    : QObject(parent), m_serial(serial), m_ports(ports), m_poll(new QTimer(this))
{
    m_poll->setInterval(PollMs);
    connect(m_poll, &QTimer::timeout, this, &PortReturn::Try);
    connect(&serial, &SerialControl::PortLost, this, &PortReturn::Lost);
    // Whoever opened a port, there is nothing left to wait for.
    connect(&serial, &SerialControl::Opened, this, [this] {
        m_number = 0;
        m_poll->stop();
    });
}

void PortReturn::SetEnabled(bool on)
{
    m_enabled = on;
    if (!on)
        m_poll->stop();
    else if (m_number != 0)
        m_poll->start(); // turned on while the port is away
}

bool PortReturn::Watching() const
{
    return m_poll->isActive();
}

void PortReturn::Lost()
{
    m_number = m_serial.CommPort();
    m_stableName = m_serial.Facts().stableName;
    m_device = m_serial.Facts().device;
    if (m_enabled)
        m_poll->start();
}

int PortReturn::ReturnedNumber()
{
    if (!m_stableName.isEmpty()) {
        // An adapter often comes back under another ttyUSB number.
        const QString device = QFileInfo(m_stableName).canonicalFilePath();
        if (device.isEmpty())
            return 0;
        m_ports.Rescan();
        const int n = m_ports.NumberOf(device);
        return n > 0 ? n : m_ports.AddDevice(m_stableName);
    }
    // Only a device that is there is tried: an open looks through /proc
    // for the terminal's owner, too dear four times a second.
    const QString device = m_ports.DevicePath(m_number);
    if (device.isEmpty() || !QFileInfo::exists(device))
        return 0;
    // The same device, or the port folder's link leading to a live one (a
    // simulator started again); never another device the number falls back
    // to once its link is gone, such as /dev/ttyS0 for COM1.
    return device == m_device || m_ports.Linked(m_number) ? m_number : 0;
}

void PortReturn::Try()
{
    if (m_serial.PortOpen())
        return m_poll->stop();
    const int lost = m_number;
    const int n = ReturnedNumber();
    if (n != 0 && m_serial.SetCommPort(n).ok() && m_serial.SetPortOpen(true).ok()) {
        emit Back(n);
        return;
    }
    // Still away, or not ready yet: the next try. Meanwhile the control
    // names the lost port, as the window's list does.
    (void)m_serial.SetCommPort(lost);
}

} // namespace kv7
