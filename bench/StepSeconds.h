#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <algorithm>

namespace kv7::bench {

// The longest time kv7-run's JSON Lines give for step `name` on any port:
// the step's own time, without the program's start and end around it.
inline double StepSeconds(const QByteArray &jsonLines, const QString &name)
{
    double longest = -1;
    for (const QByteArray &line : jsonLines.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value(QLatin1String("event")).toString() == QLatin1String("step") &&
            event.value(QLatin1String("name")).toString() == name)
            longest = std::max(longest, event.value(QLatin1String("seconds")).toDouble());
    }
    return longest;
}

} // namespace kv7::bench
