#include "sim/Device.h"

#include "commands/ControlChars.h"

#include <algorithm>

namespace kv7::sim {

namespace {

bool AllDigits(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Channel digit 1..8 at the front of a parameter, 0 when there is none.
int Channel(const QByteArray &param)
{
    return (!param.isEmpty() && param[0] >= '1' && param[0] <= '8') ? param[0] - '0' : 0;
}

} // namespace

QByteArray Device::Wrap(char statusLetter, const QByteArray &body) const
{
    return QByteArray(1, SOH) + QByteArray(1, statusLetter) + body + QByteArray(1, EOT);
}

QByteArray Device::Echo(char statusLetter, const Frame &frame) const
{
    QByteArray body = frame.word;
    if (frame.hasParam)
        body += QByteArray(1, STX) + frame.param;
    return Wrap(statusLetter, body);
}

QByteArray Device::Reply(const Frame &frame)
{
    if (frame.isShort)
        return Wrap(status, frame.word);
    if (frame.word == "GAV")
        return GetGain(frame);
    if (frame.word == "AV ")
        return SetGain(frame);
    if (frame.word == "GV " && !frame.hasParam)
        return Wrap(status, QByteArray("GV ") + STX + "KV7-SIM 1.0");
    return Echo(status, frame);
}

QByteArray Device::GetGain(const Frame &frame)
{
    const int channel = Channel(frame.param);
    if (!frame.hasParam || frame.param.size() != 1 || channel == 0)
        return Echo('E', frame);
    const QByteArray gain = QByteArray::number(gains[size_t(channel - 1)]).rightJustified(3, '0');
    return Wrap(status, QByteArray("GAV") + STX + frame.param.left(1) + gain);
}

QByteArray Device::SetGain(const Frame &frame)
{
    const int channel = Channel(frame.param);
    const QByteArray value = frame.param.mid(1);
    if (!frame.hasParam || channel == 0 || !AllDigits(value) || value.size() > 5)
        return Echo('E', frame);
    gains[size_t(channel - 1)] = std::min(value.toInt(), 127);
    return Echo(status, frame);
}

} // namespace kv7::sim
