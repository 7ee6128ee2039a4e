#pragma once

#include <QString>

namespace kv7 {

// The number at the start of a text, read the way the device's engineers
// type parameters: blanks, tabs and line feeds are ignored anywhere; a sign,
// a decimal point and an exponent are taken; "&H" starts a hexadecimal
// number; reading stops at the first character that cannot continue the
// number. A text that does not start with a number reads as 0.
double LeadingNumber(const QString &text);

// Nearest whole number, halves to the even neighbour (12.5 gives 12).
double RoundHalfEven(double x);

// The rounded number in decimal with at least `digits` digits, zeros in
// front and the sign before them ("-05").
QString PadNumber(double x, int digits);
inline QString N2(double x) { return PadNumber(x, 2); }
inline QString N3(double x) { return PadNumber(x, 3); }
inline QString N2(const QString &box) { return N2(LeadingNumber(box)); }
inline QString N3(const QString &box) { return N3(LeadingNumber(box)); }

// The text without leading and trailing spaces, filled in front with `fill`
// to `width` characters, or cut to its last `width` characters.
QString Fit(const QString &text, int width, QChar fill);

// A number typed for a gain, rounded and held inside 0..127.
int GainFromText(const QString &text);

} // namespace kv7
