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

    // A number is a port when its link in the folder leads to a character
    // device; nothing else counts, and no number beyond 1..255.
    void linksNameTheirDevices_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target"); // "file", "folder", "plain" (no link) or a path
        QTest::addColumn<QString>("device"); // empty: no port
        QTest::newRow("COM1") << 1 << "/dev/null" << "/dev/null";
        QTest::newRow("COM255") << 255 << "/dev/zero" << "/dev/zero";
        QTest::newRow("COM256") << 256 << "/dev/null" << "";
        QTest::newRow("COM0") << 0 << "/dev/null" << "";
        QTest::newRow("a regular file") << 2 << "file" << "";
        QTest::newRow("dangling") << 3 << "/no/such/device" << "";
        QTest::newRow("a folder") << 4 << "folder" << "";
        QTest::newRow("not a link") << 5 << "plain" << "";
    }
    void linksNameTheirDevices()
    {
        QFETCH(int, port);
        QFETCH(QString, target);
        QFETCH(QString, device);
        QTemporaryDir dir;
        QFile file(target == "plain" ? PortFolder::LinkPath(dir.path(), port) : dir.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        if (target != "plain")
            Link(dir.path(), port, target == "file" ? file.fileName() : target == "folder" ? dir.path() : target);
        const PortMap map(dir.path(), false);
        QCOMPARE(map.DevicePath(port), device);
        QCOMPARE(map.PortExists(port), !device.isEmpty());
    }

    // A device asked for by its path: the number that leads to it, or else
    // the lowest free one, listed under the path.
    void devicesByPath()
    {
        QTemporaryDir dir;
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        PortMap map(dir.path(), false);
        QCOMPARE(map.NumberOf(QStringLiteral("/dev/null")), 1);
        QCOMPARE(map.NumberOf(QStringLiteral("/dev/zero")), 0);
        QCOMPARE(map.AddDevice(QStringLiteral("/dev/zero")), 2);
        QCOMPARE(map.DevicePath(2), QStringLiteral("/dev/zero"));
        QCOMPARE(map.Name(2) + map.Name(1), QStringLiteral("/dev/zeroCOM1"));
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
