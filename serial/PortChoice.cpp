#include "serial/PortChoice.h"

#include "protocol/OutsideText.h"
#include "serial/PortMap.h"
#include "serial/StableNames.h"

#include <QDir>
#include <QFileInfo>

namespace kv7 {

namespace {

bool IsPath(const QString &given)
{
    return given.startsWith(QLatin1Char('/'));
}

int ComNumber(const QString &given)
{
    return given.mid(3).toInt();
}

} // namespace

QString PortChoice::Key(const QString &given) const
{
    if (!device.isEmpty())
        return device;
    if (IsPath(given))
        return QDir::cleanPath(given);
    return given.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? QStringLiteral("COM%1").arg(ComNumber(given))
                                                                        : given;
}

PortChoice ChoosePort(PortMap &ports, const QString &given)
{
    PortChoice choice;
    const StableLookup stable = LookUpStableName(given, ports.Roots().serialNames);
    const QString path = stable.asked ? stable.link : given;
    if (stable.asked && path.isEmpty()) {
        choice.why = stable.why + QLatin1Char('.');
        return choice;
    }
    if (!IsPath(path)) {
        choice.number = ComNumber(path);
    } else if (QFileInfo::exists(path)) {
        const int n = ports.NumberOf(path);
        choice.number = n > 0 ? n : ports.AddDevice(path);
    }
    choice.device = ports.DevicePath(choice.number);
    if (choice.device.isEmpty()) {
        // A number whose link a killed kv7-sim left behind says so.
        const QString absence = ports.Absence(choice.number);
        choice.why = absence.isEmpty() ? QStringLiteral("%1 does not exist.").arg(ShownText(path)) : absence + QLatin1Char('.');
    }
    return choice;
}

} // namespace kv7
