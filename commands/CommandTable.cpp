#include "commands/CommandTable.h"

#include "protocol/Conversions.h"
#include "protocol/Frame.h"

namespace kv7 {

namespace {

Command Single(const QByteArray &frame)
{
    return {Command::Single, {frame}, {}};
}

Command Paced(int first, int last, const QString &word, QString (*param)(int))
{
    Command c{Command::Paced, {}, {}};
    for (int n = first; n <= last; ++n)
        c.frames.append(CommandFrame(word, param(n)));
    return c;
}

QString LoopNumber(int n) { return QString::number(n); }
QString LoopN2(int n) { return N2(double(n)); }

} // namespace

Command CommandFor(int index, const CommandInputs &in)
{
    const QString GS = QStringLiteral("GS ");
    switch (index) {
    case 0: return Single(CommandFrame(QStringLiteral("GV ")));
    case 1: return Single(CommandFrame(QStringLiteral("GB ")));
    case 2: return Single(CommandFrame(GS, N2(in.soundFile)));
    case 3: return Paced(1, 8, QStringLiteral("GAV"), LoopNumber);
    case 4: return Single(CommandFrame(QStringLiteral("RCL"), QStringLiteral("1")));
    case 5: return Single(ShortFrame("PA"));
    case 6:
        // Sent exactly as typed; an empty parameter box means no STX.
        return Single(in.sendParam.isEmpty() ? CommandFrame(in.sendWord) : CommandFrame(in.sendWord, in.sendParam));
    case 7:
        return Single(CommandFrame(QStringLiteral("PS "), N2(in.sample) + N3(in.duration) +
                                                               (in.trigStart ? QStringLiteral("1") : QString())));
    case 8: return {Command::Message, {}, QStringLiteral("Set all")};
    case 9: return Single(CommandFrame(QStringLiteral("RCL"), QStringLiteral("2")));
    case 10: return Single(ShortFrame("Pa"));
    case 11: return Single(ShortFrame("Pb"));
    case 12: return Single(ShortFrame("K0"));
    case 13: return Single(ShortFrame("K1"));
    case 14: return Single(ShortFrame("PB"));
    case 15: return Single(CommandFrame(QStringLiteral("IS "), QLatin1Char('0') + N2(in.chronoInput) + N3(in.chronoTime)));
    case 16: return Single(CommandFrame(QStringLiteral("GIS"), QStringLiteral("0")));
    case 17: return Single(CommandFrame(QStringLiteral("AME"), QStringLiteral("READY")));
    case 18: return Single(CommandFrame(QStringLiteral("AMD"), QStringLiteral("READY")));
    case 19: return Single(CommandFrame(QStringLiteral("AME"), QStringLiteral("START")));
    case 20: return Single(CommandFrame(QStringLiteral("AMD"), QStringLiteral("START")));
    case 21: return Single(CommandFrame(QStringLiteral("AME"), QStringLiteral("TALK")));
    case 22: return Single(CommandFrame(QStringLiteral("AMD"), QStringLiteral("TALK")));
    case 23: return Single(CommandFrame(QStringLiteral("PA "), QStringLiteral("1")));
    case 24: return Single(CommandFrame(QStringLiteral("PA "), QStringLiteral("0")));
    case 25: return Single(CommandFrame(QStringLiteral("CO "), QStringLiteral("SNO")));
    case 26: return Single(CommandFrame(QStringLiteral("CO "), QStringLiteral("SNC")));
    case 27: return Single(CommandFrame(QStringLiteral("CO "), QStringLiteral("FNO")));
    case 28: return Single(CommandFrame(QStringLiteral("CO "), QStringLiteral("FNC")));
    case 29: return Single(CommandFrame(QStringLiteral("SAV"), QStringLiteral("1")));
    case 30: return Single(CommandFrame(QStringLiteral("&SB"), Fit(in.deviceBaud, 6, QLatin1Char(' '))));
    case 31: return Single(CommandFrame(QStringLiteral("&DA"), Fit(in.eraseArea, 2, QLatin1Char(' '))));
    case 32: return {Command::SampleUpload, {}, {}};
    case 33: return Paced(0, 15, GS, LoopN2);
    case 34: return Single(CommandFrame(QStringLiteral("RCL"), QStringLiteral("3")));
    case 35: return Single(CommandFrame(QStringLiteral("RCL"), QStringLiteral("R")));
    case 36: return {Command::FirmwareUpload, {}, {}};
    default: return {};
    }
}

} // namespace kv7
