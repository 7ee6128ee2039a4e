#include "serial/PortChoice.h"
#include "serial/PortFacts.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "serial/PortReturn.h"
#include "serial/PortSharers.h"
#include "serial/QtSerialControl.h"
#include "serial/SerialControl.h"
#include "serial/SerialSettings.h"
#include "serial/SimMarker.h"
#include "tests/support/FakeSerialControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kv7;

class TestSerial : public QObject {
    Q_OBJECT
private:
    static void Link(const QString &folder, int n, const QString &target)
    {
        QVERIFY(QFile::link(target, PortFolder::LinkPath(folder, n)));
    }

    // A fake system under `root`: the devices dev/ttyUSB0 and dev/ttyUSB1
    // (plain files), udev's links in serial/by-id and serial/by-path, and
    // sysfs's class/tty/ttyUSB0/device with its driver and latency timer.
    static SystemRoots FakeSystem(const QDir &root, const QString &driver, const QByteArray &timer)
    {
        SystemRoots roots{root.filePath(QStringLiteral("sys")), root.filePath(QStringLiteral("serial"))};
        const QDir deviceDir(roots.sys + QStringLiteral("/class/tty/ttyUSB0/device"));
        for (const char *path : {"dev", "serial/by-id", "serial/by-path", "sys/class/tty/ttyUSB0/device", "sys/drivers"})
            root.mkpath(QLatin1String(path));
        for (const char *tty : {"dev/ttyUSB0", "dev/ttyUSB1"})
            QFile(root.filePath(QLatin1String(tty))).open(QIODevice::WriteOnly);
        const auto link = [&](const char *name, const char *tty) {
            QFile::link(root.filePath(QLatin1String(tty)), root.filePath(QLatin1String(name)));
        };
        link("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "dev/ttyUSB0");
        link("serial/by-id/usb-FTDI_FT232R_USB_UART_B7-if00-port0", "dev/ttyUSB1");
        link("serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "dev/ttyUSB0");
        if (!driver.isEmpty()) {
            root.mkpath(QStringLiteral("sys/drivers/") + driver);
            QFile::link(root.filePath(QStringLiteral("sys/drivers/") + driver), deviceDir.filePath(QStringLiteral("driver")));
        }
        QFile file(deviceDir.filePath(QStringLiteral("latency_timer")));
        if (!timer.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write(timer);
        return roots;
    }

    // Field 3 of /proc/<pid>/stat: R, S, Z and so on.
    static char ProcessState(pid_t pid)
    {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const qsizetype at = text.lastIndexOf(") ");
        return at < 0 ? '\0' : text.at(at + 2);
    }

private slots:
    void parsesAndWritesBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("full");
        QTest::newRow("upload speed") << "115200,n,8,1" << "115200,n,8,1";
        QTest::newRow("speed alone keeps framing") << "19200" << "19200,e,7,2";
        QTest::newRow("upper-case parity") << "300,O,7,1.5" << "300,o,7,1.5";
        QTest::newRow("mark and space") << "1200,m,8,1" << "1200,m,8,1";
        QTest::newRow("blanks around fields") << " 57600 , s , 6 , 2 " << "57600,s,6,2";
    }
    void parsesAndWritesBack()
    {
        QFETCH(QString, text);
        QFETCH(QString, full);
        SerialSettings base;
        base.parity = 'e';
        base.dataBits = 7;
        base.stopBits = QStringLiteral("2");
        const auto parsed = SerialSettings::Parse(text, base);
        QVERIFY(parsed);
        QCOMPARE(parsed->ToText(), full);
    }

    void refusesBadText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("zero speed") << "0";
        QTest::newRow("negative speed") << "-9600";
        QTest::newRow("two fields") << "9600,n";
        QTest::newRow("five fields") << "9600,n,8,1,x";
        QTest::newRow("bad parity") << "9600,x,8,1";
        QTest::newRow("four data bits") << "9600,n,4,1";
        QTest::newRow("nine data bits") << "9600,n,9,1";
        QTest::newRow("three stop bits") << "9600,n,8,3";
    }
    void refusesBadText()
    {
        QFETCH(QString, text);
        QString why;
        QVERIFY(!SerialSettings::Parse(text, SerialSettings{}, &why));
        QVERIFY(!why.isEmpty());
    }

    void controlReportsEveryFailure()
    {
        test::FakeSerialControl serial;
        QVERIFY(!serial.Output("x").ok()); // closed
        QVERIFY(!serial.SetCommPort(0).ok());
        QVERIFY(!serial.SetCommPort(256).ok());
        QVERIFY(!serial.SetSettings(QStringLiteral("9600,q,8,1")).ok());
        QCOMPARE(serial.Settings(), QStringLiteral("9600,n,8,1")); // a refused text changes nothing

        QVERIFY(serial.SetCommPort(2).ok());
        QVERIFY(serial.SetPortOpen(true).ok());
        QVERIFY(!serial.SetCommPort(3).ok()); // not while open
        QCOMPARE(serial.CommPort(), 2);
        QVERIFY(!serial.SetPortOpen(true).ok()); // already open
        QVERIFY(serial.Output(QByteArray("\x01GV \x04", 5)).ok());
        QCOMPARE(serial.written, QByteArray("\x01GV \x04", 5));
    }

    // A number is a port when its link in the folder leads to a character
    // device; nothing else counts, and no number beyond 1..255.
    void linksNameTheirDevices_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target"); // "file", "folder", "plain" (no link) or a path
        QTest::addColumn<QString>("device"); // empty: no port
        QTest::newRow("COM1") << 1 << "/dev/null" << "/dev/null";
        QTest::newRow("COM255") << 255 << "/dev/zero" << "/dev/zero";
        QTest::newRow("COM256") << 256 << "/dev/null" << "";
        QTest::newRow("COM0") << 0 << "/dev/null" << "";
        QTest::newRow("a regular file") << 2 << "file" << "";
        QTest::newRow("dangling") << 3 << "/no/such/device" << "";
        QTest::newRow("a folder") << 4 << "folder" << "";
        QTest::newRow("not a link") << 5 << "plain" << "";
    }
    void linksNameTheirDevices()
    {
        QFETCH(int, port);
        QFETCH(QString, target);
        QFETCH(QString, device);
        QTemporaryDir dir;
        QFile file(target == "plain" ? PortFolder::LinkPath(dir.path(), port) : dir.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        if (target != "plain")
            Link(dir.path(), port, target == "file" ? file.fileName() : target == "folder" ? dir.path() : target);
        const PortMap map(dir.path(), false);
        QCOMPARE(map.DevicePath(port), device);
        QCOMPARE(map.PortExists(port), !device.isEmpty());
    }

    // A device asked for by its path: the number that leads to it, or else
    // the lowest free one, listed under the path.
    void devicesByPath()
    {
        QTemporaryDir dir;
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        PortMap map(dir.path(), false);
        QCOMPARE(map.NumberOf(QStringLiteral("/dev/null")), 1);
        QCOMPARE(map.NumberOf(QStringLiteral("/dev/zero")), 0);
        QCOMPARE(map.AddDevice(QStringLiteral("/dev/zero")), 2);
        QCOMPARE(map.DevicePath(2), QStringLiteral("/dev/zero"));
        QCOMPARE(map.Name(2) + map.Name(1), QStringLiteral("/dev/zeroCOM1"));
    }

    // A link with kv7-sim's marker beside it is a port while the process
    // that made it runs. One left by a process that has ended (a zombie
    // too), or whose pid now belongs to a process started at another time,
    // is not, and the map says why; so does the serial control's open.
    void simMarkersTellStaleLinks_data()
    {
        QTest::addColumn<QString>("pid"); // "self", "ended", "zombie" or "none" (no marker)
        QTest::addColumn<QString>("start"); // "true", "other" or "" (a two-line marker)
        QTest::addColumn<QString>("target"); // what the marker names; the link leads to /dev/null
        QTest::addColumn<bool>("port");
        QTest::newRow("a live kv7-sim's") << "self" << "true" << "/dev/null" << true;
        QTest::newRow("an ended kv7-sim's") << "ended" << "other" << "/dev/null" << false;
        QTest::newRow("an ended kv7-sim's, two lines") << "ended" << "" << "/dev/null" << false;
        QTest::newRow("an ended kv7-sim's, not reaped") << "zombie" << "" << "/dev/null" << false;
        QTest::newRow("its pid taken by another process") << "self" << "other" << "/dev/null" << false;
        QTest::newRow("a live pid, two lines") << "self" << "" << "/dev/null" << true;
        QTest::newRow("the user's, no marker") << "none" << "" << "/dev/null" << true;
        QTest::newRow("an ended kv7-sim's marker for another target") << "ended" << "" << "/dev/zero" << true;
    }
    void simMarkersTellStaleLinks()
    {
        QFETCH(QString, pid);
        QFETCH(QString, start);
        QFETCH(QString, target);
        QFETCH(bool, port);
        QTemporaryDir dir;
        Link(dir.path(), 7, QStringLiteral("/dev/null"));
        qint64 markerPid = QCoreApplication::applicationPid();
        pid_t zombie = 0;
        if (pid == "ended") {
            QProcess child;
            child.start(QStringLiteral("true"), QStringList());
            QVERIFY(child.waitForStarted());
            markerPid = child.processId();
            QVERIFY(child.waitForFinished());
        } else if (pid == "zombie") {
            zombie = ::fork();
            if (zombie == 0)
                ::_exit(0);
            QVERIFY(zombie > 0);
            markerPid = zombie;
            // Ended, not yet waited for.
            QTRY_COMPARE(ProcessState(zombie), 'Z');
        }
        const std::optional<quint64> ownStart = SimMarker::StartTime(QCoreApplication::applicationPid());
        QVERIFY(ownStart);
        QByteArray text = QByteArray::number(markerPid) + '\n' + target.toUtf8() + '\n';
        if (!start.isEmpty())
            text += QByteArray::number(start == "true" ? *ownStart : *ownStart + 1) + '\n';
        const QString link = PortFolder::LinkPath(dir.path(), 7);
        if (pid != "none") {
            QFile marker(link + QStringLiteral(".kv7-sim"));
            QVERIFY(marker.open(QIODevice::WriteOnly) && marker.write(text) == text.size());
        }

        const PortMap map(dir.path(), false);
        QCOMPARE(map.DevicePath(7), port ? QStringLiteral("/dev/null") : QString());
        QCOMPARE(map.PortExists(7), port);
        QCOMPARE(map.NumberOf(QStringLiteral("/dev/null")), port ? 7 : 0);
        const QString why =
            port ? QString() : QStringLiteral("COM7 was left by kv7-sim (process %1), which no longer runs").arg(markerPid);
        QCOMPARE(map.Absence(7), why);
        if (!port) {
            QtSerialControl serial(map);
            QVERIFY(serial.SetCommPort(7).ok());
            QCOMPARE(serial.SetPortOpen(true).error, why + QLatin1Char('.'));
        }
        if (zombie > 0)
            QCOMPARE(::waitpid(zombie, nullptr, 0), zombie);
    }

    // The start time the marker holds is the one the system gives: a child
    // started now started about as long after boot as the system has run.
    void startTimeIsTicksSinceBoot()
    {
        QProcess child;
        child.start(QStringLiteral("sleep"), {QStringLiteral("5")});
        QVERIFY(child.waitForStarted());
        const qint64 pid = child.processId();
        const std::optional<quint64> start = SimMarker::StartTime(pid);
        QFile uptime(QStringLiteral("/proc/uptime"));
        QVERIFY(uptime.open(QIODevice::ReadOnly));
        const double up = uptime.readAll().split(' ').first().toDouble();
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(start);
        const double started = double(*start) / double(::sysconf(_SC_CLK_TCK));
        QVERIFY2(started <= up + 0.05 && started > up - 3, qPrintable(QStringLiteral("%1 s, up %2 s").arg(started).arg(up)));
        QVERIFY(!SimMarker::StartTime(pid));
    }

    // What the user is told of the other holders a fake /proc shows. A
    // process is "pid comm target...": "self" is our pid, "ptmx:N" a pty
    // master whose fdinfo gives index N.
    void otherHoldersAreNamed_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("processes");
        QTest::addColumn<QString>("warning");
        const QString acm = QStringLiteral("/dev/ttyACM0");
        const QString pts = QStringLiteral("/dev/pts/7");
        const QString it = QStringLiteral(": replies may go to it instead.");
        const QString them = QStringLiteral(": replies may go to them instead.");
        QTest::newRow("one") << acm << QStringList{"812 ModemManager /dev/null " + acm, "813 bash /dev/null"}
                             << acm + " is also open in ModemManager (process 812)" + it;
        QTest::newRow("our own process") << acm << QStringList{"self kv7-test " + acm} << "";
        // Both orders of the two ends' descriptors.
        QTest::newRow("the pty's own end")
            << pts << QStringList{"50 kv7-sim " + pts + " ptmx:7", "55 socat ptmx:7 " + pts, "60 sleep " + pts}
            << pts + " is also open in sleep (process 60)" + it;
        QTest::newRow("another pty's master")
            << pts << QStringList{"50 socat ptmx:3 " + pts, "60 screen " + pts}
            << pts + " is also open in socat (process 50) and screen (process 60)" + them;
        QTest::newRow("three, by pid, once each")
            << acm << QStringList{"1000 minicom " + acm, "900 screen " + acm + ' ' + acm, "812 ModemManager " + acm}
            << acm + " is also open in ModemManager (process 812), screen (process 900) and minicom (process 1000)" +
                   them;
        QTest::newRow("none") << acm << QStringList{"812 ModemManager /dev/ttyACM1"} << "";
        QTest::newRow("escapes") << "/dev/tty\x1b[2J" << QStringList{"70 \x1b]0;x\x07%2 /dev/tty\x1b[2J"}
                                 << "/dev/tty<27>[2J is also open in <27>]0;x<7>%2 (process 70)" + it;
    }
    void otherHoldersAreNamed()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, processes);
        QFETCH(QString, warning);
        QTemporaryDir proc;
        for (const QString &process : processes) {
            QStringList fields = process.split(QLatin1Char(' '));
            if (fields[0] == QLatin1String("self"))
                fields[0] = QString::number(::getpid());
            const QDir dir(proc.filePath(fields[0]));
            QVERIFY(dir.mkpath(QStringLiteral("fd")) && dir.mkpath(QStringLiteral("fdinfo")));
            QFile comm(dir.filePath(QStringLiteral("comm")));
            QVERIFY(comm.open(QIODevice::WriteOnly) && comm.write(fields[1].toUtf8() + '\n') > 0);
            for (int fd = 2; fd < fields.size(); ++fd) {
                const bool master = fields[fd].startsWith(QLatin1String("ptmx:"));
                const QString link = dir.filePath(QStringLiteral("fd/%1").arg(fd));
                QVERIFY(QFile::link(master ? QStringLiteral("/dev/ptmx") : fields[fd], link));
                QFile info(dir.filePath(QStringLiteral("fdinfo/%1").arg(fd)));
                QVERIFY(info.open(QIODevice::WriteOnly));
                const QByteArray index = master ? "tty-index:\t" + fields[fd].mid(5).toUtf8() + '\n' : "";
                info.write("pos:\t0\nflags:\t02\n" + index);
            }
        }
        QCOMPARE(SharedWarning(device, OtherHolders(device, proc.path())), warning);
    }

    // What the log's "opened" entry and the warnings say of an adapter.
    void adapterFactsAreRead_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QByteArray>("timer");
        QTest::addColumn<int>("lowLatency");
        QTest::addColumn<QString>("described");
        QTest::addColumn<bool>("advised");
        const QString id = QStringLiteral("%1/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0, ");
        QTest::newRow("timer at 1 ms") << "ftdi_sio" << QByteArray("1\n") << int(LowLatency::Set)
                                       << id + "ftdi_sio, latency timer 1 ms" << false;
        QTest::newRow("timer at 16 ms, refused") << "ftdi_sio" << QByteArray("16\n") << int(LowLatency::Refused)
                                                 << id + "ftdi_sio, latency timer 16 ms: low latency refused" << true;
        QTest::newRow("timer at 2 ms") << "ftdi_sio" << QByteArray("2") << int(LowLatency::Set)
                                       << id + "ftdi_sio, latency timer 2 ms" << true;
        QTest::newRow("no timer") << "cdc_acm" << QByteArray() << int(LowLatency::NotOffered) << id + "cdc_acm" << false;
        QTest::newRow("a timer that is no number") << "ftdi_sio" << QByteArray("x") << int(LowLatency::Set)
                                                   << id + "ftdi_sio" << false;
        QTest::newRow("no driver") << "" << QByteArray("16") << int(LowLatency::Refused)
                                   << QStringLiteral("%1/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0") << false;
    }
    void adapterFactsAreRead()
    {
        QFETCH(QString, driver);
        QFETCH(QByteArray, timer);
        QFETCH(int, lowLatency);
        QFETCH(QString, described);
        QFETCH(bool, advised);
        QTemporaryDir dir;
        const SystemRoots roots = FakeSystem(QDir(dir.path()), driver, timer);
        const PortFacts facts = ReadPortFacts(dir.filePath(QStringLiteral("dev/ttyUSB0")), LowLatency(lowLatency), roots);
        QCOMPARE(facts.Describe(), described.arg(roots.serialNames));
        const QString advice = facts.LatencyAdvice(QStringLiteral("COM33"));
        QCOMPARE(!advice.isEmpty(), advised);
        if (advised)
            QVERIFY(advice.contains(QLatin1String("DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"")));
        // A pty is no adapter: nothing is said of it.
        QVERIFY(ReadPortFacts(QStringLiteral("/dev/pts/0"), LowLatency::NotOffered, roots).Describe().isEmpty());
    }

    // Ports given by a stable name's part, as station scripts do.
    void stableNamesAreLookedUp_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("device"); // under the fake root; empty when none
        QTest::addColumn<QString>("why");
        QTest::newRow("a serial number") << "by-id:A50285BI" << "dev/ttyUSB0" << "";
        QTest::newRow("a whole name") << "by-id:usb-FTDI_FT232R_USB_UART_B7-if00-port0" << "dev/ttyUSB1" << "";
        QTest::newRow("a socket") << "by-path:usb-0:2:1.0" << "dev/ttyUSB0" << "";
        QTest::newRow("a stable link's path") << "%1/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0" << "dev/ttyUSB0" << "";
        QTest::newRow("two match") << "by-id:FTDI" << ""
                                   << "by-id:FTDI matches 2 adapters in %1/by-id: usb-FTDI_FT232R_USB_UART_A50285BI-if00-"
                                      "port0, usb-FTDI_FT232R_USB_UART_B7-if00-port0.";
        QTest::newRow("none matches") << "by-id:C99" << "" << "no adapter in %1/by-id matches C99.";
        QTest::newRow("a path outside") << "by-path:../by-id/x" << ""
                                        << "by-path:../by-id/x names no adapter: give the name, or part of it, of a "
                                           "link in %1/by-path.";
    }
    void stableNamesAreLookedUp()
    {
        QFETCH(QString, given);
        QFETCH(QString, device);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const SystemRoots roots = FakeSystem(QDir(dir.path()), QString(), QByteArray());
        PortMap ports(QString(), false, roots);
        const PortChoice choice = ChoosePort(ports, given.arg(roots.serialNames));
        QCOMPARE(choice.device, device.isEmpty() ? QString() : QFileInfo(dir.filePath(device)).canonicalFilePath());
        QCOMPARE(choice.why, why.arg(roots.serialNames));
        QCOMPARE(choice.number > 0, !device.isEmpty());
        // The name that leads to it again, whatever number it has.
        if (!device.isEmpty())
            QVERIFY(ReadPortFacts(choice.device, LowLatency::NotOffered, roots).stableName.contains(QLatin1String("usb-")));
    }

    // A lost port whose link is gone is not opened again as the device its
    // number falls back to (COM1 as /dev/ttyS0), only through a link again.
    void lostLinkIsNotReplacedByAFamilyDevice()
    {
        QTemporaryDir dir;
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        PortMap ports(dir.path(), true);
        test::FakeSerialControl serial;
        const PortReturn back(serial, ports);
        QVERIFY(!back.Watching());
        serial.factsOnOpen.device = QStringLiteral("/dev/null");
        QVERIFY(serial.SetCommPort(1).ok() && serial.SetPortOpen(true).ok());
        serial.loseAtWrite = 0;
        QVERIFY(!serial.Output("x").ok());
        QVERIFY(back.Watching());
        QVERIFY(QFile::remove(PortFolder::LinkPath(dir.path(), 1)));
        if (ports.DevicePath(1).isEmpty())
            QSKIP("this machine lists no /dev/ttyS0 for COM1 to fall back to");
        QTest::qWait(3 * PortReturn::PollMs);
        QVERIFY(!serial.PortOpen());
        Link(dir.path(), 1, QStringLiteral("/dev/zero"));
        QTRY_VERIFY_WITH_TIMEOUT(serial.PortOpen(), 1000);
    }

    void untrustedFolderIsIgnored()
    {
        QTemporaryDir dir;
        Link(dir.path(), 1, QStringLiteral("/dev/null"));
        QVERIFY(PortMap(dir.path(), false).PortExists(1));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
        QString why;
        QVERIFY(!PortFolder::IsTrusted(dir.path(), &why));
        QVERIFY(why.contains(QLatin1String("writable")));
        QVERIFY(!PortMap(dir.path(), false).PortExists(1));
        QVERIFY(!PortMap(dir.filePath(QStringLiteral("missing")), false).PortExists(1));
    }

    void ensureCreatesAPrivateFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ports"));
        QCOMPARE(PortFolder::Ensure(folder), QString());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QCOMPARE(PortFolder::Ensure(folder), QString()); // already there
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
