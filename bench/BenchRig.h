#pragma once

#include "app/Form1.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QFile>
#include <QTemporaryDir>

namespace kv7::bench {

// The window after start-up on COM1, with a serial control the benchmark
// feeds directly.
struct BenchRig {
    BenchRig() : map(Linked(dir), false), form(serial, map, messages, dialogs) { form.Form_Load(); }

    static QString Linked(const QTemporaryDir &d)
    {
        QFile::link(QStringLiteral("/dev/null"), PortFolder::LinkPath(d.path(), 1));
        return d.path();
    }

    QTemporaryDir dir;
    PortMap map;
    test::FakeSerialControl serial;
    test::RecordingMessageBoxes messages;
    test::RecordingFileDialogs dialogs;
    Form1 form;
};

} // namespace kv7::bench
