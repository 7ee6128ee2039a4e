#include "tests/support/FakeSerialControl.h"

namespace kv7::test {

void FakeSerialControl::Feed(const QByteArray &bytes)
{
    m_inbox.append(bytes);
    emit OnComm();
}

SerialResult FakeSerialControl::OpenDevice(int port, const SerialSettings &settings)
{
    ++openAttempts;
    if (failingPorts.contains(port))
        return SerialResult::Fail(QStringLiteral("device or resource busy"));
    if (refusedSpeeds.contains(settings.baud))
        return SerialResult::Fail(QStringLiteral("settings %1 refused").arg(settings.ToText()));
    m_open = true;
    SetFacts(factsOnOpen);
    opens.append({port, settings.ToText()});
    return SerialResult::Ok();
}

SerialResult FakeSerialControl::WriteDevice(const QByteArray &bytes)
{
    if (failWritesFrom >= 0 && writes.size() >= failWritesFrom)
        return SerialResult::Fail(QStringLiteral("input/output error"));
    if (loseAtWrite >= 0 && writes.size() == loseAtWrite) {
        m_open = false;
        emit PortLost(QStringLiteral("input/output error"));
        return SerialResult::Lost(QStringLiteral("input/output error"));
    }
    written.append(bytes);
    writes.append(bytes);
    if (onWrite)
        onWrite(bytes);
    return SerialResult::Ok();
}

QByteArray FakeSerialControl::ReadAll()
{
    QByteArray out;
    out.swap(m_inbox);
    return out;
}

} // namespace kv7::test
