#include "app/CommandLine.h"

#include <cstring>

namespace kv7 {

namespace {

const char *const HelpText =
    "Usage: kv7-test [Qt options]\n"
    "\n"
    "KV7 Test " KV7_VERSION ": a bench terminal for the KV7 audio playback device on a\n"
    "serial port. It opens its window. Besides the two below it takes no options\n"
    "of its own, only Qt's standard ones, such as -platform xcb or -style fusion.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
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

template <size_t N>
bool Listed(const std::string &name, const char *const (&list)[N])
{
    for (const char *entry : list)
        if (name == entry)
            return true;
    return false;
}

EarlyAnswer UsageError(const std::string &what)
{
    return {2, "kv7-test: " + what + "\nTry 'kv7-test --help' for more information.\n", true};
}

} // namespace

std::optional<EarlyAnswer> AnswerEarly(int argc, const char *const argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help")
            return EarlyAnswer{0, HelpText, false};
        if (arg == "--version")
            return EarlyAnswer{0, "kv7-test " KV7_VERSION "\n", false};
        if (arg.size() < 2 || arg[0] != '-')
            return UsageError("unexpected argument '" + arg + "'");
        std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
        const size_t equals = name.find('=');
        const bool joined = equals != std::string::npos;
        name = name.substr(0, equals);
        if (Listed(name, QtFlags) && !joined)
            continue;
        if (!Listed(name, QtWithValue))
            return UsageError("unknown option '" + arg + "'");
        if (!joined && ++i >= argc)
            return UsageError("option '" + arg + "' needs a value");
    }
    return std::nullopt;
}

} // namespace kv7
