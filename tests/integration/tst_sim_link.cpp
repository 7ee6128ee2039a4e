#include "gains/GainSlider.h"
#include "terminal/StatusLamp.h"
#include "terminal/TerminalPane.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QtTest>

#include <array>
#include <csignal>

using namespace kv7;
using Link = test::SimLink;

class TestSimLink : public QObject {
    Q_OBJECT
private slots:
    // "Get Gains" end to end: eight reports fill the sliders and boxes, the
    // moved sliders echo their gains, and the last echo is the last reply.
    void getGainsFillsTheSliders()
    {
        Link link;
        QVERIFY(link.Start({QStringLiteral("--gains"), QStringLiteral("10,20,30,40,50,60,70,127")}));
        QCOMPARE(link.serial->CommPort(), link.sim.Port());
        link.form->Command1_Click(Buttons::GetGains);
        for (int i = 0; i < 8; ++i) {
            const int expected = i == 7 ? 127 : 10 * (i + 1);
            QTRY_COMPARE_WITH_TIMEOUT(link.form->gainSliders[size_t(i)]->Gain(), expected, 5000);
            QCOMPARE(link.form->gainValues[size_t(i)]->text(), QString::number(expected));
        }
        QTRY_COMPARE_WITH_TIMEOUT(link.form->replyLine->text(), QStringLiteral("<1>RAV <2>8127<4>"), 5000);
        QCOMPARE(link.form->statusLamp->FillColour(), QColor(0, 255, 0));
        QVERIFY(link.form->terminalPane->Text().startsWith(QByteArray("\x01RGAV\x02" "1010\x04")));
        QVERIFY(link.messages.texts.isEmpty());
    }

    void repliesBackToBackAreBothShown()
    {
        Link link;
        QVERIFY(link.Start({QStringLiteral("--double"), QStringLiteral("--split")}));
        QVERIFY(link.serial->Output(QByteArray("\x01GAV\x02" "8\x04", 7)).ok());
        // Two identical replies: both must be taken, none left behind.
        QTRY_COMPARE_WITH_TIMEOUT(link.form->terminalPane->Text().count('\x04'), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(link.form->Line().RxBuffer.IsEmpty(), 5000);
        QCOMPARE(link.form->replyLine->text(), QStringLiteral("<1>RGAV<2>8000<4>"));
    }

    void wireTakesTheLineTimeBothWays()
    {
        Link link;
        QVERIFY(link.Start({QStringLiteral("--wire")}));
        // Echoed with its parameter: about as many bytes back as out, so a
        // direction that is not paced misses the lower bound.
        const QByteArray frame = "\x01ZZZ\x02" + QByteArray(200, 'w') + "\x04";
        QElapsedTimer clock;
        clock.start();
        QVERIFY(link.serial->Output(frame).ok());
        QVERIFY(test::WaitUntil([&] { return link.form->terminalPane->Text().contains('\x04'); }, 10000));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double line = double(frame.size() + frame.size() + 1) / 960; // 8N1 at 9600
        QVERIFY2(seconds >= 0.95 * line && seconds <= line + 3,
                 qPrintable(QStringLiteral("%1 s for a line time of %2 s").arg(seconds).arg(line)));
    }

    // Behind an adapter's latency timer a short reply waits it out, with a
    // paced line too.
    void latencyHoldsReplies_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("pty") << QStringList{"--latency", "150"};
        QTest::newRow("wire") << QStringList{"--wire", "--latency", "150"};
    }
    void latencyHoldsReplies()
    {
        QFETCH(QStringList, options);
        Link link;
        QVERIFY(link.Start(options));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(link.serial->Output("\x01GV \x04").ok());
        QVERIFY(test::WaitUntil([&] { return link.form->terminalPane->Text().contains('\x04'); }, 5000));
        QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
    }

