// Typed box text through the number conversions and into a gain frame.
#include "fuzz/Require.h"

#include "protocol/ControlChars.h"
#include "protocol/Conversions.h"
#include "protocol/Frame.h"

#include <cmath>

using kv7fuzz::Require;

namespace {

bool AllOf(const QString &s, qsizetype from, bool (*pred)(QChar))
{
    for (qsizetype i = from; i < s.size(); ++i)
        if (!pred(s[i]))
            return false;
    return s.size() > from;
}

bool IsDecimal(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool IsHex(QChar c) { return IsDecimal(c) || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')); }

// "[-]ddd" with at least `digits` digits, within a half of the number when
// that is small enough to be exact.
void CheckPadded(const QString &padded, double x, int digits, const QByteArray &input)
{
    const qsizetype sign = padded.startsWith(QLatin1Char('-')) ? 1 : 0;
    Require(AllOf(padded, sign, IsDecimal) && padded.size() - sign >= digits, "PadNumber is no sign and digits", input);
    if (std::fabs(x) < 1e15)
        Require(std::fabs(padded.toDouble() - x) <= 0.5, "PadNumber is not the number rounded", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    const int width = in.Byte() % 9;
    const QChar fill = QChar(in.Byte());
    const int channel = 1 + in.Byte() % 8;
    const int digits = in.Byte() % 12;
    const QByteArray raw = in.Rest();
    const QString text = QString::fromLatin1(raw);

    const double x = kv7::LeadingNumber(text);
    Require(std::isfinite(x), "LeadingNumber is not a finite number", raw);
    // Plain numbers short enough to be exact read as themselves.
    if (text.size() <= 15 && AllOf(text, 0, IsDecimal))
        Require(x == double(text.toLongLong()), "LeadingNumber misreads a decimal number", raw);
    if (text.size() <= 15 && text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) && AllOf(text, 2, IsHex))
        Require(x == double(text.mid(2).toLongLong(nullptr, 16)), "LeadingNumber misreads a hexadecimal number", raw);

    CheckPadded(kv7::PadNumber(x, digits), x, digits, raw);
    Require(kv7::Fit(text, width, fill).size() == width, "Fit did not give exactly width characters", raw);

    // SOH "AV " STX channel ggg EOT, ggg from 000 to 127.
    const int gain = kv7::GainFromText(text);
    const QByteArray frame = kv7::SetGainFrame(channel, gain);
    Require(gain >= 0 && gain <= 127, "GainFromText outside 0..127", raw);
    Require(frame.size() == 10 && frame.startsWith("\x01" "AV \x02") && frame[9] == kv7::EOT,
            "SetGainFrame is not SOH AV STX channel ggg EOT", frame);
    const QByteArray ggg = frame.mid(6, 3);
    Require(frame[5] == char('0' + channel) && AllOf(QString::fromLatin1(ggg), 0, IsDecimal) && ggg.toInt() == gain,
            "SetGainFrame's channel or gain digits wrong", frame);
    return 0;
}
