#include "serial/PortFolder.h"
#include "serial/PortMap.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kv7;

class TestPortMap : public QObject {
    Q_OBJECT
private:
    static void Link(const QString &folder, int n, const QString &target)
    {
        QVERIFY(QFile::link(target, PortFolder::LinkPath(folder, n)));
    }

private slots:
    void linksNameTheirDevices()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        Link(dir.path(), 12, QStringLiteral("/dev/zero"));
        Link(dir.path(), 255, QStringLiteral("/dev/null"));
        const PortMap map(dir.path(), false);
        QCOMPARE(map.DevicePath(1), QStringLiteral("/dev/null"));
        QCOMPARE(map.DevicePath(12), QStringLiteral("/dev/zero"));
        QVERIFY(map.PortExists(255));
        QVERIFY(!map.PortExists(2));
        QVERIFY(!map.PortExists(0));
        QVERIFY(!map.PortExists(-1));
    }

    void numbersAbove255AreNeverPorts()
    {
        QTemporaryDir dir;
        Link(dir.path(), 256, QStringLiteral("/dev/null"));
        QVERIFY(!PortMap(dir.path(), false).PortExists(256));
    }

    void linksToNonDevicesDoNotCount()
    {
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        Link(dir.path(), 1, plain.fileName());                       // a regular file
        Link(dir.path(), 2, dir.filePath(QStringLiteral("gone")));   // dangling
        Link(dir.path(), 3, dir.path());                             // a folder
        QFile notLink(PortFolder::LinkPath(dir.path(), 4));          // not a link at all
        QVERIFY(notLink.open(QIODevice::WriteOnly));
        notLink.close();
        const PortMap map(dir.path(), false);
        for (int n = 1; n <= 4; ++n)
            QVERIFY2(!map.PortExists(n), qPrintable(QString::number(n)));
    }

    void untrustedFolderIsIgnored()
    {
        QTemporaryDir dir;
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        QVERIFY(PortMap(dir.path(), false).PortExists(1));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
        QString why;
        QVERIFY(!PortFolder::IsTrusted(dir.path(), &why));
        QVERIFY(why.contains(QLatin1String("writable")));
        QVERIFY(!PortMap(dir.path(), false).PortExists(1));
        QVERIFY(!PortMap(dir.filePath(QStringLiteral("missing")), false).PortExists(1));
    }

    void lowestFreeSkipsLiveLinksOnly()
    {
        QTemporaryDir dir;
        QCOMPARE(PortFolder::LowestFree(dir.path()), 1);
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        Link(dir.path(), 2, dir.filePath(QStringLiteral("gone")));
        QCOMPARE(PortFolder::LowestFree(dir.path()), 2);
    }

    void ensureCreatesAPrivateFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ports"));
        QCOMPARE(PortFolder::Ensure(folder), QString());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QCOMPARE(PortFolder::Ensure(folder), QString()); // already there
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_port_map.moc"
