// kv7-run against kv7-sim: its steps, the device's faults, several ports at
// once, a signal, and the bytes it sends against the window's.
#include "protocol/LogFormat.h"
#include "protocol/SampleTransfer.h"
#include "serial/PortSharers.h"
#include "tests/support/EventWait.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimLink.h"
#include "tests/support/TransferBytes.h"

#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <memory>

using namespace kv7;

namespace {

// The bytes written to `port` in a session log, in order; every port's
// when `port` is empty.
QByteArray SentBytes(const QString &log, const QByteArray &port = {})
{
    QByteArray sent;
    for (const QByteArray &line : test::ReadFile(log).split('\n'))
        if (const std::optional<LogEntry> entry = ParseLogLine(line))
            if (entry->mark == SentMark && (port.isEmpty() || entry->port == port))
                sent += entry->bytes;
    return sent;
}

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestRun : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_firmware;
    QString m_sample;
    QString m_fifo;
    QString m_big;

    // kv7-sim on the port folder kv7-run looks in.
    std::unique_ptr<test::SimProcess> Sim(const QStringList &options)
    {
        auto sim = std::make_unique<test::SimProcess>();
        return sim->Start(m_dir.filePath(QStringLiteral("kv7-ports")), options) ? std::move(sim) : nullptr;
    }

    void StartRun(QProcess &run, const QStringList &args, const QString &shell = {})
    {
        test::StartKv7Run(run, m_dir.path(), args, shell);
    }

    Outcome Run(const QStringList &args)
    {
        QProcess run;
        StartRun(run, args);
        run.waitForFinished(90000);
        return {run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1,
                QString::fromLocal8Bit(run.readAllStandardOutput()), QString::fromLocal8Bit(run.readAllStandardError())};
    }

