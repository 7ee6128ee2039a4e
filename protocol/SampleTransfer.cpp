#include "protocol/SampleTransfer.h"

#include "protocol/Hex.h"
#include "protocol/LogFormat.h"
#include "protocol/SampleLine.h"

#include <optional>

namespace kv7 {

SampleTransfer::SampleTransfer(const QString &area, int waitMs) : m_area(UploadArea(area)), m_waitMs(waitMs) {}

SampleTransfer::Step SampleTransfer::Begin()
{
    m_phase = Phase::Area;
    Step step;
    step.write = SelectAreaFrame(m_area);
    return step;
}

SampleTransfer::Step SampleTransfer::Reply(const QByteArray &reply)
{
    if (m_phase == Phase::Area) {
        const std::optional<char> status = AreaStatus(reply);
        if (!status)
            return {};
        if (*status != '0') {
            return Stop(QStringLiteral("The device refused sample area %1 (status %2); nothing was sent.")
                            .arg(m_area, QString::fromLatin1(EscapeBytes(QByteArray(1, *status)))));
        }
        Step step;
        step.wantsData = true;
        return step;
    }
    if (m_phase != Phase::Lines)
        return {};
    const std::optional<char> status = LineStatus(reply);
    if (!status)
        return {};
    // Each line goes out once whatever the device said; a rejection is
    // counted, not retried.
    ++m_answered;
    if (*status != '0' && m_rejected++ == 0)
        m_firstRejected = m_next;
    ++m_next;
    return NextLine();
}

SampleTransfer::Step SampleTransfer::Data(const QByteArray &bytes)
{
    if (m_phase != Phase::Area)
        return {};
    m_data = bytes;
    m_phase = Phase::Lines;
    return NextLine();
}

SampleTransfer::Step SampleTransfer::NextLine()
{
    if (m_next >= Lines()) {
        m_phase = Phase::Done;
        Step step;
        step.ended = step.ok = true;
        return step;
    }
    QString hexLine;
    hexLine.reserve(2 * LineBytes);
    const QByteArray bytes = m_data.mid(m_next * LineBytes, LineBytes);
    for (int i = 0; i < LineBytes; ++i) // zeros past the end of the data
        hexLine += Hex2(i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0);
    Step step;
    step.write = SampleLineFrame(hexLine, m_next);
    return step;
}

SampleTransfer::Step SampleTransfer::Waited(qint64 ms)
{
    if (ms < m_waitMs)
        return {};
    if (m_phase == Phase::Area)
        return Stop(QStringLiteral("The sample upload stopped because the device did not answer the area selection."));
    if (m_phase != Phase::Lines)
        return {};
    return Stop(QStringLiteral("The sample upload stopped because the device did not answer line %1 (index %2).")
                    .arg(m_next + 1)
                    .arg(Hex4(m_next)),
                Rejections());
}

SampleTransfer::Step SampleTransfer::LineFailed(const QString &why)
{
    return Stop(QStringLiteral("The sample upload stopped because the line failed:"), why);
}

SampleTransfer::Step SampleTransfer::Stop(const QString &failure, const QString &detail)
{
    m_phase = Phase::Stopped;
    Step step;
    step.ended = true;
    step.failure = failure;
    step.detail = detail;
    return step;
}

QString SampleTransfer::Rejections() const
{
    if (m_rejected == 0)
        return {};
    return QStringLiteral("The device rejected %1 of %2 sample lines, the first at index %3. Sample area %4 may be "
                          "incomplete.")
        .arg(m_rejected)
        .arg(m_answered)
        .arg(Hex4(m_firstRejected), m_area);
}

QString SampleTransfer::Verdict() const
{
    return QStringLiteral("%1: %2 lines answered, %3 rejected%4")
        .arg(m_phase == Phase::Done ? QStringLiteral("done") : QStringLiteral("stopped"))
        .arg(m_answered)
        .arg(m_rejected)
        .arg(m_rejected > 0 ? QStringLiteral(", the first at index ") + Hex4(m_firstRejected) : QString());
}

} // namespace kv7
