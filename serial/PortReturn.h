#pragma once

#include <QObject>
#include <QString>

class QTimer;

namespace kv7 {

class PortMap;
class SerialControl;

// Opens a port that went away by itself again when its device is back,
// at the settings in force: the same stable name, followed to whatever tty
// it has now; else the same number in the map (a COM link that leads to a
// live device again, the same fixed-family device). An open of any port
// meanwhile ends the watch.
class PortReturn : public QObject {
    Q_OBJECT
public:
    static constexpr int PollMs = 250;

    PortReturn(SerialControl &serial, PortMap &ports, QObject *parent = nullptr);

    // Off ends a watch under way; on starts one for a port away now.
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    bool Watching() const;

signals:
    // The port is open again, as `number` in the map.
    void Back(int number);

private:
    void Lost();
    void Try();
    // The number that leads to the lost device now; 0 while it is away.
    int ReturnedNumber();

    SerialControl &m_serial;
    PortMap &m_ports;
    QTimer *m_poll;
    bool m_enabled = true;
    int m_number = 0; // the port away now; 0 when none is
    QString m_stableName;
    QString m_device; // the device that went
};

} // namespace kv7
