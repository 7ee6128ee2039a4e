#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kv7::run {

// One step as given on the command line, checked and ready to run: its
// frames built and its file read, so that nothing is sent before every
// argument has been found good.
struct Step {
    enum Kind { Frames, Gains, Sample, Firmware, Wait, Expect };
    Kind kind = Frames;
    QString name;          // as typed, for the messages
    QByteArrayList frames; // Frames, Gains: each sent once its predecessor was answered
    QString area;          // Sample
    QByteArray data;       // Sample, Firmware: the file's bytes
    int ms = 0;            // Wait
    QString text;          // Expect: what the step before must have printed
    QStringList args;      // as typed, for the reports
    QByteArray sha256;     // Sample, Firmware: of the file, for the record
};

struct RunOptions {
    QStringList ports; // as given
    QString speed = QStringLiteral("9600");
    QString log;
    // Status letters a reply may carry and its step still pass; "R" always.
    QByteArray accept = "R";
    // The same firmware frame refused this many times in a row fails the
    // step; 0 resends for as long as the device asks.
    int maxNaks = 10;
    // JSON Lines on stdout instead of text.
    bool json = false;
    QString junit;  // a JUnit XML report to write at the end
    QString record; // a folder for one record a unit
    // Each port a slot that waits for units, runs the steps on each, and
    // waits for it to go; `units` (0: no end) stops a slot after that many.
    bool station = false;
    int units = 0;
    // A port another program also holds open runs anyway.
    bool shared = false;
    std::vector<Step> steps;
};

// A run, or an answer without one: the help, the version or a usage error,
// with the exit status.
struct RunLine {
    RunOptions options;
    std::optional<int> exitCode;
    QString text;
};

// `args` without the program's name.
RunLine ParseRunLine(const QStringList &args);
// The answer to a command line found wrong: exit status 2 and `what`.
RunLine UsageError(const QString &what);

} // namespace kv7::run
