#pragma once

#include "run/Report.h"

#include <QElapsedTimer>

#include <map>
#include <mutex>

class QJsonObject;

namespace kv7::run {

class Console;

// JSON Lines on stdout, one object an event; the schema is in kv7-run(1).
// Every object has "v": 1, "time", "port" and "event".
class JsonReport : public Report {
public:
    explicit JsonReport(Console &console) : m_console(console) {}

    void Started(const PortResult &result) override;
    void StepEnded(int index, const PortResult &result, const StepOutcome &step) override;
    void Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                  const QString &unit) override;
    void Ended(const PortResult &result) override;
    void Summarised(const SlotSummary &summary) override;

    // ISO 8601 with milliseconds and the UTC offset.
    static QString Time(const QDateTime &when);
    // A step as its event and a unit's record tell it.
    static QJsonObject StepFields(const StepOutcome &step);

private:
    void Put(const QString &port, const QString &event, QJsonObject fields);

    Console &m_console;
    std::mutex m_mutex;
    std::map<int, QElapsedTimer> m_lastProgress;
};

} // namespace kv7::run
