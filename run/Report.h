#pragma once

#include "run/Outcome.h"

#include <vector>

namespace kv7::run {

// What a run tells as it goes, port by port, from each port's thread; a
// report says it as text, JSON Lines or JUnit XML. Each method may be
// called from several threads at once.
class Report {
public:
    virtual ~Report() = default;
    // A port (a station's unit) begins: `result` holds its port, device and start.
    virtual void Started(const PortResult &result) { (void)result; }
    virtual void StepEnded(int index, const PortResult &result, const StepOutcome &step)
    {
        (void)index, (void)result, (void)step;
    }
    // An upload's progress: `done` of `total` blocks or lines; an empty
    // `unit` when the upload has ended.
    virtual void Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                          const QString &unit)
    {
        (void)index, (void)port, (void)step, (void)done, (void)total, (void)unit;
    }
    // The port's verdict, with every step that ran.
    virtual void Ended(const PortResult &result) { (void)result; }
    // A station's slot at its end.
    virtual void Summarised(const SlotSummary &summary) { (void)summary; }
};

// Every report told the same, in order.
class Reports : public Report {
public:
    void Add(Report *report) { m_reports.push_back(report); }

    void Started(const PortResult &result) override;
    void StepEnded(int index, const PortResult &result, const StepOutcome &step) override;
    void Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                  const QString &unit) override;
    void Ended(const PortResult &result) override;
    void Summarised(const SlotSummary &summary) override;

private:
    std::vector<Report *> m_reports;
};

} // namespace kv7::run
