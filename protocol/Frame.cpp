#include "protocol/Frame.h"

#include "protocol/ControlChars.h"
#include "protocol/Conversions.h"

namespace kv7 {

QByteArray WireBytes(const QString &text)
{
    return text.toLatin1();
}

QByteArray CommandFrame(const QString &word)
{
    return SOH + WireBytes(word) + EOT;
}

QByteArray CommandFrame(const QString &word, const QString &param)
{
    return SOH + WireBytes(word) + STX + WireBytes(param) + EOT;
}

QByteArray ShortFrame(const char *code)
{
    return QByteArray(1, SOH) + DC4 + code + EOT;
}

QByteArray SetGainFrame(int channel, int gain)
{
    return CommandFrame(QStringLiteral("AV "), QString::number(channel) + N3(double(gain)));
}

} // namespace kv7
