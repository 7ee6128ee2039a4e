#include "protocol/GainReport.h"

#include <algorithm>

namespace kv7 {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

std::optional<GainReport> ParseGainReport(const QByteArray &frame)
{
    // SOH R G A V sep ch d d d ... EOT: the digits must stand before the EOT.
    if (frame.size() < 11 || frame[1] != 'R' || frame.mid(2, 3) != "GAV")
        return std::nullopt;
    const char ch = frame[6];
    if (ch < '1' || ch > '8')
        return std::nullopt;
    if (!IsDigit(frame[7]) || !IsDigit(frame[8]) || !IsDigit(frame[9]))
        return std::nullopt;
    const int gain = (frame[7] - '0') * 100 + (frame[8] - '0') * 10 + (frame[9] - '0');
    return GainReport{ch - '0', std::min(gain, 127)};
}

} // namespace kv7
