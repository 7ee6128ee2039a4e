// Opening a port the user may not use: the message must say why and how to
// fix it. Root may open any tty, so the case runs in a child process that
// drops to the unprivileged user "nobody".
#include "serial/PortPermission.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

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

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root and setpriv to run a case as another user");
    }

    void refusedPortSaysWhichGroupToJoin()
    {
        // A terminal of our own that only root and the group dialout may use.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString device = QString::fromLocal8Bit(::ptsname(master));
        const group *dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        QCOMPARE(::chown(device.toLocal8Bit().constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(device.toLocal8Bit().constData(), 0660), 0);
        // The program, where "nobody" may run it.
        QTemporaryDir bin;
        s_copy = bin.filePath(QStringLiteral("probe"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), s_copy));
        QCOMPARE(::chmod(bin.path().toLocal8Bit().constData(), 0755), 0);

        QVERIFY(PermissionAdvice(device).isEmpty()); // root may
        const QString refused = AsNobody(device, {});
        QVERIFY2(refused.startsWith(QStringLiteral("open=0\n")), qPrintable(refused));
        QVERIFY2(refused.contains(QStringLiteral("Error while trying to open COM1. | %1: ").arg(device)), qPrintable(refused));
        QVERIFY2(refused.contains(QStringLiteral("belongs to the group \"dialout\"")), qPrintable(refused));
        QVERIFY2(refused.contains(QStringLiteral("sudo usermod -aG dialout $USER")), qPrintable(refused));

        // In the group, the same port opens without a word.
        const QString allowed = AsNobody(device, QStringLiteral("dialout"));
        QCOMPARE(allowed, QStringLiteral("open=1\n"));
        ::close(master);
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
