#include "protocol/OutsideText.h"

#include "protocol/LogFormat.h"

namespace kv7 {

namespace {

const QString Cut = QStringLiteral("…");

QString Capped(const QString &text, int cap)
{
    return text.size() > cap ? text.left(cap) + Cut : text;
}

} // namespace

QString ShownText(const QString &text, int cap)
{
    QString out;
    for (qsizetype i = 0; i < text.size() && out.size() <= cap; ++i) {
        const QChar ch = text[i];
        // C0, DEL and C1 controls, and the marks that reorder text on screen.
        const QChar::Category kind = ch.category();
        if (kind == QChar::Other_Control || kind == QChar::Other_Format)
            out += QStringLiteral("<%1>").arg(ch.unicode());
        else
            out += ch;
    }
    return Capped(out, cap);
}

QString ShownBytes(const QByteArray &bytes, int cap)
{
    // Each byte takes at most five characters; no need to escape the rest.
    return Capped(QString::fromLatin1(EscapeBytes(bytes.left(qsizetype(cap) + 1))), cap);
}

} // namespace kv7
