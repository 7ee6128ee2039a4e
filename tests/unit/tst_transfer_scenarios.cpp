#include "protocol/FirmwareTransfer.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/SampleTransfer.h"
#include "tests/support/TransferBytes.h"

#include <QtTest>

using namespace kv7;
using namespace kv7::test;

// Each row drives one upload machine through a script of events, a word an
// event, and reads back a word a step. Frames are spelled as the log shows
// them (<1> SOH, <2> STX, <4> EOT); the firmware's replies as "{", A for ACK
// and N for NAK, several letters being one receive event's text, _ none.
namespace {

QByteArray Wire(QByteArray text)
{
    return text.replace("<1>", "\x01").replace("<2>", "\x02").replace("<4>", "\x04");
}

// The device's usual sample replies: a0 to the area, h0/hE to a line.
QByteArray SampleReply(const QByteArray &word)
{
    const bool usual = word.size() == 2 && (word[0] == 'a' || word[0] == 'h');
    return Wire(usual ? (word[0] == 'a' ? "<1>R&PF<2>01;" : "<1>R&HX<2>") + word.right(1) + "<4>" : word);
}

// PF<area> the area selection, D data wanted, L<k> line k (its bytes
// checked against the file's, zero-filled), ok or X an ending, . nothing.
QByteArray Describe(const SampleTransfer::Step &s, const QByteArray &data)
{
    if (s.ended)
        return s.write.isEmpty() && !s.wantsData && s.ok == s.failure.isEmpty() ? (s.ok ? "ok" : "X") : "?";
    if (s.ok || !s.failure.isEmpty() || (s.wantsData && !s.write.isEmpty()))
        return "?";
    if (s.write.isEmpty())
        return s.wantsData ? "D" : ".";
    if (s.write.startsWith("\x01&PF\x02") && s.write.endsWith('\x04'))
        return "PF" + s.write.mid(5, s.write.size() - 6);
    // SOH &HX STX, checksum, ":20:", index, ":", 64 hex digits, EOT.
    const int k = s.write.mid(11, 4).toInt(nullptr, 16);
    const QByteArray line = data.mid(k * 32, 32) + QByteArray(qMax(0, 32 - int(data.size()) + k * 32), '\0');
    if (s.write.left(11) == "\x01&HX\x02" + s.write.mid(5, 2) + ":20:" && s.write.mid(16) == line.toHex().toUpper() + '\x04')
        return 'L' + QByteArray::number(k);
    return "?";
}

// { 1 2 E: the sync, a block frame by its number, EOT written; F finished,
// X gave up, T timed out, . nothing; a step of two kinds at once is "?".
QByteArray Describe(const FirmwareTransfer::Step &s)
{
    const QByteArray &w = s.write;
    const int ends = int(s.finished) + int(s.gaveUp) + int(s.timedOut);
    if (!w.isEmpty() && s.acted && ends == 0) {
        if (w.size() == 132 && w[0] == '\x01' && uchar(w[1]) + uchar(w[2]) == 255)
            return QByteArray::number(uchar(w[1]));
        return w == Sync ? "{" : w == Eot ? "E" : "?";
    }
    if (!w.isEmpty() || ends > 1 || (ends == 0 && s.acted) || (ends == 1 && s.acted == s.timedOut))
        return "?";
    return ends == 0 ? "." : s.finished ? "F" : s.gaveUp ? "X" : "T";
}

// The replies to two lines behind stray bytes: whole at byte 10 and at 18.
const QByteArray TwoLineReplies = Wire("<4>x<1>R&HX<2>0<4><1>R&HX<2>E<4>");
const QString AreaSilent = QStringLiteral("The sample upload stopped because the device did not answer the area selection.");
const QString Line2Silent = QStringLiteral("The sample upload stopped because the device did not answer line 2 (index 0001).");

} // namespace

