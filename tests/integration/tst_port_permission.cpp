// Opening a port the user may not use, or whose lock a dead process left
// behind: the message must say why and how to fix it. Root may open any tty
// and remove any lock, so the case runs in a child process that drops to
// the unprivileged user "nobody".
#include "serial/PortLock.h"
#include "serial/PortPermission.h"
#include "tests/support/FreshPty.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using namespace kv7;

namespace {

constexpr uid_t Nobody = 65534;

// In the child: start the window on COM1 linked to `device`, print what the
// message boxes said and whether the port opened.
int RunWindowOn(const QString &device)
{
    test::SimLink link;
    if (!link.dir.isValid() || !QFile::link(device, PortFolder::LinkPath(link.dir.path(), 1)))
        return 3;
    std::printf("open=%d\n", link.Open() ? 1 : 0);
    for (int i = 0; i < link.messages.texts.size(); ++i)
        std::printf("%s | %s\n", qPrintable(link.messages.texts[i]), qPrintable(link.messages.details[i]));
    return 0;
}

// The pid of a process that has ended.
pid_t DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

} // namespace

class TestPortPermission : public QObject {
    Q_OBJECT
private:
    // The output of this program, run as "nobody" with the given extra groups.
    static QString AsNobody(const QString &device, const QString &groups)
    {
        QProcess child;
        QStringList args{QStringLiteral("--reuid=%1").arg(Nobody), QStringLiteral("--regid=%1").arg(Nobody)};
        args << (groups.isEmpty() ? QStringLiteral("--clear-groups") : QStringLiteral("--groups=") + groups);
        args << s_copy << QStringLiteral("--child") << device;
        child.start(QStringLiteral("setpriv"), args);
        if (!child.waitForFinished(20000) || child.exitCode() != 0)
            return QStringLiteral("child failed: ") + QString::fromLocal8Bit(child.readAllStandardError());
        return QString::fromLocal8Bit(child.readAllStandardOutput());
    }

    static inline QString s_copy;
    QTemporaryDir m_bin;

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root and setpriv to run a case as another user");
        // The program, where "nobody" may run it.
        QVERIFY(m_bin.isValid());
        s_copy = m_bin.filePath(QStringLiteral("probe"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), s_copy));
        QCOMPARE(::chmod(m_bin.path().toLocal8Bit().constData(), 0755), 0);
    }

    // A terminal of our own, set to an owner group and mode, opened by
    // "nobody": the advice names a group only where that group may use it.
    // A lock file of root's left by a dead process is named with its remedy.
    void refusedPortSaysWhatToDo_data()
    {
        QTest::addColumn<QString>("owningGroup");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("nobodyIn");
        QTest::addColumn<bool>("staleLock");
        QTest::addColumn<QString>("said"); // empty: opens without a word
        QTest::newRow("dialout 660, not a member")
            << "dialout" << 0660 << "" << false << "Your user may not use %1: only members of the group \"dialout\" may. Add yourself with \"sudo usermod -aG dialout $USER\"";
        QTest::newRow("dialout 660, a member") << "dialout" << 0660 << "dialout" << false << "";
        QTest::newRow("root 600") << "root" << 0600 << "" << false << "Your user may not use %1: only root may (mode 600). A udev rule";
        QTest::newRow("dialout 600, a member") << "dialout" << 0600 << "dialout" << false << "Your user may not use %1: only root may (mode 600).";
        QTest::newRow("root's stale lock")
            << "dialout" << 0660 << "dialout" << true
            << "%1 is free, but the lock file %2 left by process %3, which no longer runs, belongs to root and your "
               "user may not remove it. Remove it with \"sudo rm %2\", then choose the port again.";
    }
    void refusedPortSaysWhatToDo()
    {
        QFETCH(QString, owningGroup);
        QFETCH(int, mode);
        QFETCH(QString, nobodyIn);
        QFETCH(bool, staleLock);
        QFETCH(QString, said);
        const test::FreshPty pty;
        QVERIFY(pty.master >= 0);
        const QString &device = pty.device;
        const group *owner = ::getgrnam(owningGroup.toLocal8Bit().constData());
        QVERIFY(owner);
        QCOMPARE(::chown(device.toLocal8Bit().constData(), 0, owner->gr_gid), 0);
        QCOMPARE(::chmod(device.toLocal8Bit().constData(), mode_t(mode)), 0);
        QVERIFY(PermissionAdvice(device).isEmpty()); // root may

        const QString lock = LockFilePath(device);
        const pid_t dead = DeadPid();
        if (staleLock) {
            // As QLockFile writes it: pid, program, host.
            QVERIFY(test::WriteFile(lock, QByteArray::number(dead) + "\nghost\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
        }
        const QString out = AsNobody(device, nobodyIn);
        if (staleLock)
            QVERIFY(QFile::remove(lock));
        if (said.isEmpty()) {
            QCOMPARE(out, QStringLiteral("open=1\n"));
        } else {
            const QString expected = staleLock ? said.arg(device, lock).arg(dead) : said.arg(device);
            QVERIFY2(out.startsWith(QStringLiteral("open=0\nError while trying to open COM1. | ") + expected), qPrintable(out));
            QVERIFY2(out.count(QLatin1Char('\n')) == 2, qPrintable(out)); // one message
        }
    }
};

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--child")
        return RunWindowOn(QString::fromLocal8Bit(argv[2]));
    TestPortPermission test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_port_permission.moc"
