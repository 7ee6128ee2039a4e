#pragma once

#include "protocol/FirmwareTransfer.h"
#include "serial/SerialResult.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace kv7 {

class SerialControl;

// A firmware upload on the line, for the window and kv7-run alike: walks
// the opening, answers each reply of the boot loader as it arrives, keeps
// the time for the device's answers and gives the port its settings back.
// What it all means to the user is the caller's to say.
class FirmwareRun : public QObject {
    Q_OBJECT
public:
    // How a run ended.
    struct Result {
        FirmwareTransfer::Ending ending = FirmwareTransfer::Ending::Stopped;
        // The serial side's words, when it failed there.
        QString error;
        // The port went away: already told where it was noticed.
        bool lost = false;
        // The device kept refusing one frame (see FirmwareTransfer::WhyGaveUp).
        bool gaveUp = false;
    };

    explicit FirmwareRun(SerialControl &serial, QObject *parent = nullptr);

    // Walks the opening of an upload of `image` (see FirmwareTransfer::Begin
    // for `nakLimit`). True once the sync bytes are out: from then on the
    // device's replies drive it until Ended. False when it ended in the
    // opening (Ended has been emitted).
    bool Start(const QByteArray &image, int nakLimit = 0);
    // The caller ends it: the port went away, or the program is told to stop.
    void Stop(const QString &error, bool lost);
    // One receive event's whole text while the run holds the line.
    void Take(const QByteArray &text);
    // `Limit` ran out: the end, unless a reply came in between.
    void LimitReached();
    // The port at the settings it had before the switch, closed, or opened
    // again when `reopen` (before the switch it is left as it is).
    SerialResult GiveBack(bool reopen);

    bool Running() const { return m_running; }
    // The line is the boot loader's: from the start of the limit until the
    // port is given back, also while the caller tells of the end.
    bool HoldsLine() const { return m_holding; }
    const FirmwareTransfer &Transfer() const { return m_transfer; }
    const Result &Outcome() const { return m_result; }
    // The user's settings; empty before the switch.
    const QString &SavedSettings() const { return m_saved; }

    // Runs while the device's answer is awaited: the start limit, then the
    // stall limit after every block; its interval is the limit in force.
    QTimer Limit;

signals:
    // The boot command is out: the device belongs to the boot loader now.
    void BootSent();
    // The limit for the device's first answer runs: nothing else may use the line.
    void Holding();
    // A reply moved the transfer on (progress).
    void Advanced();
    // Once a run, whichever way; Outcome() says how.
    void Ended();

private:
    // The opening's moves in order; the first failure ends it.
    SerialResult Opening();
    void Finish(FirmwareTransfer::Ending ending, const QString &error = {}, bool lost = false);

    SerialControl &m_serial;
    FirmwareTransfer m_transfer;
    QString m_saved;
    Result m_result;
    bool m_running = false;
    bool m_holding = false;
};

} // namespace kv7
