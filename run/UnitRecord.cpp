#include "run/UnitRecord.h"

#include "run/JsonReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>

namespace kv7::run {

namespace {

QJsonObject StepObject(const StepOutcome &step)
{
    QJsonObject o;
    o.insert(QStringLiteral("step"), step.number);
    o.insert(QStringLiteral("name"), step.name);
    o.insert(QStringLiteral("args"), QJsonArray::fromStringList(step.args));
    o.insert(QStringLiteral("ok"), step.ok);
    o.insert(QStringLiteral("seconds"), step.seconds);
    o.insert(QStringLiteral("replies"), QJsonArray::fromStringList(step.replies));
    if (!step.gains.empty()) {
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

} // namespace

QString WriteUnitRecord(const QString &folder, const PortResult &result, QString *path)
{
    QJsonObject o;
    o.insert(QStringLiteral("v"), 1);
    o.insert(QStringLiteral("program"), QStringLiteral("kv7-run"));
    o.insert(QStringLiteral("version"), QStringLiteral(KV7_VERSION));
    o.insert(QStringLiteral("host"), QSysInfo::machineHostName());
    o.insert(QStringLiteral("start"), JsonReport::Time(result.start));
    o.insert(QStringLiteral("end"), JsonReport::Time(result.end));
    o.insert(QStringLiteral("port"), result.port);
    o.insert(QStringLiteral("device"), result.device.isEmpty() ? QJsonValue() : QJsonValue(result.device));
    QJsonArray steps;
    for (const StepOutcome &step : result.steps)
        steps.append(StepObject(step));
    o.insert(QStringLiteral("steps"), steps);
    o.insert(QStringLiteral("ok"), result.ok);
    if (!result.ok) {
        o.insert(QStringLiteral("failed_step"), result.failedStep);
        o.insert(QStringLiteral("why"), result.why);
        o.insert(QStringLiteral("cause"), CauseName(result.cause));
    }

    // A device path makes no file name: its slashes and the like go.
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString stem = QString(result.port).replace(unsafe, QStringLiteral("_")) + QLatin1Char('-') +
                   result.start.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'"));
    const QDir dir(folder);
    QString name = dir.filePath(stem + QStringLiteral(".json"));
    for (int n = 2; QFile::exists(name); ++n)
        name = dir.filePath(stem + QStringLiteral("-%1.json").arg(n));
    *path = name;
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Indented);
    // A short write (a full disk, a size limit) must not leave half a record.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace kv7::run
