#include "protocol/Conversions.h"

#include "protocol/Hex.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kv7 {

namespace {

QString WithoutBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            out += c;
    return out;
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

double ReadHex(const QString &s, int from)
{
    double value = 0;
    for (int i = from; i < s.size() && HexDigit(s[i]) >= 0; ++i)
        value = value * 16 + HexDigit(s[i]);
    // As with decimal exponents: too many digits read as the largest number.
    return std::min(value, std::numeric_limits<double>::max());
}

} // namespace

double LeadingNumber(const QString &text)
{
    const QString s = WithoutBlanks(text);
    if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive))
        return ReadHex(s, 2);

    // The longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    int i = 0;
    QString number;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += s[i++];
    bool digits = false;
    while (i < s.size() && IsDigit(s[i])) {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        number += s[i++];
        while (i < s.size() && IsDigit(s[i])) {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && QStringLiteral("eEdD").contains(s[i])) {
        int j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += s[j++];
        const int firstDigit = j;
        while (j < s.size() && IsDigit(s[j]))
            exponent += s[j++];
        if (j > firstDigit)
            number += exponent;
    }
    // Read in the C locale whatever the user's: the point is always ".".
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const QByteArray latin = number.toLatin1();
    errno = 0;
    const double value = ::strtod_l(latin.constData(), nullptr, c);
    // Too large for a double reads as the largest number there is; too
    // small to be told from zero reads as zero, whatever its sign.
    if (errno == ERANGE && std::fabs(value) < 1)
        return 0;
    if (!std::isfinite(value))
        return value < 0 ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
    return value;
}

double RoundHalfEven(double x)
{
    // The default rounding mode rounds halves to even.
    return std::nearbyint(x);
}

QString PadNumber(double x, int digits)
{
    const double r = RoundHalfEven(x);
    QString magnitude = QString::number(std::fabs(r), 'f', 0);
    if (magnitude.size() < digits)
        magnitude = QString(digits - magnitude.size(), QLatin1Char('0')) + magnitude;
    return r < 0 ? QLatin1Char('-') + magnitude : magnitude;
}

QString Fit(const QString &text, int width, QChar fill)
{
    int from = 0;
    int to = int(text.size());
    while (from < to && text[from] == QLatin1Char(' '))
        ++from;
    while (to > from && text[to - 1] == QLatin1Char(' '))
        --to;
    const QString trimmed = text.mid(from, to - from);
    if (trimmed.size() >= width)
        return trimmed.right(width);
    return QString(width - trimmed.size(), fill) + trimmed;
}

int GainFromText(const QString &text)
{
    const double r = RoundHalfEven(LeadingNumber(text));
    if (r <= 0)
        return 0;
    return r >= 127 ? 127 : int(r);
}

} // namespace kv7
