#pragma once

#include <QProcess>
#include <QStringList>

namespace kv7::test {

// A kv7-sim run for one test (or another program that links a port the
// same way and prints "COM<n> <device>" first): started on a given port
// folder, stopped (and its link removed) when the object goes.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator and waits (at most 5 s) for the port it serves.
    bool Start(const QString &folder, const QStringList &options = {},
               const QString &program = QStringLiteral(KV7_SIM_PATH));
    // Start() in two halves, for several simulators started at once.
    void Launch(const QString &folder, const QStringList &options = {},
                const QString &program = QStringLiteral(KV7_SIM_PATH));
    bool AwaitPort();
    void Stop();
    qint64 Pid() const { return m_process.processId(); }

    int Port() const { return m_port; }
    QString Device() const { return m_device; }
    // Every line it printed so far, the port line first.
    QStringList Lines();
    // Waits (at most `ms`) until it printed `line`.
    bool WaitForLine(const QString &line, int ms = 5000);

private:
    void ReadLines();

    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    int m_port = 0;
    QString m_device;
};

} // namespace kv7::test
