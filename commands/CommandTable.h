#pragma once

#include <QByteArrayList>
#include <QString>

namespace kv7 {

// The boxes the buttons read, as they stand at the moment of the click.
struct CommandInputs {
    QString soundFile;    // Text11
    QString sendWord;     // Text4(0)
    QString sendParam;    // Text4(1)
    QString sample;       // Text3
    QString duration;     // Text7
    bool trigStart = false; // Check1
    QString chronoInput;  // Text8
    QString chronoTime;   // Text9
    QString deviceBaud;   // Text4(2)
    QString eraseArea;    // Text12
};

// What a command button does.
struct Command {
    enum Kind { None, Single, Paced, Message, SampleUpload, FirmwareUpload };
    Kind kind = None;
    QByteArrayList frames; // one for Single, the run's frames for Paced
    QString message;
};

// The Command1 buttons, by their index in the window's control array.
namespace Buttons {
enum Id : int {
    GetVersion,
    GetBattery,
    GetSoundFileHeader,
    GetGains,
    Recaller1,
    PlaySample1,
    SendString,
    PlaySampleDuration,
    SetAll,
    Recaller2,
    StopSound,
    StopSoundB,
    K0,
    K1,
    PlaySample2,
    SetChronoInput,
    GetChronoInput,
    EnableReadyMessage,
    DisableReadyMessage,
    EnableStartMessage,
    DisableStartMessage,
    EnableTalkMessage,
    DisableTalkMessage,
    EnablePowerAmp,
    DisablePowerAmp,
    StartNormallyOpen,
    StartNormallyClosed,
    FlashNormallyOpen,
    FlashNormallyClosed,
    SaveSettings,
    SetDeviceBaud,
    EraseSampleArea,
    UploadSample,
    GetSoundFiles,
    Recaller3,
    ResetRecaller,
    UploadFirmware,
    Count
};
} // namespace Buttons

// A button's caption and what a click on it does; its place is the
// window's (app/CommandPlaces).
struct ButtonSpec {
    Buttons::Id id;
    const char *caption;
    Command (*command)(const CommandInputs &in);
};

const ButtonSpec &ButtonAt(Buttons::Id id);

// None for an index that names no button.
Command CommandFor(int index, const CommandInputs &in);

} // namespace kv7
