// A firmware receiver on a pseudo-terminal for the upload tests: it links
// the terminal as COM<n>, sits through the boot frame, answers the "{"
// handshake and then relays the line to lrzsz rx, which receives the image
// by XMODEM (128-byte blocks, 8-bit checksum) into a file. The KV7's boot
// loader numbers blocks 1..255 and then 1 again, where XMODEM goes on with
// 0; the relay renumbers the frames in sequence, so rx accepts either.
//
//   xmodem_bridge --folder DIR --com N --out FILE [--rx PATH] [--no-handshake] [--stay]
//
// Prints "COM<n> <device>" once the link is in place and exits with rx's
// status, removing the link. With --stay it prints "rx exited <status>"
// instead and keeps the line, as a device would, until it is signalled, so
// the client can reopen the port. --no-handshake starts rx at once, for a plain
// XMODEM sender such as lrzsz sx.
//
// It opens and links its pty in plain POSIX rather than through kv7-sim's
// PtyPort: it forks and execs rx, relays with poll() and must remove its
// link from a signal handler, none of which fits a Qt event loop, and a
// baseline for timing is best kept free of the program it measures.

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr char Brace = '{';
// The sender repeats its "{" every 10 ms; this much quiet means it stopped.
constexpr int QuietMs = 30;

volatile sig_atomic_t g_signal = 0;

void OnSignal(int sig)
{
    g_signal = sig;
}

void OnChild(int) {}

// The signals stay blocked but for the waits, which unblock them
// atomically, so none can slip in between a check and a wait.
sigset_t g_waitMask;

void CatchSignals()
{
    struct sigaction sa {};
    ::sigemptyset(&sa.sa_mask);
    sa.sa_handler = OnSignal;
    sigset_t blocked;
    ::sigemptyset(&blocked);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &sa, nullptr);
        ::sigaddset(&blocked, sig);
    }
    sa.sa_handler = OnChild;
    ::sigaction(SIGCHLD, &sa, nullptr);
    ::sigaddset(&blocked, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &blocked, &g_waitMask);
}

struct Options {
    std::string folder;
    std::string out;
    std::string rx = "/usr/bin/rx";
    int com = 0;
    bool handshake = true;
    bool stay = false;
};

std::string g_link;
std::string g_device;

// Only our own link: another bridge may have taken the number since.
void RemoveLink()
{
    if (g_link.empty())
        return;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(g_link.c_str(), target, sizeof target);
    if (n > 0 && std::string(target, size_t(n)) == g_device)
        ::unlink(g_link.c_str());
    g_link.clear();
}

[[noreturn]] void Fail(const std::string &what)
{
    std::fprintf(stderr, "xmodem_bridge: %s: %s\n", what.c_str(), std::strerror(errno));
    RemoveLink();
    std::exit(2);
}

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: xmodem_bridge --folder DIR --com N --out FILE [--rx PATH] [--no-handshake] [--stay]\n");
    std::exit(2);
}

Options Parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-handshake" || a == "--stay") {
            (a == "--stay" ? o.stay : o.handshake) = a == "--stay";
            continue;
        }
        if (i + 1 >= argc)
            Usage();
        const char *v = argv[++i];
        if (a == "--folder")
            o.folder = v;
        else if (a == "--com")
            o.com = int(std::strtol(v, nullptr, 10));
        else if (a == "--out")
            o.out = v;
        else if (a == "--rx")
            o.rx = v;
        else
            Usage();
    }
    if (o.folder.empty() || o.out.empty() || o.com < 1 || o.com > 255)
        Usage();
    return o;
}

[[noreturn]] void ExitOnSignal()
{
    RemoveLink();
    std::_Exit(128 + g_signal);
}

// The master of a new raw pseudo-terminal. The slave we keep open, so the
// client closing and reopening it never hangs the line up.
int OpenTerminal(int *slave)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        Fail("cannot open a pseudo-terminal");
    const char *name = ::ptsname(master);
    if (!name)
        Fail("cannot name the pseudo-terminal");
    g_device = name;
    *slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (*slave < 0)
        Fail("cannot open " + g_device);
    termios t {};
    if (::tcgetattr(*slave, &t) != 0)
        Fail("cannot read the settings of " + g_device);
    ::cfmakeraw(&t);
    if (::tcsetattr(*slave, TCSANOW, &t) != 0)
        Fail("cannot set " + g_device + " raw");
    return master;
}

void Link(const Options &o)
{
    if (::mkdir(o.folder.c_str(), 0700) != 0 && errno != EEXIST)
        Fail("cannot create " + o.folder);
    const std::string link = o.folder + "/COM" + std::to_string(o.com);
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        // A dangling link is left over from a run that was killed.
        if (!S_ISLNK(st.st_mode) || ::stat(link.c_str(), &st) == 0) {
            errno = EEXIST;
            Fail("cannot link " + link);
        }
        ::unlink(link.c_str());
    }
    if (::symlink(g_device.c_str(), link.c_str()) != 0)
        Fail("cannot link " + link);
    g_link = link;
}

long long NowMs()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Waits at most `ms` (-1: for ever) for one byte; false on a timeout.
bool ReadByte(int fd, int ms, char *c)
{
    for (;;) {
        if (g_signal)
            ExitOnSignal();
        pollfd p {fd, POLLIN, 0};
        timespec limit {ms / 1000, (ms % 1000) * 1000000L};
        const int r = ::ppoll(&p, 1, ms < 0 ? nullptr : &limit, &g_waitMask);
        if (r == 0)
            return false;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot wait for " + g_device);
        }
        const ssize_t n = ::read(fd, c, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            Fail("cannot read " + g_device);
    }
}

