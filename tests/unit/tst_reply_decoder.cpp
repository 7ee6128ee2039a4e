#include "protocol/Dump.h"
#include "protocol/GainReport.h"
#include "protocol/ReplyDecoder.h"
#include "session/LineSession.h"
#include "tests/support/FakeSerialControl.h"

#include <QtTest>

using namespace kv7;

namespace {
QByteArray B(const char *s) { return QByteArray(s); }
} // namespace

class TestReplyDecoder : public QObject {
    Q_OBJECT
private slots:
    // The frame each tick takes ("" for none) until ticks take nothing
    // more, and what is left; the pause counts down once a tick, from 3 to 0.
    void takesOneFramePerTick_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArrayList>("ticks");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("text before a frame") << B("ab\x01R\x04") << QByteArrayList{"\x01R\x04"} << B("");
        QTest::newRow("stray byte between frames")
            << B("\x01P\x04z\x01" "C\x04") << QByteArrayList{"\x01P\x04", "\x01" "C\x04"} << B("");
        // A reply right behind another is not lost.
        QTest::newRow("frames back to back") << B("\x01R\x04\x01P\x04\x01" "C\x04")
                                             << QByteArrayList{"\x01R\x04", "\x01P\x04", "\x01" "C\x04"} << B("");
        QTest::newRow("stray EOT ahead of a frame costs a tick")
            << B("\x04" "ab\x01R\x04") << QByteArrayList{"", "\x01R\x04"} << B("");
        QTest::newRow("stray EOT ahead of an open frame") << B("\x04" "ab\x01R") << QByteArrayList{""} << B("\x01R");
        QTest::newRow("no start marker waits") << B("abc") << QByteArrayList{} << B("abc");
        QTest::newRow("open frame waits") << B("\x01RGAV") << QByteArrayList{} << B("\x01RGAV");
        QTest::newRow("SOH EOT alone") << B("\x01\x04") << QByteArrayList{"\x01\x04"} << B("");
        QTest::newRow("unfinished frame merges with the next")
            << B("\x01P..\x01" "C\x04") << QByteArrayList{"\x01P..\x01" "C\x04"} << B("");
        QTest::newRow("text after the frame stays") << B("\x01R\x04tail") << QByteArrayList{"\x01R\x04"} << B("tail");
    }
    void takesOneFramePerTick()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArrayList, ticks);
        QFETCH(QByteArray, left);
        RxBuffer rx;
        rx.Append(received);
        ReplyDecoder d;
        d.Pause(3);
        QByteArrayList got;
        QByteArray last;
        for (auto frame = d.Tick(rx); frame || got.size() < ticks.size(); frame = d.Tick(rx)) {
            got << frame.value_or("");
            last = frame.value_or(last);
            QCOMPARE(d.LastReply(), last); // kept until the next frame
        }
        QCOMPARE(got, ticks);
        QCOMPARE(rx.Bytes(), left);
        QCOMPARE(d.Paused(), ticks.size() < 2);
    }

    // kv7-run has no tick to wait for: the same bytes, as they arrive on
    // the line, give the same frames at once, none lost behind a stray EOT.
    void takesEveryFrameAtOnceWithoutATick_data() { takesOneFramePerTick_data(); }
    void takesEveryFrameAtOnceWithoutATick()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArrayList, ticks);
        QFETCH(QByteArray, left);
        test::FakeSerialControl serial;
        QVERIFY(serial.SetPortOpen(true).ok());
        LineSession line(serial);
        QByteArrayList chunks;
        connect(&line, &LineSession::Received, [&](const QByteArray &c) { chunks << c; });
        serial.Feed(received);
        QCOMPARE(chunks, QByteArrayList{received});
        QByteArrayList got;
        while (const std::optional<QByteArray> frame = line.NextFrame())
            got << *frame;
        ticks.removeAll(QByteArray());
        QCOMPARE(got, ticks);
        QCOMPARE(line.RxBuffer.Bytes(), left);
    }

    void dumpShowsControlCodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("frame") << B("\x01R\x04") << QStringLiteral("<1>R<4>");
        QTest::newRow("CR LF and STX") << B("\r\n\x02") << QStringLiteral("<13><10><2>");
        QTest::newRow("NUL and 31") << QByteArray("\0\x1f", 2) << QStringLiteral("<0><31>");
        QTest::newRow("space and high bytes") << B(" \x7f\xe9") << QString::fromUtf16(u" \u007f\u00e9");
    }
    void dumpShowsControlCodes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, shown);
        QCOMPARE(Dump(text), shown);
    }

    void gainReports_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("channel"); // 0: no gain part
        QTest::addColumn<int>("gain");
        QTest::newRow("channel 3 gain 064") << B("\x01RGAV\x02" "3064\x04") << 3 << 64;
        QTest::newRow("clamped 200") << B("\x01RGAV\x02" "8200\x04") << 8 << 127;
        QTest::newRow("zero") << B("\x01RGAV\x02" "1000\x04") << 1 << 0;
        QTest::newRow("any separator, trailing text") << B("\x01RGAVx5127 more\x04") << 5 << 127;
        QTest::newRow("channel 0") << B("\x01RGAV\x02" "0064\x04") << 0 << 0;
        QTest::newRow("channel 9") << B("\x01RGAV\x02" "9064\x04") << 0 << 0;
        QTest::newRow("EOT inside the gain") << B("\x01RGAV\x02" "306\x04") << 0 << 0;
        QTest::newRow("negative gain") << B("\x01RGAV\x02" "3-64\x04") << 0 << 0;
        QTest::newRow("status P") << B("\x01PGAV\x02" "3064\x04") << 0 << 0;
        QTest::newRow("lower-case word") << B("\x01Rgav\x02" "3064\x04") << 0 << 0;
    }
    void gainReports()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, channel);
        QFETCH(int, gain);
        const auto report = ParseGainReport(frame);
        QCOMPARE(report.has_value(), channel != 0);
        if (report) {
            QCOMPARE(report->channel, channel);
            QCOMPARE(report->gain, gain);
        }
    }
};

QTEST_GUILESS_MAIN(TestReplyDecoder)
#include "tst_reply_decoder.moc"
