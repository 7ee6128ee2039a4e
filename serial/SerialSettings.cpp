#include "serial/SerialSettings.h"

#include <QStringList>

namespace kv7 {

namespace {

std::optional<int> ParseBaud(const QString &field)
{
    bool ok = false;
    const qlonglong v = field.trimmed().toLongLong(&ok);
    if (!ok || v <= 0 || v > 4000000)
        return std::nullopt;
    return static_cast<int>(v);
}

std::optional<SerialSettings> Failed(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return std::nullopt;
}

} // namespace

std::optional<SerialSettings> SerialSettings::Parse(const QString &text, const SerialSettings &base, QString *why)
{
    const QStringList fields = text.split(QLatin1Char(','));
    SerialSettings s = base;
    const auto baud = ParseBaud(fields.value(0));
    if (!baud)
        return Failed(why, QStringLiteral("invalid speed \"%1\"").arg(fields.value(0)));
    s.baud = *baud;
    if (fields.size() == 1)
        return s;
    if (fields.size() != 4)
        return Failed(why, QStringLiteral("settings \"%1\" need speed, parity, data bits and stop bits").arg(text));

    const QString parity = fields[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return Failed(why, QStringLiteral("invalid parity \"%1\"").arg(fields[1]));
    s.parity = parity[0].toLatin1();

    bool ok = false;
    const int data = fields[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return Failed(why, QStringLiteral("invalid data bits \"%1\"").arg(fields[2]));
    s.dataBits = data;

    const QString stop = fields[3].trimmed();
    if (stop != QLatin1String("1") && stop != QLatin1String("1.5") && stop != QLatin1String("2"))
        return Failed(why, QStringLiteral("invalid stop bits \"%1\"").arg(fields[3]));
    s.stopBits = stop;
    return s;
}

QString SerialSettings::ToText() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QLatin1Char(parity)).arg(dataBits).arg(stopBits);
}

} // namespace kv7
