#include "app/Form1.h"
#include "serial/PortFolder.h"
#include "serial/PortMap.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingFileDialogs.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace kv7;

// Shows the window on a real X server and saves what the screen shows.
class TestScreenshot : public QObject {
    Q_OBJECT
private slots:
    void windowShowsOnScreen()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QTemporaryDir dir;
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), PortFolder::LinkPath(dir.path(), 1)));
        const PortMap map(dir.path(), false);
        test::FakeSerialControl serial;
        test::RecordingMessageBoxes messages;
        test::RecordingFileDialogs dialogs;
        Form1 form(serial, map, messages, dialogs);
        form.Form_Load();
        form.move(0, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 5000));
        serial.Feed(QByteArray("\x01RGV \x02KV7 1.0\x04\x01RGAV\x02" "1064\x04", 25));
        QTRY_COMPARE_WITH_TIMEOUT(form.RxBuffer.IsEmpty(), true, 5000);

        const QPixmap shot = form.screen()->grabWindow(form.winId());
        QCOMPARE(shot.size(), QSize(814, 582));
        // A real picture, not a blank: many distinct colours.
        const QImage image = shot.toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(QString::number(colours.size())));

        const QString path = qEnvironmentVariable("KV7_SCREENSHOT", QStringLiteral("kv7-test.png"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(shot.save(path, "PNG"));
        qInfo("screenshot saved to %s", qPrintable(path));
    }
};

QTEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
