#include "sim/Device.h"
#include "sim/FrameParser.h"
#include "sim/ReplyStream.h"
#include "sim/SampleArea.h"
#include "terminal/ReplyDecoder.h"
#include "terminal/RxBuffer.h"

#include <QtTest>

using namespace kv7::sim;

namespace {

// Byte strings with embedded control bytes; "\x02" "3" keeps the hex
// escape from swallowing the digit.
QByteArray B(const char *s)
{
    return QByteArray(s);
}

QList<Frame> FeedInChunks(FrameParser &parser, const QByteArray &wire, int chunk)
{
    QList<Frame> frames;
    for (qsizetype i = 0; i < wire.size(); i += chunk)
        frames += parser.Feed(wire.mid(i, chunk));
    return frames;
}

// A sample line for 32 bytes: checksum, ":20:", index, ":", data.
QByteArray Line(const QByteArray &data, int index)
{
    int sum = 0;
    for (const char c : data)
        sum ^= static_cast<unsigned char>(c);
    const auto hex = [](int v, int width) { return QByteArray::number(v, 16).toUpper().rightJustified(width, '0'); };
    return hex(sum, 2) + ":20:" + hex(index, 4) + ":" + data.toHex().toUpper();
}

QByteArray LineFrame(const QByteArray &line)
{
    return "\x01&HX\x02" + line + "\x04";
}

QByteArray Answer(Device &device, const QByteArray &wire)
{
    FrameParser parser;
    const QList<Frame> frames = parser.Feed(wire);
    if (frames.size() != 1)
        return "not one frame: " + QByteArray::number(frames.size());
    return device.Reply(frames.first());
}

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    // --- FrameParser ---

