#pragma once

#include <QByteArray>
#include <optional>

namespace kv7 {

struct GainReport {
    int channel; // 1..8
    int gain;    // 0..127
};

// The gain part of a frame: status "R", "GAV", a separator, the channel
// digit and three decimal digits before the EOT. Anything that does not fit
// gives nothing.
std::optional<GainReport> ParseGainReport(const QByteArray &frame);

} // namespace kv7
