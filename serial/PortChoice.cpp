#include "serial/PortChoice.h"

#include "serial/PortMap.h"

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
    return IsPath(given) ? QDir::cleanPath(given) : QStringLiteral("COM%1").arg(ComNumber(given));
}

PortChoice ChoosePort(PortMap &ports, const QString &given)
{
    PortChoice choice;
    if (!IsPath(given)) {
        choice.number = ComNumber(given);
    } else if (QFileInfo::exists(given)) {
        const int n = ports.NumberOf(given);
        choice.number = n > 0 ? n : ports.AddDevice(given);
    }
    choice.device = ports.DevicePath(choice.number);
    return choice;
}

} // namespace kv7
