#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/SerialControl.h"
#include "serial/SerialSettings.h"
#include "tests/support/FakeSerialControl.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace kv7;

class TestSerial : public QObject {
    Q_OBJECT
private:
    static void Link(const QString &folder, int n, const QString &target)
    {
        QVERIFY(QFile::link(target, PortFolder::LinkPath(folder, n)));
    }

private slots:
    void parsesAndWritesBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("full");
        QTest::newRow("upload speed") << "115200,n,8,1" << "115200,n,8,1";
        QTest::newRow("speed alone keeps framing") << "19200" << "19200,e,7,2";
        QTest::newRow("upper-case parity") << "300,O,7,1.5" << "300,o,7,1.5";
        QTest::newRow("mark and space") << "1200,m,8,1" << "1200,m,8,1";
        QTest::newRow("blanks around fields") << " 57600 , s , 6 , 2 " << "57600,s,6,2";
    }
    void parsesAndWritesBack()
    {
        QFETCH(QString, text);
        QFETCH(QString, full);
        SerialSettings base;
        base.parity = 'e';
        base.dataBits = 7;
        base.stopBits = QStringLiteral("2");
        const auto parsed = SerialSettings::Parse(text, base);
        QVERIFY(parsed);
        QCOMPARE(parsed->ToText(), full);
    }

    void refusesBadText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("zero speed") << "0";
        QTest::newRow("negative speed") << "-9600";
        QTest::newRow("two fields") << "9600,n";
        QTest::newRow("five fields") << "9600,n,8,1,x";
        QTest::newRow("bad parity") << "9600,x,8,1";
        QTest::newRow("four data bits") << "9600,n,4,1";
        QTest::newRow("nine data bits") << "9600,n,9,1";
        QTest::newRow("three stop bits") << "9600,n,8,3";
    }
    void refusesBadText()
    {
        QFETCH(QString, text);
        QString why;
        QVERIFY(!SerialSettings::Parse(text, SerialSettings{}, &why));
        QVERIFY(!why.isEmpty());
    }

    void controlReportsEveryFailure()
    {
        test::FakeSerialControl serial;
        QVERIFY(!serial.Output("x").ok()); // closed
        QVERIFY(!serial.SetCommPort(0).ok());
        QVERIFY(!serial.SetCommPort(256).ok());
        QVERIFY(!serial.SetSettings(QStringLiteral("9600,q,8,1")).ok());
        QCOMPARE(serial.Settings(), QStringLiteral("9600,n,8,1")); // a refused text changes nothing

        QVERIFY(serial.SetCommPort(2).ok());
        QVERIFY(serial.SetPortOpen(true).ok());
        QVERIFY(!serial.SetCommPort(3).ok()); // not while open
        QCOMPARE(serial.CommPort(), 2);
        QVERIFY(!serial.SetPortOpen(true).ok()); // already open
        QVERIFY(serial.Output(QByteArray("\x01GV \x04", 5)).ok());
        QCOMPARE(serial.written, QByteArray("\x01GV \x04", 5));
    }

    void linksNameTheirDevices()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        Link(dir.path(), 12, QStringLiteral("/dev/zero"));
        Link(dir.path(), 255, QStringLiteral("/dev/null"));
        Link(dir.path(), 256, QStringLiteral("/dev/null"));
        const PortMap map(dir.path(), false);
        QCOMPARE(map.DevicePath(1), QStringLiteral("/dev/null"));
        QCOMPARE(map.DevicePath(12), QStringLiteral("/dev/zero"));
        QVERIFY(map.PortExists(255));
        QVERIFY(!map.PortExists(256));
        QVERIFY(!map.PortExists(2));
        QVERIFY(!map.PortExists(0));
        QVERIFY(!map.PortExists(-1));
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

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
