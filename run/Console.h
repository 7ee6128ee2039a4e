#pragma once

#include <QString>

#include <QElapsedTimer>
#include <cstdio>
#include <mutex>
#include <vector>

namespace kv7::run {

// What kv7-run prints, from any port's thread: each step's line on stdout,
// failures on stderr, and, when stdout is a terminal, one progress line per
// port during uploads, redrawn in place below the other lines.
class Console {
public:
    Console(std::FILE *out, std::FILE *err, bool progress, int ports);

    void Line(const QString &text);
    void Failure(const QString &text);
    // The port's progress line; an empty text takes it away.
    void Progress(int port, const QString &text);
    // False once a write to stdout failed (a closed pipe, a full disk).
    bool Written() const { return m_written; }

private:
    void Erase();
    void Draw();
    void Put(std::FILE *to, const QString &text);

    std::mutex m_mutex;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progress;
    std::vector<QString> m_lines;
    int m_drawn = 0;
    QElapsedTimer m_lastDraw;
    bool m_written = true;
};

} // namespace kv7::run
