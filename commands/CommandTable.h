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

Command CommandFor(int index, const CommandInputs &in);

} // namespace kv7
