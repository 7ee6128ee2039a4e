#pragma once

#include <QString>
#include <optional>

namespace kv7 {

// The speeds the window lists and the command lines accept.
inline constexpr const char *OfferedSpeeds[] = {"300", "1200", "9600", "19200", "57600", "115200"};

// Line settings in the "9600,n,8,1" text form.
struct SerialSettings {
    int baud = 9600;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;  // 5..8
    QString stopBits = QStringLiteral("1"); // "1", "1.5" or "2"

    // Reads a full four-field text, or a speed alone which changes only the
    // speed of `base`. Returns nothing for a text that does not fit.
    static std::optional<SerialSettings> Parse(const QString &text, const SerialSettings &base,
                                               QString *why = nullptr);

    // The full form, fit to be parsed back.
    QString ToText() const;

    bool operator==(const SerialSettings &o) const
    {
        return baud == o.baud && parity == o.parity && dataBits == o.dataBits && stopBits == o.stopBits;
    }
};

} // namespace kv7