// Everything before the first "{" is the boot frame at the old speed. Once
// the "{"s stop, one "{" answers them, and the sender's "{" confirms.
void Handshake(int master)
{
    char c = 0;
    do
        ReadByte(master, -1, &c);
    while (c != Brace);
    long long last = NowMs();
    for (;;) {
        const int left = int(last + QuietMs - NowMs());
        if (left <= 0 || !ReadByte(master, left, &c))
            break;
        if (c == Brace)
            last = NowMs();
    }
    while (::write(master, &Brace, 1) != 1) {
        if (errno != EINTR)
            Fail("cannot write " + g_device);
    }
    do
        ReadByte(master, -1, &c);
    while (c != Brace);
}

// rx on one end of a socket pair; the relay holds the other. A socket
// also spares rx's habit of flushing its input after every ACK, which on a
// pty throws away the sender's next block. rx refuses absolute names unless
// unrestricted, so it runs in the file's folder.
pid_t StartRx(const Options &o, int line)
{
    char rx[PATH_MAX];
    if (!::realpath(o.rx.c_str(), rx))
        Fail("cannot find " + o.rx);
    const size_t slash = o.out.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : o.out.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? o.out : o.out.substr(slash + 1);
    const pid_t pid = ::fork();
    if (pid < 0)
        Fail("cannot start " + o.rx);
    if (pid == 0) {
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
            ::signal(sig, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &g_waitMask, nullptr);
        if (::dup2(line, 0) < 0 || ::dup2(line, 1) < 0 || ::chdir(dir.c_str()) != 0)
            std::_Exit(127);
        // -X without -c: XMODEM with the 8-bit checksum, asked for by NAK.
        ::execl(rx, rx, "-X", "-b", "-q", "-y", file.c_str(), static_cast<char *>(nullptr));
        std::_Exit(127);
    }
    return pid;
}

// Closing the master hangs the line up, which drops what the client has not
// read yet: rx's last ACK. So wait (briefly) until the client has it.
void Drain(int slave)
{
    constexpr int StepMs = 10;
    constexpr int MaxMs = 5000;
    const timespec step {0, StepMs * 1000000L};
    int waiting = 1;
    for (int ms = 0; ms < MaxMs && waiting > 0; ms += StepMs) {
        ::ppoll(nullptr, 0, &step, &g_waitMask);
        if (g_signal)
            ExitOnSignal();
        if (::ioctl(slave, FIONREAD, &waiting) != 0)
            break;
    }
}

// Gives consecutive block frames consecutive XMODEM numbers; a repeated
// frame keeps the number of the one it repeats.
class Renumber {
public:
    static constexpr size_t FrameSize = 132;

    // Bytes from the sender; appends what rx is to get.
    void Feed(const char *data, size_t n, std::string *out)
    {
        for (size_t i = 0; i < n; ++i) {
            if (m_frame.empty() && data[i] != '\x01') {
                *out += data[i]; // EOT, or anything outside a frame
                continue;
            }
            m_frame += data[i];
            if (m_frame.size() < FrameSize)
                continue;
            const auto number = static_cast<unsigned char>(m_frame[1]);
            if (!m_started || number != m_lastNumber)
                m_sequence = m_started ? (m_sequence + 1) & 0xFF : 1;
            m_started = true;
            m_lastNumber = number;
            m_frame[1] = char(m_sequence);
            m_frame[2] = char(255 - m_sequence);
            *out += m_frame;
            m_frame.clear();
        }
    }

private:
    std::string m_frame;
    bool m_started = false;
    unsigned char m_lastNumber = 0;
    unsigned m_sequence = 0;
};

void WriteAll(int fd, const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN) {
            pollfd p {fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (w <= 0)
            Fail("cannot write");
        data += w;
        n -= size_t(w);
    }
}

// Moves bytes both ways until rx ends; its exit status.
int Relay(int master, int rx, pid_t pid)
{
    Renumber renumber;
    char buffer[4096];
    int status = 0;
    for (;;) {
        if (g_signal) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, &status, 0);
            ExitOnSignal();
        }
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        pollfd p[2] = {{master, POLLIN, 0}, {rx, POLLIN, 0}};
        // Once rx has ended, only pass on what it wrote last.
        const int r = ::ppoll(ended == pid ? p + 1 : p, ended == pid ? 1 : 2, nullptr, &g_waitMask);
        if (r < 0 && errno != EINTR)
            Fail("cannot wait for the line");
        if (ended != pid && (p[0].revents & POLLIN)) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                std::string out;
                renumber.Feed(buffer, size_t(n), &out);
                WriteAll(rx, out.data(), out.size());
            }
        }
        if (r > 0 && (p[1].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = ::read(rx, buffer, sizeof buffer);
            if (n > 0)
                WriteAll(master, buffer, size_t(n));
            else if (n == 0 && ended == pid)
                break;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = Parse(argc, argv);
    CatchSignals();

    int slave = -1;
    const int master = OpenTerminal(&slave);
    Link(o);
    std::printf("COM%d %s\n", o.com, g_device.c_str());
    std::fflush(stdout);

    if (o.handshake)
        Handshake(master);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        Fail("cannot connect rx");
    const pid_t rx = StartRx(o, pair[1]);
    ::close(pair[1]);
    const int status = Relay(master, pair[0], rx);
    if (o.stay) {
        std::printf("rx exited %d\n", status);
        std::fflush(stdout);
        while (!g_signal)
            ::sigsuspend(&g_waitMask);
    } else {
        Drain(slave);
    }
    RemoveLink();
    return status;
}
