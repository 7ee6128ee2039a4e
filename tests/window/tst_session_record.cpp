// The window's session log: what it wrote and read, the port's fate and
// every message, started from the pane's menu or at start-up; a log that
// cannot be opened or written is told once and the window goes on.
#include "protocol/LogFormat.h"
#include "terminal/TerminalPane.h"
#include "tests/support/EventWait.h"
#include "tests/support/PaneMenu.h"
#include "tests/support/WindowRig.h"

#include <QSettings>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace kv7;

namespace {

// The marks and texts of a log file's entries, "> <1>GV <4>" and so on.
QStringList Entries(const QString &path)
{
    QStringList out;
    for (const QByteArray &line : test::ReadFile(path).split('\n')) {
        if (const std::optional<LogEntry> entry = ParseLogLine(line))
            out << QString::fromLatin1(QByteArray(1, entry->mark) + ' ' + EscapeBytes(entry->bytes));
    }
    return out;
}

bool ChooseLogToFile(TerminalPane *pane)
{
    return test::ChooseInMenu(pane, QStringLiteral("&Log to File…"));
}

} // namespace

class TestSessionRecord : public QObject {
    Q_OBJECT
private slots:
    void recordsBothDirectionsThePortAndMessages()
    {
        test::WindowRig rig({1});
        const QString path = rig.FilePath(QStringLiteral("bench.log"));
        rig.dialogs.answers << path;
        QVERIFY(!ChooseLogToFile(rig.form->terminalPane));
        QCOMPARE(rig.dialogs.saves, 1);
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("KV7 Test 1.0 - logging to ") + path);
        rig.form->Form_Load();
        rig.form->Command1_Click(Buttons::GetVersion);
        rig.serial.Feed(QByteArray("\x01RGV \x02" "1.0<\xe9\x04"));
        rig.serial.loseAtWrite = int(rig.serial.writes.size());
        rig.form->Command1_Click(Buttons::GetVersion);
        QVERIFY(ChooseLogToFile(rig.form->terminalPane)); // checked: it stops
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("KV7 Test 1.0"));
        rig.form->Command1_Click(Buttons::GetBattery); // not in the log any more

        const QStringList entries = Entries(path);
        QCOMPARE(entries.mid(1), (QStringList{
            "* COM1 /dev/null at 9600,n,8,1 opened",
            "> <1>GV <4>",
            "< <1>RGV <2>1.0<60><233><4>",
            "* COM1 lost: input/output error",
            "* message: The connection to COM1 was lost. | It opens again by itself when the device is back, or choose another port in the port list.",
            "* log stopped",
        }));
        QVERIFY(entries.value(0).startsWith(QStringLiteral("* log started by KV7 Test ")));
        QVERIFY2(entries.value(0).endsWith(QStringLiteral("; COM1 /dev/null at 9600,n,8,1, closed")), qPrintable(entries.value(0)));
    }

    // A new speed closes the port and opens it again: both are entries, the
    // close named by the port alone, the open with its new settings.
    void recordsTheCloseAndTheOpenOfANewSpeed()
    {
        test::WindowRig rig({1});
        const QString path = rig.FilePath(QStringLiteral("bench.log"));
        rig.form->Form_Load({}, QStringLiteral("9600"), path);
        rig.form->speedList->setCurrentText(QStringLiteral("19200"));
        rig.form->Combo1_Click();
        QCOMPARE(Entries(path).mid(1), (QStringList{
            "* COM1 /dev/null at 9600,n,8,1 opened",
            "* COM1 closed",
            "* COM1 /dev/null at 19200,n,8,1 opened",
        }));
    }

    // A file that cannot be opened: one message, no log. A log whose file
    // fails later (its reader gone, as a full disk fails): one message after
    // the write, and the caption says no more that it logs.
    void failuresAreToldOnce()
    {
        test::WindowRig rig({1});
        rig.form->Form_Load();
        QVERIFY(!rig.form->StartLog(rig.dir.path()));
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral(
            "The session log %1 cannot be opened; the window goes on without it.").arg(rig.dir.path())});

        std::signal(SIGPIPE, SIG_IGN);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const QString pipe = QStringLiteral("/proc/self/fd/%1").arg(fds[1]);
        QVERIFY(rig.form->StartLog(pipe));
        ::close(fds[1]);
        ::close(fds[0]);
        rig.form->Command1_Click(Buttons::GetVersion);
        rig.form->Command1_Click(Buttons::GetBattery);
        QTRY_COMPARE(rig.messages.texts.size(), 2);
        QCOMPARE(rig.messages.texts[1], QStringLiteral("The session log %1 could not be written; it has stopped.").arg(pipe));
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("KV7 Test 1.0"));
        QCOMPARE(rig.serial.writes.size(), 2); // the window went on
    }

    // A lost port opens again by itself, within a second: entries for it in
    // the log, no message box, the tooltip says when. Turned off in the
    // pane's menu, it stays closed, and the next window remembers that.
    void lostPortComesBackByItself()
    {
        // However it ends, the next test program finds the choice as a new user would.
        struct Forget {
            ~Forget() { QSettings(QStringLiteral("kv7-test"), QStringLiteral("kv7-test")).remove(QStringLiteral("port")); }
        } forget;
        test::WindowRig rig({1});
        const QString stable = rig.FilePath(QStringLiteral("usb-FTDI_A5-if00-port0"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), stable));
        rig.serial.factsOnOpen = {QStringLiteral("/dev/null"), stable, QStringLiteral("ftdi_sio"), 16, LowLatency::Refused};
        const QString path = rig.FilePath(QStringLiteral("bench.log"));
        rig.form->Form_Load({}, QStringLiteral("9600"), path);
        QVERIFY(rig.form->portList->toolTip().contains(QLatin1String("latency timer")));
        rig.serial.loseAtWrite = 0;
        rig.form->Command1_Click(Buttons::GetVersion);
        QVERIFY(test::WaitUntil([&] { return rig.serial.PortOpen(); }, 1000));
        QCOMPARE(rig.messages.texts.size(), 1);
        QVERIFY(rig.form->portList->toolTip().contains(QLatin1String("Reconnected by itself at ")));
        const QString opened = QStringLiteral("* COM1 /dev/null at 9600,n,8,1 opened (%1, ftdi_sio, latency timer 16 ms: "
                                              "low latency refused)").arg(stable);
        QCOMPARE(Entries(path).mid(Entries(path).size() - 2), (QStringList{opened, "* port back: COM1 /dev/null"}));

        QVERIFY(test::ChooseInMenu(rig.form->terminalPane, QStringLiteral("Reconnect &When the Port Is Back")));
        test::WindowRig next({1});
        next.form->Form_Load();
        next.serial.loseAtWrite = 0;
        next.form->Command1_Click(Buttons::GetVersion);
        QTest::qWait(600);
        QVERIFY(!next.serial.PortOpen());
        QCOMPARE(next.messages.details, QStringList{"Choose COM1 in the port list when the device is back."});
        QVERIFY(!test::ChooseInMenu(next.form->terminalPane, QStringLiteral("Reconnect &When the Port Is Back")));
        QVERIFY(test::WaitUntil([&] { return next.serial.PortOpen(); }, 1000));
    }
};

QTEST_MAIN(TestSessionRecord)
#include "tst_session_record.moc"
