#include "commands/CommandTable.h"
#include "protocol/Conversions.h"
#include "protocol/Frame.h"
#include "protocol/Hex.h"
#include "protocol/SampleLine.h"

#include <QtTest>

#include <limits>

using namespace kv7;

namespace {
QByteArray B(const char *s) { return QByteArray(s); }
QString HexOf(const QByteArray &data) { return QString::fromLatin1(data.toHex().toUpper()); }
} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    // Every single-frame button, with the boxes at their start-up texts
    // unless the row says otherwise.
    void buttonsSendExactBytes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("box");   // the box the row changes, if any
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        const auto row = [](int i, const char *box, const char *text, const QByteArray &wire) {
            QTest::addRow("%d %s=\"%s\"", i, box, text) << i << QString::fromLatin1(box) << QString::fromLatin1(text) << wire;
        };
        row(Buttons::GetVersion, "", "", QByteArray::fromHex("0147562004"));
        row(Buttons::GetBattery, "", "", B("\x01GB \x04"));
        row(Buttons::GetSoundFileHeader, "soundFile", "7", B("\x01GS \x02" "07\x04"));
        row(Buttons::GetSoundFileHeader, "soundFile", "123", B("\x01GS \x02" "123\x04"));
        row(Buttons::GetSoundFileHeader, "soundFile", "", B("\x01GS \x02" "00\x04"));
        row(Buttons::Recaller1, "", "", B("\x01RCL\x02" "1\x04"));
        row(Buttons::PlaySample1, "", "", QByteArray::fromHex("0114504104"));
        row(Buttons::SendString, "sendParam", "", B("\x01GAV\x04"));
        row(Buttons::SendString, "sendParam", " 3\x01", B("\x01GAV\x02 3\x01\x04"));
        row(Buttons::PlaySampleDuration, "trigStart", "1", B("\x01PS \x02" "010251\x04"));
        row(Buttons::PlaySampleDuration, "trigStart", "", B("\x01PS \x02" "01025\x04"));
        row(Buttons::Recaller2, "", "", B("\x01RCL\x02" "2\x04"));
        row(Buttons::StopSound, "", "", QByteArray::fromHex("0114506104"));
        row(Buttons::StopSoundB, "", "", B("\x01\x14Pb\x04"));
        row(Buttons::K0, "", "", B("\x01\x14K0\x04"));
        row(Buttons::K1, "", "", B("\x01\x14K1\x04"));
        row(Buttons::PlaySample2, "", "", B("\x01\x14PB\x04"));
        row(Buttons::SetChronoInput, "", "", B("\x01IS \x02" "001025\x04"));
        row(Buttons::GetChronoInput, "", "", B("\x01GIS\x02" "0\x04"));
        row(Buttons::EnableReadyMessage, "", "", B("\x01" "AME\x02READY\x04"));
        row(Buttons::DisableReadyMessage, "", "", B("\x01" "AMD\x02READY\x04"));
        row(Buttons::EnableStartMessage, "", "", B("\x01" "AME\x02START\x04"));
        row(Buttons::DisableStartMessage, "", "", B("\x01" "AMD\x02START\x04"));
        row(Buttons::EnableTalkMessage, "", "", B("\x01" "AME\x02TALK\x04"));
        row(Buttons::DisableTalkMessage, "", "", B("\x01" "AMD\x02TALK\x04"));
        row(Buttons::EnablePowerAmp, "", "", B("\x01PA \x02" "1\x04"));
        row(Buttons::DisablePowerAmp, "", "", B("\x01PA \x02" "0\x04"));
        row(Buttons::StartNormallyOpen, "", "", B("\x01" "CO \x02SNO\x04"));
        row(Buttons::StartNormallyClosed, "", "", B("\x01" "CO \x02SNC\x04"));
        row(Buttons::FlashNormallyOpen, "", "", B("\x01" "CO \x02" "FNO\x04"));
        row(Buttons::FlashNormallyClosed, "", "", B("\x01" "CO \x02" "FNC\x04"));
        row(Buttons::SaveSettings, "", "", B("\x01SAV\x02" "1\x04"));
        row(Buttons::SetDeviceBaud, "deviceBaud", "9600", B("\x01&SB\x02  9600\x04"));
        row(Buttons::SetDeviceBaud, "deviceBaud", " 115200 ", B("\x01&SB\x02" "115200\x04"));
        row(Buttons::SetDeviceBaud, "deviceBaud", "1152000", B("\x01&SB\x02" "152000\x04"));
        row(Buttons::EraseSampleArea, "eraseArea", "5", B("\x01&DA\x02 5\x04"));
        row(Buttons::EraseSampleArea, "eraseArea", "", B("\x01&DA\x02  \x04"));
        row(Buttons::EraseSampleArea, "eraseArea", "123", B("\x01&DA\x02" "23\x04"));
        row(Buttons::Recaller3, "", "", B("\x01RCL\x02" "3\x04"));
        row(Buttons::ResetRecaller, "", "", B("\x01RCL\x02R\x04"));
    }
    void buttonsSendExactBytes()
    {
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        CommandInputs in{"1", "GAV", "1", "1", "25", false, "1", "25", "9600", "1"};
        if (box == "soundFile") in.soundFile = text;
        if (box == "sendParam") in.sendParam = text;
        if (box == "trigStart") in.trigStart = !text.isEmpty();
        if (box == "deviceBaud") in.deviceBaud = text;
        if (box == "eraseArea") in.eraseArea = text;
        const Command c = CommandFor(index, in);
        QCOMPARE(c.kind, Command::Single);
        QCOMPARE(c.frames, QByteArrayList{wire});
    }

    void otherButtons()
    {
        const CommandInputs in;
        const Command gains = CommandFor(Buttons::GetGains, in);
        QCOMPARE(gains.kind, Command::Paced);
        QCOMPARE(gains.frames.size(), 8);
        QCOMPARE(gains.frames.first(), B("\x01GAV\x02" "1\x04"));
        QCOMPARE(gains.frames.last(), B("\x01GAV\x02" "8\x04"));
        const Command gsf = CommandFor(Buttons::GetSoundFiles, in);
        QCOMPARE(gsf.frames.size(), 16);
        QCOMPARE(gsf.frames.first(), B("\x01GS \x02" "00\x04"));
        QCOMPARE(gsf.frames.last(), B("\x01GS \x02" "15\x04"));
        QCOMPARE(CommandFor(Buttons::SetAll, in).kind, Command::Message);
        QCOMPARE(CommandFor(Buttons::SetAll, in).message, QStringLiteral("Set all"));
        QCOMPARE(CommandFor(Buttons::UploadSample, in).kind, Command::SampleUpload);
        QCOMPARE(CommandFor(Buttons::UploadFirmware, in).kind, Command::FirmwareUpload);
        QCOMPARE(CommandFor(Buttons::Count, in).kind, Command::None);
        QCOMPARE(CommandFor(-1, in).kind, Command::None);
        // Text that Latin-1 cannot hold goes out as "?".
        QCOMPARE(CommandFor(Buttons::SendString, {"", QString::fromUtf16(u"\u20ac"), "", "", "", false, "", "", "", ""}).frames.first(),
                 B("\x01?\x04"));
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks inside") << "1 2" << 12.0;
        QTest::newRow("tab and line feed") << "\t1\n5" << 15.0;
        QTest::newRow("letters end it") << "12abc" << 12.0;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("decimal") << "12.5x" << 12.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("exponent D, signed") << "25D-1" << 2.5;
        QTest::newRow("dangling exponent") << "3e" << 3.0;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("hex lower, ends at g") << "&hffg" << 255.0;
        QTest::newRow("hex without digits") << "&H" << 0.0;
        QTest::newRow("hex beyond a double: the largest one")
            << QStringLiteral("&H") + QString(300, QLatin1Char('F')) << std::numeric_limits<double>::max();
        QTest::newRow("beyond a double: the largest one") << "1e400" << std::numeric_limits<double>::max();
        QTest::newRow("negative beyond a double") << "-1e400" << -std::numeric_limits<double>::max();
        QTest::newRow("too small for a double: zero") << "1e-400" << 0.0;
        QTest::newRow("negative and too small: zero") << "-1e-400" << 0.0;
        QTest::newRow("too small without an exponent") << QStringLiteral("0.") + QString(400, QLatin1Char('0')) + "1" << 0.0;
        QTest::newRow("exponent without a number") << "e5" << 0.0;
        QTest::newRow("point and exponent only") << ".e1" << 0.0;
        QTest::newRow("exponent sign without digits") << "1e+" << 1.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("dash") << "-" << 0.0;
        QTest::newRow("letter first") << "a12" << 0.0;
        QTest::newRow("second point ends it") << "1.2.3" << 1.2;
        QTest::newRow("CR is not a blank") << "1\r2" << 1.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(LeadingNumber(text), value);
    }

    // Halves round to even: 0.5 to 0, 1.5 to 2.
    void roundingAndPadding()
    {
        QCOMPARE(N2(QStringLiteral("1")), QStringLiteral("01"));
        QCOMPARE(N2(QStringLiteral("-5")), QStringLiteral("-05"));
        QCOMPARE(N2(QStringLiteral("abc")), QStringLiteral("00"));
        QCOMPARE(N2(QStringLiteral("0.5")), QStringLiteral("00"));
        QCOMPARE(N2(QStringLiteral("1.5")), QStringLiteral("02"));
        QCOMPARE(N3(QStringLiteral("25")), QStringLiteral("025"));
        QCOMPARE(N3(QStringLiteral("1000")), QStringLiteral("1000"));
        QCOMPARE(N3(QStringLiteral("-0.4")), QStringLiteral("000"));
        QCOMPARE(N2(QStringLiteral("1e20")), QStringLiteral("100000000000000000000"));
        QCOMPARE(Fit(QStringLiteral("  ab  "), 4, QLatin1Char('0')), QStringLiteral("00ab"));
        QCOMPARE(Fit(QStringLiteral("\tab"), 3, QLatin1Char(' ')), QStringLiteral("\tab")); // only spaces are trimmed
    }

    void gainsStayInRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("gain");
        QTest::newRow("64") << "64" << 64;
        QTest::newRow("half to even") << "12.5" << 12;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("128") << "128" << 127;
        QTest::newRow("huge exponent") << "1e999" << 127;
        QTest::newRow("huge negative") << "-1e999" << 0;
        QTest::newRow("dash") << "-" << 0;
    }
    void gainsStayInRange()
    {
        QFETCH(QString, text);
        QFETCH(int, gain);
        QCOMPARE(GainFromText(text), gain);
    }

    void setGainFrameIsTenBytes()
    {
        QCOMPARE(SetGainFrame(3, 64), B("\x01" "AV \x02" "3064\x04"));
        QCOMPARE(SetGainFrame(1, 0), B("\x01" "AV \x02" "1000\x04"));
        QCOMPARE(SetGainFrame(8, 127).size(), 10);
    }

    // Padding, upper case and the XOR of whole pairs show in the sample lines below.
    void hexHelpers()
    {
        QCOMPARE(Hex2(291), QStringLiteral("23"));
        QCOMPARE(HexChecksum(QStringLiteral("ff")), 255);
        QCOMPARE(HexChecksum(QStringLiteral("1")), 1);
        QCOMPARE(HexChecksum(QStringLiteral("1G")), 1);   // a non-digit ends the pair
        QCOMPARE(HexChecksum(QStringLiteral("G1")), 0);   // a pair that does not start with one is 0
    }

    void linesCarryChecksumIndexAndData()
    {
        QByteArray counting;
        for (int b = 1; b <= 32; ++b)
            counting += char(b);
        QCOMPARE(SampleLine(HexOf(counting), 26),
                 QStringLiteral("20:20:001A:0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20"));
        QCOMPARE(SampleLine(HexOf(QByteArray(32, '\xA5')), 0).left(11), QStringLiteral("00:20:0000:"));
        // The index keeps its last four digits.
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

    // What ends the waits: the status after the first ";" of an area reply,
    // after the first STX of a line reply; either must stand between the
    // SOH at the front and the first EOT.
    void repliesEndTheWaits_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status"); // -1: the area wait goes on
        QTest::addColumn<int>("line");   // -1: the line wait goes on
        QTest::newRow("area status 0") << QByteArray("\x01R&PF\x02" "01;0\x04") << int('0') << int('0');
        QTest::newRow("first of two") << QByteArray("\x01R;7;0\x04") << int('7') << -1;
        QTest::newRow("no semicolon") << QByteArray("\x01R&PF\x02" "01\x04") << -1 << int('0');
        QTest::newRow("no SOH in front") << QByteArray("R&PF;0\x04") << -1 << -1;
        QTest::newRow("semicolon right after SOH") << QByteArray("\x01;0\x04") << int('0') << -1;
        QTest::newRow("semicolon after EOT") << QByteArray("\x01R\x04;0") << -1 << -1;
        QTest::newRow("empty") << QByteArray() << -1 << -1;
        QTest::newRow("line taken") << QByteArray("\x01R&HX\x02" "0\x04") << -1 << int('0');
        QTest::newRow("line rejected") << QByteArray("\x01R&HX\x02" "E\x04") << -1 << int('E');
        QTest::newRow("STX alone") << QByteArray("\x01\x02\x04") << -1 << 4;
        QTest::newRow("no STX") << QByteArray("\x01R&HX\x04") << -1 << -1;
        QTest::newRow("STX after EOT") << QByteArray("\x01R\x04\x02") << -1 << -1;
        QTest::newRow("STX before SOH") << QByteArray("\x02\x01R\x02\x04") << -1 << -1;
    }
    void repliesEndTheWaits()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(int, line);
        const auto code = [](std::optional<char> c) { return c ? int(static_cast<unsigned char>(*c)) : -1; };
        QCOMPARE(code(AreaStatus(reply)), status);
        QCOMPARE(code(LineStatus(reply)), line);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
