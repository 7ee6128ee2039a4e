#include "terminal/Dump.h"
#include "terminal/GainReport.h"
#include "terminal/ReplyDecoder.h"

#include <QtTest>

using namespace kv7;

namespace {
QByteArray B(const char *s) { return QByteArray(s); }

// Runs ticks until the buffer yields nothing new; returns the frames taken.
QList<QByteArray> Drain(RxBuffer &rx, int ticks)
{
    ReplyDecoder decoder;
    QList<QByteArray> frames;
    for (int i = 0; i < ticks; ++i)
        if (auto f = decoder.Tick(rx))
            frames.append(*f);
    return frames;
}
} // namespace

class TestReplyDecoder : public QObject {
    Q_OBJECT
private slots:
    void takesOneFramePerTick_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("text before a frame") << B("ab\x01R\x04") << QList<QByteArray>{B("\x01R\x04")} << QByteArray();
        QTest::newRow("stray byte between frames")
            << B("\x01P\x04z\x01" "C\x04") << QList<QByteArray>{B("\x01P\x04"), B("\x01" "C\x04")} << QByteArray();
        // A reply right behind another is not lost.
        QTest::newRow("frames back to back")
            << B("\x01P\x04\x01" "C\x04") << QList<QByteArray>{B("\x01P\x04"), B("\x01" "C\x04")} << QByteArray();
        QTest::newRow("stray EOT ahead of an open frame") << B("\x04" "ab\x01R") << QList<QByteArray>{} << B("\x01R");
        QTest::newRow("no start marker waits") << B("abc") << QList<QByteArray>{} << B("abc");
        QTest::newRow("open frame waits") << B("\x01RGAV") << QList<QByteArray>{} << B("\x01RGAV");
        QTest::newRow("SOH EOT alone") << B("\x01\x04") << QList<QByteArray>{B("\x01\x04")} << QByteArray();
        QTest::newRow("unfinished frame merges with the next")
            << B("\x01P..\x01" "C\x04") << QList<QByteArray>{B("\x01P..\x01" "C\x04")} << QByteArray();
        QTest::newRow("text after the frame stays")
            << B("\x01R\x04tail") << QList<QByteArray>{B("\x01R\x04")} << B("tail");
    }
    void takesOneFramePerTick()
    {
        QFETCH(QByteArray, received);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QByteArray, left);
        RxBuffer rx;
        rx.Append(received);
        QCOMPARE(Drain(rx, 10), frames);
        QCOMPARE(rx.Bytes(), left);
    }

    void tickTakesAtMostOneFrame()
    {
        RxBuffer rx;
        rx.Append(B("\x01R\x04\x01P\x04\x01" "C\x04"));
        ReplyDecoder d;
        QCOMPARE(d.Tick(rx), std::optional<QByteArray>(B("\x01R\x04")));
        QCOMPARE(d.LastReply, B("\x01R\x04"));
        QCOMPARE(rx.Bytes(), B("\x01P\x04\x01" "C\x04"));
        QCOMPARE(d.Tick(rx), std::optional<QByteArray>(B("\x01P\x04")));
        QCOMPARE(d.Tick(rx), std::optional<QByteArray>(B("\x01" "C\x04")));
        QCOMPARE(d.Tick(rx), std::nullopt);
        QCOMPARE(d.LastReply, B("\x01" "C\x04")); // kept until the next frame
    }

    void replyInPiecesIsTakenOnceComplete()
    {
        RxBuffer rx;
        ReplyDecoder d;
        rx.Append(B("\x01RG"));
        QCOMPARE(d.Tick(rx), std::nullopt);
        rx.Append(B("V "));
        QCOMPARE(d.Tick(rx), std::nullopt);
        rx.Append(B("\x04"));
        QCOMPARE(d.Tick(rx), std::optional<QByteArray>(B("\x01RGV \x04")));
    }

    void waitTicksCountsDownOncePerTick()
    {
        RxBuffer rx;
        ReplyDecoder d;
        d.WaitTicks = 5;
        rx.Append(B("\x01R\x04\x01R\x04"));
        for (int expected = 4; expected >= 0; --expected) {
            (void)d.Tick(rx);
            QCOMPARE(d.WaitTicks, qint16(expected));
        }
        (void)d.Tick(rx);
        QCOMPARE(d.WaitTicks, qint16(0));
        d.WaitTicks = -3; // never counted below zero, nor up
        (void)d.Tick(rx);
        QCOMPARE(d.WaitTicks, qint16(-3));
    }

    void dumpShowsControlCodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("plain") << B("RGV 1.0") << QStringLiteral("RGV 1.0");
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
        QTest::newRow("999") << B("\x01RGAV\x02" "1999\x04") << 1 << 127;
        QTest::newRow("zero") << B("\x01RGAV\x02" "1000\x04") << 1 << 0;
        QTest::newRow("any separator, trailing text") << B("\x01RGAVx5127 more\x04") << 5 << 127;
        QTest::newRow("channel 0") << B("\x01RGAV\x02" "0064\x04") << 0 << 0;
        QTest::newRow("channel 9") << B("\x01RGAV\x02" "9064\x04") << 0 << 0;
        QTest::newRow("EOT inside the gain") << B("\x01RGAV\x02" "306\x04") << 0 << 0;
        QTest::newRow("negative gain") << B("\x01RGAV\x02" "3-64\x04") << 0 << 0;
        QTest::newRow("blank in gain") << B("\x01RGAV\x02" "3 64\x04") << 0 << 0;
        QTest::newRow("status P") << B("\x01PGAV\x02" "3064\x04") << 0 << 0;
        QTest::newRow("lower-case word") << B("\x01Rgav\x02" "3064\x04") << 0 << 0;
        QTest::newRow("short") << B("\x01RGAV\x04") << 0 << 0;
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
