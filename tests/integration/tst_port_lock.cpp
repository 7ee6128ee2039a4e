// A port's lock and what others leave around it: one device has one lock
// however it is spelled; a lock path that is no plain file fails the open
// at once; what a lock file or a process's name says is shown escaped and
// capped; and the lock goes with the program however it ends.
#include "serial/HeldLocks.h"
#include "serial/PortLock.h"
#include "serial/PortMap.h"
#include "serial/PortSharers.h"
#include "serial/QtSerialControl.h"
#include "tests/support/FreshPty.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kv7;

namespace {

// A serial control on its own map, opening `path` as the user gave it.
struct Opener {
    explicit Opener(const QString &path) : map(QString(), false), serial(map)
    {
        number = map.AddDevice(path);
    }
    SerialResult Open()
    {
        SerialResult done = serial.SetCommPort(number);
        return done.ok() ? serial.SetPortOpen(true) : done;
    }

    PortMap map;
    QtSerialControl serial;
    int number = 0;
};

bool Printable(const QString &text)
{
    for (const QChar ch : text)
        if (ch.unicode() < 32 || ch.unicode() == 127)
            return false;
    return true;
}

} // namespace

class TestPortLock : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Held under one spelling, the device is in use under every other.
    void oneDeviceOneLock_data()
    {
        QTest::addColumn<QString>("spelling"); // @ stands for the device's name under /dev
        QTest::newRow("a dot") << "/dev/./@";
        QTest::newRow("a detour") << "/dev/pts/../@";
        QTest::newRow("a link") << "link";
        QTest::newRow("itself") << "/dev/@";
    }
    void oneDeviceOneLock()
    {
        QFETCH(QString, spelling);
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        const QString name = pty.device.mid(5);
        if (spelling == QLatin1String("link")) {
            spelling = m_dir.filePath(QStringLiteral("serial-link"));
            QFile::remove(spelling);
            QVERIFY(QFile::link(pty.device, spelling));
        }
        spelling.replace(QLatin1Char('@'), name);
        Opener first(pty.device);
        QVERIFY(first.Open().ok());
        Opener second(spelling);
        const SerialResult refused = second.Open();
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error.startsWith(pty.device + QStringLiteral(" is in use by another program: it is held by")),
                 qPrintable(refused.error));
        QVERIFY(!second.serial.PortOpen());
    }

    // A FIFO (or anything but a file) at the lock's path would block every
    // open for good: the open fails at once and names it.
    void lockPathThatIsNoFile()
    {
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        const QString lock = LockFilePath(pty.device);
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0644), 0);
        Opener opener(pty.device);
        QElapsedTimer clock;
        clock.start();
        const SerialResult refused = opener.Open();
        QVERIFY(QFile::remove(lock));
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(refused.error, QStringLiteral("%1 cannot be opened: its lock file %2 is not a regular file. Remove it "
                                               "with \"sudo rm %2\", then choose the port again.")
                                    .arg(pty.device, lock));
    }

    // Anyone may plant a lock file and hold it; its words reach the user
    // only as plain, escaped and capped text.
    void plantedLockIsShownEscaped()
    {
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        const QString lock = LockFilePath(pty.device);
        const QByteArray program = "\x1b[2J<b>FIRMWARE CORRUPT</b>" + QByteArray(300, 'A');
        QFile planted(lock);
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write(QByteArray::number(::getpid()) + '\n' + program + "\nhost\n");
        planted.flush();
        QCOMPARE(::flock(planted.handle(), LOCK_EX | LOCK_NB), 0);
        Opener opener(pty.device);
        const SerialResult refused = opener.Open();
        planted.remove();
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error.contains(QStringLiteral("held by <27>[2J<b>FIRMWARE CORRUPT</b>AAA")), qPrintable(refused.error));
        QVERIFY2(Printable(refused.error), qPrintable(refused.error));
        QVERIFY2(refused.error.contains(QStringLiteral("A… (process %1).").arg(::getpid())), qPrintable(refused.error));
        QVERIFY(refused.error.size() < 300);
    }

    // The program whose terminal the pty is, named as /proc gives it.
    void terminalOwnerIsShownEscaped()
    {
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            ::prctl(PR_SET_NAME, "\x1b]0;owned\x07", 0, 0, 0);
            // Without O_NOCTTY a session leader's first tty becomes its terminal.
            const int fd = ::open(pty.device.toLocal8Bit().constData(), O_RDWR);
            (void)!::write(ready[1], fd >= 0 ? "y" : "n", 1);
            ::pause();
            ::_exit(0);
        }
        char answer = 0;
        QCOMPARE(::read(ready[0], &answer, 1), ssize_t(1));
        Opener opener(pty.device);
        const SerialResult refused = opener.Open();
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        QCOMPARE(answer, 'y');
        QCOMPARE(refused.error, QStringLiteral("%1 is in use by another program: it is the terminal of <27>]0;owned<7> "
                                               "(process %2).")
                                    .arg(pty.device)
                                    .arg(child));
    }

    // kv7-sim holds both ends of its pty and is no rival; a process that
    // opened the device besides it is, until it ends.
    void otherHoldersOnARealPty()
    {
        QTemporaryDir folder;
        test::SimProcess sim;
        QVERIFY(sim.Start(folder.path()));
        QVERIFY(OtherHolders(sim.Device()).isEmpty());
        QProcess holder;
        const QString hold = QStringLiteral("exec sleep 30 <\"$0\"");
        holder.start(QStringLiteral("sh"), {QStringLiteral("-c"), hold, sim.Device()});
        QVERIFY(holder.waitForStarted());
        const QString expected = SharedWarning(sim.Device(), {{holder.processId(), QStringLiteral("sleep")}});
        QTRY_COMPARE(SharedWarning(sim.Device(), OtherHolders(sim.Device())), expected);
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(OtherHolders(sim.Device()).isEmpty());
    }

    // However the program ends short of SIGKILL, the lock file goes with it:
    // here an abort, as a fatal error from Qt gives.
    void lockGoesWithAnAbort()
    {
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        const QString lock = LockFilePath(pty.device);
        int opened[2];
        int go[2];
        QCOMPARE(::pipe(opened), 0);
        QCOMPARE(::pipe(go), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            HeldLocks::ReleaseOnExit();
            Opener opener(pty.device);
            (void)!::write(opened[1], opener.Open().ok() ? "y" : "n", 1);
            char any = 0;
            (void)!::read(go[0], &any, 1);
            std::abort();
        }
        char answer = 0;
        QCOMPARE(::read(opened[0], &answer, 1), ssize_t(1));
        QCOMPARE(answer, 'y');
        QVERIFY(QFile::exists(lock));
        QCOMPARE(::write(go[1], "x", 1), ssize_t(1));
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        for (int fd : {opened[0], opened[1], go[0], go[1]})
            ::close(fd);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
        QVERIFY(!QFile::exists(lock));
    }
};

QTEST_GUILESS_MAIN(TestPortLock)
#include "tst_port_lock.moc"
