#include "run/JunitReport.h"

#include <QSaveFile>
#include <QXmlStreamWriter>

#include <algorithm>

namespace kv7::run {

namespace {

QString Seconds(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// "2 firmware new.bin": the step's number and its words.
QString CaseName(int number, const Step &step)
{
    return (QStringList{QString::number(number), step.name} + step.args).join(QLatin1Char(' '));
}

// A failure outside the steps: the port did not open, or the unit's record
// could not be written; it gets a test case of its own.
bool Outside(const PortResult &r)
{
    return !r.ok && r.failedStep == 0;
}

void Failure(QXmlStreamWriter &xml, const QString &why)
{
    xml.writeStartElement(QStringLiteral("failure"));
    xml.writeAttribute(QStringLiteral("message"), why);
    xml.writeCharacters(why);
    xml.writeEndElement();
}

void OutsideCase(QXmlStreamWriter &xml, const PortResult &r, const QString &name)
{
    xml.writeStartElement(QStringLiteral("testcase"));
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeAttribute(QStringLiteral("classname"), QStringLiteral("kv7-run.") + r.port);
    xml.writeAttribute(QStringLiteral("time"), Seconds(0));
    Failure(xml, r.why);
    xml.writeEndElement();
}

} // namespace

void JunitReport::Ended(const PortResult &result)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    // In the order of the ports, each slot's units in the order they came.
    const auto after = std::upper_bound(m_results.begin(), m_results.end(), result.index,
                                        [](int index, const PortResult &r) { return index < r.index; });
    m_results.insert(after, result);
}

QString JunitReport::Write(const QString &path) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    int tests = 0;
    int failures = 0;
    for (const PortResult &r : m_results) {
        tests += int(m_steps.size()) + (Outside(r) ? 1 : 0);
        failures += r.ok ? 0 : 1;
    }
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("kv7-run"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(tests));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    for (const PortResult &r : m_results) {
        const QString classname = QStringLiteral("kv7-run.") + r.port;
        const int steps = int(m_steps.size());
        const int cases = steps + (Outside(r) ? 1 : 0);
        const int skipped = r.ok ? 0 : steps - r.stepsDone - (r.failedStep > 0 ? 1 : 0);
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), r.port);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(cases));
        xml.writeAttribute(QStringLiteral("failures"), QString::number(r.ok ? 0 : 1));
        xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        xml.writeAttribute(QStringLiteral("time"), Seconds(r.seconds));
        xml.writeAttribute(QStringLiteral("timestamp"), r.start.toUTC().toString(Qt::ISODate));
        if (Outside(r) && r.stepsDone == 0)
            OutsideCase(xml, r, QStringLiteral("0 open ") + r.port);
        for (int i = 0; i < int(m_steps.size()); ++i) {
            const StepOutcome *ran = i < int(r.steps.size()) ? &r.steps[size_t(i)] : nullptr;
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), CaseName(i + 1, m_steps[size_t(i)]));
            xml.writeAttribute(QStringLiteral("classname"), classname);
            xml.writeAttribute(QStringLiteral("time"), Seconds(ran ? ran->seconds : 0));
            if (!ran) {
                xml.writeEmptyElement(QStringLiteral("skipped"));
            } else if (!ran->ok) {
                Failure(xml, ran->why);
            }
            xml.writeEndElement();
        }
        if (Outside(r) && r.stepsDone > 0)
            OutsideCase(xml, r, QStringLiteral("%1 record").arg(steps + 1));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace kv7::run
