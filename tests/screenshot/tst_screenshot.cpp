#include "app/RealProgressBar.h"
#include "gains/GainSlider.h"
#include "terminal/StatusLamp.h"
#include "tests/support/WindowRig.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

using namespace kv7;

// Shows the window on a real X server, checks what the screen shows and
// saves the pictures of the user guide into $KV7_SCREENSHOT_DIR. With
// $KV7_SCREENSHOT_COMPARE_DIR set, a picture whose pixels equal the file of
// the same name there is not saved, so only real changes get copied over.
class TestScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        // Nothing that changes from run to run: no blinking caret, no
        // button under the pointer, no home folder in the firmware path.
        QApplication::setCursorFlashTime(0);
        QCursor::setPos(1020, 765);
        m_rig = std::make_unique<test::WindowRig>(QList<int>{1});
        Form1 &form = *m_rig->form;
        form.Form_Load();
        form.Text5->setText(FixedFirmwarePath());
        form.move(0, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 5000));

        // What "Get Gains" and "Get Version" bring back.
        const char *const gains[8] = {"1064", "2100", "3032", "4080", "5000", "6127", "7050", "8090"};
        for (const char *g : gains)
            m_rig->serial.Feed(QByteArray("\x01RGAV\x02") + g + '\x04');
        m_rig->serial.Feed(QByteArray("\x01RGV \x02KV7 1.0\x04"));
        QTRY_COMPARE_WITH_TIMEOUT(form.RxBuffer.IsEmpty(), true, 5000);
    }

    void windowShowsOnScreen()
    {
        const QImage shot = Grab();
        QCOMPARE(shot.size(), QSize(814, 582));
        // A real picture, not a blank: many distinct colours.
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(QString::number(colours.size())));
        QVERIFY(Save(QStringLiteral("kv7-test.png"), shot));
    }

    // The reply line with its lamp, and the port and speed lists below.
    void replyLineAndLamp()
    {
        Form1 &form = *m_rig->form;
        const QImage shot = Grab();
        QCOMPARE(shot.pixelColor(form.Shape1->geometry().center()), LampColour('R'));
        const QRect area = form.Shape1->geometry() | form.Text2->geometry() | form.lblCOMPort->geometry()
                           | form.Combo1->geometry() | form.Command2[0]->geometry();
        QVERIFY(Save(QStringLiteral("reply-line.png"), Crop(shot, area)));
    }

    void gainPanel()
    {
        Form1 &form = *m_rig->form;
        QCOMPARE(form.Text13[5]->text(), QStringLiteral("127"));
        const QImage shot = Grab();
        const QRect area = form.Text13[0]->geometry() | form.VScroll1[7]->geometry()
                           | form.Command1[3]->geometry() | form.Command1[8]->geometry();
        QVERIFY(Save(QStringLiteral("gain-panel.png"), Crop(shot, area)));
    }

    // Three of eight blocks acknowledged, then the rest to the end.
    void firmwareUploadInProgress()
    {
        Form1 &form = *m_rig->form;
        test::FakeSerialControl &serial = m_rig->serial;
        const QString image = m_rig->dir.filePath(QStringLiteral("KV7_01.bin"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(QByteArray(1024, '\x5A')), 1024);
        file.close();

        form.Text5->setText(image);
        form.StartUpload();
        form.Text5->setText(FixedFirmwarePath());
        QVERIFY(form.UploadActive);
        serial.Feed("{");
        serial.Feed("\x15");
        for (int i = 0; i < 3; ++i)
            serial.Feed("\x06");
        QCOMPARE(form.ProgressBar1->Value(), 3.0);
        QVERIFY(form.ProgressBar1->isVisible());
        QVERIFY(!form.Command1[36]->isEnabled());
        QVERIFY(Save(QStringLiteral("firmware-upload.png"), Grab()));

        for (int i = 0; i < 10 && form.UploadActive; ++i)
            serial.Feed("\x06");
        QVERIFY(!form.UploadActive);
        QCOMPARE(m_rig->messages.texts, QStringList{QStringLiteral("Finished uploading firmware and all is OK!")});
        QVERIFY(form.Command1[36]->isEnabled());
    }

    void cleanupTestCase() { m_rig.reset(); }

private:
    static QString FixedFirmwarePath() { return QStringLiteral("/home/user/KV7_01.bin"); }

    // What the screen shows once painting has settled: two grabs in a row
    // that agree.
    QImage Grab() const
    {
        Form1 &form = *m_rig->form;
        QImage last;
        for (int i = 0; i < 40; ++i) {
            QTest::qWait(50);
            QImage now = form.screen()->grabWindow(form.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            if (now == last)
                break;
            last = std::move(now);
        }
        return last;
    }

    static QImage Crop(const QImage &shot, const QRect &area)
    {
        return shot.copy(area.adjusted(-6, -6, 6, 6) & shot.rect());
    }

    static bool Save(const QString &name, const QImage &image)
    {
        const QString compareDir = qEnvironmentVariable("KV7_SCREENSHOT_COMPARE_DIR");
        if (!compareDir.isEmpty()) {
            const QImage old(QDir(compareDir).filePath(name));
            if (!old.isNull() && old.convertToFormat(QImage::Format_RGB32) == image) {
                qInfo("%s unchanged", qPrintable(name));
                return true;
            }
        }
        const QDir dir(qEnvironmentVariable("KV7_SCREENSHOT_DIR", QStringLiteral("screenshots")));
        if (!dir.mkpath(QStringLiteral(".")) || !image.save(dir.filePath(name), "PNG"))
            return false;
        qInfo("screenshot saved to %s", qPrintable(dir.filePath(name)));
        return true;
    }

    std::unique_ptr<test::WindowRig> m_rig;
};

QTEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
