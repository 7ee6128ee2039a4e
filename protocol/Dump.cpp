#include "protocol/Dump.h"

namespace kv7 {

QString Dump(const QByteArray &text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto code = static_cast<unsigned char>(ch);
        if (code < 32) {
            out += QLatin1Char('<');
            out += QString::number(code);
            out += QLatin1Char('>');
        } else {
            out += QChar(code);
        }
    }
    return out;
}

} // namespace kv7
