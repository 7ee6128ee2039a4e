#include "bench/XmodemBaseline.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

namespace kv7::test {

namespace {

double Fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return -1;
}

// Waits for the end of `p`; an error text, empty when it ended with status 0.
QString Finish(QProcess &p, const QString &name, const QDeadlineTimer &deadline)
{
    if (!p.waitForFinished(int(deadline.remainingTime()))) {
        p.terminate(); // lets the bridge stop rx and remove its link
        if (!p.waitForFinished(2000)) {
            p.kill();
            p.waitForFinished(2000);
        }
        return QStringLiteral("%1 did not finish in time").arg(name);
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 failed (status %2): %3")
            .arg(name)
            .arg(p.exitCode())
            .arg(QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
    return {};
}

} // namespace

double TimeSxToRx(const QString &image, const QString &outFile, QString *error, int timeoutMs)
{
    // rx runs under the bridge, so the baseline receives exactly as the
    // upload tests do, only without the "{" handshake.
    const QTemporaryDir folder;
    if (!folder.isValid())
        return Fail(error, QStringLiteral("cannot create a port folder"));
    const QDeadlineTimer deadline(timeoutMs);
    QElapsedTimer clock;
    clock.start();

    QProcess rx;
    rx.start(QStringLiteral(KV7_XMODEM_BRIDGE_PATH),
             {QStringLiteral("--folder"), folder.path(), QStringLiteral("--com"), QStringLiteral("1"),
              QStringLiteral("--out"), outFile, QStringLiteral("--no-handshake"), QStringLiteral("--stay")});
    QByteArray line;
    while (!line.contains('\n') && rx.waitForReadyRead(int(deadline.remainingTime())))
        line += rx.readAllStandardOutput();
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 2) {
        rx.kill();
        rx.waitForFinished(5000);
        return Fail(error, QStringLiteral("the bridge did not start: %1")
                               .arg(QString::fromLocal8Bit(rx.readAllStandardError()).trimmed()));
    }

    const int terminal = ::open(fields[1].constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) {
        rx.kill();
        rx.waitForFinished(5000);
        return Fail(error, QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(fields[1])));
    }
    QProcess sx;
    sx.setChildProcessModifier([terminal] {
        if (::dup2(terminal, 0) < 0 || ::dup2(terminal, 1) < 0)
            ::_exit(127);
    });
    // -X without -k: XMODEM in 128-byte blocks; the checksum is the one rx asks for.
    sx.start(QStringLiteral("/usr/bin/sx"), {QStringLiteral("-X"), QStringLiteral("-b"), QStringLiteral("-q"), image});
    ::close(terminal);

    const QString sxError = Finish(sx, QStringLiteral("sx"), deadline);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    // The bridge keeps the line until told, so sx surely reads rx's last ACK.
    QByteArray rest;
    while (sxError.isEmpty() && !rest.contains("rx exited") && rx.waitForReadyRead(int(deadline.remainingTime())))
        rest += rx.readAllStandardOutput();
    rx.terminate();
    QString rxError = Finish(rx, QStringLiteral("rx"), deadline);
    if (rest.contains("rx exited") && !rest.contains("rx exited 0\n"))
        rxError = QStringLiteral("rx failed: %1").arg(QString::fromLatin1(rest.trimmed()));
    if (!sxError.isEmpty() || !rxError.isEmpty())
        return Fail(error, sxError.isEmpty() ? rxError : sxError);
    return seconds;
}

} // namespace kv7::test
