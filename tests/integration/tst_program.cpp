// kv7-test as a process: its own command line, answered before any window
// so that it works without a display; and its end on a signal, which must
// release the port and its lock file as "EXIT" does.
#include "serial/PortLock.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QProcessEnvironment WithoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// The first line of a lock file: its holder's process id.
QByteArray LockHolder(const QString &lock)
{
    QFile file(lock);
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void answeredWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString tryHelp = QStringLiteral("\nTry 'kv7-test --help' for more information.\n");
        QTest::newRow("unknown") << QStringList{"--no-such-option"} << 2 << ""
                                 << "kv7-test: unknown option '--no-such-option'" + tryHelp;
        QTest::newRow("stray word") << QStringList{"COM5"} << 2 << "" << "kv7-test: unexpected argument 'COM5'" + tryHelp;
        QTest::newRow("Qt's value missing") << QStringList{"-style"} << 2 << ""
                                            << "kv7-test: option '-style' needs a value" + tryHelp;
        QTest::newRow("after Qt's options") << QStringList{"-style=fusion", "--platform", "xcb", "-reverse", "-x"} << 2
                                            << "" << "kv7-test: unknown option '-x'" + tryHelp;
        QTest::newRow("version after Qt's options")
            << QStringList{"-platform", "offscreen", "-reverse", "--version"} << 0 << "kv7-test " KV7_VERSION "\n" << "";
        QTest::newRow("a speed not listed") << QStringList{"--port", "COM2", "--speed", "4800"} << 2 << ""
                                            << "kv7-test: speed '4800' is not one of 300, 1200, 9600, 19200, 57600, 115200" + tryHelp;
        QTest::newRow("a flag with a value") << QStringList{"-reverse=1"} << 2 << ""
                                             << "kv7-test: unknown option '-reverse=1'" + tryHelp;
        // A second value would silently win over the first.
        QTest::newRow("port twice") << QStringList{"--port", "COM2", "--port", "COM3"} << 2 << ""
                                    << "kv7-test: option '--port' is given twice" + tryHelp;
        QTest::newRow("the same port twice") << QStringList{"--port=COM2", "-port", "COM2"} << 2 << ""
                                             << "kv7-test: option '--port' is given twice" + tryHelp;
        QTest::newRow("speed twice") << QStringList{"--speed", "9600", "-reverse", "--speed=19200"} << 2 << ""
                                     << "kv7-test: option '--speed' is given twice" + tryHelp;
        QTest::newRow("log twice") << QStringList{"--log", "/dev/null", "--log", "/dev/null"} << 2 << ""
                                   << "kv7-test: option '--log' is given twice" + tryHelp;
    }
    void answeredWithoutADisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(KV7_TEST_PATH), args);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), err);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
        QCOMPARE(program.exitCode(), code);
    }

    void signalReleasesThePort_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalReleasesThePort()
    {
        QFETCH(int, signal);
        QTemporaryDir runtime;
        const QString folder = runtime.filePath(QStringLiteral("kv7-ports"));
        QVERIFY(QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        kv7::test::SimProcess sim;
        QVERIFY(sim.Start(folder, {QStringLiteral("--com"), QStringLiteral("1")}));
        const QString lock = kv7::LockFilePath(sim.Device());

        QProcess program;
        QProcessEnvironment env = WithoutDisplay();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        // The port and speed asked for, and a log of the session.
        const QString log = runtime.filePath(QStringLiteral("session.log"));
        program.start(QStringLiteral(KV7_TEST_PATH), {QStringLiteral("--port"), sim.Device(), QStringLiteral("--speed=19200"),
                                                      QStringLiteral("--log"), log});
        QVERIFY(program.waitForStarted(5000));
        // Its lock names it once the port is open.
        const QByteArray pid = QByteArray::number(program.processId());
        QVERIFY(kv7::test::WaitUntil([&] { return LockHolder(lock) == pid; }, 10000));
        QCOMPARE(::kill(pid_t(program.processId()), signal), 0);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        QVERIFY(!QFile::exists(lock));
        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArrayList lines = record.readAll().split('\n');
        const QByteArray port = "COM1 " + sim.Device().toLatin1() + " at 19200,n,8,1";
        QVERIFY(lines.value(0).endsWith(port + ", closed"));
        QVERIFY(lines.value(1).endsWith("* " + port + " opened"));
        QVERIFY(lines.value(2).endsWith("* COM1 closed"));
    }

    // The X server ends under the window (a logout, a crash, a dropped ssh
    // -X): Qt ends the program with exit(), and the port's lock goes too.
    void displayLossReleasesThePort()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("needs Xvfb");
        QTemporaryDir runtime;
        const QString folder = runtime.filePath(QStringLiteral("kv7-ports"));
        QVERIFY(QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        kv7::test::SimProcess sim;
        QVERIFY(sim.Start(folder));
        const QString lock = kv7::LockFilePath(sim.Device());

        QProcess server;
        // It prints the display number it took once it is ready.
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24")});
        QVERIFY(server.waitForStarted(5000));
        QVERIFY(kv7::test::WaitUntil([&] { return server.canReadLine(); }, 10000));
        const QString display = QStringLiteral(":") + QString::fromLatin1(server.readLine().trimmed());

        QProcess program;
        QProcessEnvironment env = WithoutDisplay();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KV7_TEST_PATH), {QStringLiteral("--port"), sim.Device()});
        QVERIFY(program.waitForStarted(5000));
        const QByteArray pid = QByteArray::number(program.processId());
        QVERIFY(kv7::test::WaitUntil([&] { return LockHolder(lock) == pid; }, 10000));
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
        QVERIFY(program.waitForFinished(10000));
        QVERIFY2(program.readAllStandardError().contains("X11 connection broke"), "ended by the display's loss");
        QVERIFY(!QFile::exists(lock));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