    // kv7-sim with its output on a pipe, ended every way but SIGKILL: its
    // link and marker go, and short of a fatal signal it exits with 0, even
    // once the reader of its output has gone.
    void simRemovesItsLinkHoweverItEnds_data()
    {
        QTest::addColumn<int>("signal"); // 0: none; it prints "stream done" after a second
        QTest::addColumn<QString>("reader");
        QTest::newRow("SIGINT") << SIGINT << "cat";
        QTest::newRow("SIGTERM, the reader gone: the report fails") << SIGTERM << "head";
        QTest::newRow("the reader gone, then a line to print") << 0 << "head";
        QTest::newRow("SIGABRT, as on a fatal error") << SIGABRT << "cat";
    }
    void simRemovesItsLinkHoweverItEnds()
    {
        QFETCH(int, signal);
        QFETCH(QString, reader);
        QTemporaryDir dir;
        QProcess sim;
        QProcess lines; // "head" takes one line and goes
        sim.setStandardOutputProcess(&lines);
        sim.setWorkingDirectory(dir.path()); // for the core file SIGABRT may leave
        lines.start(reader, reader == "head" ? QStringList{QStringLiteral("-n1")} : QStringList());
        sim.start(QStringLiteral(KV7_SIM_PATH), {QStringLiteral("--folder"), dir.path(), QStringLiteral("--stream"), QStringLiteral("1")});
        QTRY_VERIFY(lines.canReadLine());
        const QString link = dir.filePath(QString::fromLatin1(lines.readLine().split(' ').first()));
        QVERIFY(QFileInfo(link).isSymLink() && QFile::exists(link + QStringLiteral(".kv7-sim")));
        if (reader == "head")
            QTRY_COMPARE(lines.state(), QProcess::NotRunning);
        if (signal != 0)
            ::kill(pid_t(sim.processId()), signal);
        QVERIFY(sim.waitForFinished());
        QCOMPARE(sim.exitStatus() == QProcess::CrashExit, signal == SIGABRT);
        QCOMPARE(sim.exitCode(), signal == SIGABRT ? SIGABRT : 0);
        QVERIFY(!QFileInfo(link).isSymLink() && !QFile::exists(link + QStringLiteral(".kv7-sim")));
    }

