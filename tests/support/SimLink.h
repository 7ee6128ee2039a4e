#pragma once

#include "serial/QtSerialControl.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WindowRig.h"

namespace kv7::test {

// The real serial class and window against kv7-sim (or another program
// that links a port the same way) on a pseudo-terminal.
struct SimLink : RigBase {
    // The window goes before the serial control it uses.
    ~SimLink() { form.reset(); }

    bool Start(const QStringList &peerOptions, const QString &program = QStringLiteral(KV7_SIM_PATH))
    {
        return dir.isValid() && sim.Start(dir.path(), peerOptions, program) && Open();
    }

    // A new window on whatever the port folder links now, after start-up;
    // true when its port opened.
    bool Open()
    {
        form.reset();
        map = std::make_unique<PortMap>(dir.path(), false, roots);
        serial = std::make_unique<QtSerialControl>(*map);
        MakeWindow(*serial);
        form->Form_Load();
        return serial->PortOpen();
    }

    SimProcess sim;
    std::unique_ptr<QtSerialControl> serial;
    SystemRoots roots; // a test's fake /dev/serial, say
};

} // namespace kv7::test
