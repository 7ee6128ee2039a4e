#pragma once

#include "app/Form1.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "session/LineSession.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QComboBox>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace kv7::test {

// The window on a port folder of its own, its message boxes and file
// dialogs answered by the test, "EXIT" recorded instead of ending.
struct RigBase {
    RigBase() = default;
    RigBase(const RigBase &) = delete;
    RigBase &operator=(const RigBase &) = delete;
    ~RigBase() = default;

    QString FilePath(const QString &name) const { return dir.filePath(name); }
    // Chooses a list item as a user does.
    static void Choose(QComboBox *list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    QTemporaryDir dir;
    std::unique_ptr<PortMap> map;
    RecordingMessageBoxes messages;
    RecordingFileDialogs dialogs;
    std::unique_ptr<Form1> form;
    int exitCode = -1;

protected:
    void MakeWindow(SerialControl &serial)
    {
        // The window's remembered choices go to a test folder, not the user's.
        QStandardPaths::setTestModeEnabled(true);
        form = std::make_unique<Form1>(serial, *map, messages, dialogs);
        form->ExitProgram = [this](int code) { exitCode = code; };
    }
};

// With a serial control the test feeds, and links for the given port
// numbers (to /dev/null: the fake never opens them).
struct WindowRig : RigBase {
    explicit WindowRig(const QList<int> &ports, const QSet<int> &failing = {})
    {
        for (int n : ports)
            QFile::link(QStringLiteral("/dev/null"), PortFolder::LinkPath(dir.path(), n));
        map = std::make_unique<PortMap>(dir.path(), false);
        serial.failingPorts = failing;
        MakeWindow(serial);
    }
    // The window goes before the serial control it uses.
    ~WindowRig() { form.reset(); }

    FakeSerialControl serial;
};

} // namespace kv7::test
