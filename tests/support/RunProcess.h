#pragma once

#include <QProcess>
#include <QStringList>

namespace kv7::test {

// kv7-run started on the port folder under `runtime` (as XDG_RUNTIME_DIR),
// without a display; with `shell`, that shell command runs it as "$0" "$@".
inline void StartKv7Run(QProcess &run, const QString &runtime, const QStringList &args, const QString &shell = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("DISPLAY"));
    run.setProcessEnvironment(env);
    if (shell.isEmpty())
        run.start(QStringLiteral(KV7_RUN_PATH), args);
    else
        run.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), shell, QStringLiteral(KV7_RUN_PATH)} + args);
}

} // namespace kv7::test
