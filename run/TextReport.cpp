#include "run/TextReport.h"

#include "run/Console.h"

#include <algorithm>

namespace kv7::run {

void TextReport::StepEnded(int, const PortResult &result, const StepOutcome &step)
{
    if (step.ok)
        m_console.Line(QStringLiteral("%1 %2: %3").arg(result.port, step.name, step.printed));
}

void TextReport::Progress(int index, const QString &port, const QString &step, qint64 done, qint64 total,
                          const QString &unit)
{
    if (unit.isEmpty())
        return m_console.Progress(index, {});
    const int percent = total > 0 ? int(std::min<qint64>(100, 100 * done / total)) : 100;
    m_console.Progress(index, QStringLiteral("%1 %2 %3 %4 of %5  %6 %")
                                  .arg(port, step.leftJustified(9), unit)
                                  .arg(done)
                                  .arg(total)
                                  .arg(percent));
}

void TextReport::Ended(const PortResult &result)
{
    if (m_resultsAtOnce)
        m_console.Line(result.Summary());
}

void TextReport::Summarised(const SlotSummary &summary)
{
    m_console.Line(summary.Text());
}

} // namespace kv7::run
