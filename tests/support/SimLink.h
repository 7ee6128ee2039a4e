#pragma once

#include "app/Form1.h"
#include "serial/PortMap.h"
#include "serial/QtSerialControl.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/SimProcess.h"

#include <QTemporaryDir>

#include <memory>

namespace kv7::test {

// The real serial class and window against kv7-sim (or another peer
// program) on a pseudo-terminal.
struct SimLink {
    bool Start(const QStringList &peerOptions, const QString &program = QStringLiteral(KV7_SIM_PATH))
    {
        if (!dir.isValid() || !sim.Start(dir.path(), peerOptions, program))
            return false;
        map = std::make_unique<PortMap>(dir.path(), false);
        serial = std::make_unique<QtSerialControl>(*map);
        form = std::make_unique<Form1>(*serial, *map, messages, dialogs);
        form->ExitProgram = [](int) {};
        form->Form_Load();
        return serial->PortOpen();
    }

    QString FilePath(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    SimProcess sim;
    std::unique_ptr<PortMap> map;
    std::unique_ptr<QtSerialControl> serial;
    RecordingMessageBoxes messages;
    RecordingFileDialogs dialogs;
    std::unique_ptr<Form1> form;
};

} // namespace kv7::test
