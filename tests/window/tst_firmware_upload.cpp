#include "app/RealProgressBar.h"
#include "uploads/FirmwareUpload.h"
#include "gains/GainSlider.h"
#include "terminal/TerminalPane.h"
#include "tests/support/TransferBytes.h"
#include "tests/support/WindowRig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace kv7;
using namespace kv7::test;

namespace {

const QByteArray BootFrame("\x01$BT\x02\x04");

// The window on COM1 at 9600, with a firmware image on disk.
struct Upload : test::WindowRig {
    explicit Upload(const QByteArray &image = QByteArray(300, 'x')) : WindowRig({1})
    {
        form->Form_Load();
        path = dir.filePath(QStringLiteral("image.bin"));
        test::WriteFile(path, image);
        form->firmwareFileBox->setText(path);
        // What the user sees around each message: the steps of an ending
        // in their order.
        messages.onInform = [this] {
            atMessages << QStringLiteral("%1 %2 %3 %4")
                              .arg(serial.PortOpen() ? "open" : "closed", serial.Settings(),
                                   form->UploadActive() ? "active" : "idle",
                                   form->commandButtons[Buttons::UploadFirmware]->isEnabled() ? "enabled" : "disabled");
        };
    }

    // Starts the upload and brings it to the first frame request.
    void StartAndSync()
    {
        form->StartUpload();
        serial.writes.clear();
        serial.Feed(Sync);
    }

    QString path;
    QStringList atMessages;
};

} // namespace

