#include "run/Outcome.h"

namespace kv7::run {

QString CauseName(Cause cause)
{
    switch (cause) {
    case Cause::Device: return QStringLiteral("device");
    case Cause::Port: return QStringLiteral("port");
    case Cause::Input: return QStringLiteral("input");
    case Cause::Signal: return QStringLiteral("signal");
    case Cause::None: break;
    }
    return {};
}

QString PortResult::Summary() const
{
    if (ok)
        return QStringLiteral("%1 ok, %2 steps, %3 s").arg(port).arg(stepsDone).arg(seconds, 0, 'f', 1);
    // Outside the steps: before them (the port) or after them (the record).
    const QString where = failedStep > 0  ? QStringLiteral("at step %1 (%2)").arg(failedStep).arg(stepName)
                          : stepsDone > 0 ? QStringLiteral("at the end")
                                          : QStringLiteral("at the start");
    return QStringLiteral("%1 %2 %3: %4").arg(port, stopped ? QStringLiteral("STOPPED") : QStringLiteral("FAILED"), where, why);
}

QString SlotSummary::Text() const
{
    QString text = QStringLiteral("%1: %2 %3, %4 ok, %5 failed")
                       .arg(port)
                       .arg(units)
                       .arg(units == 1 ? QStringLiteral("unit") : QStringLiteral("units"))
                       .arg(ok)
                       .arg(failed);
    if (stopped > 0)
        text += QStringLiteral(", %1 stopped").arg(stopped);
    return text;
}

} // namespace kv7::run
