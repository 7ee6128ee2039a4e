#include "uploads/SampleUpload.h"
#include "uploads/FirmwareUpload.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"
#include "tests/support/TransferBytes.h"

#include <QFile>
#include <QLineEdit>
#include <QtTest>

using namespace kv7;
using test::SimLink;

namespace {

// Runs the firmware upload of `image` through the window; true when it
// ended with the success message.
bool UploadFirmware(SimLink &link, const QByteArray &image)
{
    const QString path = link.FilePath(QStringLiteral("firmware.bin"));
    if (!test::WriteFile(path, image))
        return false;
    link.form->firmwareFileBox->setText(path);
    link.form->StartUpload();
    if (!test::WaitUntil([&] { return !link.form->UploadActive(); }, 60000))
        return false;
    return link.messages.texts == QStringList{QStringLiteral("Finished uploading firmware and all is OK!")};
}

} // namespace

class TestUploadLink : public QObject {
    Q_OBJECT
private slots:
    void firmwareArrivesByteForByte()
    {
        SimLink link;
        const QString received = link.FilePath(QStringLiteral("received.bin"));
        QVERIFY(link.Start({QStringLiteral("--image"), received, QStringLiteral("--nak-every"), QStringLiteral("97"),
                            QStringLiteral("--nak-eot")}));
        const QByteArray image = test::RandomBytes(100 * 1024, 7);
        QVERIFY(UploadFirmware(link, image));
        QVERIFY(link.sim.Lines().contains(QStringLiteral("line 115200")));
        QTRY_VERIFY_WITH_TIMEOUT(link.sim.Lines().contains(QStringLiteral("image %1 bytes").arg(test::Padded(image).size())), 5000);
        QCOMPARE(test::ReadFile(received), test::Padded(image));
        // Back at the old speed and in command mode.
        QCOMPARE(link.serial->Settings(), QStringLiteral("9600,n,8,1"));
        QTRY_VERIFY_WITH_TIMEOUT(link.sim.Lines().contains(QStringLiteral("line 9600")), 5000);
    }

    void sampleArrivesByteForByte()
    {
        SimLink link;
        const QString received = link.FilePath(QStringLiteral("samples.bin"));
        QVERIFY(link.Start({QStringLiteral("--samples"), received}));
        const QByteArray sample = test::RandomBytes(10 * 1024 + 5, 5);
        const QString path = link.FilePath(QStringLiteral("take.SSS"));
        QVERIFY(test::WriteFile(path, sample));
        link.form->sampleFileBox->setText(path);
        link.form->uploadAreaBox->setText(QStringLiteral("3"));
        link.form->Command1_Click(Buttons::UploadSample);
        QVERIFY(link.messages.texts.isEmpty());
        const QByteArray expected = sample + QByteArray(32 - sample.size() % 32, '\0');
        QTRY_COMPARE_WITH_TIMEOUT(test::ReadFile(received).size(), expected.size(), 5000);
        QCOMPARE(test::ReadFile(received), expected);
        QVERIFY(!link.sim.Lines().join(QLatin1Char('\n')).contains(QStringLiteral("bad line")));
    }
};

QTEST_MAIN(TestUploadLink)
#include "tst_upload_link.moc"
