#include "app/FailurePolicy.h"

#include "protocol/Dump.h"

namespace kv7 {

void FailurePolicy::SliderMoved()
{
    if (!m_inTick)
        m_told = false;
}

std::optional<FailurePolicy::Report> FailurePolicy::WriteFailed(const QByteArray &frame, const QString &error,
                                                                const QString &lost)
{
    if (m_told)
        return std::nullopt;
    m_told = true;
    return Report{QStringLiteral("The command %1 was not sent.").arg(Dump(frame)), lost.isEmpty() ? error : lost,
                  m_inTick};
}

} // namespace kv7
