#include "sim/PtyPort.h"

#include "serial/PortFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kv7::sim {

namespace {

QString Errno(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

int Baud(speed_t s)
{
    static const struct {
        speed_t code;
        int baud;
    } table[] = {{B50, 50},       {B75, 75},       {B110, 110},       {B134, 134},       {B150, 150},
                 {B200, 200},     {B300, 300},     {B600, 600},       {B1200, 1200},     {B1800, 1800},
                 {B2400, 2400},   {B4800, 4800},   {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                 {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto &e : table)
        if (e.code == s)
            return e.baud;
    return 0;
}

} // namespace

PtyPort::PtyPort(QObject *parent) : QObject(parent) {}

PtyPort::~PtyPort()
{
    Close();
}

QString PtyPort::Open(const QString &folder, int port)
{
    if (const QString err = PortFolder::Ensure(folder); !err.isEmpty())
        return err;
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return Errno("cannot open a pseudo-terminal");
    const char *name = ::ptsname(m_master);
    if (!name)
        return Errno("ptsname");
    m_device = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return Errno("cannot open the terminal side");
    termios t {};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B9600);
    ::tcsetattr(m_slave, TCSANOW, &t);
    m_speed = Baud(::cfgetospeed(&t));

    m_port = port > 0 ? port : PortFolder::LowestFree(folder);
    if (m_port < 1 || m_port > 255)
        return QStringLiteral("no free port number in %1").arg(folder);
    const QString link = PortFolder::LinkPath(folder, m_port);
    if (QFileInfo(link).isSymLink()) {
        // A live link is another device's; a dangling one is left over.
        if (QFileInfo::exists(link))
            return QStringLiteral("COM%1 is already served (%2)").arg(m_port).arg(link);
        QFile::remove(link);
    }
    if (::symlink(name, QFile::encodeName(link).constData()) != 0)
        return Errno(qPrintable(QStringLiteral("cannot link %1").arg(link)));
    m_link = link;

    m_read = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_read, &QSocketNotifier::activated, this, &PtyPort::OnReadable);
    m_write = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_write->setEnabled(false);
    connect(m_write, &QSocketNotifier::activated, this, &PtyPort::OnWritable);
    m_poll = new QTimer(this);
    m_poll->setInterval(20);
    connect(m_poll, &QTimer::timeout, this, &PtyPort::PollSpeed);
    m_poll->start();
    return {};
}

void PtyPort::Close()
{
    // Remove the link only while it still names our terminal.
    if (!m_link.isEmpty() && QFile::symLinkTarget(m_link) == m_device)
        QFile::remove(m_link);
    m_link.clear();
    delete m_read;
    m_read = nullptr;
    delete m_write;
    m_write = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

void PtyPort::Write(const QByteArray &bytes)
{
    m_out.append(bytes);
    OnWritable();
}

void PtyPort::OnWritable()
{
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // full (EAGAIN): the notifier says when to go on
    }
    if (m_write)
        m_write->setEnabled(!m_out.isEmpty());
}

void PtyPort::OnReadable()
{
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n > 0) {
        emit Received(QByteArray(buf, int(n)));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // Cannot happen while we hold the terminal side; never spin on it.
        m_read->setEnabled(false);
    }
}

void PtyPort::PollSpeed()
{
    termios t {};
    if (::tcgetattr(m_slave, &t) != 0)
        return;
    const int speed = Baud(::cfgetospeed(&t));
    if (speed != m_speed) {
        m_speed = speed;
        emit SpeedChanged(speed);
    }
}

} // namespace kv7::sim
