#include "run/RunLog.h"

namespace kv7::run {

QString RunLog::Open(const QString &path, const QString &header)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.onFailure = [this](const QString &path, const QString &why) {
        if (onFailure)
            onFailure(path, why);
    };
    return m_log.Open(path, header);
}

void RunLog::Sent(const QString &port, const QByteArray &bytes)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.Sent(bytes, port.toUtf8());
}

void RunLog::Received(const QString &port, const QByteArray &bytes)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.Received(bytes, port.toUtf8());
}

void RunLog::Event(const QString &port, const QString &text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.Event(text, port.toUtf8());
}

} // namespace kv7::run
