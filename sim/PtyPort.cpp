#include "sim/PtyPort.h"

#include "serial/PortFolder.h"
#include "sim/LineFormat.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kv7::sim {

namespace {

OpenError SystemError(const QString &what)
{
    return {QStringLiteral("%1: %2").arg(what, qt_error_string(errno)), false};
}

constexpr int PollMs = 20;
// How long reading pauses after the line reported an error or an end.
constexpr int ReadRetryMs = 100;

} // namespace

PtyPort::PtyPort(QObject *parent) : QObject(parent) {}

PtyPort::~PtyPort()
{
    Close();
}

OpenError PtyPort::Open(const QString &folder, int port)
{
    if (const QString err = PortFolder::Ensure(folder); !err.isEmpty())
        return {err, false};
    if (OpenError err = OpenTerminal(); err.Failed())
        return err;
    if (OpenError err = m_link.Make(folder, port, m_device); err.Failed())
        return err;
    Watch();
    return {};
}

OpenError PtyPort::OpenTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return SystemError(QStringLiteral("cannot open a pseudo-terminal"));
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return SystemError(QStringLiteral("cannot name the pseudo-terminal"));
    m_device = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        return SystemError(QStringLiteral("cannot open %1").arg(m_device));
    // Terminal settings on the master act on the terminal side, so this one
    // call makes the whole line raw; the client sets its own mode anyway.
    termios t {};
    if (::tcgetattr(m_slave, &t) != 0)
        return SystemError(QStringLiteral("cannot read the settings of %1").arg(m_device));
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &t) != 0)
        return SystemError(QStringLiteral("cannot set %1 raw").arg(m_device));
    m_format = ReadLineFormat(m_slave);
    return {};
}

void PtyPort::Watch()
{
    m_read = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    m_read->setEnabled(!m_readPaused);
    connect(m_read, &QSocketNotifier::activated, this, &PtyPort::OnReadable);
    m_write = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_write->setEnabled(false);
    connect(m_write, &QSocketNotifier::activated, this, &PtyPort::OnWritable);
    // There is no event for a change of terminal settings, so look.
    m_poll = new QTimer(this);
    m_poll->setInterval(PollMs);
    connect(m_poll, &QTimer::timeout, this, &PtyPort::PollSpeed);
    m_poll->start();
}

void PtyPort::Close()
{
    m_link.Remove();
    delete m_poll;
    m_poll = nullptr;
    delete m_read;
    m_read = nullptr;
    delete m_write;
    m_write = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    m_out.clear();
}

void PtyPort::SetLatency(int ms)
{
    delete m_latency;
    m_latency = new AdapterLatency(ms, [this](const QByteArray &bytes) { Hand(bytes); }, this);
}

void PtyPort::Write(const QByteArray &bytes)
{
    if (m_latency)
        m_latency->Push(bytes);
    else
        Hand(bytes);
}

void PtyPort::Hand(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    if (m_out.size() + bytes.size() > MaxPending) {
        m_dropped += bytes.size();
        return;
    }
    m_out.append(bytes);
    OnWritable();
}

void PtyPort::PauseReading(bool paused)
{
    m_readPaused = paused;
    if (m_read)
        m_read->setEnabled(!paused);
}

void PtyPort::OnWritable()
{
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break; // full: the notifier says when to go on
        } else {
            // The line is gone; waiting for it to drain would spin.
            m_out.clear();
        }
    }
    if (m_write)
        m_write->setEnabled(!m_out.isEmpty());
}

void PtyPort::OnReadable()
{
    // Bytes read now went at the speed set now, which a paced line needs
    // before the next look would come.
    PollSpeed();
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n > 0) {
        emit Received(QByteArray(buf, int(n)));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // An end or an error (EIO once no terminal side is open) stays readable
    // for ever: pause instead of spinning, then look again.
    m_read->setEnabled(false);
    QTimer::singleShot(ReadRetryMs, this, [this] {
        if (m_read && !m_readPaused)
            m_read->setEnabled(true);
    });
}

void PtyPort::PollSpeed()
{
    const LineFormat format = ReadLineFormat(m_slave);
    if (format.baud <= 0)
        return;
    const bool newSpeed = format.baud != m_format.baud;
    m_format = format;
    if (newSpeed)
        emit SpeedChanged(format.baud);
}

} // namespace kv7::sim
