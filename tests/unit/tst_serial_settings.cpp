#include "serial/SerialControl.h"
#include "serial/SerialSettings.h"
#include "tests/support/FakeSerialControl.h"

#include <QtTest>

using namespace kv7;

class TestSerialSettings : public QObject {
    Q_OBJECT
private slots:
    void parsesAndWritesBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("full");
        QTest::newRow("default form") << "9600,n,8,1" << "9600,n,8,1";
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
        // The full form reads back to the same settings.
        QCOMPARE(SerialSettings::Parse(parsed->ToText(), SerialSettings{}), parsed);
    }

    void refusesBadText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "fast";
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

    void controlStartsAtPortOneClosedAt9600()
    {
        test::FakeSerialControl serial;
        QVERIFY(!serial.PortOpen());
        QCOMPARE(serial.CommPort(), 1);
        QCOMPARE(serial.Settings(), QStringLiteral("9600,n,8,1"));
    }

    void controlReportsEveryFailure()
    {
        test::FakeSerialControl serial;
        QVERIFY(!serial.Output("x").ok()); // closed
        QVERIFY(!serial.SetCommPort(0).ok());
        QVERIFY(!serial.SetCommPort(256).ok());
        QVERIFY(!serial.SetSettings(QStringLiteral("9600,q,8,1")).ok());
        QCOMPARE(serial.Settings(), QStringLiteral("9600,n,8,1")); // a refused text changes nothing

        serial.failingPorts.insert(7);
        QVERIFY(serial.SetCommPort(7).ok());
        const SerialResult opened = serial.SetPortOpen(true);
        QVERIFY(!opened.ok());
        QVERIFY(opened.error.contains(QLatin1String("busy")));
        QVERIFY(!serial.PortOpen());

        QVERIFY(serial.SetCommPort(2).ok());
        QVERIFY(serial.SetPortOpen(true).ok());
        QVERIFY(!serial.SetCommPort(3).ok()); // not while open
        QCOMPARE(serial.CommPort(), 2);
        QVERIFY(!serial.SetPortOpen(true).ok()); // already open
        QVERIFY(serial.Output(QByteArray("\x01GV \x04", 5)).ok());
        QCOMPARE(serial.written, QByteArray("\x01GV \x04", 5));
    }

    void inputTakesEverythingWaiting()
    {
        test::FakeSerialControl serial;
        QVERIFY(serial.SetPortOpen(true).ok());
        serial.Feed(QByteArray("\x00\xff\x01", 3));
        QCOMPARE(serial.InBufferCount(), 3);
        QCOMPARE(serial.Input(), QByteArray("\x00\xff\x01", 3));
        QCOMPARE(serial.InBufferCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialSettings)
#include "tst_serial_settings.moc"
