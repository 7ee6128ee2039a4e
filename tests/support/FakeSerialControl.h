#pragma once

#include "serial/SerialControl.h"

#include <QByteArrayList>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace kv7::test {

// A serial control without a device: records every open and write, and
// delivers bytes the test feeds as a receive event.
class FakeSerialControl : public SerialControl {
    Q_OBJECT
public:
    struct Open {
        int port;
        QString settings;
    };

    QSet<int> failingPorts;   // opening these fails as a busy port would
    QSet<int> refusedSpeeds;  // opening at these fails as a driver refusing them would
    QList<Open> opens;        // every successful open, in order
    QByteArray written;       // everything written
    QByteArrayList writes;    // each write on its own
    int openAttempts = 0;
    int failWritesFrom = -1;  // writes from this count on fail, as on a closed port
    int loseAtWrite = -1;     // this write finds the port gone, as an unplugged adapter does
    std::function<void(const QByteArray &)> onWrite;
    PortFacts factsOnOpen;    // what each open learns of the port
    QString sharedWith;       // what another program holding the port would make it say

    QString SharedWith() const override { return m_open ? sharedWith : QString(); }

    // Queues bytes as received and raises the receive event.
    void Feed(const QByteArray &bytes);

protected:
    bool IsDeviceOpen() const override { return m_open; }
    SerialResult OpenDevice(int port, const SerialSettings &settings) override;
    void CloseDevice() override { m_open = false; }
    SerialResult ApplySettings(const SerialSettings &) override { return SerialResult::Ok(); }
    SerialResult WriteDevice(const QByteArray &bytes) override;
    int BytesWaiting() const override { return int(m_inbox.size()); }
    QByteArray ReadAll() override;

private:
    bool m_open = false;
    QByteArray m_inbox;
};

} // namespace kv7::test
