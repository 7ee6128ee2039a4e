#include "run/Console.h"

namespace kv7::run {

namespace {

// A terminal is redrawn at most this often; every line still gets printed.
constexpr int RedrawMs = 100;

} // namespace

Console::Console(std::FILE *out, std::FILE *err, bool progress, int ports)
    : m_out(out), m_err(err), m_progress(progress), m_lines(size_t(ports))
{
}

void Console::Line(const QString &text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    Erase();
    Put(m_out, text);
    Draw();
}

void Console::Failure(const QString &text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    Erase();
    std::fflush(m_out);
    Put(m_err, text);
    Draw();
}

void Console::Progress(int port, const QString &text)
{
    if (!m_progress)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    QString &line = m_lines[size_t(port)];
    const bool shown = !line.isEmpty();
    line = text;
    // Lines that come or go change the block's height: drawn at once.
    if (shown == !text.isEmpty() && m_lastDraw.isValid() && m_lastDraw.elapsed() < RedrawMs)
        return;
    Erase();
    Draw();
}

void Console::Erase()
{
    if (m_drawn == 0)
        return;
    // Up to the block's first line, and clear from there to the end.
    std::fprintf(m_out, "\x1b[%dF\x1b[J", m_drawn);
    m_drawn = 0;
}

void Console::Draw()
{
    if (!m_progress)
        return;
    for (const QString &line : m_lines) {
        if (line.isEmpty())
            continue;
        Put(m_out, line);
        ++m_drawn;
    }
    std::fflush(m_out);
    m_lastDraw.start();
}

void Console::Put(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    const bool ok = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size());
    if (to == m_out && (!ok || (!m_progress && std::fflush(to) != 0)))
        m_written = false;
    if (to == m_err)
        std::fflush(to);
}

} // namespace kv7::run
