#include "serial/QtSerialControl.h"

#include "protocol/OutsideText.h"

#include "serial/HeldLocks.h"
#include "serial/PortLock.h"
#include "serial/PortFacts.h"
#include "serial/PortMap.h"
#include "serial/PortPermission.h"
#include "serial/PortSharers.h"
#include "serial/TerminalOwner.h"

#include <cerrno>
#include <limits>

#include <poll.h>
#include <unistd.h>

namespace kv7 {

namespace {

QSerialPort::Parity ToParity(char p)
{
    switch (p) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits ToStopBits(const QString &s)
{
    if (s == QLatin1String("2"))
        return QSerialPort::TwoStop;
    if (s == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    return QSerialPort::OneStop;
}

bool HungUp(int fd)
{
    pollfd p {fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

QtSerialControl::QtSerialControl(const PortMap &ports, QObject *parent) : SerialControl(parent), m_ports(ports)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialControl::OnComm);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::OnError);
}

QtSerialControl::~QtSerialControl()
{
    m_port.close();
    HeldLocks::Remove(m_lockFile);
}

SerialResult QtSerialControl::OpenDevice(int port, const SerialSettings &settings)
{
    const QString path = m_ports.DevicePath(port);
    if (path.isEmpty()) {
        const QString absence = m_ports.Absence(port);
        return SerialResult::Fail(absence.isEmpty() ? QStringLiteral("COM%1 does not exist.").arg(port)
                                                    : absence + QLatin1Char('.'));
    }
    // Paths and names below come from links, lock files and /proc: shown
    // as plain, capped text.
    const QString shown = ShownText(path);
    // A stale link may lead to a pty the kernel has since given to a
    // terminal tab: frames written there would be typed into its shell.
    if (const std::optional<TerminalUser> user = ControllingProgram(path)) {
        return SerialResult::Fail(QStringLiteral("%1 is in use by another program: it is the terminal of %2 (process %3).")
                                      .arg(shown, ShownText(user->name), QString::number(user->pid)));
    }
    if (const QString problem = LockPathProblem(path); !problem.isEmpty())
        return SerialResult::Fail(problem);
    m_port.setPortName(path);
    if (!m_port.open(QIODevice::ReadWrite)) {
        // In plain words: the device is gone, someone else holds it, or this
        // user may not use it.
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return SerialResult::Fail(QStringLiteral("%1 does not exist.").arg(shown));
        case QSerialPort::PermissionError: {
            // Not ours to use, or locked: by a live program, or by a dead
            // one's lock file that this user cannot clear.
            QString advice = PermissionAdvice(path);
            if (advice.isEmpty())
                advice = LockAdvice(path);
            return SerialResult::Fail(advice.isEmpty() ? QStringLiteral("%1 is in use by another program.").arg(shown)
                                                       : advice);
        }
        default:
            return SerialResult::Fail(QStringLiteral("%1 cannot be opened: %2.").arg(shown, m_port.errorString()));
        }
    }
    m_device = path;
    m_lockFile = LockFilePath(path);
    HeldLocks::Add(m_lockFile);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // What arrived before this open belongs to an earlier session (a reply
    // to a command sent before a speed change, say).
    m_port.clear(QSerialPort::Input);
    SetFacts(ReadPortFacts(path, AskLowLatency(int(m_port.handle())), m_ports.Roots()));
    SerialResult applied = ApplySettings(settings);
    if (!applied.ok())
        CloseDevice();
    return applied;
}

QString QtSerialControl::SharedWith() const
{
    return m_port.isOpen() ? SharedWarning(m_device, OtherHolders(m_device)) : QString();
}

void QtSerialControl::CloseDevice()
{
    m_port.close();
    HeldLocks::Remove(m_lockFile);
}

SerialResult QtSerialControl::ApplySettings(const SerialSettings &settings)
{
    const bool ok = m_port.setBaudRate(settings.baud) && m_port.setParity(ToParity(settings.parity)) &&
                    m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
                    m_port.setStopBits(ToStopBits(settings.stopBits));
    if (!ok)
        return SerialResult::Fail(QStringLiteral("settings %1 refused: %2").arg(settings.ToText(), m_port.errorString()));
    return SerialResult::Ok();
}

SerialResult QtSerialControl::WriteDevice(const QByteArray &bytes)
{
    // With nothing queued, hand the bytes to the line directly: going through
    // QSerialPort's buffer arms and disarms its write notifier on every
    // write, which costs a wake-up of the event loop per block in an upload.
    qsizetype done = 0;
    if (m_port.bytesToWrite() == 0) {
        const ssize_t n = ::write(int(m_port.handle()), bytes.constData(), size_t(bytes.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            const QString why = qt_error_string(errno);
            // The device is gone: the same as when the read side notices.
            if (errno == EIO || errno == ENXIO || errno == ENODEV) {
                Lose(why);
                return SerialResult::Lost(why);
            }
            return SerialResult::Fail(why);
        }
        done = n > 0 ? n : 0;
    }
    if (done == bytes.size())
        return SerialResult::Ok();
    if (m_port.write(bytes.constData() + done, bytes.size() - done) != bytes.size() - done)
        return SerialResult::Fail(m_port.errorString());
    // Push the bytes to the line now; what does not fit goes out from the
    // event loop, in order.
    m_port.flush();
    if (!m_port.isOpen())
        return SerialResult::Lost(QStringLiteral("the port was lost while writing"));
    return SerialResult::Ok();
}

int QtSerialControl::BytesWaiting() const
{
    const qint64 n = m_port.bytesAvailable();
    return n > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(n);
}

void QtSerialControl::OnError(QSerialPort::SerialPortError error)
{
    // A device that went away: release it, so the next write reports a
    // closed port instead of writing into nothing.
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    // An unplugged adapter reports a resource error. A pseudo-terminal
    // whose other side closed reports read, framing or break errors, again
    // and again for as long as it stays open; its hang-up tells them apart
    // from a real line fault.
    if (error == QSerialPort::ResourceError || HungUp(int(m_port.handle())))
        Lose(m_port.errorString());
}

void QtSerialControl::Lose(const QString &why)
{
    if (!m_port.isOpen())
        return;
    CloseDevice();
    emit PortLost(why);
}

} // namespace kv7
