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
    // The adapter itself, whatever ttyUSB number it had today.
    o.insert(QStringLiteral("stable_name"), result.stableName.isEmpty() ? QJsonValue() : QJsonValue(result.stableName));
    QJsonArray steps;
    for (const StepOutcome &step : result.steps)
        steps.append(JsonReport::StepFields(step));
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
        QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace kv7::run
