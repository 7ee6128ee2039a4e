#pragma once

#include "serial/PortFacts.h"
#include "serial/SerialResult.h"
#include "serial/SerialSettings.h"

#include <QByteArray>
#include <QObject>

namespace kv7 {

// The serial link as the window uses it: a port number, a settings text,
// open/close, write, and a receive event. The state every implementation
// shares (port number, settings) lives here; subclasses only drive a device.
class SerialControl : public QObject {
    Q_OBJECT
public:
    explicit SerialControl(QObject *parent = nullptr);

    bool PortOpen() const { return IsDeviceOpen(); }
    // true opens CommPort with Settings; false closes (never fails).
    SerialResult SetPortOpen(bool open);

    int CommPort() const { return m_commPort; }
    // 1..255; refused while the port is open.
    SerialResult SetCommPort(int port);

    // The settings in force, in full form.
    QString Settings() const { return m_settings.ToText(); }
    // Full form or a speed alone; applied to an open port at once.
    SerialResult SetSettings(const QString &text);
    // Closed, set to `text` and opened again: a switch of speed the device
    // on the other side makes at the same moment.
    SerialResult ReopenAt(const QString &text);

    // Sends the bytes unchanged, in order. Fails while closed.
    SerialResult Output(const QByteArray &bytes);
    int InBufferCount() const { return IsDeviceOpen() ? BytesWaiting() : 0; }
    // Everything waiting, removed from the receive buffer.
    QByteArray Input();

    // What the system says of the device open now, or open last.
    const PortFacts &Facts() const { return m_facts; }
    // The other programs that hold the open device too, in a sentence;
    // empty when none does. Looked for on demand: it reads all of /proc.
    virtual QString SharedWith() const { return {}; }

signals:
    // Raised when received bytes are waiting.
    void OnComm();
    // Raised once when an open port goes away by itself (the device was
    // unplugged, the simulator ended); the port is closed by then.
    void PortLost(const QString &why);
    // What crossed the line, and what became of the port, for a record of
    // the session: bytes written, bytes taken in, an open, a close, new
    // settings on an open port.
    void Wrote(const QByteArray &bytes);
    void Read(const QByteArray &bytes);
    void Opened();
    void Closed();
    void SettingsApplied();

protected:
    void SetFacts(PortFacts facts) { m_facts = std::move(facts); }
    virtual bool IsDeviceOpen() const = 0;
    virtual SerialResult OpenDevice(int port, const SerialSettings &settings) = 0;
    virtual void CloseDevice() = 0;
    virtual SerialResult ApplySettings(const SerialSettings &settings) = 0;
    virtual SerialResult WriteDevice(const QByteArray &bytes) = 0;
    virtual int BytesWaiting() const = 0;
    virtual QByteArray ReadAll() = 0;

private:
    int m_commPort = 1;
    SerialSettings m_settings;
    PortFacts m_facts;
};

} // namespace kv7