class TestTransferScenarios : public QObject {
    Q_OBJECT
private slots:
    // Events: begin, a reply, data<bytes>, w<ms> waited, fail (line failed).
    // The outcome: the verdict of an upload done, else failure / detail.
    void sampleScenarios_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("done; late replies and waits do nothing")
            << "begin a0 data40 h0 h0 h0 a0 w5000" << "PF01 D L0 L1 ok . . ." << "done: 2 lines answered, 0 rejected";
        QTest::newRow("rejected lines are counted, not sent again") << "begin a0 data70 hE <1>R&HX<2><4> h0"
            << "PF01 D L0 L1 L2 ok" << "done: 3 lines answered, 2 rejected, the first at index 0000";
        QTest::newRow("empty file") << "begin a0 data0 h0 w5000" << "PF01 D ok . ." << "done: 0 lines answered, 0 rejected";
        QTest::newRow("only a reply of the awaited shape ends a wait; 32 bytes are two lines")
            << "begin h0 <1>R&PF<2>01<4> a0 data32 <1>R&HX0<4> h0 h0" << "PF01 . . D L0 . L1 ok" << "done: 2 lines answered, 0 rejected";
        QTest::newRow("area refused, without a status") << "begin <1>R&PF<2>01;<4> data40 h0 w5000" << "PF01 X . . ."
                                                        << "The device refused sample area 01 (status <4>); nothing was sent.";
        QTest::newRow("area unanswered at the limit") << "begin w4999 w5000 a0 w5000" << "PF01 . X . ." << AreaSilent;
        QTest::newRow("line unanswered at the limit") << "begin a0 data40 h0 w4999 w5000 h0" << "PF01 D L0 L1 . X ." << Line2Silent;
        QTest::newRow("line unanswered after a rejection") << "begin a0 data70 hE w5000" << "PF01 D L0 L1 X" << Line2Silent +
            " / The device rejected 1 of 1 sample lines, the first at index 0000. Sample area 01 may be incomplete.";
        QTest::newRow("line failed") << "begin a0 data40 fail h0 w5000" << "PF01 D L0 X . ."
                                     << "The sample upload stopped because the line failed: / gone";
    }
    void sampleScenarios()
    {
        QFETCH(QString, events);
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        SampleTransfer t(QStringLiteral("1"));
        QByteArray data;
        QByteArrayList got;
        QString ended;
        for (const QByteArray &e : events.toLatin1().split(' ')) {
            SampleTransfer::Step s;
            if (e == "begin")
                s = t.Begin();
            else if (e.startsWith("data"))
                s = t.Data(data = RandomBytes(e.mid(4).toInt(), 7));
            else if (e.startsWith('w'))
                s = t.Waited(e.mid(1).toLongLong());
            else
                s = e == "fail" ? t.LineFailed(QStringLiteral("gone")) : t.Reply(SampleReply(e));
            got << Describe(s, data);
            if (s.ended)
                ended = s.ok ? t.Verdict() : s.failure + (s.detail.isEmpty() ? QString() : " / " + s.detail);
        }
        QCOMPARE(QString::fromLatin1(got.join(' ')), steps);
        QCOMPARE(ended, outcome);
    }

    // The replies to the two lines come as one stream cut in two at every
    // byte; the frames are cut out as the drivers do ("|" after each piece),
    // and each line moves on once its reply is whole.
    void sampleReplySplitAtEveryByte_data()
    {
        QTest::addColumn<int>("at");
        for (int at = 0; at <= TwoLineReplies.size(); ++at)
            QTest::addRow("split at %d", at) << at;
    }
    void sampleReplySplitAtEveryByte()
    {
        QFETCH(int, at);
        const QByteArray data = RandomBytes(40, 7);
        SampleTransfer t(QStringLiteral("1"));
        (void)t.Begin();
        (void)t.Reply(SampleReply("a0"));
        QCOMPARE(Describe(t.Data(data), data), QByteArray("L0"));
        RxBuffer rx;
        QByteArrayList got;
        for (const QByteArray &piece : {TwoLineReplies.left(at), TwoLineReplies.mid(at)}) {
            rx.Append(piece);
            for (qsizetype before = -1; before != rx.Size();) {
                before = rx.Size();
                if (const std::optional<QByteArray> frame = TakeFrame(rx))
                    got << Describe(t.Reply(*frame), data);
            }
            got << "|";
        }
        QCOMPARE(got.join(' '), QByteArray(at < 10 ? "| L1 ok |" : at < 18 ? "L1 | ok |" : "L1 ok | |"));
        QCOMPARE(t.Verdict(), QStringLiteral("done: 2 lines answered, 1 rejected, the first at index 0001"));
    }

    // Events: a reply, w<ms> waited, end, begin again (each row begins with
    // an image of `size` bytes and the NAK bound; begin and end give "|").
    // The outcome: frames sent, NAKs seen, and why it timed out or gave up.
    void firmwareScenarios_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("nakLimit");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome");
        const auto refused = [](int block, int times) {
            return QStringLiteral(" the device refused %1 %2 times in a row")
                .arg(block > 3 ? QStringLiteral("the end of the transfer (EOT)") : QStringLiteral("block %1 of 3").arg(block))
                .arg(times);
        };
        QTest::newRow("finished; late replies and waits do nothing")
            << 300 << 0 << "{ N A A A A A N { w30000" << "{ 1 2 3 E F . . . ." << "3f 1n";
        QTest::newRow("start limit") << 300 << 0 << "w4999 w5000 { N w5000" << ". T . . ." << "0f 0n no answer within 5 s of the start";
        QTest::newRow("the sync answered: stall limit")
            << 300 << 0 << "{ w5000 w29999 w30000 N" << "{ . . T ." << "0f 0n no answer for 30 s after 0 of 3 blocks";
        QTest::newRow("stall limit") << 300 << 0 << "{ N A w29999 w30000 A" << "{ 1 2 . T ." << "2f 1n no answer for 30 s after 1 of 3 blocks";
        QTest::newRow("stopped") << 300 << 0 << "{ N end A N w30000" << "{ 1 | . . ." << "1f 1n";
        QTest::newRow("NAK bound 1") << 300 << 1 << "{ N N A" << "{ 1 X ." << "1f 2n" + refused(1, 1);
        QTest::newRow("NAK bound 1 on EOT") << 1 << 1 << "{ N A N A" << "{ 1 E X ." << "1f 2n" + refused(4, 1);
        QTest::newRow("NAK bound 3 on EOT") << 1 << 3 << "{ N A N N N" << "{ 1 E E E X" << "1f 4n" + refused(4, 3);
        QTest::newRow("NAK bound 2: each ACK starts the count afresh")
            << 300 << 2 << "{ N N A N A N A N A" << "{ 1 1 2 2 3 3 E E F" << "6f 5n";
        QTest::newRow("begin again after a give-up")
            << 300 << 3 << "{ N N N N begin { N N N N" << "{ 1 1 1 X | { 1 1 1 X" << "3f 4n" + refused(1, 3);
        QTest::newRow("begin again after a stall: the start limit again")
            << 300 << 0 << "{ N w30000 begin w4999 w5000" << "{ 1 T | . T" << "0f 0n no answer within 5 s of the start";
        QTest::newRow("begin again after the end") << 1 << 0 << "{ N A A begin { N A A" << "{ 1 E F | { 1 E F" << "1f 1n";
        // One NAK more at each place of a 3-block upload: before the sync,
        // after each frame, after EOT; without a bound and with bound 1.
        const QStringList writes{"{", "1", "2", "3", "E", "F"};
        for (int at = 0; at <= 4; ++at) {
            QStringList events{"{", "N", "A", "A", "A", "A"};
            events.insert(at == 0 ? 0 : at + 1, QStringLiteral("N"));
            QStringList resent = writes;
            resent.insert(at == 0 ? 0 : at + 1, at == 0 ? QStringLiteral(".") : writes[at]);
            QTest::addRow("NAK at %d", at) << 300 << 0 << events.join(' ') << resent.join(' ')
                                           << QStringLiteral("%1f 2n").arg(at >= 1 && at <= 3 ? 4 : 3);
            const QStringList gaveUp = writes.mid(0, at + 1) + QStringList{"X", ".", ".", ".", ".", "."}.mid(0, 6 - at);
            if (at > 0)
                QTest::addRow("NAK at %d, bound 1", at) << 300 << 1 << events.join(' ') << gaveUp.join(' ')
                                                        << QStringLiteral("%1f 2n").arg(qMin(at, 3)) + refused(at, 1);
        }
        // ACK and NAK in one receive event are no reply; cut in two, each is one.
        const QStringList split{"_ AN", "A N", "AN _"};
        for (int at = 0; at < split.size(); ++at)
            QTest::addRow("ACK and NAK split at %d", at) << 300 << 0 << "{ N " + split[at]
                                                         << (at == 1 ? "{ 1 2 2" : "{ 1 . .") << (at == 1 ? "3f 2n" : "1f 2n");
    }
    void firmwareScenarios()
    {
        QFETCH(int, size);
        QFETCH(int, nakLimit);
        QFETCH(QString, events);
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        const QByteArray image(size, 'i');
        FirmwareTransfer t;
        t.Begin(image, nakLimit);
        QByteArrayList got;
        QString why;
        for (QByteArray e : events.toLatin1().split(' ')) {
            FirmwareTransfer::Step s;
            if (e == "begin")
                t.Begin(image, nakLimit);
            else if (e == "end")
                t.End();
            else if (e.startsWith('w'))
                s = t.Waited(e.mid(1).toLongLong());
            else
                s = t.Reply(e == "_" ? QByteArray() : e.replace('A', Ack).replace('N', Nak));
            got << (e == "begin" || e == "end" ? QByteArray("|") : Describe(s));
            if (s.timedOut || s.gaveUp)
                why = QLatin1Char(' ') + (s.timedOut ? t.WhyTimedOut() : t.WhyGaveUp());
        }
        QCOMPARE(QString::fromLatin1(got.join(' ')), steps);
        QCOMPARE(QStringLiteral("%1f %2n").arg(t.FramesSent()).arg(t.Naks()) + why, outcome);
    }
};

QTEST_APPLESS_MAIN(TestTransferScenarios)
#include "tst_transfer_scenarios.moc"
