// Line settings text: whatever parses must print back to text that parses
// to the same settings.
#include "fuzz/Require.h"

#include "serial/SerialSettings.h"

using kv7fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    // The settings a speed-only text keeps.
    const uint8_t pick = in.Byte();
    kv7::SerialSettings base;
    base.baud = 300 << (pick & 7);
    base.parity = "neoms"[(pick >> 3) % 5];
    base.dataBits = 5 + ((pick >> 5) & 3);
    base.stopBits = (pick & 0x80) ? QStringLiteral("2") : QStringLiteral("1.5");

    const QByteArray raw = in.Rest();
    const QString text = QString::fromUtf8(raw);
    QString why;
    const auto parsed = kv7::SerialSettings::Parse(text, base, &why);
    if (!parsed) {
        Require(!why.isEmpty(), "a refused text gives no reason", raw);
        return 0;
    }
    if (!text.contains(QLatin1Char(','))) {
        kv7::SerialSettings speedOnly = base;
        speedOnly.baud = parsed->baud;
        Require(*parsed == speedOnly, "a speed alone changed more than the speed", raw);
    }

    const QString printed = parsed->ToText();
    const auto again = kv7::SerialSettings::Parse(printed, kv7::SerialSettings{}, &why);
    Require(again.has_value(), "printed settings do not parse", printed.toUtf8());
    Require(*again == *parsed, "printed settings parse to other settings", printed.toUtf8());
    return 0;
}
