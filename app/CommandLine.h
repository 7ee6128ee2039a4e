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

// Nothing when the window should start: every argument is one of Qt's
// standard options (with its value).
std::optional<EarlyAnswer> AnswerEarly(int argc, const char *const argv[]);

} // namespace kv7
