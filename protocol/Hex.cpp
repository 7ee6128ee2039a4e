#include "protocol/Hex.h"

namespace kv7 {

namespace {

QString LastHexDigits(qint64 value, int width)
{
    const QString hex = QString::number(static_cast<quint64>(value), 16).toUpper();
    return (QString(width, QLatin1Char('0')) + hex).right(width);
}

} // namespace

int HexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

QString Hex2(qint64 value)
{
    return LastHexDigits(value, 2);
}

QString Hex4(qint64 value)
{
    return LastHexDigits(value, 4);
}

int HexChecksum(const QString &text)
{
    int result = 0;
    for (qsizetype i = 0; i < text.size(); i += 2) {
        int pair = 0;
        for (qsizetype k = i; k < i + 2 && k < text.size(); ++k) {
            const int d = HexDigit(text[k]);
            if (d < 0)
                break;
            pair = pair * 16 + d;
        }
        result ^= pair;
    }
    return result & 0xFF;
}

} // namespace kv7
