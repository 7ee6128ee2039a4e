#include "app/RealProgressBar.h"
#include "gains/GainSlider.h"
#include "terminal/StatusLamp.h"
#include "terminal/TerminalPane.h"
#include "tests/support/WindowRig.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <cstdio>
#include <memory>

using namespace kv7;

namespace {

const char *const CopyThenExitOption = "--copy-then-exit";

// This program's second role, for copiedTextOutlivesExit: copies a reply
// from the pane with the keys, then ends through the window's own exit path.
int CopyThenExit(bool closeWindow)
{
    test::WindowRig rig({1});
    // The window's own way to end, not the rig's recording one.
    rig.form = std::make_unique<Form1>(rig.serial, *rig.map, rig.messages, rig.dialogs);
    Form1 &form = *rig.form;
    form.Form_Load();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form, 5000))
        return 2;
    rig.serial.Feed("RGV \x02KV7 1.0");
    QTest::keyClick(form.terminalPane, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form.terminalPane, Qt::Key_C, Qt::ControlModifier);
    if (!QGuiApplication::clipboard()->ownsClipboard())
        return 2;
    std::puts("copied");
    std::fflush(stdout);
    if (closeWindow)
        form.close();
    else
        form.clearExitButtons[1]->click();
    return 3; // the exit path came back
}

} // namespace

