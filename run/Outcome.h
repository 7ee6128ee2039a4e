#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace kv7::run {

// Whose fault a failure is: the unit's (a reply, a rejection, a limit),
// the station's port (cannot open, lost, in use), an input file, or a
// signal that stopped the run.
enum class Cause { None, Device, Port, Input, Signal };
QString CauseName(Cause cause);

// How one step went on one port.
struct StepOutcome {
    int number = 0; // from 1
    QString name;
    QStringList args;
    bool ok = false;
    double seconds = 0;
    QStringList replies;    // in the reply line's notation
    std::vector<int> gains; // the gains step's eight values
    QString printed;        // what the step printed after "PORT name: "
    QString why;            // on failure
    Cause cause = Cause::None;
    QByteArray sha256;      // of an uploaded file
};

// How the steps went on one port, or on one unit of a station's slot.
struct PortResult {
    int index = 0;  // of its --port, from 0
    QString port;   // as the user gave it
    QString device; // the device it led to, empty when none
    QString stableName; // its /dev/serial/by-id (or by-path) link, empty when none
    QDateTime start;
    QDateTime end;
    int stepsDone = 0;
    bool ok = false;
    // When not ok: the step (counted from 1) and why; 0 when the port did not open.
    int failedStep = 0;
    QString stepName;
    QString why;
    Cause cause = Cause::None;
    // A signal cut the run short.
    bool stopped = false;
    double seconds = 0;
    std::vector<StepOutcome> steps; // those that ran, in order

    // "COM3 ok, 3 steps, 12.4 s" or "COM4 FAILED at step 2 (firmware): why".
    QString Summary() const;
};

// A station's slot at its end: "COM3: 12 units, 11 ok, 1 failed".
struct SlotSummary {
    QString port;
    int units = 0;
    int ok = 0;
    int failed = 0;
    int stopped = 0;
    QString Text() const;
};

} // namespace kv7::run
