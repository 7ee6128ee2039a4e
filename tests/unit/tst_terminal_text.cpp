#include "protocol/RxBuffer.h"
#include "terminal/Cp437.h"
#include "terminal/PaneChunk.h"
#include "terminal/TerminalText.h"

#include <QtTest>

using namespace kv7;

namespace {
QByteArray B(const char *s) { return QByteArray(s); }
} // namespace

class TestTerminalText : public QObject {
    Q_OBJECT
private slots:
    void paneChunkBreaksAfterFirstEotOnly_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<QByteArray>("pane");
        QTest::newRow("ends with EOT") << B("\x01R\x04") << B("\x01R\x04\r\n");
        QTest::newRow("two replies") << B("\x01P\x04\x01" "C\x04") << B("\x01P\x04\r\n\x01" "C\x04");
        QTest::newRow("no EOT") << B("\x01RGA") << B("\x01RGA");
        QTest::newRow("EOT first") << B("\x04xy") << B("\x04\r\nxy");
        QTest::newRow("NUL kept") << QByteArray("a\0\x04", 3) << QByteArray("a\0\x04\r\n", 5);
    }
    void paneChunkBreaksAfterFirstEotOnly()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(QByteArray, pane);
        QCOMPARE(PaneChunk(chunk), pane);
    }

    void rxBufferKeepsOrderAndItsBound()
    {
        RxBuffer rx(16);
        rx.Append("abc");
        rx.Append("def");
        QCOMPARE(rx.Bytes(), B("abcdef"));
        rx.DropFront(2);
        QCOMPARE(rx.Bytes(), B("cdef"));
        QCOMPARE(rx.IndexOf('e'), 2);
        QCOMPARE(rx.IndexOf('a'), -1);
        rx.Append("0123456789ABCDEFGH"); // 22 bytes: the oldest six go
        QCOMPARE(rx.Bytes(), B("23456789ABCDEFGH"));
        rx.Append("xyz");
        QCOMPARE(rx.Bytes(), B("56789ABCDEFGHxyz"));
        QCOMPARE(rx.Overflowed(), 9);
        rx.DropFront(100);
        QVERIFY(rx.IsEmpty());
        // Dropped bytes are freed once they outweigh the live ones, and the
        // live ones stay as they were.
        RxBuffer big;
        big.Append(QByteArray(6000, 'a') + "b");
        big.DropFront(5000);
        QCOMPARE(big.Bytes(), QByteArray(1000, 'a') + "b");
    }

    void textSplitsLinesAtCrLfOnly()
    {
        TerminalText t;
        t.Append("one\r\ntwo\rstill two\nstill\r");
        QCOMPARE(t.LineCount(), 2);
        QCOMPARE(t.Line(0), B("one"));
        QCOMPARE(t.Line(1), B("two\rstill two\nstill\r"));
        // The pair completes across appends.
        t.Append("\nthree and a longer line");
        QCOMPARE(t.LineCount(), 3);
        QCOMPARE(t.Line(1), B("two\rstill two\nstill"));
        QCOMPARE(t.Line(2), B("three and a longer line"));
        QCOMPARE(t.Text(), B("one\r\ntwo\rstill two\nstill\r\nthree and a longer line"));
        QCOMPARE(t.LongestLine(), 23);
        QCOMPARE(t.Line(1, 4, 5), B("still"));
        // A CR that waited for its LF no longer counts once the pair is whole.
        t.Clear();
        t.Append("abcd\r");
        QCOMPARE(t.LongestLine(), 5);
        t.Append("\nab");
        QCOMPARE(t.LongestLine(), 4);
        QCOMPARE(t.Line(2, 30), QByteArray());
        t.Clear();
        QCOMPARE(t.LineCount(), 1);
        QCOMPARE(t.Text(), QByteArray());
    }

    void textDropsOldestWithinItsBound()
    {
        TerminalText t(1024);
        QByteArray all;
        for (int i = 0; i < 500; ++i) {
            const QByteArray line = QByteArray::number(i) + "\r\n";
            t.Append(line);
            all += line;
            QVERIFY(t.Size() <= t.Limit());
        }
        // What is kept is exactly the newest text.
        QVERIFY(all.endsWith(t.Text()));
        QVERIFY(t.Size() >= t.Limit() - t.Limit() / 8 - 2);
        QVERIFY(!t.Text().startsWith('\n'));
        QCOMPARE(t.Line(t.LineCount() - 2), B("499"));
    }

    void textTrimsOneEndlessLine()
    {
        TerminalText t(4096);
        for (int i = 0; i < 1000; ++i)
            t.Append(QByteArray(100, char('a' + i % 26)));
        QVERIFY(t.Size() <= 4096);
        QCOMPARE(t.LineCount(), 1);
        QCOMPARE(t.LongestLine(), t.Size());
        QVERIFY(t.Text().endsWith(QByteArray(100, char('a' + 999 % 26))));
    }

    void glyphsAreCodePage437()
    {
        QCOMPARE(Cp437Glyph(1), QChar(0x263A));
        QCOMPARE(Cp437Glyph(4), QChar(0x2666));
        QCOMPARE(Cp437Glyph(128), QChar(0x00C7));
        // Every byte has a glyph of its own, apart from NUL and 255 which
        // draw blank.
        QSet<QChar> seen;
        for (int b = 1; b < 255; ++b)
            seen.insert(Cp437Glyph(static_cast<unsigned char>(b)));
        QCOMPARE(seen.size(), 254);
    }
};

QTEST_APPLESS_MAIN(TestTerminalText)
#include "tst_terminal_text.moc"
