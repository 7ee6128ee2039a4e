#include "sim/BootLoader.h"

#include <QtTest>

#include <numeric>

using namespace kv7::sim;

Q_DECLARE_METATYPE(BootLoader::Faults)

namespace {

QByteArray B(const char *s)
{
    return QByteArray(s);
}

// 128 data bytes that hold every control byte of the line, so a frame is
// only ever judged by its length.
QByteArray Data(int seed)
{
    QByteArray data = "\x01\x04{\x15";
    while (data.size() < BootLoader::BlockSize)
        data += char(seed * 31 + data.size());
    return data;
}

// A script of what the host sends after the handshake: "3" is block 3 with
// Data(3), "3s" the same with a wrong checksum, "3c" a wrong complement, "3d"
// a data byte changed, "E" an EOT; any other word is sent as it is.
QByteArray Wire(const QByteArray &script)
{
    QByteArray wire;
    for (const QByteArray &word : script.split(' ')) {
        const char flaw = word.back();
        bool isFrame = false;
        const int n = word.left(flaw >= 'a' ? word.size() - 1 : word.size()).toInt(&isFrame);
        if (!isFrame) {
            wire += word == "E" ? B("\x04") : word;
            continue;
        }
        const QByteArray data = Data(n);
        QByteArray frame = QByteArray(1, '\x01') + char(n) + char(255 - n) + data;
        const int sum = std::accumulate(data.begin(), data.end(), 0, [](int s, char c) { return s + uchar(c); });
        frame += char(sum & 0xFF);
        const int at = flaw == 's' ? 131 : flaw == 'c' ? 2 : flaw == 'd' ? 50 : -1;
        if (at >= 0)
            frame[at] = char(frame[at] + 1);
        wire += frame;
    }
    return wire;
}

// The "{" handshake, ten times from the host, then the quiet wait: what
// the boot loader answered ("?" where a "{" did not arm the wait).
QByteArray Sync(BootLoader &boot)
{
    QByteArray replies;
    for (int i = 0; i < 10; ++i) {
        const BootLoader::Step step = boot.Feed("{");
        replies += step.armQuiet ? step.replies : "?";
    }
    replies += boot.QuietElapsed().replies;
    return replies + boot.Feed("{").replies;
}

} // namespace

class TestSimBootLoader : public QObject {
    Q_OBJECT
private slots:
    void syncIsAnsweredOnceThenBlockOneIsAsked()
    {
        BootLoader boot;
        // Nothing before the first "{" and no answer while none came.
        QVERIFY(boot.Feed("\x04\x01\x01\xfe\x06\x15").replies.isEmpty());
        QVERIFY(boot.QuietElapsed().replies.isEmpty());
        QCOMPARE(Sync(boot), B("{\x15"));
        // The answer went out once, and later "{" are noise.
        QVERIFY(boot.QuietElapsed().replies.isEmpty());
        QVERIFY(boot.Feed("{{").replies.isEmpty());
        QCOMPARE(boot.Feed(Wire("1")).replies, B("\x06"));
    }

    // Each script in reads of 1, 7, 131, 132 and 264 bytes and whole. The
    // replies are A for ACK and N for NAK, then F once the EOT is taken;
    // what follows that EOT goes back to the command parser.
    void scriptsGetTheirReplies_data()
    {
        QTest::addColumn<BootLoader::Faults>("faults");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QList<int>>("image"); // the blocks kept
        QTest::addColumn<QByteArray>("rest");
        const BootLoader::Faults none{0, false};
        QTest::newRow("blocks then EOT")
            << none << B("1 2 E \x01RCL\x02" "1\x04") << B("AAAF") << QList<int>{1, 2} << B("\x01RCL\x02" "1\x04");
        QTest::newRow("checksum") << none << B("1 2s 2") << B("ANA") << QList<int>{1, 2} << B("");
        QTest::newRow("complement") << none << B("1 2c 2") << B("ANA") << QList<int>{1, 2} << B("");
        QTest::newRow("data changed") << none << B("1 2d 2") << B("ANA") << QList<int>{1, 2} << B("");
        QTest::newRow("number ahead") << none << B("1 3 2") << B("ANA") << QList<int>{1, 2} << B("");
        QTest::newRow("a repeat is acked, not kept") << none << B("1 1 2") << B("AAA") << QList<int>{1, 2} << B("");
        QTest::newRow("a bad repeat is refused") << none << B("1 1d 2") << B("ANA") << QList<int>{1, 2} << B("");
        // Frame 3 is refused; its repeat is frame 4 and taken, frame 6 is refused again.
        QTest::newRow("NAK every third good frame")
            << BootLoader::Faults{3, false} << B("1 2 3 3 4 5 5") << B("AANAANA") << QList<int>{1, 2, 3, 4, 5} << B("");
        QTest::newRow("NAK the first EOT only")
            << BootLoader::Faults{0, true} << B("1 E E") << B("ANAF") << QList<int>{1} << B("");
        QByteArray script;
        QList<int> image;
        for (int n = 1; n <= 255; ++n) {
            script += QByteArray::number(n) + ' ';
            image << n;
        }
        QTest::newRow("numbers wrap from 255 to 1")
            << none << script + "0 255 1" << QByteArray(255, 'A') + "NAA" << image + QList<int>{1} << B("");
    }
    void scriptsGetTheirReplies()
    {
        QFETCH(BootLoader::Faults, faults);
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, replies);
        QFETCH(QList<int>, image);
        QFETCH(QByteArray, rest);
        QByteArray kept;
        for (const int n : image)
            kept += Data(n);
        const QByteArray wire = Wire(script);
        for (const int chunk : {1, 7, 131, 132, 264, 1000000}) {
            BootLoader boot(faults);
            QCOMPARE(Sync(boot), B("{\x15"));
            QByteArray got;
            for (qsizetype i = 0; i < wire.size() && !got.endsWith('F'); i += chunk) {
                const BootLoader::Step step = boot.Feed(wire.mid(i, chunk));
                got += QByteArray(step.replies).replace('\x06', 'A').replace('\x15', 'N') + (step.finished ? "F" : "");
                if (step.finished)
                    QCOMPARE(step.rest + wire.mid(i + chunk), rest);
            }
            QCOMPARE(got, replies);
            QCOMPARE(boot.Image(), kept);
        }
    }
};

QTEST_APPLESS_MAIN(TestSimBootLoader)
#include "tst_sim_bootloader.moc"
