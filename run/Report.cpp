#include "run/Report.h"

namespace kv7::run {

void Reports::Started(const PortResult &result)
{
    for (Report *report : m_reports)
        report->Started(result);
}

void Reports::StepEnded(int index, const PortResult &result, const StepOutcome &step)
{
    for (Report *report : m_reports)
        report->StepEnded(index, result, step);
}

void Reports::Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                       const QString &unit)
{
    for (Report *report : m_reports)
        report->Progress(index, port, step, done, total, unit);
}

void Reports::Ended(const PortResult &result)
{
    for (Report *report : m_reports)
        report->Ended(result);
}

void Reports::Summarised(const SlotSummary &summary)
{
    for (Report *report : m_reports)
        report->Summarised(summary);
}

} // namespace kv7::run
