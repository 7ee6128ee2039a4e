#include "protocol/BlockTransfer.h"
#include "protocol/FirmwareTransfer.h"

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

// The frame a receiver expects for the k-th block (from 1), built from the
// wire format alone: numbers run 1..255 and then 1 again.
QByteArray Expected(int k, const QByteArray &image)
{
    const QByteArray data = image.mid(qsizetype(k - 1) * 128, 128);
    const QByteArray block = data + QByteArray(128 - data.size(), '\x1A');
    const int number = (k - 1) % 255 + 1;
    int sum = 0;
    for (char c : block)
        sum += static_cast<unsigned char>(c);
    return QByteArray(1, '\x01') + char(number) + char(255 - number) + block + char(sum % 256);
}

// What one reply led to: "{" or "E" written back, the k of the block frame
// written, "F" for the end, "." for a reply not acted on. A reply is acted
// on exactly when it brings a write or the end.
QByteArray Describe(const BlockTransfer::Step &step, const QByteArray &image)
{
    if (step.acted != (step.finished || !step.write.isEmpty()) || (step.finished && !step.write.isEmpty()))
        return "?";
    if (step.finished || step.write.isEmpty())
        return step.finished ? "F" : ".";
    if (step.write == Sync || step.write == Eot)
        return step.write == Sync ? "{" : "E";
    for (int k = 1; k <= image.size() / 128 + 1; ++k)
        if (step.write == Expected(k, image))
            return QByteArray::number(k);
    return "?";
}

} // namespace

class TestBlockTransfer : public QObject {
    Q_OBJECT
private slots:
    // The device's replies: "{", A for ACK, N for NAK, _ for an empty text;
    // a word of several letters is those replies run together in one text.
    void repliesGetTheirWrites_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QByteArray>("writes");
        QTest::addColumn<int>("progress"); // full blocks acknowledged
        QTest::newRow("1 byte") << 1 << QByteArray("{ N A A") << QByteArray("{ 1 E F") << 0;
        QTest::newRow("127 bytes") << 127 << QByteArray("{ N A A") << QByteArray("{ 1 E F") << 0;
        QTest::newRow("128 bytes: a block of padding follows")
            << 128 << QByteArray("{ N A A A") << QByteArray("{ 1 2 E F") << 1;
        QTest::newRow("300 bytes") << 300 << QByteArray("{ N A A A A") << QByteArray("{ 1 2 3 E F") << 2;
        QTest::newRow("NAK repeats the frame")
            << 300 << QByteArray("{ N N N N A N A A A") << QByteArray("{ 1 1 1 1 2 2 3 E F") << 2;
        // Before the sync nothing is prepared, so ACK and NAK mean nothing.
        QTest::newRow("only a whole single reply counts")
            << 300 << QByteArray("A N { N AN NN _ x AA N") << QByteArray(". . { 1 . . . . . 1") << 0;
        // A repeated sync is answered but keeps block 1; once blocks go out a
        // sync is ignored, and an ACK before any block confirms nothing.
        QTest::newRow("out of order replies keep the blocks")
            << 300 << QByteArray("{ { A N { A { A { A A") << QByteArray("{ { . 1 . 2 . 3 . E F") << 2;
        QTest::newRow("a late sync keeps a one-block image")
            << 1 << QByteArray("{ A N { N A") << QByteArray("{ . 1 . 1 E") << 0;
        QTest::newRow("NAK after EOT asks for EOT again; nothing after the end")
            << 10 << QByteArray("{ N A N N A A N {") << QByteArray("{ 1 E E E F . . .") << 0;
        QByteArray replies = "{ N";
        QByteArray writes = "{ 1";
        for (int k = 2; k <= 258; ++k) {
            replies += " A";
            writes += ' ' + QByteArray::number(k);
        }
        QTest::newRow("numbers wrap from 255 to 1") << 257 * 128 << replies + " A A" << writes + " E F" << 257;
    }
    void repliesGetTheirWrites()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, replies);
        QFETCH(QByteArray, writes);
        QFETCH(int, progress);
        const QByteArray image = Image(size);
        BlockTransfer t;
        // Twice on one object: a new transfer starts afresh.
        for (int run = 0; run < 2; ++run) {
            t.Begin(image);
            QByteArrayList got;
            for (const QByteArray &word : replies.split(' ')) {
                QByteArray text = word == "_" ? QByteArray() : word;
                text.replace('A', Ack).replace('N', Nak);
                got << Describe(t.Reply(text), image);
            }
            QCOMPARE(got.join(' '), writes);
            QCOMPARE(t.Progress, progress);
        }
    }

    // The same frame refused `limit` times in a row ends the upload ("X")
    // instead of going out again; the NAK that asks for the first frame
    // refuses nothing, and an ACK starts the count afresh.
    void nakBoundEndsTheUpload_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QByteArray>("writes");
        QTest::addColumn<QString>("why");
        QTest::newRow("third refusal") << 3 << QByteArray("{ N N N N A") << QByteArray("{ 1 1 1 X .")
                                       << "the device refused block 1 of 3 3 times in a row";
        QTest::newRow("an ACK starts afresh") << 3 << QByteArray("{ N N N A N N A N N A A")
                                              << QByteArray("{ 1 1 1 2 2 2 3 3 3 E F") << QString();
        QTest::newRow("the EOT refused") << 2 << QByteArray("{ N A A A N N {") << QByteArray("{ 1 2 3 E E X .")
                                         << "the device refused the end of the transfer (EOT) 2 times in a row";
        QTest::newRow("a later block") << 2 << QByteArray("{ N A N N") << QByteArray("{ 1 2 2 X")
                                       << "the device refused block 2 of 3 2 times in a row";
        QTest::newRow("no bound") << 0 << QByteArray("{ N N N N N N N N N N N N A")
                                  << QByteArray("{ 1 1 1 1 1 1 1 1 1 1 1 1 2") << QString();
    }
    void nakBoundEndsTheUpload()
    {
        QFETCH(int, limit);
        QFETCH(QByteArray, replies);
        QFETCH(QByteArray, writes);
        QFETCH(QString, why);
        const QByteArray image = Image(300);
        FirmwareTransfer t;
        t.Begin(image, limit);
        QByteArrayList got;
        bool gaveUp = false;
        for (QByteArray text : replies.split(' ')) {
            text.replace('A', Ack).replace('N', Nak);
            const FirmwareTransfer::Step step = t.Reply(text);
            gaveUp = gaveUp || step.gaveUp;
            got << (step.gaveUp ? "X" : Describe({step.acted, step.write, step.finished}, image));
        }
        QCOMPARE(got.join(' '), writes);
        QCOMPARE(gaveUp ? t.WhyGaveUp() : QString(), why);
    }
};

QTEST_APPLESS_MAIN(TestBlockTransfer)
#include "tst_block_transfer.moc"