    void parserSameFramesInAnySplit_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : {1, 2, 3, 5, 7, 64})
            QTest::addRow("%d bytes per feed", chunk) << chunk;
    }

    void parserSameFramesInAnySplit()
    {
        QFETCH(int, chunk);
        // Junk and a stray EOT before the first SOH, then three frames
        // back to back: with a parameter, short, without a parameter.
        const QByteArray wire = B("junk\x04\x01GAV\x02" "3\x04\x01\x14PA\x04\x01GV \x04");
        FrameParser parser;
        const QList<Frame> frames = FeedInChunks(parser, wire, chunk);
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[0].word, B("GAV"));
        QVERIFY(frames[0].hasParam);
        QCOMPARE(frames[0].param, B("3"));
        QVERIFY(!frames[0].isShort);
        QVERIFY(frames[1].isShort);
        QCOMPARE(frames[1].word, B("PA"));
        QVERIFY(!frames[1].hasParam);
        QCOMPARE(frames[2].word, B("GV "));
        QVERIFY(!frames[2].hasParam);
        QVERIFY(!frames[2].isShort);
    }

    void parserKeepsFrameOpenAcrossFeeds()
    {
        FrameParser parser;
        QVERIFY(parser.Feed(B("\x01RC")).isEmpty());
        QVERIFY(parser.Feed(B("L\x02")).isEmpty());
        const QList<Frame> frames = parser.Feed(B("12\x04trailing"));
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].word, B("RCL"));
        QCOMPARE(frames[0].param, B("12"));
        // Bytes after a frame wait for the next SOH and make nothing.
        QVERIFY(parser.Feed(B("\x04")).isEmpty());
    }

    void parserSplitsWordAndParameterAtFirstStx()
    {
        FrameParser parser;
        const QList<Frame> frames = parser.Feed(B("\x01" "AV \x02\x04\x01$BT\x02" "a\x02" "b\x04"));
        QCOMPARE(frames.size(), 2);
        // STX with nothing after it still counts as a parameter, an empty one.
        QVERIFY(frames[0].hasParam);
        QVERIFY(frames[0].param.isEmpty());
        QCOMPARE(frames[1].word, B("$BT"));
        QCOMPARE(frames[1].param, B("a\x02" "b"));
    }

    void parserSohRestartsUnfinishedFrame()
    {
        FrameParser parser;
        const QList<Frame> frames = parser.Feed(B("\x01GA\x02" "1\x01GB \x04"));
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].word, B("GB "));
        QVERIFY(!frames[0].hasParam);
    }

    void parserBoundsAnOverlongFrame()
    {
        FrameParser parser;
        // Exactly the limit is still a frame.
        const QByteArray longest(FrameParser::MaxFrame, 'w');
        QList<Frame> frames = parser.Feed('\x01' + longest + '\x04');
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].word, longest);
        QCOMPARE(parser.Discarded(), 0);

        // One byte more is thrown away, tail and EOT included.
        QVERIFY(parser.Feed('\x01' + longest + 'x').isEmpty());
        QCOMPARE(parser.Discarded(), 1);
        QVERIFY(parser.Feed(B("tail\x04")).isEmpty());
        QCOMPARE(parser.Discarded(), 1);

        // And the parser goes on with the next frame.
        frames = parser.Feed(B("\x01GB \x04"));
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].word, B("GB "));
    }

    // --- Device ---

    void gainReportHasTheFixedLayout()
    {
        Device device;
        device.gains[7] = 127;
        const QByteArray reply = Answer(device, B("\x01GAV\x02" "8\x04"));
        QCOMPARE(reply, B("\x01RGAV\x02" "8127\x04"));
        QCOMPARE(reply.size(), 11);
        // Small gains are zero-padded to three digits.
        device.gains[0] = 5;
        QCOMPARE(Answer(device, B("\x01GAV\x02" "1\x04")), B("\x01RGAV\x02" "1005\x04"));
    }

    void setGainIsReadBack()
    {
        Device device;
        QCOMPARE(Answer(device, B("\x01" "AV \x02" "3045\x04")), B("\x01RAV \x02" "3045\x04"));
        QCOMPARE(Answer(device, B("\x01GAV\x02" "3\x04")), B("\x01RGAV\x02" "3045\x04"));
        QCOMPARE(device.gains, (std::array<int, 8>{0, 0, 45, 0, 0, 0, 0, 0}));
        QCOMPARE(Answer(device, B("\x01" "AV \x02" "8000\x04")), B("\x01RAV \x02" "8000\x04"));
        QCOMPARE(device.gains[7], 0);
    }

    void setGainClampsToMaximum_data()
    {
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<int>("gain");
        QTest::newRow("127 kept") << B("2127") << 127;
        QTest::newRow("128 clamped") << B("2128") << 127;
        QTest::newRow("999 clamped") << B("2999") << 127;
    }

    void setGainClampsToMaximum()
    {
        QFETCH(QByteArray, param);
        QFETCH(int, gain);
        Device device;
        QCOMPARE(Answer(device, "\x01" "AV \x02" + param + "\x04"), "\x01RAV \x02" + param + "\x04");
        QCOMPARE(device.gains[1], gain);
    }

    void malformedGainCommandsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("AV channel 0") << B("\x01" "AV \x02" "0050\x04");
        QTest::newRow("AV channel 9") << B("\x01" "AV \x02" "9050\x04");
        QTest::newRow("AV letter in value") << B("\x01" "AV \x02" "2x50\x04");
        QTest::newRow("AV two digits") << B("\x01" "AV \x02" "250\x04");
        QTest::newRow("AV four digits") << B("\x01" "AV \x02" "20050\x04");
        QTest::newRow("AV sign") << B("\x01" "AV \x02" "2-50\x04");
        QTest::newRow("AV empty parameter") << B("\x01" "AV \x02\x04");
        QTest::newRow("AV no parameter") << B("\x01" "AV \x04");
        QTest::newRow("GAV channel 0") << B("\x01GAV\x02" "0\x04");
        QTest::newRow("GAV channel 9") << B("\x01GAV\x02" "9\x04");
        QTest::newRow("GAV two digits") << B("\x01GAV\x02" "12\x04");
        QTest::newRow("GAV no parameter") << B("\x01GAV\x04");
    }

    void malformedGainCommandsAreRefused()
    {
        QFETCH(QByteArray, wire);
        Device device;
        device.gains = {1, 2, 3, 4, 5, 6, 7, 8};
        const std::array<int, 8> before = device.gains;
        // The echo of what was sent, with status E.
        const QByteArray expected = "\x01" "E" + wire.mid(1);
        QCOMPARE(Answer(device, wire), expected);
        QCOMPARE(device.gains, before);
    }

    void otherCommandsAreEchoed_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("with parameter") << B("\x01RCL\x02" "1\x04") << B("\x01RRCL\x02" "1\x04");
        QTest::newRow("without parameter") << B("\x01GB \x04") << B("\x01RGB \x04");
        QTest::newRow("short frame") << B("\x01\x14Pa\x04") << B("\x01RPa\x04");
        QTest::newRow("erase") << B("\x01&DA\x02" "01\x04") << B("\x01R&DA\x02" "01\x04");
        QTest::newRow("boot loader with a parameter") << B("\x01$BT\x02" "x\x04") << B("\x01R$BT\x02" "x\x04");
        QTest::newRow("any word") << B("\x01hello\x02" "x\x04") << B("\x01Rhello\x02" "x\x04");
        QTest::newRow("GV with parameter") << B("\x01GV \x02" "1\x04") << B("\x01RGV \x02" "1\x04");
    }

    void otherCommandsAreEchoed()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, reply);
        Device device;
        QCOMPARE(Answer(device, wire), reply);
    }

    void bootLoaderCommandIsRecognised()
    {
        FrameParser parser;
        const QList<Frame> frames = parser.Feed(B("\x01$BT\x02\x04\x01$BT\x04\x01$BT\x02" "1\x04\x01\x14$B\x04"));
        QCOMPARE(frames.size(), 4);
        QVERIFY(Device::EntersBootLoader(frames[0]));
        QVERIFY(Device::EntersBootLoader(frames[1]));
        QVERIFY(!Device::EntersBootLoader(frames[2]));
        QVERIFY(!Device::EntersBootLoader(frames[3]));
    }

    // --- Sample area ---

    void areaReplyCarriesSampleStatus()
    {
        Device device;
        QCOMPARE(Answer(device, B("\x01&PF\x02" "01\x04")), B("\x01R&PF\x02" "01;0\x04"));
        QCOMPARE(device.samples.Area(), B("01"));
        device.status = 'C';
        device.sampleStatus = 'B';
        QCOMPARE(Answer(device, B("\x01&PF\x02" "7A\x04")), B("\x01" "C&PF\x02" "7A;B\x04"));
        QCOMPARE(device.samples.Area(), B("7A"));
    }

    void sampleLinesAreCheckedAndKept()
    {
        const QByteArray ok = B("\x01R&HX\x02" "0\x04");
        const QByteArray refused = B("\x01R&HX\x02" "E\x04");
        const QByteArray a(32, '\x5a');
        QByteArray b(32, '\0');
        b[0] = '\x01';
        b[31] = '\xff';
        Device device;
        // Before any area there is nowhere to put a line.
        QCOMPARE(Answer(device, LineFrame(Line(a, 0))), refused);

        Answer(device, B("\x01&PF\x02" "01\x04"));
        QCOMPARE(device.samples.TakeEvents().size(), 2);
        const QByteArray first = Line(b, 0);
        QCOMPARE(first, "FE:20:0000:01" + QByteArray(60, '0') + "FF");
        QCOMPARE(Answer(device, LineFrame(first)), ok);
        QByteArray wrongSum = Line(a, 1);
        wrongSum[1] = '1';
        QCOMPARE(Answer(device, LineFrame(wrongSum)), refused);
        // Index 2 expected; each line counts, so one bad line spoils only itself.
        QCOMPARE(Answer(device, LineFrame(Line(a, 3))), refused);
        QCOMPARE(Answer(device, LineFrame(Line(a, 3))), ok);
        QCOMPARE(Answer(device, LineFrame(Line(a, 4).toLower())), refused);
        QCOMPARE(Answer(device, LineFrame(Line(a, 5).chopped(2))), refused);
        QCOMPARE(Answer(device, LineFrame(Line(a, 6).replace(2, 4, ":10:"))), refused);
        QCOMPARE(Answer(device, B("\x01&HX\x04")), refused);
        QCOMPARE(device.samples.Data(), b + a);

        const QList<SampleArea::Event> events = device.samples.TakeEvents();
        QCOMPARE(events.size(), 7);
        QCOMPARE(events[1].kind, SampleArea::Event::Rejected);
        QCOMPARE(events[1].index, 1);
        QCOMPARE(events[3].kind, SampleArea::Event::Accepted);
        QCOMPARE(events[3].index, 3);

        // A new selection starts the area afresh.
        Answer(device, B("\x01&PF\x02" "02\x04"));
        QVERIFY(device.samples.Data().isEmpty());
        QCOMPARE(Answer(device, LineFrame(Line(a, 0))), ok);
        QCOMPARE(device.samples.Data(), a);
    }

    void sampleIndexWrapsAfterFFFF()
    {
        const QByteArray ok = B("\x01R&HX\x02" "0\x04");
        const QByteArray a(32, 'x');
        Device device;
        Answer(device, B("\x01&PF\x02" "01\x04"));
        device.samples.expectedIndex = 0xFFFE;
        QCOMPARE(Answer(device, LineFrame(Line(a, 0xFFFE))), ok);
        QCOMPARE(Answer(device, LineFrame(Line(a, 0xFFFF))), ok);
        QCOMPARE(Answer(device, LineFrame(Line(a, 0))), ok);
        QCOMPARE(device.samples.Data().size(), 3 * 32);
    }

    void versionHasABody()
    {
        Device device;
        QCOMPARE(Answer(device, B("\x01GV \x04")), B("\x01RGV \x02KV7-SIM 1.0\x04"));
    }

    // The long-run stream keeps its byte rate, and every frame in it is one
    // the window's decoder takes: good ones are the device's own replies.
    void streamUnitsHoldCountableFrames()
    {
        Device device;
        device.gains = {1, 2, 3, 4, 5, 6, 7, 8};
        ReplyStream stream(device, 576);
        kv7::RxBuffer rx;
        for (int i = 0; i < 200; ++i) {
            const QByteArray unit = stream.NextUnit();
            QCOMPARE(unit.size(), 576);
            rx.Append(unit);
        }
        QCOMPARE(stream.Frames(), 250);
        kv7::ReplyDecoder decoder;
        int good = 0;
        for (int tick = 0; tick < 1000 && !rx.IsEmpty(); ++tick) {
            const auto frame = decoder.Tick(rx);
            if (!frame)
                continue;
            QCOMPARE(frame->count('\x01'), 1);
            if (frame->at(1) == 'R') {
                QVERIFY2(frame->startsWith("\x01RGAV\x02") || frame->startsWith("\x01RGV \x02"), frame->constData());
                ++good;
            } else {
                QVERIFY(static_cast<unsigned char>(frame->at(1)) >= 0x80);
            }
        }
        QCOMPARE(decoder.FramesTaken, stream.Frames());
        QCOMPARE(good, 200);
    }

    void statusLetterIsUsedForEveryGoodReply()
    {
        Device device;
        device.status = 'C';
        device.gains[0] = 12;
        QCOMPARE(Answer(device, B("\x01SAV\x02" "1\x04")), B("\x01" "CSAV\x02" "1\x04"));
        QCOMPARE(Answer(device, B("\x01\x14K1\x04")), B("\x01" "CK1\x04"));
        QCOMPARE(Answer(device, B("\x01GAV\x02" "1\x04")), B("\x01" "CGAV\x02" "1012\x04"));
        QCOMPARE(Answer(device, B("\x01" "AV \x02" "1020\x04")), B("\x01" "CAV \x02" "1020\x04"));
        QVERIFY(Answer(device, B("\x01GV \x04")).startsWith(B("\x01" "CGV \x02")));
        // A refusal stays E whatever the chosen letter.
        QCOMPARE(Answer(device, B("\x01GAV\x02" "9\x04")), B("\x01" "EGAV\x02" "9\x04"));
    }
};

QTEST_APPLESS_MAIN(TestSimDevice)
#include "tst_sim_device.moc"
