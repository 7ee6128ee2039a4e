// Typed box text through the number conversions and into a gain frame.
#include "fuzz/Require.h"

#include "commands/ControlChars.h"
#include "commands/Conversions.h"
#include "commands/Frame.h"

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

// "[-]ddd" with at least `digits` digits, and the rounded value when it is
// small enough to be exact.
void CheckPadded(const QString &padded, double x, int digits, const QByteArray &input)
{
    const qsizetype sign = padded.startsWith(QLatin1Char('-')) ? 1 : 0;
    Require(AllOf(padded, sign, IsDecimal), "PadNumber gave more than a sign and digits", input);
    Require(padded.size() - sign >= digits, "PadNumber gave too few digits", input);
    const double r = std::nearbyint(x);
    if (std::fabs(r) < 1e15)
        Require(padded.toDouble() == r && (sign == 1) == (r < 0), "PadNumber is not the rounded number", input);
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
    CheckPadded(kv7::N2(text), x, 2, raw);
    CheckPadded(kv7::N3(text), x, 3, raw);

    const QString fitted = kv7::Fit(text, width, fill);
    Require(fitted.size() == width, "Fit did not give exactly width characters", raw);
    qsizetype from = 0, to = text.size();
    while (from < to && text[from] == QLatin1Char(' '))
        ++from;
    while (to > from && text[to - 1] == QLatin1Char(' '))
        --to;
    const QString core = text.mid(from, to - from);
    Require(core.size() >= width ? fitted == core.right(width) : fitted.endsWith(core),
            "Fit lost the text's last characters", raw);
    for (qsizetype i = 0; i < width - core.size(); ++i)
        Require(fitted[i] == fill, "Fit did not fill in front", raw);

    const int gain = kv7::GainFromText(text);
    Require(gain >= 0 && gain <= 127, "GainFromText outside 0..127", raw);
    const double r = std::nearbyint(x);
    Require(gain == (r <= 0 ? 0 : r >= 127 ? 127 : int(r)), "GainFromText is not the number held in 0..127", raw);

    // SOH "AV " STX channel ggg EOT
    const QByteArray frame = kv7::SetGainFrame(channel, gain);
    Require(frame.size() == 10 && frame[0] == kv7::SOH && frame.mid(1, 3) == "AV " && frame[4] == kv7::STX &&
                frame[9] == kv7::EOT,
            "SetGainFrame is not SOH AV STX channel ggg EOT", frame);
    Require(frame[5] == char('0' + channel), "SetGainFrame channel digit wrong", frame);
    const QByteArray ggg = frame.mid(6, 3);
    Require(ggg >= "000" && ggg <= "127" && AllOf(QString::fromLatin1(ggg), 0, IsDecimal) && ggg.toInt() == gain,
            "SetGainFrame gain digits outside 000..127", frame);
    return 0;
}
