#include "commands/SampleLine.h"

#include <QtTest>

using namespace kv7;

namespace {

QString HexOf(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex().toUpper());
}

} // namespace

class TestSampleLine : public QObject {
    Q_OBJECT
private slots:
    void linesCarryChecksumIndexAndData()
    {
        QByteArray counting;
        for (int b = 1; b <= 32; ++b)
            counting += char(b);
        QCOMPARE(SampleLine(HexOf(counting), 26),
                 QStringLiteral("20:20:001A:0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20"));
        QCOMPARE(SampleLine(HexOf(QByteArray(32, '\xA5')), 0).left(11), QStringLiteral("00:20:0000:"));
        // The index keeps its last four digits.
        QCOMPARE(SampleLine(HexOf(QByteArray(32, '\0')), 0xFFFF).mid(6, 4), QStringLiteral("FFFF"));
        QCOMPARE(SampleLine(HexOf(QByteArray(32, '\0')), 0x10000).mid(6, 4), QStringLiteral("0000"));

        const QByteArray frame = SampleLineFrame(HexOf(QByteArray(32, '\xFF')), 3);
        QCOMPARE(frame.size(), 81);
        QCOMPARE(frame.left(5), QByteArray("\x01&HX\x02"));
        QCOMPARE(frame.right(1), QByteArray("\x04"));
    }

    void areaIsZeroFilledToTwo()
    {
        QCOMPARE(SelectAreaFrame(QStringLiteral("5")), QByteArray("\x01&PF\x02" "05\x04"));
        QCOMPARE(SelectAreaFrame(QString()), QByteArray("\x01&PF\x02" "00\x04"));
        QCOMPARE(SelectAreaFrame(QStringLiteral(" 123 ")), QByteArray("\x01&PF\x02" "23\x04"));
    }

    void areaReplyNeedsSemicolonBeforeItsEot_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status"); // -1: keeps waiting
        QTest::newRow("status 0") << QByteArray("\x01R&PF\x02" "01;0\x04") << int('0');
        QTest::newRow("status 1") << QByteArray("\x01R&PF\x02" "01;1\x04") << int('1');
        QTest::newRow("first of two") << QByteArray("\x01R;7;0\x04") << int('7');
        QTest::newRow("no semicolon") << QByteArray("\x01R&PF\x02" "01\x04") << -1;
        QTest::newRow("no SOH in front") << QByteArray("R&PF;0\x04") << -1;
        QTest::newRow("semicolon right after SOH") << QByteArray("\x01;0\x04") << int('0');
        QTest::newRow("semicolon after EOT") << QByteArray("\x01R\x04;0") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void areaReplyNeedsSemicolonBeforeItsEot()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        const std::optional<char> got = AreaStatus(reply);
        QCOMPARE(got ? int(static_cast<unsigned char>(*got)) : -1, status);
    }

    void lineReplyNeedsStxBeforeItsEot()
    {
        QVERIFY(IsLineReply(QByteArray("\x01R&HX\x02" "0\x04")));
        QVERIFY(IsLineReply(QByteArray("\x01\x02\x04")));
        QVERIFY(!IsLineReply(QByteArray("\x01R&HX\x04")));
        QVERIFY(!IsLineReply(QByteArray("\x01R\x04\x02")));
        QVERIFY(!IsLineReply(QByteArray("\x02\x01R\x02\x04")));
        QVERIFY(!IsLineReply(QByteArray()));
    }
};

QTEST_APPLESS_MAIN(TestSampleLine)
#include "tst_sample_line.moc"
