#include "sim/Device.h"
#include "sim/FrameParser.h"

#include <QtTest>

using namespace kv7::sim;

namespace {
QByteArray B(const char *s) { return QByteArray(s); }

QByteArray Answer(Device &d, const QByteArray &wire)
{
    FrameParser p;
    QByteArray out;
    for (const Frame &f : p.Feed(wire))
        out += d.Reply(f);
    return out;
}
} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    void parserFindsFramesInAnySplit()
    {
        const QByteArray wire = B("junk\x01GAV\x02" "3\x04\x01\x14PA\x04\x01GV \x04");
        FrameParser whole;
        const QList<Frame> all = whole.Feed(wire);
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].word, B("GAV"));
        QVERIFY(all[0].hasParam);
        QCOMPARE(all[0].param, B("3"));
        QVERIFY(all[1].isShort);
        QCOMPARE(all[1].word, B("PA"));
        QCOMPARE(all[2].word, B("GV "));
        QVERIFY(!all[2].hasParam);

        FrameParser bytewise;
        QList<Frame> one;
        for (const char c : wire)
            one += bytewise.Feed(QByteArray(1, c));
        QCOMPARE(one.size(), 3);
        QCOMPARE(one[0].param, B("3"));
        QCOMPARE(one[2].word, B("GV "));
    }

    void parserRestartsAndStaysBounded()
    {
        FrameParser p;
        QList<Frame> f = p.Feed(B("\x01GA\x01GB \x04"));
        QCOMPARE(f.size(), 1);
        QCOMPARE(f[0].word, B("GB "));
        QVERIFY(p.Feed(QByteArray(FrameParser::MaxFrame + 10, 'x').prepend('\x01')).isEmpty());
        QCOMPARE(p.Discarded(), 1);
        // The overlong frame's EOT does not produce a frame of its tail.
        QVERIFY(p.Feed(B("tail\x04")).isEmpty());
        QCOMPARE(p.Feed(B("\x01GB \x04")).size(), 1);
        QVERIFY(p.Feed(B("\x04\x04 no start")).isEmpty());
    }

    void gainsAreKeptAndReported()
    {
        Device d;
        d.gains[7] = 127;
        QCOMPARE(Answer(d, B("\x01GAV\x02" "8\x04")), B("\x01RGAV\x02" "8127\x04"));
        QCOMPARE(Answer(d, B("\x01" "AV \x02" "3045\x04")), B("\x01RAV \x02" "3045\x04"));
        QCOMPARE(Answer(d, B("\x01GAV\x02" "3\x04")), B("\x01RGAV\x02" "3045\x04"));
        // Out of range is clamped; malformed is refused and changes nothing.
        (void)Answer(d, B("\x01" "AV \x02" "1999\x04"));
        QCOMPARE(d.gains[0], 127);
        QCOMPARE(Answer(d, B("\x01" "AV \x02" "9050\x04")), B("\x01" "EAV \x02" "9050\x04"));
        QCOMPARE(Answer(d, B("\x01" "AV \x02" "2x5\x04")), B("\x01" "EAV \x02" "2x5\x04"));
        QCOMPARE(d.gains[1], 0);
        QCOMPARE(Answer(d, B("\x01GAV\x02" "0\x04")), B("\x01" "EGAV\x02" "0\x04"));
    }

    void repliesEchoWithTheChosenStatus()
    {
        Device d;
        QCOMPARE(Answer(d, B("\x01RCL\x02" "1\x04")), B("\x01RRCL\x02" "1\x04"));
        QCOMPARE(Answer(d, B("\x01GB \x04")), B("\x01RGB \x04"));
        QCOMPARE(Answer(d, B("\x01\x14Pa\x04")), B("\x01RPa\x04"));
        d.status = 'C';
        QCOMPARE(Answer(d, B("\x01SAV\x02" "1\x04")), B("\x01" "CSAV\x02" "1\x04"));
        QCOMPARE(Answer(d, B("\x01GAV\x02" "1\x04")), B("\x01" "CGAV\x02" "1000\x04"));
        QVERIFY(Answer(d, B("\x01GV \x04")).startsWith(B("\x01" "CGV \x02")));
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_sim_device.moc"