// Shows the window on a real X server and checks what the screen shows. The
// whole window goes to $KV7_SCREENSHOT (default kv7-test.png); with
// $KV7_SCREENSHOT_DIR set, the user guide's pictures go there too, each
// written only when its pixels differ from the file already there, so
// unchanged pictures stay untouched in git.
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
        form.firmwareFileBox->setText(FixedFirmwarePath());
        form.move(0, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 5000));

        // What "Get Gains" and "Get Version" bring back.
        const char *const gains[8] = {"1064", "2100", "3032", "4080", "5000", "6127", "7050", "8090"};
        for (const char *g : gains)
            m_rig->serial.Feed(QByteArray("\x01RGAV\x02") + g + '\x04');
        m_rig->serial.Feed(QByteArray("\x01RGV \x02KV7 1.0\x04"));
        QTRY_COMPARE_WITH_TIMEOUT(form.Line().RxBuffer.IsEmpty(), true, 5000);
    }

    void windowShowsOnScreen()
    {
        const QImage shot = Grab();
        QCOMPARE(shot.size(), QSize(814, 582));

        const QString path = qEnvironmentVariable("KV7_SCREENSHOT", QStringLiteral("kv7-test.png"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(shot.save(path, "PNG"));
        qInfo("screenshot saved to %s", qPrintable(path));
        QVERIFY(SaveIfChanged(QStringLiteral("window.png"), shot));
    }

    void replyLineAndLamp()
    {
        Form1 &form = *m_rig->form;
        QCOMPARE(form.replyLine->text(), QStringLiteral("<1>RGV <2>KV7 1.0<4>"));
        const QImage shot = Grab();
        QCOMPARE(shot.pixelColor(form.statusLamp->geometry().center()), LampColour('R'));
        const QRect area = form.statusLamp->geometry() | form.replyLine->geometry();
        QVERIFY(SaveIfChanged(QStringLiteral("reply.png"), Crop(shot, area)));
    }

    void gainPanel()
    {
        Form1 &form = *m_rig->form;
        QCOMPARE(form.gainValues[5]->text(), QStringLiteral("127"));
        QRect area;
        for (size_t i = 0; i < form.gainSliders.size(); ++i)
            area |= form.gainSliders[i]->geometry() | form.gainValues[i]->geometry();
        QVERIFY(SaveIfChanged(QStringLiteral("gains.png"), Crop(Grab(), area)));
    }

    // A drag over the last reply selects it and offers it to the middle
    // button; the context menu opens beside it.
    void terminalSelectionAndMenu()
    {
        Form1 &form = *m_rig->form;
        TerminalPane *pane = form.terminalPane;
        const qsizetype line = pane->Model().LineCount() - 2;
        const qint64 start = pane->Model().LineStart(line);
        QWindow *window = form.windowHandle();
        const auto at = [&](qint64 pos) { return pane->viewport()->mapTo(&form, pane->CharacterRect(pos).center()); };
        QTest::mousePress(window, Qt::LeftButton, {}, at(start) - QPoint(2, 0));
        QTest::mouseMove(window, at(start + 6));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(start + pane->Model().LineLength(line) - 1) + QPoint(3, 0));
        const QString reply = QString::fromUtf16(u"\u263ARGV \u263BKV7 1.0\u2666");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection), reply);

        QTest::mouseClick(window, Qt::RightButton, {}, at(start + pane->Model().LineLength(line) - 1) + QPoint(12, 6));
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        QWidget *menu = QApplication::activePopupWidget();
        QImage shot = Grab();
        // The menu is a window of its own: drawn where the screen shows it.
        QPainter(&shot).drawImage(menu->pos() - form.pos(), menu->grab().toImage());
        QVERIFY(SaveIfChanged(QStringLiteral("terminal.png"), Crop(shot, pane->geometry() | QRect(menu->pos() - form.pos(), menu->size()))));
        menu->close();
    }

    // Three of eight blocks acknowledged, then the device falls silent.
    void firmwareUploadInProgress()
    {
        Form1 &form = *m_rig->form;
        test::FakeSerialControl &serial = m_rig->serial;
        const QString image = m_rig->dir.filePath(QStringLiteral("KV7_01.bin"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(QByteArray(1024, '\x5A')), 1024);
        file.close();

        form.firmwareFileBox->setText(image);
        form.StartUpload();
        form.firmwareFileBox->setText(FixedFirmwarePath());
        QCOMPARE(m_rig->messages.questions.size(), 1);
        QVERIFY(form.UploadActive());
        serial.Feed("{");
        serial.Feed("\x15");
        for (int i = 0; i < 3; ++i)
            serial.Feed("\x06");
        QCOMPARE(form.uploadProgress->Value(), 3.0);
        QVERIFY(form.uploadProgress->isVisible());
        QVERIFY(!form.commandButtons[Buttons::UploadFirmware]->isEnabled());
        QVERIFY(SaveIfChanged(QStringLiteral("upload.png"), Grab()));
        form.Timer2_Timer(); // the upload ends as a silent device's would
    }

    // Text copied from the pane outlives the immediate exit in a clipboard
    // manager (the stand-in's way given, or none running); the exit waits
    // for nothing else.
    void copiedTextOutlivesExit_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("maxMs");
        const QString reply = QString::fromUtf16(u"RGV \u263BKV7 1.0");
        QTest::newRow("EXIT, manager saves") << "save" << false << reply << 2000;
        QTest::newRow("window closed, manager saves through MULTIPLE") << "multiple" << true << reply << 2000;
        QTest::newRow("no manager: at once") << QString() << false << QString() << 1500;
        QTest::newRow("manager silent: bounded wait") << "silent" << false << QString() << 10000;
    }

    void copiedTextOutlivesExit()
    {
        QFETCH(QString, manager);
        QFETCH(bool, closeWindow);
        QFETCH(QString, saved);
        QFETCH(int, maxMs);
        QProcess standIn;
        standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (!manager.isEmpty()) {
            standIn.start(QStringLiteral(KV7_CLIPBOARD_MANAGER), {manager});
            QTRY_VERIFY_WITH_TIMEOUT(standIn.canReadLine(), 10000);
            QCOMPARE(standIn.readLine(), QByteArray("ready\n"));
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(CopyThenExitOption), closeWindow ? "close" : "exit"});
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine(), 20000);
        QCOMPARE(child.readLine(), QByteArray("copied\n"));
        QElapsedTimer exit;
        exit.start();
        QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 20000);
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(exit.elapsed() < maxMs, qPrintable(QStringLiteral("the exit took %1 ms").arg(exit.elapsed())));
        if (!saved.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(standIn.peek(1024)), saved, 5000);
        standIn.kill();
        standIn.waitForFinished();
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

    // PNG files differ byte-wise between encoder versions even for equal
    // pixels, so pixels are what decides a rewrite.
    static bool SaveIfChanged(const QString &name, const QImage &image)
    {
        const QString dirName = qEnvironmentVariable("KV7_SCREENSHOT_DIR");
        if (dirName.isEmpty())
            return true;
        const QDir dir(dirName);
        const QString path = dir.filePath(name);
        const QImage old(path);
        if (!old.isNull()
            && old.convertToFormat(QImage::Format_RGB32) == image.convertToFormat(QImage::Format_RGB32)) {
            qInfo("%s unchanged", qPrintable(path));
            return true;
        }
        if (!dir.mkpath(QStringLiteral(".")) || !image.save(path, "PNG"))
            return false;
        qInfo("screenshot saved to %s", qPrintable(path));
        return true;
    }

    std::unique_ptr<test::WindowRig> m_rig;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 3 && qstrcmp(argv[1], CopyThenExitOption) == 0)
        return CopyThenExit(qstrcmp(argv[2], "close") == 0);
    TestScreenshot test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screenshot.moc"
