#include "protocol/SampleLine.h"

#include "protocol/ControlChars.h"
#include "protocol/Conversions.h"
#include "protocol/Frame.h"
#include "protocol/Hex.h"

namespace kv7 {

namespace {

// SOH at the front, `mark` at the second character or later, and the first
// EOT after the first `mark`: the position of that mark, or -1.
qsizetype MarkInFrame(const QByteArray &reply, char mark)
{
    if (reply.isEmpty() || reply[0] != SOH)
        return -1;
    const qsizetype at = reply.indexOf(mark);
    const qsizetype end = reply.indexOf(EOT);
    if (at < 1 || end < at)
        return -1;
    return at;
}

// The character after `mark` in a reply of that shape. The first EOT stands
// after the mark, so there is always one.
std::optional<char> StatusAfter(const QByteArray &reply, char mark)
{
    const qsizetype at = MarkInFrame(reply, mark);
    if (at < 0)
        return std::nullopt;
    return reply[at + 1];
}

} // namespace

QString SampleLine(const QString &hexLine, qint64 index)
{
    return Hex2(HexChecksum(hexLine)) + QStringLiteral(":20:") + Hex4(index) + QLatin1Char(':') + hexLine;
}

QByteArray SampleLineFrame(const QString &hexLine, qint64 index)
{
    return CommandFrame(QStringLiteral("&HX"), SampleLine(hexLine, index));
}

QByteArray SelectAreaFrame(const QString &area)
{
    return CommandFrame(QStringLiteral("&PF"), UploadArea(area));
}

std::optional<char> AreaStatus(const QByteArray &reply)
{
    return StatusAfter(reply, ';');
}

std::optional<char> LineStatus(const QByteArray &reply)
{
    return StatusAfter(reply, STX);
}

QString UploadArea(const QString &area)
{
    return Fit(area, 2, QLatin1Char('0'));
}

} // namespace kv7
