#include "sim/AdapterLatency.h"
#include "sim/ByteQueue.h"
#include "sim/PtyPort.h"
#include "sim/WireLine.h"
#include "sim/WirePacer.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kv7::sim;

class TestWirePacer : public QObject {
    Q_OBJECT
private slots:
    void bytesReachTheOtherSideAtTheLineRate_data()
    {
        // Each write is three numbers: when it is written (ns), how many
        // bytes, the line's rate then. `ends`: when its last byte is across,
        // in whole ns, rounded down from each write's start.
        QTest::addColumn<int>("bits");
        QTest::addColumn<QList<qint64>>("writes");
        QTest::addColumn<QList<qint64>>("ends");
        QTest::newRow("one byte at 9600") << 10 << QList<qint64>{0, 1, 9600} << QList<qint64>{1041666};
        QTest::newRow("one second at 115200, no drift")
            << 10 << QList<qint64>{0, 11520, 115200} << QList<qint64>{1'000'000'000};
        QTest::newRow("back to back waits for the line")
            << 10 << QList<qint64>{0, 2, 9600, 0, 1, 9600} << QList<qint64>{2083333, 3124999};
        QTest::newRow("after the line went idle")
            << 10 << QList<qint64>{0, 1, 9600, 5'000'000, 1, 9600} << QList<qint64>{1041666, 6041666};
        QTest::newRow("speed change mid-stream")
            << 10 << QList<qint64>{0, 3, 9600, 1'000'000, 1, 115200} << QList<qint64>{3125000, 3211805};
        QTest::newRow("7E2 takes 11 bits") << WirePacer::BitsPerByte(7, true, true) << QList<qint64>{0, 1, 9600}
                                           << QList<qint64>{1145833};
    }

    void bytesReachTheOtherSideAtTheLineRate()
    {
        QFETCH(int, bits);
        QFETCH(QList<qint64>, writes);
        QFETCH(QList<qint64>, ends);
        WirePacer pacer;
        QList<qint64> got;
        for (qsizetype i = 0; i + 2 < writes.size(); i += 3) {
            pacer.SetFormat(int(writes[i + 2]), bits);
            got << pacer.Put(writes[i], writes[i + 1]).EndNs();
        }
        QCOMPARE(got, ends);
    }

    // Output beyond what the line or the port holds for the client is
    // dropped whole, and counted. Nothing drains here: no event loop runs.
    void dropsAreCounted_data()
    {
        constexpr qint64 Max = PtyPort::MaxPending;
        QTest::addColumn<bool>("wire");
        QTest::addColumn<QList<qint64>>("writes");
        QTest::addColumn<qint64>("dropped");
        QTest::newRow("line full to the byte") << true << QList<qint64>{Max - 10, 10} << qint64(0);
        QTest::newRow("line one byte over; a write that fits still goes")
            << true << QList<qint64>{Max - 10, 11, 3, 7} << qint64(11);
        QTest::newRow("port, a write beyond its bound") << false << QList<qint64>{Max + 1} << Max + 1;
    }
    void dropsAreCounted()
    {
        QFETCH(bool, wire);
        QFETCH(QList<qint64>, writes);
        QFETCH(qint64, dropped);
        QTemporaryDir dir;
        PtyPort port;
        QVERIFY(!port.Open(dir.path(), 0).Failed());
        WireLine line(port);
        for (const qint64 n : writes)
            wire ? line.Send(QByteArray(n, 'x')) : port.Write(QByteArray(n, 'x'));
        QCOMPARE(wire ? line.Dropped() : port.Dropped(), dropped);
    }

    // --split and --bad-reply: one byte a write, the first at once or after
    // its gap, each read on its own.
    void queuedBytesGoOneAtATime()
    {
        QByteArrayList sent;
        ByteQueue split([&sent](const QByteArray &b) { sent << b; }, 0, 1);
        ByteQueue delayed([&sent](const QByteArray &b) { sent << b; }, 5, 5);
        split.Push("ab");
        delayed.Push("c");
        QCOMPARE(sent, QByteArrayList{"a"});
        QTRY_COMPARE(sent, (QByteArrayList{"a", "b", "c"}));
    }

    // --latency: bytes wait in the adapter until its timer runs out, or go
    // 62 at a time as soon as that many wait.
    void adapterHoldsBytes_data()
    {
        QTest::addColumn<QList<int>>("pushes");   // sizes pushed at once
        QTest::addColumn<QList<int>>("atOnce");   // packet sizes handed over during the pushes
        QTest::addColumn<int>("later");           // what the timer hands over, 0 for nothing
        QTest::newRow("one byte waits") << QList<int>{1} << QList<int>{} << 1;
        QTest::newRow("a full packet goes") << QList<int>{62} << QList<int>{62} << 0;
        QTest::newRow("two packets and a rest") << QList<int>{130} << QList<int>{62, 62} << 6;
        QTest::newRow("61 then 1") << QList<int>{61, 1} << QList<int>{62} << 0;
        QTest::newRow("small writes add up") << QList<int>{20, 20, 20, 20} << QList<int>{62} << 18;
    }
    void adapterHoldsBytes()
    {
        QFETCH(QList<int>, pushes);
        QFETCH(QList<int>, atOnce);
        QFETCH(int, later);
        constexpr int Ms = 40;
        QList<int> sizes;
        QByteArray all;
        AdapterLatency adapter(Ms, [&](const QByteArray &b) {
            sizes << int(b.size());
            all += b;
        });
        QByteArray pushed;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < pushes.size(); ++i) {
            const QByteArray bytes(pushes[i], char('a' + i));
            pushed += bytes;
            adapter.Push(bytes);
        }
        QCOMPARE(sizes, atOnce);
        if (later > 0) {
            QTRY_COMPARE(sizes, atOnce + QList<int>{later});
            QVERIFY(clock.elapsed() >= Ms - 1);
        }
        QTest::qWait(2 * Ms);
        QCOMPARE(all, pushed); // in order, nothing lost or handed over twice
    }
};

QTEST_MAIN(TestWirePacer)
#include "tst_wire_pacer.moc"
