#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/QtFileDialogs.h"
#include "app/QtMessageBoxes.h"
#include "serial/HeldLocks.h"
#include "serial/PortChoice.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/QtSerialControl.h"
#include "serial/StandardStreams.h"
#include "serial/StopSignals.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    kv7::EnsureStandardStreams();
    const kv7::CommandLine line = kv7::ParseCommandLine(argc, argv);
    if (const std::optional<kv7::EarlyAnswer> &answer = line.answer) {
        std::FILE *to = answer->toStderr ? stderr : stdout;
        // A failed write (a closed pipe, a full disk) must not look like success.
        const bool written = std::fputs(answer->text.c_str(), to) >= 0 && std::fflush(to) == 0;
        return written || answer->exitCode != 0 ? answer->exitCode : 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KV7 Test"));
    QApplication::setApplicationVersion(QStringLiteral(KV7_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("kv7-test"));
    // The installed theme icon first; the built-in copy when run from the
    // build tree. Window managers that ignore desktop files show this one.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("kv7-test"), QIcon(QStringLiteral(":/kv7-test.svg"))));

    kv7::PortMap ports(kv7::PortFolder::DefaultPath(), true, kv7::SystemRoots::FromEnvironment());
    // A device asked for by its path or stable name is listed under the
    // number that leads to it, or else under its path.
    QString port = QString::fromLocal8Bit(line.options.port.c_str());
    if (!port.isEmpty()) {
        if (const kv7::PortChoice choice = kv7::ChoosePort(ports, port); !choice.device.isEmpty())
            port = ports.Name(choice.number);
    }
    kv7::QtSerialControl serial(ports);
    kv7::QtMessageBoxes messages;
    kv7::QtFileDialogs dialogs;
    kv7::Form1 form(serial, ports, messages, dialogs);
    messages.SetParent(&form);
    dialogs.SetParent(&form);
    // A kill, Ctrl+C or a closed terminal ends it as "EXIT" does, so the
    // port's lock file never outlives it.
    // However it ends, short of SIGKILL, its ports' lock files go with it.
    kv7::HeldLocks::ReleaseOnExit();
    kv7::StopSignals stop;
    QObject::connect(&stop, &kv7::StopSignals::Received, &form, &kv7::Form1::EndOnSignal);
    if (!stop.Catch())
        std::perror("kv7-test: cannot catch signals");
    const std::string &speed = line.options.speed;
    form.Form_Load(port, QString::fromLatin1(speed.empty() ? "9600" : speed.c_str()),
                   QString::fromLocal8Bit(line.options.log.c_str()));
    form.show();
    return QApplication::exec();
}
