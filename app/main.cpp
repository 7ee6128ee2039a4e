#include "app/Form1.h"
#include "app/QtFileDialogs.h"
#include "app/QtMessageBoxes.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/QtSerialControl.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KV7 Test"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

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
