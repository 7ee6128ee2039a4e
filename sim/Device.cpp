#include "sim/Device.h"

#include "protocol/ControlChars.h"

#include <algorithm>

namespace kv7::sim {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Channel digit 1..8 at the front of a parameter, 0 when there is none.
int Channel(const QByteArray &param)
{
    return (!param.isEmpty() && param[0] >= '1' && param[0] <= '8') ? param[0] - '0' : 0;
}

} // namespace

Device::Handler Device::HandlerFor(const Frame &frame)
{
    // Commands with an answer of their own; every other word, known or sent
    // with Send String, is echoed. A boot loader command gets no reply at
    // all (EntersBootLoader), so it has no entry.
    static const struct {
        const char *word;
        Handler handler;
    } table[] = {
        {"GAV", &Device::GetGain},
        {"AV ", &Device::SetGain},
        {"GV ", &Device::Version},
        {"&PF", &Device::SelectArea},
        {"&HX", &Device::SampleLine},
    };
    if (!frame.isShort) {
        for (const auto &entry : table)
            if (frame.word == entry.word)
                return entry.handler;
    }
    return &Device::Echo;
}

bool Device::EntersBootLoader(const Frame &frame)
{
    return !frame.isShort && frame.word == "$BT" && frame.param.isEmpty();
}

QByteArray Device::Reply(const Frame &frame)
{
    return (this->*HandlerFor(frame))(frame);
}

QByteArray Device::Wrap(char statusLetter, const QByteArray &body) const
{
    return QByteArray(1, SOH) + statusLetter + body + EOT;
}

QByteArray Device::EchoBody(const Frame &frame)
{
    // A short frame's reply carries the two letters without the DC4.
    QByteArray body = frame.word;
    if (frame.hasParam)
        body += STX + frame.param;
    return body;
}

QByteArray Device::Echo(const Frame &frame)
{
    return Wrap(status, EchoBody(frame));
}

QByteArray Device::Refuse(const Frame &frame) const
{
    return Wrap('E', EchoBody(frame));
}

QByteArray Device::Version(const Frame &frame)
{
    if (frame.hasParam)
        return Echo(frame);
    return Wrap(status, QByteArray("GV ") + STX + "KV7-SIM 1.0");
}

QByteArray Device::GetGain(const Frame &frame)
{
    const int channel = Channel(frame.param);
    if (!frame.hasParam || frame.param.size() != 1 || channel == 0)
        return Refuse(frame);
    // [SOH][status]GAV[STX][channel][three digits][EOT]: the window reads
    // the fields by position.
    const QByteArray gain = QByteArray::number(gains[size_t(channel - 1)]).rightJustified(3, '0');
    return Wrap(status, QByteArray("GAV") + STX + frame.param[0] + gain);
}

QByteArray Device::SetGain(const Frame &frame)
{
    // Channel digit and exactly three digits, as the window sends them.
    const QByteArray &p = frame.param;
    const int channel = Channel(p);
    if (!frame.hasParam || p.size() != 4 || channel == 0 || !std::all_of(p.begin() + 1, p.end(), IsDigit))
        return Refuse(frame);
    gains[size_t(channel - 1)] = std::min(p.mid(1).toInt(), 127);
    return Echo(frame);
}

QByteArray Device::SelectArea(const Frame &frame)
{
    samples.Select(frame.param);
    return Wrap(status, QByteArray("&PF") + STX + frame.param + ';' + sampleStatus);
}

QByteArray Device::SampleLine(const Frame &frame)
{
    // Always with an STX: that is all the host waits for.
    const bool accepted = frame.hasParam && samples.Line(frame.param);
    return Wrap(status, QByteArray("&HX") + STX + (accepted ? '0' : 'E'));
}

} // namespace kv7::sim