class TestFirmwareUpload : public QObject {
    Q_OBJECT
private slots:
    void badPathsStopBeforeAnythingIsSent()
    {
        Upload up{QByteArray()};
        const QString empty = up.path;
        up.serial.writes.clear();

        up.form->firmwareFileBox->setText(QStringLiteral("   "));
        up.form->StartUpload();
        QVERIFY(up.messages.questions.isEmpty());

        up.messages.answers = {false};
        up.form->firmwareFileBox->setText(empty);
        up.form->StartUpload();
        QCOMPARE(up.messages.questions,
                 QStringList{QStringLiteral("Send file: Are you sure you want to upload file %1?").arg(empty)});
        QVERIFY(up.messages.texts.isEmpty());

        // Spaces around the path belong to it: no such file. A folder and a
        // device that never ends are no image either.
        const QString spaced = QStringLiteral(" %1 ").arg(empty);
        QStringList expected;
        for (const QString &path : {spaced, up.dir.path(), QStringLiteral("/dev/zero")}) {
            up.form->firmwareFileBox->setText(path);
            up.form->StartUpload();
            expected << QStringLiteral("File %1 does not exist. Aborting upload.").arg(path);
        }
        // An image larger than an upload may take is refused before it is read whole.
        QFile big(up.dir.filePath(QStringLiteral("big.bin")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(FirmwareTransfer::MaxImageBytes + 1));
        up.form->firmwareFileBox->setText(big.fileName());
        up.form->StartUpload();
        expected << QStringLiteral("File %1 cannot be uploaded. Aborting upload.").arg(big.fileName());
        QCOMPARE(up.messages.details.last(), QStringLiteral("It is larger than 67108864 bytes, the most this upload can take."));
        up.form->firmwareFileBox->setText(empty);
        up.form->StartUpload();
        QCOMPARE(up.messages.texts, expected << QStringLiteral("File %1 is empty. Aborting upload.").arg(empty));
        QVERIFY(up.serial.writes.isEmpty());
        QVERIFY(!up.form->uploadProgress->isVisibleTo(up.form.get()));
        QVERIFY(!up.form->UploadActive());
        QVERIFY(up.form->commandButtons[Buttons::UploadFirmware]->isEnabled());
    }

    void startSwitchesToTheBootLoaderAndDisablesTheWindow()
    {
        Upload up(QByteArray(1, 'z'));
        up.serial.writes.clear();
        QElapsedTimer clock;
        QList<qint64> at;
        up.serial.onWrite = [&](const QByteArray &) { at << clock.nsecsElapsed() / 1000000; };
        clock.start();
        up.form->StartUpload();
        QByteArrayList expected{BootFrame};
        for (int i = 0; i < 10; ++i)
            expected << Sync;
        QCOMPARE(up.serial.writes, expected);
        // 100 ms after the boot command, then 10 ms before each "{".
        QVERIFY2(at[1] - at[0] >= 110, qPrintable(QString::number(at[1] - at[0])));
        for (int i = 2; i < at.size(); ++i)
            QVERIFY2(at[i] - at[i - 1] >= 10, qPrintable(QString::number(at[i] - at[i - 1])));
        QCOMPARE(up.serial.opens.last().settings, QStringLiteral("115200,n,8,1"));
        QCOMPARE(up.serial.opens.last().port, 1);
        QCOMPARE(up.form->Firmware().SavedSettings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(up.form->UploadActive());
        QVERIFY(up.form->uploadProgress->isVisibleTo(up.form.get()));
        QCOMPARE(up.form->uploadProgress->Maximum(), 0.0078125);
        for (QWidget *control : std::initializer_list<QWidget *>{
                 up.form->commandButtons[Buttons::UploadFirmware], up.form->commandButtons[Buttons::GetVersion],
                 up.form->firmwareFileChooser, up.form->clearExitButtons[0], up.form->clearExitButtons[1],
                 up.form->firmwareFileBox, up.form->durationUnit, up.form->gainSliders[7], up.form->terminalPane,
                 up.form->portList, up.form->uploadProgress})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(!up.form->replyTimer->isActive());
        QVERIFY(up.form->firmwareTimeOut->isActive());
        QCOMPARE(up.form->firmwareTimeOut->interval(), 5000);
    }

    void fullExchangeEndsWithTheWindowRestored()
    {
        const QByteArray image(300, 'q');
        Upload up(image);
        up.StartAndSync();
        QCOMPARE(up.serial.writes, QByteArrayList{Sync});
        // From the first answer on, the limit is the stall limit.
        QVERIFY(up.form->firmwareTimeOut->isActive());
        QCOMPARE(up.form->firmwareTimeOut->interval(), 30000);
        up.serial.Feed(Nak);
        up.serial.Feed(Nak);
        up.serial.Feed(Ack + Nak); // two replies run together mean nothing
        QCOMPARE(up.serial.writes.size(), 3);
        QCOMPARE(up.serial.writes[1], up.serial.writes[2]);
        QCOMPARE(up.serial.writes[1].mid(0, 3), QByteArray("\x01\x01\xFE"));
        up.serial.Feed(Ack);
        QCOMPARE(up.form->uploadProgress->Value(), 1.0);
        up.serial.Feed(Ack);
        QCOMPARE(up.serial.writes.last().mid(0, 3), QByteArray("\x01\x03\xFC"));
        QCOMPARE(up.serial.writes.last().mid(3 + 44, 84), QByteArray(84, '\x1A'));
        up.serial.Feed(Ack);
        QCOMPARE(up.serial.writes.last(), Eot);
        QCOMPARE(up.form->uploadProgress->Value(), 2.0);
        QCOMPARE(up.form->uploadProgress->Maximum(), 2.34375);
        QVERIFY(up.messages.texts.isEmpty());
        up.serial.Feed(Ack);

        QCOMPARE(up.messages.texts, QStringList{QStringLiteral("Finished uploading firmware and all is OK!")});
        QCOMPARE(up.atMessages, QStringList{"closed 9600,n,8,1 active disabled"});
        QVERIFY(!up.form->UploadActive());
        QCOMPARE(up.serial.opens.last().settings, QStringLiteral("9600,n,8,1"));
        QVERIFY(up.serial.PortOpen());
        QVERIFY(!up.form->uploadProgress->isVisibleTo(up.form.get()));
        QVERIFY(up.form->commandButtons[Buttons::UploadFirmware]->isEnabled());
        QVERIFY(up.form->clearExitButtons[1]->isEnabled());
        QVERIFY(up.form->durationUnit->isEnabled());
        QVERIFY(!up.form->convertWaveButton->isEnabled());
        QVERIFY(up.form->replyTimer->isActive());
        QVERIFY(!up.form->firmwareTimeOut->isActive());
        // Nothing of the transfer reached the terminal.
        QCOMPARE(up.form->Line().RxBuffer.Size(), 0);
        QVERIFY(up.form->terminalPane->Text().isEmpty());
    }

    void silentDeviceTimesOutAndANewUploadStartsAfresh()
    {
        Upload up;
        up.form->StartUpload();
        up.form->Timer2_Timer(); // 5000 ms later
        QCOMPARE(up.messages.texts, QStringList{QStringLiteral("Firmware upload timeout.")});
        QCOMPARE(up.atMessages, QStringList{"open 115200,n,8,1 active disabled"});
        QCOMPARE(up.serial.opens.last().settings, QStringLiteral("9600,n,8,1"));
        QVERIFY(up.serial.PortOpen());
        QVERIFY(up.form->commandButtons[Buttons::UploadFirmware]->isEnabled());
        QVERIFY(!up.form->firmwareTimeOut->isActive());
        QVERIFY(!up.form->uploadProgress->isVisibleTo(up.form.get()));

        up.StartAndSync();
        up.serial.Feed(Nak);
        QCOMPARE(up.serial.writes.last().mid(0, 4), QByteArray("\x01\x01\xFEx"));
        QCOMPARE(up.messages.texts.size(), 1);
    }

    void deviceFallingSilentMidTransferTimesOut()
    {
        Upload up;
        up.StartAndSync();
        up.serial.Feed(Nak);
        up.serial.Feed(Ack);
        // A reply while the message is open is too late: no block, and the
        // stall timer stays off.
        qsizetype writes = -1;
        up.messages.onInform = [&up, &writes] {
            writes = up.serial.writes.size();
            up.serial.Feed(Ack);
        };
        QVERIFY(up.form->UploadActive());
        up.form->Timer2_Timer(); // 30 s later
        QVERIFY(!up.form->UploadActive());
        QCOMPARE(up.serial.writes.size(), writes);
        QVERIFY(!up.form->firmwareTimeOut->isActive());
        QCOMPARE(up.messages.texts, QStringList{QStringLiteral("Firmware upload timeout.")});
        QCOMPARE(up.serial.opens.last().settings, QStringLiteral("9600,n,8,1"));
        QVERIFY(up.form->firmwareFileChooser->isEnabled());
    }

    void largeImagesAreCountedExactly()
    {
        // 64 MiB: half a million blocks, still counted exactly.
        Upload big(QByteArray(64 * 1024 * 1024, '\x5A'));
        big.StartAndSync();
        big.serial.Feed(Nak);
        QCOMPARE(big.form->uploadProgress->Maximum(), 524288.0);
        QCOMPARE(big.serial.writes.last().size(), 132);
        QCOMPARE(big.serial.writes.last().right(1), QByteArray(1, char((128 * 0x5A) % 256)));
    }

    // Each way the serial side can fail gives one message and the window
    // and the port back once.
    void serialFailuresPutEverythingBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("at"); // the write that fails: 0 boot, 1-10 syncs, 12 the first block
        QTest::addColumn<QString>("messages");
        QTest::newRow("boot command, port closed") << "closed" << 0 << "The firmware upload did not start.";
        // The port refuses every open, the one at the old speed afterwards too.
        QTest::newRow("115200 refused") << "refused" << 1
                                        << "The firmware upload did not start.|Error while trying to open COM1.";
        QTest::newRow("block write fails") << "fail" << 12 << "The firmware upload stopped.";
        QTest::newRow("port lost in the boot command") << "lose" << 0 << "The connection to COM1 was lost.";
        QTest::newRow("port lost in a sync") << "lose" << 4 << "The firmware upload stopped: the connection to COM1 was lost.";
        QTest::newRow("port lost in a block") << "lose" << 12 << "The firmware upload stopped: the connection to COM1 was lost.";
    }
    void serialFailuresPutEverythingBack()
    {
        QFETCH(QString, how);
        QFETCH(int, at);
        QFETCH(QString, messages);
        Upload up;
        up.serial.writes.clear();
        if (how == "closed")
            (void)up.serial.SetPortOpen(false);
        else if (how == "refused")
            up.serial.failingPorts = {1};
        else if (how == "fail")
            up.serial.failWritesFrom = at;
        else
            up.serial.loseAtWrite = at;
        up.form->StartUpload();
        up.serial.Feed(Sync);
        up.serial.Feed(Nak);
        QCOMPARE(up.messages.texts, messages.split(QLatin1Char('|')));
        QCOMPARE(up.atMessages.value(0), QStringLiteral("closed 9600,n,8,1 idle enabled"));
        QVERIFY(!up.form->UploadActive());
        QVERIFY(!up.form->uploadProgress->isVisibleTo(up.form.get()));
        QVERIFY(up.form->commandButtons[Buttons::UploadFirmware]->isEnabled());
        QVERIFY(up.form->replyTimer->isActive());
        QVERIFY(!up.form->firmwareTimeOut->isActive());
        QCOMPARE(up.serial.Settings(), QStringLiteral("9600,n,8,1"));
    }
};

QTEST_MAIN(TestFirmwareUpload)
#include "tst_firmware_upload.moc"
