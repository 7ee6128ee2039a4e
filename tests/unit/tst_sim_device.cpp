#include "protocol/SampleLine.h"
#include "sim/Device.h"
#include "sim/FrameParser.h"
#include "sim/ReplyStream.h"
#include "sim/SampleArea.h"
#include "sim/SimOptions.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/RxBuffer.h"

#include <QtTest>

using namespace kv7::sim;

namespace {

// Byte strings with embedded control bytes; "\x02" "3" keeps the hex
// escape from swallowing the digit.
QByteArray B(const char *s)
{
    return QByteArray(s);
}

// A frame as one short text: "#PA" for a short frame, "GAV|3" for a word
// with its parameter, "GV " for a word alone.
QByteArray Show(const Frame &f)
{
    return f.isShort ? "#" + f.word : f.hasParam ? f.word + '|' + f.param : f.word;
}

QByteArray Answer(Device &device, const QByteArray &wire)
{
    const QList<Frame> frames = FrameParser().Feed(wire);
    return frames.size() == 1 ? device.Reply(frames.first()) : "not one frame";
}

// A sample line as the window builds it.
QByteArray Line(const QByteArray &data, int index)
{
    return kv7::SampleLine(QString::fromLatin1(data.toHex().toUpper()), index).toLatin1();
}

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    void parserFindsTheSameFramesInAnySplit_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<int>("discarded");
        const QByteArray longest(FrameParser::MaxFrame, 'w');
        QTest::newRow("junk and stray EOT first; the three kinds")
            << B("junk\x04\x01GAV\x02" "3\x04\x01\x14PA\x04\x01GV \x04") << QByteArrayList{"GAV|3", "#PA", "GV "} << 0;
        QTest::newRow("empty parameter; the word ends at the first STX")
            << B("\x01" "AV \x02\x04\x01$BT\x02" "a\x02" "b\x04") << QByteArrayList{"AV |", B("$BT|a\x02" "b")} << 0;
        QTest::newRow("SOH restarts an unfinished frame; bytes after a frame make none")
            << B("\x01GA\x02" "1\x01RCL\x02" "12\x04trailing\x04") << QByteArrayList{"RCL|12"} << 0;
        QTest::newRow("exactly the longest frame") << '\x01' + longest + '\x04' << QByteArrayList{longest} << 0;
        QTest::newRow("one byte longer: thrown away, EOT and all")
            << '\x01' + longest + "x\x04\x01GB \x04" << QByteArrayList{"GB "} << 1;
    }
    void parserFindsTheSameFramesInAnySplit()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArrayList, frames);
        QFETCH(int, discarded);
        for (const int chunk : {1, 2, 3, 7, 5000}) {
            FrameParser parser;
            QByteArrayList found;
            for (qsizetype i = 0; i < wire.size(); i += chunk)
                for (const Frame &f : parser.Feed(wire.mid(i, chunk)))
                    found << Show(f);
            QCOMPARE(found, frames);
            QCOMPARE(parser.Discarded(), discarded);
        }
    }

    // Each row on a fresh device with gains 5, 2, 3, 4, 5, 6, 7, 127 and
    // sample status B; then again with status letter C, which every reply
    // but a refusal carries. Reply "R" is the command echoed, "E" the
    // command echoed as refused.
    void deviceAnswersEachCommand_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("channel"); // whose gain the command sets, 0 for none
        QTest::addColumn<int>("gain");
        QTest::newRow("gain report") << B("\x01GAV\x02" "8\x04") << B("\x01RGAV\x02" "8127\x04") << 0 << 0;
        QTest::newRow("three digits") << B("\x01GAV\x02" "1\x04") << B("\x01RGAV\x02" "1005\x04") << 0 << 0;
        QTest::newRow("version") << B("\x01GV \x04") << B("\x01RGV \x02KV7-SIM 1.0\x04") << 0 << 0;
        QTest::newRow("area") << B("\x01&PF\x02" "01\x04") << B("\x01R&PF\x02" "01;B\x04") << 0 << 0;
        QTest::newRow("short frame, without DC4") << B("\x01\x14Pa\x04") << B("\x01RPa\x04") << 0 << 0;
        QTest::newRow("set gain") << B("\x01" "AV \x02" "3045\x04") << B("R") << 3 << 45;
        QTest::newRow("set gain 0") << B("\x01" "AV \x02" "8000\x04") << B("R") << 8 << 0;
        QTest::newRow("set gain 128 is 127") << B("\x01" "AV \x02" "2128\x04") << B("R") << 2 << 127;
        QTest::newRow("with parameter") << B("\x01RCL\x02" "1\x04") << B("R") << 0 << 0;
        QTest::newRow("without parameter") << B("\x01GB \x04") << B("R") << 0 << 0;
        QTest::newRow("boot loader with a parameter") << B("\x01$BT\x02" "x\x04") << B("R") << 0 << 0;
        QTest::newRow("any word") << B("\x01hello\x02" "x\x04") << B("R") << 0 << 0;
        QTest::newRow("version with a parameter") << B("\x01GV \x02" "1\x04") << B("R") << 0 << 0;
        QTest::newRow("AV channel 0") << B("\x01" "AV \x02" "0050\x04") << B("E") << 0 << 0;
        QTest::newRow("AV channel 9") << B("\x01" "AV \x02" "9050\x04") << B("E") << 0 << 0;
        QTest::newRow("AV letter in value") << B("\x01" "AV \x02" "2x50\x04") << B("E") << 0 << 0;
        QTest::newRow("AV two digits") << B("\x01" "AV \x02" "250\x04") << B("E") << 0 << 0;
        QTest::newRow("AV four digits") << B("\x01" "AV \x02" "20050\x04") << B("E") << 0 << 0;
        QTest::newRow("AV no parameter") << B("\x01" "AV \x04") << B("E") << 0 << 0;
        QTest::newRow("GAV channel 0") << B("\x01GAV\x02" "0\x04") << B("E") << 0 << 0;
        QTest::newRow("GAV channel 9") << B("\x01GAV\x02" "9\x04") << B("E") << 0 << 0;
        QTest::newRow("GAV two digits") << B("\x01GAV\x02" "12\x04") << B("E") << 0 << 0;
        QTest::newRow("GAV no parameter") << B("\x01GAV\x04") << B("E") << 0 << 0;
    }
    void deviceAnswersEachCommand()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, reply);
        QFETCH(int, channel);
        QFETCH(int, gain);
        const std::array<int, 8> before{5, 2, 3, 4, 5, 6, 7, 127};
        std::array<int, 8> after = before;
        if (channel > 0)
            after[size_t(channel - 1)] = gain;
        if (reply.size() == 1)
            reply = '\x01' + reply + wire.mid(1);
        for (const char status : {'R', 'C'}) {
            Device device;
            device.status = status;
            device.gains = before;
            device.sampleStatus = 'B';
            if (reply[1] == 'R')
                reply[1] = status;
            QCOMPARE(Answer(device, wire), reply);
            QCOMPARE(device.gains, after);
        }
    }

    void bootLoaderCommandIsRecognised()
    {
        QList<bool> enters;
        for (const Frame &f : FrameParser().Feed(B("\x01$BT\x02\x04\x01$BT\x04\x01$BT\x02" "1\x04\x01\x14$B\x04")))
            enters << Device::EntersBootLoader(f);
        QCOMPARE(enters, (QList<bool>{true, true, false, false}));
    }

    void sampleLinesAreCheckedAndKept()
    {
        const QByteArray a(32, '\x5a');
        const QByteArray b = '\x01' + QByteArray(30, '\0') + '\xff';
        Device device;
        QByteArray replies; // + for a line taken, - for one refused
        const auto send = [&](const QByteArrayList &lines) {
            for (const QByteArray &line : lines)
                replies += Answer(device, "\x01&HX\x02" + line + "\x04")
                               .replace(B("\x01R&HX\x02" "0\x04"), "+")
                               .replace(B("\x01R&HX\x02" "E\x04"), "-");
        };
        send({Line(a, 0)}); // before any area
        Answer(device, B("\x01&PF\x02" "7A\x04"));
        QCOMPARE(device.samples.Area(), B("7A"));
        QByteArray wrongSum = Line(a, 1);
        wrongSum[1] = '1';
        // Index 2 is due but 3 comes: every line counts, so a bad one spoils only itself.
        send({Line(b, 0), wrongSum, Line(a, 3), Line(a, 3), Line(a, 4).toLower(), Line(a, 5).chopped(2),
              Line(a, 6).replace(2, 4, ":10:")});
        QCOMPARE(replies, B("-+--+---"));
        QCOMPARE(Answer(device, B("\x01&HX\x04")), B("\x01R&HX\x02" "E\x04"));
        QCOMPARE(device.samples.Data(), b + a);
        QByteArray log;
        for (const SampleArea::Event &e : device.samples.TakeEvents())
            log += "SAR"[e.kind] + QByteArray::number(e.index) + ' ';
        QCOMPARE(log, B("R0 S0 A0 R1 R2 A3 R4 R5 R6 "));

        // A new selection starts afresh; the index wraps after FFFF. Lines
        // --reject-lines names are refused although good, and only they.
        QString error;
        for (const char *bad : {"1", "00001", "0x1A", "00G1", "0001,"})
            QVERIFY2(!SimOptions::Parse({"kv7-sim", "--reject-lines", bad}, &error), bad);
        device.samples.rejectedIndexes = SimOptions::Parse({"kv7-sim", "--reject-lines", "FFFE, 0001"}, &error).value().rejectLines;
        Answer(device, B("\x01&PF\x02" "02\x04"));
        device.samples.expectedIndex = 0xFFFE;
        send({Line(a, 0xFFFE), Line(a, 0xFFFF), Line(b, 0), Line(a, 1), Line(b, 2)});
        QCOMPARE(replies, B("-+--+----++-+"));
        QCOMPARE(device.samples.Data(), a + b + b);
    }

    // The long-run stream keeps its byte rate, and every frame in it is one
    // the window's decoder takes: good ones are the device's own replies,
    // broken ones start with a byte that is no status letter.
    void streamUnitsHoldCountableFrames()
    {
        Device device;
        ReplyStream stream(device, 576);
        kv7::RxBuffer rx;
        for (int i = 1; i <= 200; ++i) {
            rx.Append(stream.NextUnit());
            QCOMPARE(rx.Size(), 576 * i);
        }
        kv7::ReplyDecoder decoder;
        QByteArray kinds;
        for (int tick = 0; tick < 1000; ++tick) {
            if (const auto f = decoder.Tick(rx)) {
                const bool good = f->startsWith("\x01RGAV\x02") || f->startsWith("\x01RGV \x02");
                kinds += good ? 'G' : uchar(f->at(1)) >= 0x80 ? 'B' : '?';
            }
        }
        QCOMPARE(decoder.FramesTaken(), stream.Frames());
        QCOMPARE(kinds.count('G'), 200);
        QCOMPARE(kinds.count('B'), 50);
    }
};

QTEST_APPLESS_MAIN(TestSimDevice)
#include "tst_sim_device.moc"
