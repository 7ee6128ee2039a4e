// Faults over a pseudo-terminal: the device vanishing in the middle of
// things, the window closed during long operations, a port held by another
// program.
#include "app/RealProgressBar.h"
#include "uploads/SampleUpload.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

#include <optional>

using namespace kv7;
using test::SimLink;

namespace {

const QString Lost = QStringLiteral("The connection to COM1 was lost.");

// The simulator comes back on the same number and the user picks the port.
bool ComeBack(SimLink &link)
{
    if (!link.sim.Start(link.dir.path(), {QStringLiteral("--com"), QStringLiteral("1")}))
        return false;
    // The window opens it again by itself, within a second.
    if (!test::WaitUntil([&] { return link.serial->PortOpen(); }, 1500) ||
        !link.form->portList->toolTip().contains(QLatin1String("Reconnected by itself at ")) ||
        link.form->UploadActive())
        return false;
    link.form->Command1_Click(Buttons::GetVersion);
    return test::WaitUntil([&] { return link.form->replyLine->text().contains(QStringLiteral("KV7-SIM")); }, 5000);
}

} // namespace

class TestFaultLink : public QObject {
    Q_OBJECT
private slots:
    // A device that goes away is reported once, ends what was running
    // with the window and the port's settings put back, and is found again
    // when the user chooses the port once it is back.
    void vanishingDeviceIsReportedOnce_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("message");
        QTest::newRow("idle") << "idle" << Lost;
        QTest::newRow("a paced run") << "paced" << Lost;
        QTest::newRow("a sample upload") << "sample" << Lost;
        QTest::newRow("a firmware upload")
            << "firmware" << QStringLiteral("The firmware upload stopped: the connection to COM1 was lost.");
    }
    void vanishingDeviceIsReportedOnce()
    {
        QFETCH(QString, during);
        QFETCH(QString, message);
        SimLink link;
        QVERIFY(link.Start({}));
        const QString path = link.FilePath(QStringLiteral("file"));
        QVERIFY(test::WriteFile(path, QByteArray(during == "firmware" ? 4 << 20 : 64 << 10, 'x')));
        link.form->sampleFileBox->setText(path);
        link.form->firmwareFileBox->setText(path);
        if (during == "idle") {
            link.sim.Stop();
        } else if (during == "firmware") {
            link.form->StartUpload();
            QVERIFY(test::WaitUntil([&] { return link.form->uploadProgress->Value() > 20; }, 10000));
            link.sim.Stop();
        } else {
            // "Get Gains" sends 8 frames 50 ms apart; the sample upload 2048 lines.
            QTimer::singleShot(150, [&] { link.sim.Stop(); });
            link.form->Command1_Click(during == "paced" ? Buttons::GetGains : Buttons::UploadSample);
        }
        QVERIFY(test::WaitUntil([&] { return !link.messages.texts.isEmpty() && !link.form->UploadActive(); }, 5000));
        QCOMPARE(link.messages.texts, QStringList{message});
        QCOMPARE(link.messages.details, QStringList{"It opens again by itself when the device is back, or choose another port in the port list."});
        QVERIFY(!link.serial->PortOpen());
        QVERIFY(!link.form->Sample().Running());
        QVERIFY(!link.form->uploadProgress->isVisibleTo(link.form.get()));
        QVERIFY(link.form->commandButtons[Buttons::UploadFirmware]->isEnabled());
        QCOMPARE(link.serial->Settings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(ComeBack(link));
        QCOMPARE(link.messages.texts.size(), 1);
    }

    // An adapter back under another number is followed by its stable name,
    // and the port list shows where it is now.
    void adapterBackUnderAnotherNumberIsFollowed()
    {
        SimLink link;
        QTemporaryDir names;
        QVERIFY(QDir(names.path()).mkpath(QStringLiteral("by-id")));
        const QString stable = names.filePath(QStringLiteral("by-id/usb-KV7_A5-if00"));
        link.roots.serialNames = names.path();
        QVERIFY(link.sim.Start(link.dir.path(), {QStringLiteral("--com"), QStringLiteral("1")}));
        QVERIFY(QFile::link(link.sim.Device(), stable));
        QVERIFY(link.Open());
        QCOMPARE(link.serial->Facts().stableName, stable);
        link.sim.Stop();
        QVERIFY(test::WaitUntil([&] { return !link.messages.texts.isEmpty(); }, 5000));
        QVERIFY(QFile::remove(stable));
        QVERIFY(link.sim.Start(link.dir.path(), {QStringLiteral("--com"), QStringLiteral("2")}));
        QVERIFY(QFile::link(link.sim.Device(), stable));
        QVERIFY(test::WaitUntil([&] { return link.serial->PortOpen(); }, 1500));
        QCOMPARE(link.form->portList->currentText(), QStringLiteral("COM2"));
        link.form->Command1_Click(Buttons::GetVersion);
        QVERIFY(test::WaitUntil([&] { return link.form->replyLine->text().contains(QStringLiteral("KV7-SIM")); },
                                5000));
        QCOMPARE(link.messages.texts.size(), 1);
    }

    void closingTheWindowEndsLongOperationsAtOnce_data()
    {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<bool>("byExit");
        QTest::newRow("paced run, window closed") << QByteArray("paced") << false;
        QTest::newRow("paced run, EXIT") << QByteArray("paced") << true;
        QTest::newRow("sample wait, window closed") << QByteArray("sample") << false;
        QTest::newRow("sample wait, EXIT") << QByteArray("sample") << true;
        // The firmware upload disables EXIT with every other control.
        QTest::newRow("firmware upload, window closed") << QByteArray("firmware") << false;
    }
    void closingTheWindowEndsLongOperationsAtOnce()
    {
        QFETCH(QByteArray, operation);
        QFETCH(bool, byExit);
        SimLink link;
        QVERIFY(link.Start({QStringLiteral("--silent")}));
        int exitCode = -1;
        bool portOpenAtExit = true;
        bool returned = false;
        bool inside = false; // the operation was still under way at the exit
        link.form->ExitProgram = [&](int code) {
            exitCode = code;
            portOpenAtExit = link.serial->PortOpen();
            inside = operation == "firmware" ? link.form->UploadActive() : !returned;
        };
        const QString path = link.FilePath(QStringLiteral("file"));
        QVERIFY(test::WriteFile(path, QByteArray(1000, 's')));
        link.form->sampleFileBox->setText(path);
        link.form->firmwareFileBox->setText(path);
        QTimer::singleShot(100, [&] {
            if (byExit)
                link.form->clearExitButtons[1]->click();
            else
                link.form->close();
        });
        if (operation == "paced")
            link.form->Command1_Click(Buttons::GetGains);
        else if (operation == "sample")
            link.form->Command1_Click(Buttons::UploadSample); // waits for an area reply that never comes
        else
            link.form->StartUpload(); // the silent boot loader never answers
        returned = true;
        QVERIFY(test::WaitUntil([&] { return exitCode == 0; }, 5000));
        QVERIFY(!portOpenAtExit);
        // In the middle of the wait, not once the operation is over.
        QVERIFY(inside);
    }

    // Held through QSerialPort's lock, as another terminal program holds a
    // port; or the terminal of a shell in its own session, where a stale
    // link could lead once the kernel hands that pty to a new terminal tab.
    void portHeldByAnotherProgramSaysSo_data()
    {
        QTest::addColumn<bool>("shell");
        QTest::newRow("locked") << false;
        QTest::newRow("a shell's terminal") << true;
    }
    void portHeldByAnotherProgramSaysSo()
    {
        QFETCH(bool, shell);
        SimLink link;
        QVERIFY(link.Start({}));
        link.form.reset(); // release the port
        link.serial.reset();
        const QString device = link.sim.Device();
        // The lock names its holder: here, this program.
        QString said = QStringLiteral("%1 is in use by another program: it is held by %2 (process %3).")
                           .arg(device, QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid());
        std::optional<QSerialPort> holder;
        QProcess session; // as a shell in a terminal tab: its own session, the pty its terminal
        if (shell) {
            session.setStandardInputFile(device);
            session.start(QStringLiteral("setsid"), {QStringLiteral("--ctty"), QStringLiteral("sleep"), QStringLiteral("60")});
            QVERIFY(session.waitForStarted(5000));
            // setsid takes the terminal, then becomes sleep.
            QVERIFY(test::WaitUntil([&] { return test::ReadFile(QStringLiteral("/proc/%1/comm").arg(session.processId())) == "sleep\n"; }, 5000));
            said = QStringLiteral("%1 is in use by another program: it is the terminal of sleep (process %2).")
                       .arg(device)
                       .arg(session.processId());
        } else {
            holder.emplace(device);
            QVERIFY(holder->open(QIODevice::ReadWrite));
        }
        // At start-up, and on choosing it again.
        QVERIFY(!link.Open());
        QCOMPARE(link.messages.texts, QStringList{QStringLiteral("Error while trying to open COM1.")});
        QCOMPARE(link.messages.details.value(0), said);
        emit link.form->portList->activated(0);
        QCOMPARE(link.messages.texts.size(), 2);
        QCOMPARE(link.messages.details[1], link.messages.details[0]);
        if (shell) {
            session.kill(); // its end hangs the terminal up: nothing is left to open there
            QVERIFY(session.waitForFinished(5000));
            return;
        }
        holder.reset();
        emit link.form->portList->activated(0);
        QVERIFY(link.serial->PortOpen());
        QCOMPARE(link.messages.texts.size(), 2);
    }
};

QTEST_MAIN(TestFaultLink)
#include "tst_fault_link.moc"
