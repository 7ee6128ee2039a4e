// Form_Load with the probe of all 255 port numbers: on this machine's own
// port folder and serial devices, and on a folder where every number has a
// link.
#include "app/Form1.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kv7;

namespace {

void Run(const char *name, const QString &folder, bool families)
{
    std::vector<double> ms;
    int listed = 0;
    for (int i = 0; i < 7; ++i) {
        PortMap map(folder, families); // fresh, so the system port list is read each time
        test::FakeSerialControl serial;
        test::RecordingMessageBoxes messages;
        test::RecordingFileDialogs dialogs;
        Form1 form(serial, map, messages, dialogs);
        QElapsedTimer clock;
        clock.start();
        form.Form_Load();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        listed = form.portList->count();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s ports listed %3d  median %7.2f ms  max %7.2f ms\n", name, listed, ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    std::printf("Form_Load with the 255-port probe (target: < 300 ms), 7 runs\n");
    Run("this machine (links + ttyS/USB/ACM)", PortFolder::DefaultPath(), true);
    QTemporaryDir dir;
    for (int n = 1; n <= 255; ++n)
        QFile::link(QStringLiteral("/dev/null"), PortFolder::LinkPath(dir.path(), n));
    Run("255 linked ports", dir.path(), false);
    return 0;
}
