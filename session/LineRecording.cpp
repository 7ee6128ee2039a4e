#include "session/LineRecording.h"

#include "serial/SerialControl.h"

#include <utility>

namespace kv7 {

void RecordLine(SerialControl &serial, const QObject *context, LineSink sink, LineWords words)
{
    QObject::connect(&serial, &SerialControl::Wrote, context, std::move(sink.sent));
    QObject::connect(&serial, &SerialControl::Read, context, std::move(sink.received));
    const auto event = std::move(sink.event);
    QObject::connect(&serial, &SerialControl::Opened, context,
                     [&serial, event, opened = std::move(words.opened)] {
                         event(opened() + serial.Facts().AfterOpened());
                     });
    QObject::connect(&serial, &SerialControl::Closed, context,
                     [event, closed = std::move(words.closed)] { event(closed()); });
    if (words.set)
        QObject::connect(&serial, &SerialControl::SettingsApplied, context,
                         [event, set = std::move(words.set)] { event(set()); });
    QObject::connect(&serial, &SerialControl::PortLost, context,
                     [event, lost = std::move(words.lost)](const QString &why) { event(lost(why)); });
}

} // namespace kv7
