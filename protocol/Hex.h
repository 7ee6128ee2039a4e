#pragma once

#include <QString>

namespace kv7 {

// Upper-case hexadecimal, cut to its last two or four digits.
QString Hex2(qint64 value);
QString Hex4(qint64 value);

// Value of one hexadecimal digit of either case, -1 for any other character.
int HexDigit(QChar c);

// XOR of the hexadecimal pairs of a text; a pair that does not start with
// a hexadecimal digit reads as 0, and a digit ends its pair early.
int HexChecksum(const QString &text);

} // namespace kv7
