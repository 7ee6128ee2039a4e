#include "commands/ControlChars.h"
#include "firmware/BlockTransfer.h"

#include "tests/support/TransferBytes.h"

#include <QtTest>

using namespace kv7;
using namespace kv7::test;

namespace {


QByteArray Image(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 7 + 3) & 0xFF);
    return image;
}

// The frame a receiver expects, built from the wire format alone.
QByteArray Expected(int number, const QByteArray &data)
{
    QByteArray block = data + QByteArray(128 - data.size(), '\x1A');
    int sum = 0;
    for (char c : block)
        sum += static_cast<unsigned char>(c);
    return QByteArray(1, '\x01') + char(number) + char(255 - number) + block + char(sum % 256);
}

// A device that asks for every block once: the frames sent, up to EOT.
QByteArrayList RunToEot(BlockTransfer &t, const QByteArray &image)
{
    t.Begin(image);
    QByteArrayList frames;
    if (t.Reply(Sync).write != Sync)
        return {"no sync answer"};
    BlockTransfer::Step step = t.Reply(Nak);
    for (int guard = 0; step.write != Eot && guard < 100000; ++guard) {
        frames << step.write;
        step = t.Reply(Ack);
    }
    return frames;
}

} // namespace

class TestBlockTransfer : public QObject {
    Q_OBJECT
private slots:
    void checksumIsTheByteSumModulo256()
    {
        QCOMPARE(calcChecksum(QByteArray("abc") + QByteArray(125, '\x1A')), 0xD8);
        QCOMPARE(calcChecksum(QByteArray(128, '\x1A')), 0);
        QCOMPARE(calcChecksum(QByteArray(131, '\xFF')), (131 * 255) % 256);
        QCOMPARE(calcChecksum(QByteArray()), 0);
    }

