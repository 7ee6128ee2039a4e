// Opening a port the user may not use: the message must say why and how to
// fix it. Root may open any tty, so the case runs in a child process that
// drops to the unprivileged user "nobody".
#include "serial/PortPermission.h"
#include "tests/support/SimLink.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    void refusedPortSaysWhatToDo_data()
    {
        QTest::addColumn<QString>("owningGroup");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("nobodyIn");
        QTest::addColumn<QString>("said"); // empty: opens without a word
        QTest::newRow("dialout 660, not a member")
            << "dialout" << 0660 << "" << "only members of the group \"dialout\" may. Add yourself with \"sudo usermod -aG dialout $USER\"";
        QTest::newRow("dialout 660, a member") << "dialout" << 0660 << "dialout" << "";
        QTest::newRow("root 600") << "root" << 0600 << "" << "only root may (mode 600). A udev rule";
        QTest::newRow("dialout 600, a member") << "dialout" << 0600 << "dialout" << "only root may (mode 600).";
    }
    void refusedPortSaysWhatToDo()
    {
        QFETCH(QString, owningGroup);
        QFETCH(int, mode);
        QFETCH(QString, nobodyIn);
        QFETCH(QString, said);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString device = QString::fromLocal8Bit(::ptsname(master));
        const group *owner = ::getgrnam(owningGroup.toLocal8Bit().constData());
        QVERIFY(owner);
        QCOMPARE(::chown(device.toLocal8Bit().constData(), 0, owner->gr_gid), 0);
        QCOMPARE(::chmod(device.toLocal8Bit().constData(), mode_t(mode)), 0);
        QVERIFY(PermissionAdvice(device).isEmpty()); // root may

        const QString out = AsNobody(device, nobodyIn);
        ::close(master);
        if (said.isEmpty()) {
            QCOMPARE(out, QStringLiteral("open=1\n"));
        } else {
            QVERIFY2(out.startsWith(QStringLiteral("open=0\nError while trying to open COM1. | Your user may not use %1: ")
                                        .arg(device)),
                     qPrintable(out));
            QVERIFY2(out.contains(said), qPrintable(out));
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
