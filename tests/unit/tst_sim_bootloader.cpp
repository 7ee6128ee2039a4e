#include "sim/BootLoader.h"

#include <QtTest>

using namespace kv7::sim;

namespace {

const QByteArray Ack(1, '\x06');
const QByteArray Nak(1, '\x15');
const QByteArray Eot(1, '\x04');

// 128 data bytes that hold every control byte of the line, so a frame is
// only ever judged by its length.
QByteArray Data(int seed)
{
    QByteArray data(BootLoader::BlockSize, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((seed * 31 + i) & 0xFF);
    data.replace(0, 4, "\x01\x04{\x15");
    return data;
}

QByteArray Frame(int number, const QByteArray &data)
{
    QByteArray frame = QByteArray(1, '\x01') + char(number) + char(255 - number) + data;
    int sum = 0;
    for (const char c : data)
        sum += static_cast<unsigned char>(c);
    return frame + char(sum & 0xFF);
}

// Through the "{" handshake to the request for block 1.
void Sync(BootLoader &boot)
{
    for (int i = 0; i < 10; ++i) {
        const BootLoader::Step step = boot.Feed("{");
        QVERIFY(step.armQuiet);
        QVERIFY(step.replies.isEmpty());
    }
    QCOMPARE(boot.QuietElapsed().replies, QByteArray("{"));
    QCOMPARE(boot.Feed("{").replies, Nak);
}

} // namespace

class TestSimBootLoader : public QObject {
    Q_OBJECT
private slots:
    void syncIsAnsweredOnceThenBlockOneIsAsked()
    {
        BootLoader boot;
        // Nothing before the first "{" and no answer while none came.
        QVERIFY(boot.Feed(Eot + "\x01\x01\xfe" + Ack + Nak).replies.isEmpty());
        QVERIFY(boot.QuietElapsed().replies.isEmpty());
        Sync(boot);
        // The answer went out once, and later "{" are noise.
        QVERIFY(boot.QuietElapsed().replies.isEmpty());
        QVERIFY(boot.Feed("{{").replies.isEmpty());
        QCOMPARE(boot.Feed(Frame(1, Data(1))).replies, Ack);
    }

    void framesInAnySplitAreAckedAndKept_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : {1, 7, 131, 132, 264})
            QTest::addRow("%d bytes per read", chunk) << chunk;
    }

    void framesInAnySplitAreAckedAndKept()
    {
        QFETCH(int, chunk);
        BootLoader boot;
        Sync(boot);
        const QByteArray wire = Frame(1, Data(1)) + Frame(2, Data(2));
        QByteArray replies;
        for (qsizetype i = 0; i < wire.size(); i += chunk)
            replies += boot.Feed(wire.mid(i, chunk)).replies;
        QCOMPARE(replies, Ack + Ack);
        QCOMPARE(boot.Image(), Data(1) + Data(2));
        QCOMPARE(boot.ExpectedBlock(), 3);
    }

    void badFramesAreRefused_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("value");
        QTest::newRow("checksum") << 131 << 0x00;
        QTest::newRow("complement") << 2 << 0xFF;
        QTest::newRow("data changed") << 50 << 0x55;
        QTest::newRow("number ahead") << 1 << 3;
        QTest::newRow("number 0") << 1 << 0;
    }

    void badFramesAreRefused()
    {
        QFETCH(int, at);
        QFETCH(int, value);
        BootLoader boot;
        Sync(boot);
        QCOMPARE(boot.Feed(Frame(1, Data(1))).replies, Ack);
        QByteArray bad = Frame(2, Data(2));
        if (at == 1) // a consistent frame with the wrong number
            bad = Frame(value, Data(2));
        else
            bad[at] = char(value);
        QCOMPARE(boot.Feed(bad).replies, Nak);
        QCOMPARE(boot.Image(), Data(1));
        // The buffer starts afresh: the good frame is taken.
        QCOMPARE(boot.Feed(Frame(2, Data(2))).replies, Ack);
        QCOMPARE(boot.Image(), Data(1) + Data(2));
    }

    void repeatedBlockIsAckedNotKeptTwice()
    {
        BootLoader boot;
        Sync(boot);
        const QByteArray first = Frame(1, Data(1));
        QCOMPARE(boot.Feed(first).replies, Ack);
        QCOMPARE(boot.Feed(first).replies, Ack);
        QCOMPARE(boot.Image(), Data(1));
        QCOMPARE(boot.ExpectedBlock(), 2);
    }

    void blockNumberWrapsFrom255To1()
    {
        BootLoader boot;
        Sync(boot);
        for (int n = 1; n <= 255; ++n)
            QCOMPARE(boot.Feed(Frame(n, Data(n))).replies, Ack);
        QCOMPARE(boot.ExpectedBlock(), 1);
        QCOMPARE(boot.Feed(Frame(0, Data(0))).replies, Nak);
        QCOMPARE(boot.Feed(Frame(255, Data(255))).replies, Ack); // a repeat
        QCOMPARE(boot.Feed(Frame(1, Data(256))).replies, Ack);
        QCOMPARE(boot.Image().size(), 256 * BootLoader::BlockSize);
        QCOMPARE(boot.Image().right(BootLoader::BlockSize), Data(256));
    }

    void eotEndsWithTheImage()
    {
        BootLoader boot;
        Sync(boot);
        QByteArray last(BootLoader::BlockSize, '\x1a');
        last.replace(0, 3, "end");
        boot.Feed(Frame(1, Data(1)));
        boot.Feed(Frame(2, last));
        // Bytes after the EOT go back to the command parser.
        const BootLoader::Step step = boot.Feed(Eot + "\x01GV \x04");
        QCOMPARE(step.replies, Ack);
        QVERIFY(step.finished);
        QCOMPARE(step.rest, QByteArray("\x01GV \x04"));
        QCOMPARE(boot.Image(), Data(1) + last);
        QVERIFY(boot.Feed(Eot + Frame(3, Data(3))).replies.isEmpty());
    }

    void nakEveryRefusesEveryKthGoodFrame()
    {
        BootLoader boot({3, false});
        Sync(boot);
        QByteArray replies;
        // Frame 3 is refused; its repeat is frame 4 and taken, frame 6 is
        // refused again.
        for (int n : {1, 2, 3, 3, 4, 5, 5})
            replies += boot.Feed(Frame(n, Data(n))).replies;
        QCOMPARE(replies, Ack + Ack + Nak + Ack + Ack + Nak + Ack);
        QCOMPARE(boot.Image(), Data(1) + Data(2) + Data(3) + Data(4) + Data(5));
    }

    void nakEotRefusesTheFirstEotOnly()
    {
        BootLoader boot({0, true});
        Sync(boot);
        boot.Feed(Frame(1, Data(1)));
        BootLoader::Step step = boot.Feed(Eot);
        QCOMPARE(step.replies, Nak);
        QVERIFY(!step.finished);
        step = boot.Feed(Eot);
        QCOMPARE(step.replies, Ack);
        QVERIFY(step.finished);
        QCOMPARE(boot.Image(), Data(1));
    }
};

QTEST_APPLESS_MAIN(TestSimBootLoader)
#include "tst_sim_bootloader.moc"
