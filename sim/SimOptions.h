#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kv7::sim {

struct SimOptions {
    int port = 0; // 0: the lowest free number
    QString folder;
    char status = 'R';
    bool split = false;
    bool doubled = false;
    QByteArray garbage;
    bool silent = false;
    bool verbose = false;
    std::array<int, 8> gains{};
    char sampleStatus = '0';
    QString samples; // file for the last area's bytes, none when empty
    QSet<int> rejectLines; // sample line indexes answered E although good
    // Boot loader
    QString image;   // file for the received image, none when empty
    int nakEvery = 0;
    bool nakEot = false;
    QByteArray badReply;
    bool bootSilent = false;
    bool stallAfterFirst = false;
    // Seconds of streamed replies and noise, none when 0.
    int streamSeconds = 0;
    // Paced like a real serial line.
    bool wire = false;
    // A USB adapter's latency timer on the way to the host, in ms; 0: none.
    int latencyMs = 0;

    // Parses the command line; on failure returns nothing and sets `error`.
    // `--help` prints the help and exits.
    static std::optional<SimOptions> Parse(const QStringList &arguments, QString *error);
};

} // namespace kv7::sim
