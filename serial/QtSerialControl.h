#pragma once

#include "serial/SerialControl.h"

#include <QSerialPort>

namespace kv7 {

class PortMap;

// The serial control over QSerialPort; port numbers resolve through PortMap.
class QtSerialControl : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(const PortMap &ports, QObject *parent = nullptr);
    ~QtSerialControl() override;

    QString SharedWith() const override;
    QtSerialControl(const QtSerialControl &) = delete;
    QtSerialControl &operator=(const QtSerialControl &) = delete;

protected:
    bool IsDeviceOpen() const override { return m_port.isOpen(); }
    SerialResult OpenDevice(int port, const SerialSettings &settings) override;
    void CloseDevice() override;
    SerialResult ApplySettings(const SerialSettings &settings) override;
    SerialResult WriteDevice(const QByteArray &bytes) override;
    int BytesWaiting() const override;
    QByteArray ReadAll() override { return m_port.readAll(); }

private:
    void OnError(QSerialPort::SerialPortError error);
    void Lose(const QString &why);

    const PortMap &m_ports;
    QSerialPort m_port;
    // The device open now, canonical.
    QString m_device;
    // The lock file of the device open now, for HeldLocks.
    QString m_lockFile;
};

} // namespace kv7
