#include "tests/support/SimProcess.h"

#include <QDeadlineTimer>

namespace kv7::test {

SimProcess::~SimProcess()
{
    Stop();
}

bool SimProcess::Start(const QString &folder, const QStringList &options, const QString &program)
{
    Launch(folder, options, program);
    return AwaitPort();
}

void SimProcess::Launch(const QString &folder, const QStringList &options, const QString &program)
{
    // A restart must wait for the new run's port line.
    m_lines.clear();
    m_partial.clear();
    m_port = 0;
    m_device.clear();
    m_process.setProgram(program);
    m_process.setArguments(QStringList{QStringLiteral("--folder"), folder} + options);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
}

bool SimProcess::AwaitPort()
{
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (m_lines.isEmpty() && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        ReadLines();
    }
    if (m_lines.isEmpty())
        return false;
    const QStringList fields = m_lines.first().split(QLatin1Char(' '));
    if (fields.size() < 2 || !fields[0].startsWith(QLatin1String("COM")))
        return false;
    m_port = fields[0].mid(3).toInt();
    m_device = fields[1];
    return m_port > 0;
}

void SimProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void SimProcess::ReadLines()
{
    m_partial.append(m_process.readAllStandardOutput());
    qsizetype nl;
    while ((nl = m_partial.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromLocal8Bit(m_partial.left(nl)).trimmed());
        m_partial.remove(0, nl + 1);
    }
}

QStringList SimProcess::Lines()
{
    ReadLines();
    return m_lines;
}

bool SimProcess::WaitForLine(const QString &line, int ms)
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        ReadLines();
        if (m_lines.contains(line))
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
    }
}

} // namespace kv7::test