    // COM1 is a link when kv7-sim starts: only a stale one of its own, made
    // for the same device by a kv7-sim that has ended, may it replace.
    void simReplacesOnlyItsOwnStaleLinks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("marker"); // empty: none
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("port"); // 0: refused
        const QString unplugged = QStringLiteral("/nonexistent/ttyUSB0");
        const QString ended = QStringLiteral("2147483647\n"); // a pid no process has
        const QString running = QString::number(QCoreApplication::applicationPid()) + '\n';
        const QStringList com1{QStringLiteral("--com"), QStringLiteral("1")};
        QTest::newRow("served") << "/dev/null" << "" << QStringList() << 2;
        QTest::newRow("the user's, unplugged") << unplugged << "" << QStringList() << 2;
        QTest::newRow("the user's, unplugged, asked for") << unplugged << "" << com1 << 0;
        QTest::newRow("an ended kv7-sim's") << unplugged << ended + unplugged << QStringList() << 1;
        QTest::newRow("an ended kv7-sim's, asked for") << unplugged << ended + unplugged << com1 << 1;
        QTest::newRow("a running process's") << unplugged << running + unplugged << QStringList() << 2;
        QTest::newRow("an ended kv7-sim's, for another device") << unplugged << ended + "/dev/ttyUSB1" << QStringList() << 2;
    }
    void simReplacesOnlyItsOwnStaleLinks()
    {
        QFETCH(QString, target);
        QFETCH(QString, marker);
        QFETCH(QStringList, options);
        QFETCH(int, port);
        QTemporaryDir dir;
        const QString com1 = PortFolder::LinkPath(dir.path(), 1);
        QVERIFY(QFile::link(target, com1));
        QVERIFY(marker.isEmpty() || test::WriteFile(com1 + QStringLiteral(".kv7-sim"), (marker + '\n').toUtf8()));
        if (port == 0) {
            QProcess sim;
            sim.start(QStringLiteral(KV7_SIM_PATH), QStringList{QStringLiteral("--folder"), dir.path()} + options);
            QVERIFY(sim.waitForFinished());
            QCOMPARE(sim.exitCode(), 2);
            QVERIFY(sim.readAllStandardError().contains(QFile::encodeName(com1 + QStringLiteral(" -> ") + target)));
        } else {
            test::SimProcess sim;
            QVERIFY(sim.Start(dir.path(), options));
            QCOMPARE(sim.Port(), port);
            sim.Stop();
            const QString link = PortFolder::LinkPath(dir.path(), port);
            QVERIFY(!QFileInfo(link).isSymLink() && !QFile::exists(link + QStringLiteral(".kv7-sim")));
        }
        if (port != 1)
            QCOMPARE(QFile::symLinkTarget(com1), target);
    }

    // A kv7-sim killed with SIGKILL leaves its link, and the kernel gives its
    // pty to the next program that asks. That link is no port, and the next
    // kv7-sim asked for its number takes it over.
    void killedSimsLinkIsTakenOver()
    {
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        test::SimProcess killed;
        QVERIFY(killed.Start(dir.path(), {QStringLiteral("--com"), QStringLiteral("5")}));
        const qint64 pid = killed.Pid();
        const QString com5 = PortFolder::LinkPath(dir.path(), 5);
        const QString marker = com5 + QStringLiteral(".kv7-sim");
        const QByteArray written = test::ReadFile(marker);
        QCOMPARE(written.split('\n').size(), 4); // pid, target, start time and the last line's end
        ::kill(pid_t(pid), SIGKILL);
        killed.Stop();
        QVERIFY(QFileInfo(com5).isSymLink() && QFile::exists(marker));
        // Whatever number the other program's pty got, the link leads to it,
        // as it would once the killed one's number came round again.
        test::SimProcess other;
        QVERIFY(other.Start(elsewhere.path(), {QStringLiteral("--status"), QStringLiteral("Z")}));
        QVERIFY(QFile::remove(com5) && QFile::link(other.Device(), com5));
        QList<QByteArray> lines = written.split('\n');
        lines[1] = QFile::encodeName(other.Device());
        QVERIFY(test::WriteFile(marker, lines.join('\n')));

        const PortMap map(dir.path(), false);
        QVERIFY(!map.PortExists(5));
        QCOMPARE(map.Absence(5), QStringLiteral("COM5 was left by kv7-sim (process %1), which no longer runs").arg(pid));
        {
            // The window asked for that port says the same.
            test::WindowRig window({});
            QVERIFY(QFile::link(other.Device(), PortFolder::LinkPath(window.dir.path(), 5)));
            QVERIFY(test::WriteFile(PortFolder::LinkPath(window.dir.path(), 5) + QStringLiteral(".kv7-sim"), lines.join('\n')));
            window.form->Form_Load(QStringLiteral("COM5"));
            QCOMPARE(window.messages.details.value(0), map.Absence(5) + QLatin1Char('.'));
        }

        test::SimProcess next;
        QVERIFY(next.Start(dir.path(), {QStringLiteral("--com"), QStringLiteral("5")}));
        QCOMPARE(next.Port(), 5);
        QCOMPARE(QFile::symLinkTarget(com5), next.Device());
        QVERIFY(PortMap(dir.path(), false).PortExists(5));
        next.Stop();
        QVERIFY(!QFileInfo(com5).isSymLink() && !QFile::exists(marker));
    }

    // Simulators started at once in an empty folder: each takes a number of
    // its own, and each removes only what it made.
    void simsStartedAtOnceTakeNumbersOfTheirOwn()
    {
        for (int round = 0; round < 20; ++round) {
            QTemporaryDir dir;
            std::array<test::SimProcess, 4> sims;
            for (test::SimProcess &sim : sims)
                sim.Launch(dir.path());
            QSet<int> ports;
            for (test::SimProcess &sim : sims) {
                QVERIFY2(sim.AwaitPort(), qPrintable(QStringLiteral("round %1").arg(round)));
                ports.insert(sim.Port());
                const QString link = PortFolder::LinkPath(dir.path(), sim.Port());
                QCOMPARE(QFile::symLinkTarget(link), sim.Device());
                QVERIFY(test::ReadFile(link + QStringLiteral(".kv7-sim")).startsWith(QByteArray::number(sim.Pid()) + '\n'));
            }
            QCOMPARE(ports, (QSet<int>{1, 2, 3, 4}));
            for (const test::SimProcess &sim : sims)
                ::kill(pid_t(sim.Pid()), SIGTERM);
            for (test::SimProcess &sim : sims)
                sim.Stop();
            const QStringList left =
                QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
            QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(left.join(QLatin1Char(' ')))));
        }
    }
};

QTEST_MAIN(TestSimLink)
#include "tst_sim_link.moc"
