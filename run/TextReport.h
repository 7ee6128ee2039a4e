#pragma once

#include "run/Report.h"

namespace kv7::run {

class Console;

// The text lines on stdout: each step's printed output, the progress lines
// on a terminal, and in a station each unit's result line as it ends.
class TextReport : public Report {
public:
    // `resultsAtOnce`: a station's result lines come as each unit ends; a
    // plain run prints them at its end, in the order of the ports.
    TextReport(Console &console, bool resultsAtOnce) : m_console(console), m_resultsAtOnce(resultsAtOnce) {}

    void StepEnded(int index, const PortResult &result, const StepOutcome &step) override;
    void Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                  const QString &unit) override;
    void Ended(const PortResult &result) override;
    void Summarised(const SlotSummary &summary) override;

private:
    Console &m_console;
    bool m_resultsAtOnce;
};

} // namespace kv7::run
