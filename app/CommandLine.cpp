#include "app/CommandLine.h"

#include "serial/SerialSettings.h"

#include <cstring>
#include <string>
#include <vector>

namespace kv7 {

namespace {

const char *const HelpText =
    "Usage: kv7-test [--port PORT] [--speed BAUD] [--log FILE] [Qt options]\n"
    "\n"
    "KV7 Test " KV7_VERSION ": a bench terminal for the KV7 audio playback device on a\n"
    "serial port. It opens its window on the first port at 9600 baud, or:\n"
    "\n"
    "  --port PORT   on this port: COM1 to COM255, or a device such as /dev/ttyUSB0\n"
    "  --speed BAUD  at this speed: 300, 1200, 9600, 19200, 57600 or 115200\n"
    "  --log FILE    appends a log of the session, both directions, to FILE\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "Besides these it takes Qt's standard options, such as -platform xcb or\n"
    "-style fusion.\n"
    "\n"
    "The manual: man kv7-test; the user guide: share/doc/kv7-test/user-guide.md\n"
    "under the install prefix. The simulated device: man kv7-sim.\n";

// Qt's standard options (QGuiApplication, QApplication and the X11
// platform); Qt takes them with one dash or two.
const char *const QtWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "display", "geometry", "title", "name", "icon", "style", "stylesheet",
    "qmljsdebugger", "visual",
};
const char *const QtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

template <typename List>
bool Listed(const std::string &name, const List &list)
{
    for (const auto &entry : list)
        if (name == entry)
            return true;
    return false;
}

EarlyAnswer UsageError(const std::string &what)
{
    return {2, "kv7-test: " + what + "\nTry 'kv7-test --help' for more information.\n", true};
}

} // namespace

CommandLine ParseCommandLine(int argc, const char *const argv[])
{
    CommandLine line;
    // Ours given so far: a second one would silently win over the first.
    std::vector<std::string> seen;
    for (int i = 1; i < argc && !line.answer; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            line.answer = EarlyAnswer{0, HelpText, false};
            continue;
        }
        if (arg == "--version") {
            line.answer = EarlyAnswer{0, "kv7-test " KV7_VERSION "\n", false};
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            line.answer = UsageError("unexpected argument '" + arg + "'");
            continue;
        }
        std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
        const size_t equals = name.find('=');
        const bool joined = equals != std::string::npos;
        const std::string value = joined ? name.substr(equals + 1) : std::string();
        if (joined)
            name.resize(equals);
        std::string *ours = name == "port" ? &line.options.port
                            : name == "speed" ? &line.options.speed
                            : name == "log"   ? &line.options.log
                                              : nullptr;
        if (!ours && Listed(name, QtFlags) && !joined)
            continue;
        if (!ours && !Listed(name, QtWithValue)) {
            line.answer = UsageError("unknown option '" + arg + "'");
        } else if (!joined && i + 1 >= argc) {
            line.answer = UsageError("option '" + arg + "' needs a value");
        } else {
            const std::string given = joined ? value : argv[++i];
            if (ours && Listed(name, seen))
                line.answer = UsageError("option '--" + name + "' is given twice");
            if (ours) {
                *ours = given;
                seen.push_back(name);
            }
        }
    }
    if (!line.answer && !line.options.speed.empty() && !Listed(line.options.speed, OfferedSpeeds))
        line.answer = UsageError("speed '" + line.options.speed + "' is not one of 300, 1200, 9600, 19200, 57600, 115200");
    return line;
}

} // namespace kv7
