#include "serial/SerialControl.h"

namespace kv7 {

SerialControl::SerialControl(QObject *parent) : QObject(parent) {}

SerialResult SerialControl::SetPortOpen(bool open)
{
    if (!open) {
        if (IsDeviceOpen()) {
            CloseDevice();
            emit Closed();
        }
        return SerialResult::Ok();
    }
    if (IsDeviceOpen())
        return SerialResult::Fail(QStringLiteral("COM%1 is already open").arg(m_commPort));
    SerialResult opened = OpenDevice(m_commPort, m_settings);
    if (opened.ok())
        emit Opened();
    return opened;
}

SerialResult SerialControl::SetCommPort(int port)
{
    if (IsDeviceOpen())
        return SerialResult::Fail(QStringLiteral("the port number cannot change while COM%1 is open").arg(m_commPort));
    if (port < 1 || port > 255)
        return SerialResult::Fail(QStringLiteral("port number %1 is outside 1 to 255").arg(port));
    m_commPort = port;
    return SerialResult::Ok();
}

SerialResult SerialControl::ReopenAt(const QString &text)
{
    (void)SetPortOpen(false);
    const SerialResult set = SetSettings(text);
    return set.ok() ? SetPortOpen(true) : set;
}

SerialResult SerialControl::SetSettings(const QString &text)
{
    QString why;
    const auto parsed = SerialSettings::Parse(text, m_settings, &why);
    if (!parsed)
        return SerialResult::Fail(why);
    const bool open = IsDeviceOpen();
    if (open) {
        SerialResult applied = ApplySettings(*parsed);
        if (!applied.ok())
            return applied;
    }
    m_settings = *parsed;
    if (open)
        emit SettingsApplied();
    return SerialResult::Ok();
}

SerialResult SerialControl::Output(const QByteArray &bytes)
{
    if (!IsDeviceOpen())
        return SerialResult::Fail(QStringLiteral("COM%1 is not open").arg(m_commPort));
    SerialResult written = WriteDevice(bytes);
    if (written.ok())
        emit Wrote(bytes);
    return written;
}

QByteArray SerialControl::Input()
{
    if (!IsDeviceOpen())
        return {};
    QByteArray bytes = ReadAll();
    if (!bytes.isEmpty())
        emit Read(bytes);
    return bytes;
}

} // namespace kv7