    static QString Com(const test::SimProcess &sim) { return QStringLiteral("COM%1").arg(sim.Port()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_firmware = m_dir.filePath(QStringLiteral("firmware.bin"));
        m_sample = m_dir.filePath(QStringLiteral("take.SSS"));
        QVERIFY(test::WriteFile(m_firmware, test::RandomBytes(3000, 1)));
        QVERIFY(test::WriteFile(m_sample, test::RandomBytes(100, 2)));
        QVERIFY(test::WriteFile(m_dir.filePath(QStringLiteral("empty.bin")), {}));
        m_fifo = m_dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(m_fifo).constData(), 0600), 0);
        m_big = m_dir.filePath(QStringLiteral("big.SSS"));
        QFile big(m_big);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(SampleTransfer::MaxFileBytes + 1));
    }

    // Found before anything goes out: the device hears nothing.
    void usageErrorsSendNothing_data()
    {
        QTest::addColumn<QStringList>("args"); // @PORT stands for the simulator's, @port for it in lower case
        QTest::addColumn<QString>("error");
        const QString port = QStringLiteral("@PORT");
        QTest::newRow("no port") << QStringList{"version"} << "no --port given";
        QTest::newRow("no step") << QStringList{"--port", port} << "no step given";
        QTest::newRow("unknown step") << QStringList{"--port", port, "version", "fly"} << "unknown step 'fly'";
        QTest::newRow("channel 9") << QStringList{"--port", port, "version", "gain", "9", "1"} << "gain: needs a channel";
        QTest::newRow("gain 128") << QStringList{"--port", port, "gain", "1", "128"} << "gain: needs a channel";
        QTest::newRow("missing argument") << QStringList{"--port", port, "wait"} << "wait: missing argument";
        QTest::newRow("no file") << QStringList{"--port", port, "version", "firmware", "/no/such"}
                                 << "firmware: cannot read /no/such";
        QTest::newRow("empty firmware") << QStringList{"--port", port, "firmware", "@EMPTY"} << "@EMPTY is empty";
        QTest::newRow("area 100") << QStringList{"--port", port, "sample", "100", "/dev/null"} << "needs an area";
        QTest::newRow("speed") << QStringList{"--port", port, "--speed", "4800", "version"} << "speed '4800'";
        QTest::newRow("COM256") << QStringList{"--port", "COM256", "version"} << "'COM256' is not a port";
        QTest::newRow("twice") << QStringList{"--port", port, "--port=@port", "version"} << "given twice";
        QTest::newRow("option") << QStringList{"--port", port, "--fast", "version"} << "unknown option '--fast'";
        QTest::newRow("NAK bound") << QStringList{"--port", port, "--max-naks", "-1", "version"} << "--max-naks needs";
        // Files that are not files, or too large to address, are read before anything is sent.
        QTest::newRow("a device as firmware") << QStringList{"--port", port, "firmware", "/dev/zero"}
                                              << "firmware: cannot read /dev/zero: It is not a regular file.";
        QTest::newRow("a FIFO as sample") << QStringList{"--port", port, "sample", "1", "@FIFO"}
                                          << "It is not a regular file.";
        QTest::newRow("more lines than indexes") << QStringList{"--port", port, "sample", "1", "@BIG"}
                                                 << "It is larger than 2097151 bytes";
        // One device under two names would be opened twice.
        QTest::newRow("COM01") << QStringList{"--port", port, "--port", "@0port", "version"}
                               << "--port @PORT and --port @0port are the same device (@DEVICE)";
        QTest::newRow("a COM and its device") << QStringList{"--port", port, "--port", "@DEVICE", "version"}
                                              << "--port @PORT and --port @DEVICE are the same device (@DEVICE)";
        QTest::newRow("two spellings of a path") << QStringList{"--port", "@DOTTED", "--port", "@DEVICE", "version"}
                                                 << "--port @DOTTED and --port @DEVICE are the same device";
        QTest::newRow("missing, spelled twice") << QStringList{"--port", "COM25", "--port", "com025", "version"}
                                                << "--port COM25 and --port com025 are the same device (COM25)";
        QTest::newRow("accept") << QStringList{"--port", port, "--accept", "", "version"} << "--accept needs";
        QTest::newRow("expect first") << QStringList{"--port", port, "expect", "KV7"} << "expect: there is no step before it";
        QTest::newRow("units alone") << QStringList{"--port", port, "--units", "2", "version"} << "it needs --station";
        // A second value would silently win over the first.
        QTest::newRow("speed twice") << QStringList{"--port", port, "--speed", "9600", "--speed=115200", "version"}
                                     << "option '--speed' is given twice";
        QTest::newRow("log twice") << QStringList{"--log", "/dev/null", "--port", port, "--log=/dev/null", "version"}
                                   << "option '--log' is given twice";
    }
    void usageErrorsSendNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const std::unique_ptr<test::SimProcess> sim = Sim({QStringLiteral("--verbose")});
        QVERIFY(sim);
        const QString device = sim->Device();
        const QStringList places{"@PORT", "@port", "@0port", "@DEVICE", "@DOTTED", "@FIFO", "@BIG", "@EMPTY"};
        const QStringList values{Com(*sim), Com(*sim).toLower(), QStringLiteral("COM0%1").arg(sim->Port()), device,
                                 QString(device).replace(QStringLiteral("/dev/"), QStringLiteral("/dev/./")), m_fifo, m_big,
                                 m_dir.filePath(QStringLiteral("empty.bin"))};
        for (int i = 0; i < places.size(); ++i) {
            args.replaceInStrings(places[i], values[i]);
            error.replace(places[i], values[i]);
        }
        const Outcome run = Run(args);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QTest::qWait(100);
        QCOMPARE(sim->Lines().size(), 1); // its port line, and no frame
    }

    // Each step's line, the device's faults and the result line.
    void stepsAndFaults_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output"); // a line of stdout, or of stderr when the code is 1
        QTest::addColumn<QString>("result"); // the end of the result line
        QTest::newRow("gains") << QStringList{} << QStringList{"version", "gain", "2", "5", "gains", "wait", "10"} << 0
                               << "gains: 0 5 0 0 0 0 0 0" << "ok, 4 steps";
        QTest::newRow("send, erase") << QStringList{} << QStringList{"send", "XY", "1", "erase", "4"} << 0
                                     << "erase: <1>R&DA<2> 4<4>" << "ok, 2 steps";
        QTest::newRow("send, no parameter") << QStringList{} << QStringList{"send", "XY", "version"} << 0
                                            << "send: <1>RXY<4>" << "ok, 2 steps";
        // 11 forced NAKs, the EOT's and the first block's request; the next
        // step is at the old speed again.
        QTest::newRow("NAKs are answered") << QStringList{"--nak-every", "3", "--nak-eot", "--verbose"}
                                           << QStringList{"firmware", "FW", "version"} << 0
                                           << "firmware: 24 blocks, 13 NAKs" << "ok, 2 steps";
        QTest::newRow("sample") << QStringList{} << QStringList{"sample", "7", "SS"} << 0
                                << "sample: 4 lines to area 07" << "ok, 1 steps";
        QTest::newRow("silent boot loader") << QStringList{"--boot-silent"} << QStringList{"version", "firmware", "FW"}
                                            << 1 << "step 2 (firmware) failed: no answer within 5 s of the start"
                                            << "FAILED at step 2 (firmware): no answer within 5 s of the start";
        QTest::newRow("stall") << QStringList{"--stall-after-first"} << QStringList{"firmware", "FW"} << 1
                               << "no answer for 30 s after 0 of 24 blocks" << "no answer for 30 s after 0 of 24 blocks";
        QTest::newRow("refused area") << QStringList{"--sample-status", "3"} << QStringList{"sample", "1", "SS", "version"}
                                      << 1 << "refused sample area 01 (status 3)" << "FAILED at step 1 (sample)";
        QTest::newRow("rejected line") << QStringList{"--reject-lines", "0001"} << QStringList{"sample", "1", "SS"} << 1
                                       << "rejected 1 of 4 sample lines, the first at index 0001"
                                       << "FAILED at step 1 (sample)";
        QTest::newRow("silent device") << QStringList{"--silent"} << QStringList{"battery"} << 1
                                       << "no reply to <1>GB <4> within 5 s" << "FAILED at step 1 (battery)";
        // A reply that says "no" fails its step, whatever the step.
        QTest::newRow("error reply") << QStringList{"--status", "E"} << QStringList{"version"} << 1
                                     << "step 1 (version) failed: the device answered \"E\": <1>EGV <2>KV7-SIM"
                                     << "FAILED at step 1 (version): the device answered \"E\": <1>EGV <2>KV7-SIM";
        QTest::newRow("red lamp") << QStringList{"--status", "C"} << QStringList{"send", "XX", "erase", "3"} << 1
                                  << "the device answered \"C\" (red lamp): <1>CXX<4>"
                                  << "FAILED at step 1 (send): the device answered \"C\" (red lamp): <1>CXX<4>";
        QTest::newRow("gain refused") << QStringList{"--status", "P"} << QStringList{"gain", "1", "50"} << 1
                                      << "the device answered \"P\" (yellow lamp): <1>PAV <2>1050<4>"
                                      << "FAILED at step 1 (gain)";
        QTest::newRow("accepted letter") << QStringList{"--status", "P"} << QStringList{"--accept", "P", "battery"} << 0
                                         << "battery: <1>PGB" << "ok, 1 steps";
        // expect checks what the step before printed.
        QTest::newRow("expect found") << QStringList{"--gains", "5,64"} << QStringList{"gains", "expect", "5 64 0"} << 0
                                      << "expect: found \"5 64 0\"" << "ok, 2 steps";
        QTest::newRow("expect missed") << QStringList{} << QStringList{"version", "expect", "KV7 2.1", "version"} << 1
                                       << "step 2 (expect) failed: expected \"KV7 2.1\" in what step 1 (version) "
                                          "printed: <1>RGV <2>KV7-SIM 1.0<4>"
                                       << "FAILED at step 2 (expect): expected \"KV7 2.1\"";
        // A unit that refuses every block ends the step; the port is back
        // at its speed for the next.
        QTest::newRow("NAKs forever") << QStringList{"--nak-every", "1"} << QStringList{"firmware", "FW"} << 1
                                      << "the device refused block 1 of 24 10 times in a row"
                                      << "FAILED at step 1 (firmware): the device refused block 1 of 24 10 times in a row";
        QTest::newRow("NAK bound") << QStringList{"--nak-every", "1"} << QStringList{"--max-naks", "3", "firmware", "FW"}
                                   << 1 << "refused block 1 of 24 3 times" << "FAILED at step 1 (firmware)";
    }
    void stepsAndFaults()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, steps);
        QFETCH(int, code);
        QFETCH(QString, output);
        QFETCH(QString, result);
        const std::unique_ptr<test::SimProcess> sim = Sim(simOptions);
        QVERIFY(sim);
        steps.replaceInStrings(QRegularExpression(QStringLiteral("^FW$")), m_firmware);
        steps.replaceInStrings(QRegularExpression(QStringLiteral("^SS$")), m_sample);
        const Outcome run = Run(QStringList{QStringLiteral("--port"), Com(*sim)} + steps);
        QCOMPARE(run.code, code);
        QVERIFY2((code == 0 ? run.out : run.err).contains(output), qPrintable(run.out + run.err));
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.last().startsWith(Com(*sim) + QLatin1Char(' ')) && lines.last().contains(result),
                 qPrintable(lines.last()));
        if (steps.contains(QStringLiteral("firmware"))) // back at its speed, in command mode
            QTRY_VERIFY_WITH_TIMEOUT(sim->Lines().contains(QStringLiteral("line 9600")), 5000);
        if (simOptions.contains(QStringLiteral("--verbose"))) // and before the next step, not at the close
            QVERIFY(sim->Lines().indexOf(QStringLiteral("line 9600")) < sim->Lines().indexOf(QStringLiteral("got <1>GV <4>")));
    }

    // Started with 0, 1 and 2 closed: the signal pipe must not take them, or
    // a port's error text on stderr would read as a signal and stop the
    // others, and its own messages would land in the session log.
    void closedStandardStreams()
    {
        const std::unique_ptr<test::SimProcess> sim = Sim({});
        QVERIFY(sim);
        const QString log = m_dir.filePath(QStringLiteral("closed.log"));
        QProcess run;
        StartRun(run, {"--port", Com(*sim), "--port", "COM250", "--log", log, "version", "wait", "1000", "version"},
                 QStringLiteral("exec \"$0\" \"$@\" <&- >&- 2>&-"));
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 1); // COM250 does not exist; the other port ran to its end
        const QByteArrayList lines = test::ReadFile(log).split('\n');
        for (const QByteArray &line : lines)
            QVERIFY2(line.isEmpty() || ParseLogLine(line), line.constData());
        QCOMPARE(SentBytes(log, Com(*sim).toLatin1()), QByteArray("\x01GV \x04\x01GV \x04"));
    }

    // Four devices at once, one of them missing: each of the others gets
    // the whole image, and the run says which failed.
    void portsRunTogether()
    {
        std::vector<std::unique_ptr<test::SimProcess>> sims;
        QStringList args;
        for (int i = 0; i < 3; ++i) {
            const QString image = m_dir.filePath(QStringLiteral("image%1.bin").arg(i));
            sims.push_back(Sim({QStringLiteral("--image"), image, QStringLiteral("--wire")}));
            QVERIFY(sims.back());
            args << QStringLiteral("--port") << Com(*sims.back());
        }
        args << QStringLiteral("--port") << QStringLiteral("COM250") << QStringLiteral("--speed")
             << QStringLiteral("115200") << QStringLiteral("--log") << m_dir.filePath(QStringLiteral("four.log"))
             << QStringLiteral("firmware") << m_firmware;
        const Outcome run = Run(args);
        QCOMPARE(run.code, 1);
        const QByteArray image = test::ReadFile(m_firmware);
        const QByteArray padded = test::Padded(image);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.endsWith(QStringLiteral("COM250 FAILED at the start: cannot open the port: COM250 does not exist.")),
                 qPrintable(run.out));
        QByteArray first;
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(lines.at(lines.size() - 4 + i).startsWith(Com(*sims[size_t(i)]) + QStringLiteral(" ok, 1 steps")),
                     qPrintable(run.out));
            QTRY_COMPARE_WITH_TIMEOUT(test::ReadFile(m_dir.filePath(QStringLiteral("image%1.bin").arg(i))), padded, 5000);
            // The same bytes went to each, in the log with their port.
            const QByteArray sent = SentBytes(m_dir.filePath(QStringLiteral("four.log")), Com(*sims[size_t(i)]).toLatin1());
            QVERIFY(sent.size() > padded.size());
            QCOMPARE(sent, i == 0 ? sent : first);
            first = sent;
        }
    }

    // A log that stops mid-run (here at the file size limit, as on a full
    // disk): the run goes on, but the record of it is lost, so it does not
    // end as a success. The next run's header starts on a line of its own.
    void logThatStopsFailsTheRun()
    {
        const std::unique_ptr<test::SimProcess> sim = Sim({});
        QVERIFY(sim);
        const QString log = m_dir.filePath(QStringLiteral("cut.log"));
        QFile::remove(log);
        // 2 blocks of 512 bytes let the header through, not the image's
        // frames; SIGXFSZ ignored turns the limit into a failed write.
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        run.setProcessEnvironment(env);
        run.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 2 && exec \"$@\""),
                                              QStringLiteral("sh"), QStringLiteral(KV7_RUN_PATH), QStringLiteral("--port"),
                                              Com(*sim), QStringLiteral("--log"), log, QStringLiteral("firmware"), m_firmware,
                                              QStringLiteral("version")});
        QVERIFY(run.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 1);
        QVERIFY2(err.startsWith(QStringLiteral("kv7-run: the session log %1 stopped: %2").arg(log, qt_error_string(EFBIG))),
                 qPrintable(err));
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(out.contains(Com(*sim) + QStringLiteral(" version: ")), qPrintable(out));
        QVERIFY2(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last().startsWith(Com(*sim) + QStringLiteral(" ok, 2 steps")),
                 qPrintable(out));
        const QByteArray cut = test::ReadFile(log);
        QCOMPARE(cut.size(), 1024);
        QVERIFY(!cut.endsWith('\n'));

        const Outcome next = Run({QStringLiteral("--port"), Com(*sim), QStringLiteral("--log"), log, QStringLiteral("version")});
        QCOMPARE(next.code, 0);
        const QByteArrayList lines = test::ReadFile(log).mid(cut.size()).split('\n');
        QCOMPARE(lines.value(0), QByteArray());
        const std::optional<LogEntry> header = ParseLogLine(lines.value(1));
        QVERIFY2(header && header->bytes.startsWith("log started by kv7-run"), lines.value(1).constData());
    }

    // A link left by a kv7-sim that was killed, its pty since given to
    // another program: kv7-run says so rather than talk to that program.
    void staleSimLinkIsNoPort()
    {
        const std::unique_ptr<test::SimProcess> other = Sim({QStringLiteral("--status"), QStringLiteral("Z")});
        QVERIFY(other);
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        const QString link = PortFolder::LinkPath(m_dir.filePath(QStringLiteral("kv7-ports")), 200);
        const QString marker = link + QStringLiteral(".kv7-sim");
        QVERIFY(QFile::link(other->Device(), link));
        QVERIFY(test::WriteFile(marker, QByteArray::number(pid) + '\n' + QFile::encodeName(other->Device()) + '\n'));
        const Outcome run = Run({QStringLiteral("--port"), QStringLiteral("COM200"), QStringLiteral("version")});
        QVERIFY(QFile::remove(link) && QFile::remove(marker));
        QCOMPARE(run.code, 1);
        QVERIFY2(run.out.contains(QStringLiteral("COM200 FAILED at the start: cannot open the port: COM200 was left by "
                                                 "kv7-sim (process %1), which no longer runs.")
                                      .arg(pid)),
                 qPrintable(run.out + run.err));
        QVERIFY(!run.out.contains(QStringLiteral("<1>Z")));
    }

    // Behind an adapter that a fake sysfs and /dev/serial describe: by-id:
    // finds it, its slow timer is warned of once on stderr, the log's
    // "opened" says what it is and the end event its stable name. Another
    // program holding the port fails it, unless --shared.
    void adapterAndOtherPrograms()
    {
        const std::unique_ptr<test::SimProcess> sim = Sim({});
        QVERIFY(sim);
        QTemporaryDir fake;
        const QDir root(fake.path());
        const QString device = QStringLiteral("sys/class/tty/%1/device/").arg(QFileInfo(sim->Device()).fileName());
        QVERIFY(root.mkpath(QStringLiteral("serial/by-id")) && root.mkpath(QStringLiteral("sys/drivers/ftdi_sio")) &&
                root.mkpath(device));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("sys/drivers/ftdi_sio")), root.filePath(device + "driver")));
        QVERIFY(test::WriteFile(root.filePath(device + "latency_timer"), "16\n"));
        const QString stable = root.filePath(QStringLiteral("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
        QVERIFY(QFile::link(sim->Device(), stable));
        struct Roots {
            explicit Roots(const QDir &root)
            {
                qputenv("KV7_SYSFS_ROOT", QFile::encodeName(root.filePath(QStringLiteral("sys"))));
                qputenv("KV7_SERIAL_NAMES_ROOT", QFile::encodeName(root.filePath(QStringLiteral("serial"))));
            }
            ~Roots() { qunsetenv("KV7_SYSFS_ROOT"), qunsetenv("KV7_SERIAL_NAMES_ROOT"); }
        };
        {
            const Roots roots(root);
            const QString log = m_dir.filePath(QStringLiteral("adapter.log"));
            const Outcome run = Run({"--port", "by-id:A50285BI", "--json", "--log", log, "version", "version"});
            QCOMPARE(run.code, 0);
            QCOMPARE(run.err.count(QStringLiteral("latency timer")), 1);
            QVERIFY2(run.err.contains(QStringLiteral("ATTR{latency_timer}=\"1\"")), qPrintable(run.err));
            QVERIFY2(run.out.contains(QStringLiteral("\"stable_name\":\"%1\"").arg(stable)), qPrintable(run.out));
            QVERIFY(test::ReadFile(log).contains(QFile::encodeName(QStringLiteral("(%1, ftdi_sio, latency timer 16 ms)").arg(stable))));
        }
        QProcess holder;
        holder.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec sleep 30 <\"$0\""), sim->Device()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(test::WaitUntil([&] { return !OtherHolders(sim->Device()).isEmpty(); }, 5000));
        const Outcome refused = Run({"--port", Com(*sim), "version"});
        const Outcome shared = Run({"--port", Com(*sim), "--shared", "version"});
        const qint64 pid = holder.processId();
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.out.contains(QStringLiteral("%1 FAILED at the start: cannot use the port: %2 is also open in sleep "
                                                     "(process %3): replies may go to it instead. Give --shared to run on "
                                                     "it anyway.")
                                          .arg(Com(*sim), sim->Device())
                                          .arg(pid)),
                 qPrintable(refused.out));
        QCOMPARE(shared.code, 0);
    }

    // A signal in the middle of an upload: the port gets its speed back
    // and the run ends with 128 + the signal.
    void signalStopsTheUpload()
    {
        const std::unique_ptr<test::SimProcess> sim = Sim({QStringLiteral("--wire")});
        QVERIFY(sim);
        const QString big = m_dir.filePath(QStringLiteral("big.bin"));
        QVERIFY(test::WriteFile(big, test::RandomBytes(256 * 1024, 3)));
        QProcess run;
        const QString log = m_dir.filePath(QStringLiteral("stopped.log"));
        StartRun(run, {QStringLiteral("--port"), Com(*sim), QStringLiteral("--log"), log, QStringLiteral("firmware"), big});
        QVERIFY(sim->WaitForLine(QStringLiteral("line 115200")));
        QTest::qWait(300);
        ::kill(pid_t(run.processId()), SIGTERM);
        QVERIFY(run.waitForFinished(5000));
        QCOMPARE(run.exitCode(), 128 + SIGTERM);
        QVERIFY(QString::fromLocal8Bit(run.readAllStandardOutput())
                    .endsWith(Com(*sim) + QStringLiteral(" STOPPED at step 1 (firmware): ended by signal 15\n")));
        QString lastOpen;
        for (const QByteArray &line : test::ReadFile(log).split('\n'))
            if (line.contains(" * opened "))
                lastOpen = QString::fromLatin1(line);
        QVERIFY2(lastOpen.endsWith(QStringLiteral(" at 9600,n,8,1")), qPrintable(lastOpen));
    }

    // One library under both, but proven once end to end: kv7-run writes
    // the window's bytes for the same firmware and sample.
    void sameBytesAsTheWindow()
    {
        test::SimLink link;
        QVERIFY(link.Start({}));
        const QString windowLog = link.FilePath(QStringLiteral("window.log"));
        QVERIFY(link.form->StartLog(windowLog));
        link.form->firmwareFileBox->setText(m_firmware);
        link.form->StartUpload();
        QVERIFY(test::WaitUntil([&] { return !link.form->UploadActive(); }, 30000));
        link.form->sampleFileBox->setText(m_sample);
        link.form->uploadAreaBox->setText(QStringLiteral("5"));
        link.form->Command1_Click(Buttons::UploadSample);
        QCOMPARE(link.messages.texts, QStringList{QStringLiteral("Finished uploading firmware and all is OK!")});

        const std::unique_ptr<test::SimProcess> sim = Sim({});
        QVERIFY(sim);
        const QString runLog = m_dir.filePath(QStringLiteral("run.log"));
        const Outcome run = Run({QStringLiteral("--port"), Com(*sim), QStringLiteral("--log"), runLog,
                                 QStringLiteral("firmware"), m_firmware, QStringLiteral("sample"), QStringLiteral("5"),
                                 m_sample});
        QCOMPARE(run.code, 0);
        // The window's verdicts are in its log as well.
        const QByteArray events = test::ReadFile(windowLog);
        QVERIFY(events.contains(" * firmware upload ended: Finished uploading firmware and all is OK! 24 block frames sent, 1 NAKs seen\n"));
        QVERIFY(events.contains(" * sample upload done: 4 lines answered, 0 rejected\n"));
        const QByteArray window = SentBytes(windowLog);
        QVERIFY(window.size() > 3000 + 4 * 75);
        QCOMPARE(SentBytes(runLog), window);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
