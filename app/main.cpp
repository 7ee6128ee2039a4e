#include "app/Form1.h"
#include "app/QtFileDialogs.h"
#include "app/QtMessageBoxes.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/QtSerialControl.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <optional>

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

// --help and --version are answered before QApplication exists, since that
// needs a display and fails without one.
std::optional<int> AnswerInfoOption(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *text = nullptr;
        if (std::strcmp(argv[i], "--help") == 0)
            text = HelpText;
        else if (std::strcmp(argv[i], "--version") == 0)
            text = "kv7-test " KV7_VERSION "\n";
        else
            continue;
        // A failed write (a closed pipe, a full disk) must not look like success.
        const bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
        return written ? 0 : 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> code = AnswerInfoOption(argc, argv))
        return *code;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KV7 Test"));
    QApplication::setApplicationVersion(QStringLiteral(KV7_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("kv7-test"));
    // The installed theme icon first; the built-in copy when run from the
    // build tree. Window managers that ignore desktop files show this one.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("kv7-test"), QIcon(QStringLiteral(":/kv7-test.svg"))));

    const kv7::PortMap ports(kv7::PortFolder::DefaultPath(), true);
    kv7::QtSerialControl serial(ports);
    kv7::QtMessageBoxes messages;
    kv7::QtFileDialogs dialogs;
    kv7::Form1 form(serial, ports, messages, dialogs);
    messages.SetParent(&form);
    dialogs.SetParent(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
