#include "run/JsonReport.h"

#include "run/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kv7::run {

namespace {

// A progress event at most this often for each port.
constexpr int ProgressMs = 100;

} // namespace

QString JsonReport::Time(const QDateTime &when)
{
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

void JsonReport::Put(const QString &port, const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("v"), 1);
    fields.insert(QStringLiteral("time"), Time(QDateTime::currentDateTime()));
    fields.insert(QStringLiteral("port"), port);
    fields.insert(QStringLiteral("event"), event);
    m_console.Line(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)));
}

void JsonReport::Started(const PortResult &result)
{
    QJsonObject o;
    o.insert(QStringLiteral("device"), result.device.isEmpty() ? QJsonValue() : QJsonValue(result.device));
    Put(result.port, QStringLiteral("start"), o);
}

QJsonObject JsonReport::StepFields(const StepOutcome &step)
{
    QJsonObject o;
    o.insert(QStringLiteral("step"), step.number);
    o.insert(QStringLiteral("name"), step.name);
    o.insert(QStringLiteral("args"), QJsonArray::fromStringList(step.args));
    o.insert(QStringLiteral("ok"), step.ok);
    o.insert(QStringLiteral("seconds"), step.seconds);
    o.insert(QStringLiteral("replies"), QJsonArray::fromStringList(step.replies));
    if (!step.gains.empty() && step.ok) {
        QJsonArray gains;
        for (const int gain : step.gains)
            gains.append(gain);
        o.insert(QStringLiteral("gains"), gains);
    }
    if (!step.sha256.isEmpty())
        o.insert(QStringLiteral("sha256"), QString::fromLatin1(step.sha256.toHex()));
    if (!step.ok) {
        o.insert(QStringLiteral("why"), step.why);
        o.insert(QStringLiteral("cause"), CauseName(step.cause));
    }
    return o;
}

void JsonReport::StepEnded(int, const PortResult &result, const StepOutcome &step)
{
    Put(result.port, QStringLiteral("step"), StepFields(step));
}

void JsonReport::Progress(int index, const QString &port, const QString &, qint64 done, qint64 total,
                          const QString &unit)
{
    if (unit.isEmpty())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        QElapsedTimer &last = m_lastProgress[index];
        if (last.isValid() && last.elapsed() < ProgressMs)
            return;
        last.start();
    }
    QJsonObject o;
    o.insert(QStringLiteral("done"), done);
    o.insert(QStringLiteral("total"), total);
    o.insert(QStringLiteral("unit"), unit);
    Put(port, QStringLiteral("progress"), o);
}

void JsonReport::Ended(const PortResult &result)
{
    QJsonObject o;
    o.insert(QStringLiteral("ok"), result.ok);
    if (!result.stableName.isEmpty())
        o.insert(QStringLiteral("stable_name"), result.stableName);
    o.insert(QStringLiteral("steps"), result.stepsDone);
    o.insert(QStringLiteral("seconds"), result.seconds);
    if (!result.ok) {
        o.insert(QStringLiteral("failed_step"), result.failedStep);
        o.insert(QStringLiteral("why"), result.why);
        o.insert(QStringLiteral("cause"), CauseName(result.cause));
    }
    Put(result.port, QStringLiteral("result"), o);
}

void JsonReport::Summarised(const SlotSummary &summary)
{
    QJsonObject o;
    o.insert(QStringLiteral("units"), summary.units);
    o.insert(QStringLiteral("ok"), summary.ok);
    o.insert(QStringLiteral("failed"), summary.failed);
    o.insert(QStringLiteral("stopped"), summary.stopped);
    Put(summary.port, QStringLiteral("summary"), o);
}

} // namespace kv7::run
