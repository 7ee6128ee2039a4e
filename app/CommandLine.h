#pragma once

#include <optional>
#include <string>

namespace kv7 {

// What the command line gets before any window: help, the version, or a
// usage error. These must work without a display, so they are decided on
// the raw arguments, before QApplication exists.
struct EarlyAnswer {
    int exitCode;
    std::string text;
    bool toStderr;
};

// kv7-test's own options; empty where not given.
struct StartOptions {
    std::string port;  // "COM5" or a device path
    std::string speed; // one of the speed list's
    std::string log;   // the session log's file
};

struct CommandLine {
    std::optional<EarlyAnswer> answer; // when set, answer and end
    StartOptions options;
};

// Every argument must be one of ours or one of Qt's standard options (with
// its value).
CommandLine ParseCommandLine(int argc, const char *const argv[]);

} // namespace kv7
