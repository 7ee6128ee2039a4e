#include "run/JunitReport.h"

#include <QSaveFile>
#include <QXmlStreamWriter>

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

} // namespace

void JunitReport::Ended(const PortResult &result)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_results.push_back(result);
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
        tests += int(m_steps.size()) + (r.failedStep == 0 && !r.ok ? 1 : 0);
        failures += r.ok ? 0 : 1;
    }
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("kv7-run"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(tests));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    for (const PortResult &r : m_results) {
        const QString classname = QStringLiteral("kv7-run.") + r.port;
        const bool openFailed = !r.ok && r.failedStep == 0;
        const int cases = int(m_steps.size()) + (openFailed ? 1 : 0);
        const int skipped = r.ok ? 0 : cases - r.stepsDone - 1;
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), r.port);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(cases));
        xml.writeAttribute(QStringLiteral("failures"), QString::number(r.ok ? 0 : 1));
        xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        xml.writeAttribute(QStringLiteral("time"), Seconds(r.seconds));
        xml.writeAttribute(QStringLiteral("timestamp"), r.start.toUTC().toString(Qt::ISODate));
        if (openFailed) {
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), QStringLiteral("0 open ") + r.port);
            xml.writeAttribute(QStringLiteral("classname"), classname);
            xml.writeAttribute(QStringLiteral("time"), Seconds(0));
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), r.why);
            xml.writeCharacters(r.why);
            xml.writeEndElement();
            xml.writeEndElement();
        }
        for (int i = 0; i < int(m_steps.size()); ++i) {
            const StepOutcome *ran = i < int(r.steps.size()) ? &r.steps[size_t(i)] : nullptr;
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), CaseName(i + 1, m_steps[size_t(i)]));
            xml.writeAttribute(QStringLiteral("classname"), classname);
            xml.writeAttribute(QStringLiteral("time"), Seconds(ran ? ran->seconds : 0));
            if (!ran) {
                xml.writeEmptyElement(QStringLiteral("skipped"));
            } else if (!ran->ok) {
                xml.writeStartElement(QStringLiteral("failure"));
                xml.writeAttribute(QStringLiteral("message"), ran->why);
                xml.writeCharacters(ran->why);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace kv7::run
