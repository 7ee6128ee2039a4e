#include "commands/CommandTable.h"

#include "protocol/Conversions.h"
#include "protocol/Frame.h"

#include <iterator>

namespace kv7 {

namespace {

using In = const CommandInputs &;

Command Single(const QByteArray &frame)
{
    return {Command::Single, {frame}, {}};
}

// A word with a fixed parameter.
Command Fixed(const char *word, const char *param)
{
    return Single(CommandFrame(QString::fromLatin1(word), QString::fromLatin1(param)));
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

using namespace Buttons;

// Each button once: caption and its command.
constexpr ButtonSpec kButtons[] = {
    {GetVersion, "1.2.7 Get Version", [](In) { return Single(CommandFrame(QStringLiteral("GV "))); }},
    {GetBattery, "1.2.8 Get Battery", [](In) { return Single(CommandFrame(QStringLiteral("GB "))); }},
    {GetSoundFileHeader, "1.2.9 Get Sound file hdr",
     [](In in) { return Single(CommandFrame(QStringLiteral("GS "), N2(in.soundFile))); }},
    {GetGains, "Get Gains", [](In) { return Paced(1, 8, QStringLiteral("GAV"), LoopNumber); }},
    {Recaller1, "Recaller 1", [](In) { return Fixed("RCL", "1"); }},
    {PlaySample1, "1.2.1 Play Sample 1 (PA)", [](In) { return Single(ShortFrame("PA")); }},
    // Sent exactly as typed; an empty parameter box means no STX.
    {SendString, "1.2.x Send String",
     [](In in) {
         return Single(in.sendParam.isEmpty() ? CommandFrame(in.sendWord) : CommandFrame(in.sendWord, in.sendParam));
     }},
    {PlaySampleDuration, "1.2.3 Play Sample/Duration",
     [](In in) {
         return Single(CommandFrame(QStringLiteral("PS "), N2(in.sample) + N3(in.duration) +
                                                               (in.trigStart ? QStringLiteral("1") : QString())));
     }},
    {SetAll, "Set All", [](In) { return Command{Command::Message, {}, QStringLiteral("Set all")}; }},
    {Recaller2, "Recaller 2", [](In) { return Fixed("RCL", "2"); }},
    {StopSound, "1.2.4 Stop Sound (Pa)", [](In) { return Single(ShortFrame("Pa")); }},
    {StopSoundB, "(Pb)", [](In) { return Single(ShortFrame("Pb")); }},
    {K0, "(K0)", [](In) { return Single(ShortFrame("K0")); }},
    {K1, "(K1)", [](In) { return Single(ShortFrame("K1")); }},
    {PlaySample2, "1.2.2 Play Sample 2 (PB)", [](In) { return Single(ShortFrame("PB")); }},
    {SetChronoInput, "1.2.10 Set Chrono Inp",
     [](In in) {
         return Single(CommandFrame(QStringLiteral("IS "), QLatin1Char('0') + N2(in.chronoInput) + N3(in.chronoTime)));
     }},
    {GetChronoInput, "1.2.11 Get Chrono Inp", [](In) { return Fixed("GIS", "0"); }},
    {EnableReadyMessage, "1.2.12 Enable Ready msg", [](In) { return Fixed("AME", "READY"); }},
    {DisableReadyMessage, "1.2.12 Disable Ready msg", [](In) { return Fixed("AMD", "READY"); }},
    {EnableStartMessage, "1.2.12 Enable Start msg", [](In) { return Fixed("AME", "START"); }},
    {DisableStartMessage, "1.2.12 Disable Start msg", [](In) { return Fixed("AMD", "START"); }},
    {EnableTalkMessage, "1.2.12 Enable Talk msg", [](In) { return Fixed("AME", "TALK"); }},
    {DisableTalkMessage, "1.2.12 Disable Talk msg", [](In) { return Fixed("AMD", "TALK"); }},
    {EnablePowerAmp, "Enable Power Amp", [](In) { return Fixed("PA ", "1"); }},
    {DisablePowerAmp, "Disable Power Amp", [](In) { return Fixed("PA ", "0"); }},
    {StartNormallyOpen, "Start N.O.", [](In) { return Fixed("CO ", "SNO"); }},
    {StartNormallyClosed, "Start N.C.", [](In) { return Fixed("CO ", "SNC"); }},
    {FlashNormallyOpen, "Flash N.O.", [](In) { return Fixed("CO ", "FNO"); }},
    {FlashNormallyClosed, "Flash N.C.", [](In) { return Fixed("CO ", "FNC"); }},
    {SaveSettings, "Save Settings To Flash", [](In) { return Fixed("SAV", "1"); }},
    {SetDeviceBaud, "Set Device Baudrate",
     [](In in) { return Single(CommandFrame(QStringLiteral("&SB"), Fit(in.deviceBaud, 6, QLatin1Char(' ')))); }},
    {EraseSampleArea, "Erase Sample Area",
     [](In in) { return Single(CommandFrame(QStringLiteral("&DA"), Fit(in.eraseArea, 2, QLatin1Char(' ')))); }},
    {UploadSample, "Upload Sample", [](In) { return Command{Command::SampleUpload, {}, {}}; }},
    {GetSoundFiles, "GSF 0..15", [](In) { return Paced(0, 15, QStringLiteral("GS "), LoopN2); }},
    {Recaller3, "Recaller 3", [](In) { return Fixed("RCL", "3"); }},
    {ResetRecaller, "Reset Rec.", [](In) { return Fixed("RCL", "R"); }},
    {UploadFirmware, "Upload Firmware", [](In) { return Command{Command::FirmwareUpload, {}, {}}; }},
};

constexpr bool EachRowAtItsIndex()
{
    for (int i = 0; i < Count; ++i)
        if (kButtons[i].id != i)
            return false;
    return true;
}

static_assert(std::size(kButtons) == Count, "one row for each button");
static_assert(EachRowAtItsIndex(), "the rows in the order of Buttons::Id");

} // namespace

const ButtonSpec &ButtonAt(Buttons::Id id)
{
    return kButtons[id];
}

Command CommandFor(int index, const CommandInputs &in)
{
    if (index < 0 || index >= Buttons::Count)
        return {};
    return kButtons[index].command(in);
}

} // namespace kv7