    void imagesGoOutAsPaddedBlocks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("progress");
        QTest::newRow("1 byte") << 1 << 1 << 0;
        QTest::newRow("127 bytes") << 127 << 1 << 0;
        QTest::newRow("128 bytes: a block of padding follows") << 128 << 2 << 1;
        QTest::newRow("256 bytes") << 256 << 3 << 2;
        QTest::newRow("300 bytes") << 300 << 3 << 2;
    }
    void imagesGoOutAsPaddedBlocks()
    {
        QFETCH(int, size);
        QFETCH(int, frames);
        QFETCH(int, progress);
        const QByteArray image = Image(size);
        BlockTransfer t;
        const QByteArrayList sent = RunToEot(t, image);
        QCOMPARE(sent.size(), frames);
        for (int i = 0; i < frames; ++i)
            QCOMPARE(sent[i], Expected(i + 1, image.mid(i * 128, 128)));
        QCOMPARE(t.Progress, progress);
        QCOMPARE(t.UploadState, int(BlockTransfer::UploadEotSent));
        const BlockTransfer::Step end = t.Reply(Ack);
        QVERIFY(end.acted && end.finished && end.write.isEmpty());
        QCOMPARE(t.UploadState, int(BlockTransfer::UploadFinished));
        QCOMPARE(t.Progress, progress);
    }

    void blockNumbersWrapFrom255To1()
    {
        const QByteArray image = Image(257 * 128);
        BlockTransfer t;
        const QByteArrayList sent = RunToEot(t, image);
        QCOMPARE(sent.size(), 258);
        QCOMPARE(sent[254].mid(1, 2), QByteArray("\xFF\x00", 2));
        QCOMPARE(sent[255].mid(1, 2), QByteArray("\x01\xFE"));
        QCOMPARE(sent[256].mid(1, 2), QByteArray("\x02\xFD"));
        QCOMPARE(sent[256], Expected(2, image.mid(256 * 128, 128)));
    }

    void nakRepeatsTheSameFrame()
    {
        BlockTransfer t;
        t.Begin(Image(300));
        t.Reply(Sync);
        const QByteArray first = t.Reply(Nak).write;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(t.Reply(Nak).write, first);
        const QByteArray second = t.Reply(Ack).write;
        QCOMPARE(second, Expected(2, Image(300).mid(128, 128)));
        QCOMPARE(t.Reply(Nak).write, second);
        QCOMPARE(t.Progress, 1);
    }

    void onlyAWholeSingleReplyCounts()
    {
        BlockTransfer t;
        t.Begin(Image(300));
        // Before the sync nothing is prepared, so ACK and NAK mean nothing.
        QVERIFY(!t.Reply(Ack).acted);
        QVERIFY(!t.Reply(Nak).acted);
        t.Reply(Sync);
        const QByteArray frame = t.Reply(Nak).write;
        for (const QByteArray &noise : {Ack + Nak, Nak + Nak, QByteArray(), QByteArray("x"), QByteArray("\x06\x06")}) {
            const BlockTransfer::Step step = t.Reply(noise);
            QVERIFY(!step.acted);
            QVERIFY(step.write.isEmpty());
        }
        QCOMPARE(t.BlockNumber, 1);
        QCOMPARE(t.Progress, 0);
        QCOMPARE(t.Reply(Nak).write, frame);
    }

    // Replies out of order never skip, relabel or invent a block.
    void outOfOrderRepliesKeepTheBlocks()
    {
        const QByteArray image = Image(300);
        BlockTransfer t;
        t.Begin(image);
        QCOMPARE(t.Reply(Sync).write, Sync);
        // A repeated sync is answered, but block 1 stays loaded.
        QCOMPARE(t.Reply(Sync).write, Sync);
        // An ACK before any block went out confirms nothing.
        QVERIFY(!t.Reply(Ack).acted);
        QCOMPARE(t.Reply(Nak).write, Expected(1, image.left(128)));
        // Once blocks are going, a sync is ignored.
        const BlockTransfer::Step late = t.Reply(Sync);
        QVERIFY(!late.acted && late.write.isEmpty());
        QCOMPARE(t.Reply(Ack).write, Expected(2, image.mid(128, 128)));
        QVERIFY(t.Reply(Sync).write.isEmpty());
        QCOMPARE(t.Reply(Ack).write, Expected(3, image.mid(256)));
        QVERIFY(t.Reply(Sync).write.isEmpty());
        QCOMPARE(t.Reply(Ack).write, Eot);
        QCOMPARE(t.Progress, 2);
    }

    void aOneBlockImageIsSentBeforeEot()
    {
        const QByteArray image = Image(1);
        BlockTransfer t;
        t.Begin(image);
        t.Reply(Sync);
        QVERIFY(t.Reply(Ack).write.isEmpty());
        QCOMPARE(t.Reply(Nak).write, Expected(1, image));
        // A late sync does not turn the sent block into padding.
        QVERIFY(t.Reply(Sync).write.isEmpty());
        QCOMPARE(t.Reply(Nak).write, Expected(1, image));
        QCOMPARE(t.Reply(Ack).write, Eot);
    }

    void nakAfterEotAsksForEotAgain()
    {
        BlockTransfer t;
        RunToEot(t, Image(10));
        for (int i = 0; i < 2; ++i) {
            const BlockTransfer::Step again = t.Reply(Nak);
            QVERIFY(again.acted && !again.finished);
            QCOMPARE(again.write, Eot);
        }
        QVERIFY(t.Reply(Ack).finished);
        // Done: nothing more is acted on.
        QVERIFY(!t.Reply(Ack).acted);
        QVERIFY(!t.Reply(Nak).acted);
        QVERIFY(!t.Reply(Sync).acted);
    }

    void beginStartsAfresh()
    {
        BlockTransfer t;
        RunToEot(t, Image(300));
        const QByteArray image = Image(200);
        const QByteArrayList sent = RunToEot(t, image);
        QCOMPARE(sent, (QByteArrayList{Expected(1, image.left(128)), Expected(2, image.mid(128))}));
        QCOMPARE(t.Progress, 1);
    }
};

QTEST_APPLESS_MAIN(TestBlockTransfer)
#include "tst_block_transfer.moc"
