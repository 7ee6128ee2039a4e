#include "serial/PortFacts.h"

#include "serial/StableNames.h"
#include "serial/SystemRoots.h"

#include <QFile>
#include <QFileInfo>

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace kv7 {

LowLatency AskLowLatency(int fd)
{
    serial_struct info {};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return LowLatency::NotOffered;
    if (info.flags & ASYNC_LOW_LATENCY)
        return LowLatency::Set;
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0 ? LowLatency::Set : LowLatency::Refused;
}

PortFacts ReadPortFacts(const QString &device, LowLatency lowLatency, const SystemRoots &roots)
{
    PortFacts facts;
    facts.device = device;
    facts.lowLatency = lowLatency;
    facts.stableName = StableName(device, roots.serialNames);
    // /sys/class/tty/<tty>/device is the port's device; its driver link
    // names the driver, and FTDI's has the timer beside it.
    const QString deviceDir =
        QStringLiteral("%1/class/tty/%2/device").arg(roots.sys, QFileInfo(device).fileName());
    const QString driver = QFileInfo(deviceDir + QStringLiteral("/driver")).canonicalFilePath();
    if (driver.isEmpty())
        return facts;
    facts.driver = QFileInfo(driver).fileName();
    QFile timer(deviceDir + QStringLiteral("/latency_timer"));
    bool number = false;
    const int ms = timer.open(QIODevice::ReadOnly) ? timer.readAll().trimmed().toInt(&number) : -1;
    if (number && ms >= 0)
        facts.latencyTimerMs = ms;
    return facts;
}

QString PortFacts::Describe() const
{
    QStringList parts;
    if (!stableName.isEmpty())
        parts << stableName;
    if (!driver.isEmpty())
        parts << driver;
    if (latencyTimerMs >= 0)
        parts << QStringLiteral("latency timer %1 ms").arg(latencyTimerMs);
    QString text = parts.join(QLatin1String(", "));
    if (lowLatency == LowLatency::Refused && !driver.isEmpty())
        text += QStringLiteral(": low latency refused");
    return text;
}

QString PortFacts::AfterOpened() const
{
    const QString text = Describe();
    return text.isEmpty() ? text : QStringLiteral(" (%1)").arg(text);
}

QString PortFacts::LatencyAdvice(const QString &port) const
{
    if (latencyTimerMs <= 1)
        return {};
    return QStringLiteral("%1: the adapter holds each reply for up to %2 ms (its latency timer), which slows uploads "
                          "to as little as half speed. Set the timer to 1 ms with a udev rule, as the README shows: "
                          "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"%3\", ATTR{latency_timer}=\"1\"")
        .arg(port)
        .arg(latencyTimerMs)
        .arg(driver);
}

} // namespace kv7
