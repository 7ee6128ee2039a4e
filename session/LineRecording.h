#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QObject;

namespace kv7 {

class SerialControl;

// Where a record of the line goes: the bytes each way and the port's events.
struct LineSink {
    std::function<void(const QByteArray &bytes)> sent;
    std::function<void(const QByteArray &bytes)> received;
    std::function<void(const QString &event)> event;
};

// How a program words the port's events in its record, asked at the moment
// of each. The opened entry gets what the system says of the port after it.
// A program that leaves `set` empty does not record new settings.
struct LineWords {
    std::function<QString()> opened;
    std::function<QString()> closed;
    std::function<QString()> set;
    std::function<QString(const QString &why)> lost;
};

// Records what crosses `serial` and what becomes of its port into `sink`,
// for as long as both `serial` and `context` live.
void RecordLine(SerialControl &serial, const QObject *context, LineSink sink, LineWords words);

} // namespace kv7
