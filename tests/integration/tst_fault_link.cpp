// Faults over a pseudo-terminal: the device vanishing in the middle of
// things, the window closed during long operations, a port held by another
// program.
#include "commands/SampleUpload.h"
#include "firmware/FirmwareUpload.h"
#include "app/RealProgressBar.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

#include <cstdio>

using namespace kv7;
using test::SimLink;

namespace {

const QString Lost = QStringLiteral("The connection to COM1 was lost.");

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The simulator comes back on the same number and the user picks the port.
bool ComeBack(SimLink &link)
{
    if (!link.sim.Start(link.dir.path(), {QStringLiteral("--com"), QStringLiteral("1")}))
        return false;
    link.form->cmbCommPort->setCurrentIndex(0);
    emit link.form->cmbCommPort->activated(0);
    if (!link.serial->PortOpen())
        return false;
    link.form->Command1_Click(0); // "Get Version"
    return test::WaitUntil([&] { return link.form->Text2->text().contains(QStringLiteral("KV7-SIM")); }, 5000);
}

// Another program holding a port: this test program run with --hold.
struct Holder {
    bool Start(const QString &device)
    {
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), device});
        return process.waitForReadyRead(5000) && process.readAllStandardOutput().startsWith("held");
    }
    ~Holder()
    {
        process.closeWriteChannel();
        process.waitForFinished(5000);
    }
    QProcess process;
};

int Hold(const QString &device)
{
    QSerialPort port(device);
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    // Until the test closes our input.
    char c;
    while (std::fread(&c, 1, 1, stdin) == 1) {
    }
    return 0;
}

} // namespace

class TestFaultLink : public QObject {
    Q_OBJECT
private slots:
    void vanishingWhileIdleIsReportedOnceAndRecovers()
    {
        SimLink link;
        QVERIFY(link.Start({}));
        link.sim.Stop();
        QVERIFY(test::WaitUntil([&] { return !link.serial->PortOpen(); }, 5000));
        QCOMPARE(link.messages.texts, QStringList{Lost});
        QVERIFY(ComeBack(link));
        QCOMPARE(link.messages.texts, QStringList{Lost});
    }

    void vanishingDuringAPacedRunEndsItWithOneReport()
    {
        SimLink link;
        QVERIFY(link.Start({}));
        QTimer::singleShot(100, [&] { link.sim.Stop(); });
        link.form->Command1_Click(3); // "Get Gains": 8 frames, 50 ms apart
        QVERIFY(test::WaitUntil([&] { return !link.messages.texts.isEmpty(); }, 5000));
        QCOMPARE(link.messages.texts, QStringList{Lost});
        QVERIFY(ComeBack(link));
    }

    void vanishingDuringASampleUploadEndsIt()
    {
        SimLink link;
        QVERIFY(link.Start({}));
        const QString path = link.FilePath(QStringLiteral("long.SSS"));
        QVERIFY(WriteFile(path, QByteArray(64 * 1024, 'x')));
        link.form->Text15->setText(path);
        QTimer::singleShot(200, [&] { link.sim.Stop(); });
        QElapsedTimer clock;
        clock.start();
        link.form->Command1_Click(32);
        QVERIFY(clock.elapsed() < 4000); // not a reply time-out
        QVERIFY(!link.form->Sample().Running());
        QCOMPARE(link.messages.texts, QStringList{Lost});
        QVERIFY(!link.form->ProgressBar1->isVisibleTo(link.form.get()));
        QVERIFY(ComeBack(link));
    }

    void vanishingDuringAFirmwareUploadRestoresTheWindow()
    {
        SimLink link;
        QVERIFY(link.Start({}));
        const QString path = link.FilePath(QStringLiteral("big.bin"));
        QVERIFY(WriteFile(path, QByteArray(4 * 1024 * 1024, 'f')));
        link.form->Text5->setText(path);
        link.form->StartUpload();
        QVERIFY(test::WaitUntil([&] { return link.form->ProgressBar1->Value() > 20; }, 10000));
        link.sim.Stop();
        QVERIFY(test::WaitUntil([&] { return !link.form->UploadActive(); }, 5000));
        QCOMPARE(link.messages.texts,
                 QStringList{QStringLiteral("The firmware upload stopped: the connection to COM1 was lost.")});
        QCOMPARE(link.serial->Settings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(link.form->Command1[36]->isEnabled());
        QVERIFY(!link.form->Firmware().StallTimer.isActive());
        QVERIFY(ComeBack(link));
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
        QElapsedTimer clock;
        qint64 exitAfterMs = -1;
        link.form->ExitProgram = [&](int code) {
            exitCode = code;
            portOpenAtExit = link.serial->PortOpen();
            exitAfterMs = clock.elapsed();
        };
        const QString path = link.FilePath(QStringLiteral("file"));
        QVERIFY(WriteFile(path, QByteArray(1000, 's')));
        link.form->Text15->setText(path);
        link.form->Text5->setText(path);
        clock.start();
        QTimer::singleShot(100, [&] {
            if (byExit)
                link.form->Command2[1]->click();
            else
                link.form->close();
        });
        if (operation == "paced")
            link.form->Command1_Click(3);
        else if (operation == "sample")
            link.form->Command1_Click(32); // waits for an area reply that never comes
        else
            link.form->StartUpload(); // the silent boot loader never answers
        QVERIFY(test::WaitUntil([&] { return exitCode == 0; }, 3000));
        QVERIFY(!portOpenAtExit);
        // In the middle of the wait (a paced run alone takes 400 ms), not
        // once the operation is over.
        QVERIFY2(exitAfterMs >= 100 && exitAfterMs < 300, qPrintable(QString::number(exitAfterMs)));
    }

    void portHeldByAnotherProgramSaysSo()
    {
        SimLink link;
        QVERIFY(link.Start({}));
        link.form.reset(); // release the port
        link.serial.reset();
        {
            Holder holder;
            QVERIFY(holder.Start(link.sim.Device()));
            // At start-up.
            link.serial = std::make_unique<QtSerialControl>(*link.map);
            link.form = std::make_unique<Form1>(*link.serial, *link.map, link.messages, link.dialogs);
            link.form->Form_Load();
            QVERIFY(!link.serial->PortOpen());
            QCOMPARE(link.messages.texts, QStringList{QStringLiteral("Error while trying to open COM1.")});
            QVERIFY2(link.messages.details.value(0).endsWith(QStringLiteral("The port is in use by another program.")),
                     qPrintable(link.messages.details.value(0)));
            // On choosing it.
            emit link.form->cmbCommPort->activated(0);
            QCOMPARE(link.messages.texts.size(), 2);
            QCOMPARE(link.messages.details[1], link.messages.details[0]);
        }
        emit link.form->cmbCommPort->activated(0);
        QVERIFY(link.serial->PortOpen());
        QCOMPARE(link.messages.texts.size(), 2);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--hold") {
        QCoreApplication app(argc, argv);
        return Hold(QString::fromLocal8Bit(argv[2]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestFaultLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fault_link.moc"
