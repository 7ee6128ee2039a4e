#pragma once

#include "app/Form1.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace kv7::test {

// A window on a port folder holding links for the given numbers, with a
// fake serial control and answered dialogs.
struct WindowRig {
    explicit WindowRig(const QList<int> &ports, const QSet<int> &failing = {})
    {
        for (int n : ports)
            QFile::link(QStringLiteral("/dev/null"), PortFolder::LinkPath(dir.path(), n));
        map = std::make_unique<PortMap>(dir.path(), false);
        serial.failingPorts = failing;
        form = std::make_unique<Form1>(serial, *map, messages, dialogs);
        form->ExitProgram = [this](int code) { exitCode = code; };
    }

    void Choose(QComboBox *list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    QTemporaryDir dir;
    std::unique_ptr<PortMap> map;
    FakeSerialControl serial;
    RecordingMessageBoxes messages;
    RecordingFileDialogs dialogs;
    std::unique_ptr<Form1> form;
    int exitCode = -1;
};

} // namespace kv7::test
