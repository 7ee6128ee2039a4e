#include "protocol/ReplyStatus.h"

#include "protocol/LogFormat.h"
#include "protocol/OutsideText.h"

namespace kv7 {

Lamp LampOf(char status)
{
    switch (status) {
    case 'R': return Lamp::Green;
    case 'P': return Lamp::Yellow;
    case 'C': return Lamp::Red;
    default: return Lamp::White;
    }
}

char StatusOf(const QByteArray &frame)
{
    return frame.size() > 1 ? frame[1] : '\0';
}

QString WhyNotAccepted(const QByteArray &frame)
{
    const char status = StatusOf(frame);
    QString lamp;
    switch (LampOf(status)) {
    case Lamp::Green: lamp = QStringLiteral(" (green lamp)"); break;
    case Lamp::Yellow: lamp = QStringLiteral(" (yellow lamp)"); break;
    case Lamp::Red: lamp = QStringLiteral(" (red lamp)"); break;
    case Lamp::White: break;
    }
    return QStringLiteral("the device answered \"%1\"%2: %3")
        .arg(QString::fromLatin1(EscapeBytes(QByteArray(1, status))), lamp, ShownBytes(frame));
}

} // namespace kv7
