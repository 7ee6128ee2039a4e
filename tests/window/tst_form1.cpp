#include "app/CaptionFit.h"
#include "app/QtFileDialogs.h"
#include "app/QtMessageBoxes.h"
#include "app/RealProgressBar.h"
#include "protocol/Frame.h"
#include "gains/GainSlider.h"
#include "terminal/StatusLamp.h"
#include "terminal/TerminalPane.h"
#include "tests/support/OffscreenScreens.h"
#include "tests/support/WindowRig.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <utility>

using namespace kv7;

namespace {

using Rig = test::WindowRig;

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void tabGoesDownTheLeftColumnThenTheRight()
    {
        Rig rig({1});
        rig.form->Form_Load();
        Form1 *form = rig.form.get();
        // Tab's path: the focus chain, less what cannot take focus.
        QStringList path;
        QWidget *w = form->terminalPane;
        do {
            if (w->parentWidget() == form && w->isEnabled() && w->isVisibleTo(form) && (w->focusPolicy() & Qt::TabFocus))
                path << w->objectName();
            w = w->nextInFocusChain();
        } while (w != form->terminalPane);
        const QStringList left{"Text1", "Text2", "cmbCommPort", "Combo1", "Command2_0", "Command1_0", "Command1_30",
                               "Text4_2", "Command1_1", "Command1_2", "Text11", "Command1_33", "Command1_31",
                               "Text12", "Command1_32", "Text14", "Text15", "Command4", "Command1_36", "Text5",
                               "Command5"};
        QCOMPARE(path.mid(0, left.size()), left);
        QCOMPARE(path.mid(left.size(), 2), (QStringList{"Command1_5", "Command1_13"}));
        QCOMPARE(path.mid(path.size() - 2), (QStringList{"Command1_29", "Command2_1"}));
        QCOMPARE(path.size(), QSet<QString>(path.begin(), path.end()).size());

        // And a real Tab key from the last of the left column.
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->firmwareFileChooser->setFocus();
        QTest::keyClick(form->firmwareFileChooser, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->commandButtons[Buttons::PlaySample1]);
    }

    void noiseStaysBoundedAndRepliesStillDecode()
    {
        Rig rig({1});
        rig.form->Form_Load();
        // 3 MiB of binary noise without a frame start, in 4 KiB reads.
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 37) & 0xFF);
        noise.replace('\x01', 'x');
        for (int i = 0; i < 3 * 256; ++i)
            rig.serial.Feed(noise);
        QVERIFY(rig.form->Line().RxBuffer.Size() <= rig.form->Line().RxBuffer.Limit());
        QVERIFY(rig.form->terminalPane->Model().Size() <= rig.form->terminalPane->Model().Limit());
        rig.serial.Feed(QByteArray("\x01RGAV\x02" "7099\x04"));
        QTRY_COMPARE(rig.form->gainSliders[6]->Gain(), 99);
    }

    // Every caption of a button, check box or label fits the area its style
    // leaves for text, clear of the controls above it, at ratios 1 and 2.
    void captionsFitTheirControls()
    {
        Rig rig({1});
        rig.form->show();
        QStringList checked;
        for (QScreen *screen : QGuiApplication::screens()) {
            rig.form->setScreen(screen);
            QTRY_COMPARE(rig.form->devicePixelRatioF(), screen->devicePixelRatio());
            for (QWidget *control : rig.form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
                if (CaptionOf(control).isEmpty())
                    continue;
                checked << CaptionOf(control);
                QVERIFY2(CaptionFits(control), qPrintable(QStringLiteral("\"%1\" at ratio %2, %3 pt")
                                                              .arg(CaptionOf(control))
                                                              .arg(screen->devicePixelRatio())
                                                              .arg(control->font().pointSizeF())));
            }
        }
        QCOMPARE(checked.size(), 2 * (Buttons::Count + 2 + 3 + 6 + 1));
    }

    // Screen readers name every button by its caption; Space, Return and
    // Enter press a focused one.
    void buttonsAreNamedAndPressedByKeys()
    {
        Rig rig({1});
        rig.form->Form_Load();
        const QList<QPushButton *> buttons = rig.form->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), Buttons::Count + 2 + 3);
        for (QPushButton *button : buttons)
            QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), button->text());
        rig.form->show();
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(rig.form->commandButtons[Buttons::GetVersion], key);
        QCOMPARE(rig.serial.writes, QByteArrayList(3, "\x01GV \x04"));
    }

    // Start-up opens the first port found; a port chosen later is opened
    // instead of the one before. Every failure says so once.
    void portChoices_data()
    {
        QTest::addColumn<QList<int>>("ports");
        QTest::addColumn<QList<int>>("busy");
        QTest::addColumn<int>("choose"); // list index chosen after start-up, -1 none
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("openPort"); // 0: none open
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("asked"); // the port asked for at start-up
        QTest::newRow("the first of three opens") << QList<int>{12, 1, 3} << QList<int>{} << -1 << QStringList{} << 1 << 1 << QString();
        QTest::newRow("a chosen port reopens on it") << QList<int>{1, 3, 12} << QList<int>{} << 2 << QStringList{} << 12 << 2 << QString();
        // The selection, then start-up's own try, then the other port.
        QTest::newRow("first port busy, another chosen")
            << QList<int>{4, 5} << QList<int>{4} << 1 << QStringList{"Error while trying to open COM4."} << 5 << 3 << QString();
        QTest::newRow("no ports: port 1 tried") << QList<int>{} << QList<int>{1} << -1
                                                << QStringList{"No serial port was found."} << 0 << 1 << QString();
        QTest::newRow("a busy port chosen leaves none open")
            << QList<int>{1, 2} << QList<int>{2} << 1 << QStringList{"Error while trying to open COM2."} << 0 << 2 << QString();
        QTest::newRow("the port asked for") << QList<int>{1, 3, 12} << QList<int>{} << -1 << QStringList{} << 3 << 1 << "com3";
        QTest::newRow("a port asked for that is not there")
            << QList<int>{1, 3} << QList<int>{} << -1 << QStringList{"Error while trying to open COM9."} << 1 << 1 << "COM9";
    }
    void portChoices()
    {
        QFETCH(QList<int>, ports);
        QFETCH(QList<int>, busy);
        QFETCH(int, choose);
        QFETCH(QStringList, messages);
        QFETCH(int, openPort);
        QFETCH(int, attempts);
        QFETCH(QString, asked);
        Rig rig(ports, QSet<int>(busy.begin(), busy.end()));
        rig.form->Form_Load(asked);
        // The list: the ports found in ascending order, each with its number.
        std::sort(ports.begin(), ports.end());
        for (int i = 0; i < ports.size(); ++i) {
            QCOMPARE(rig.form->portList->itemText(i), QStringLiteral("COM%1").arg(ports[i]));
            QCOMPARE(rig.form->portList->itemData(i).toInt(), ports[i]);
        }
        QCOMPARE(Items(rig.form->speedList), (QStringList{"300", "1200", "9600", "19200", "57600", "115200"}));
        QCOMPARE(rig.form->speedList->currentText(), QStringLiteral("9600"));
        if (choose >= 0)
            rig.Choose(rig.form->portList, choose);
        QCOMPARE(rig.messages.texts, messages);
        QCOMPARE(rig.serial.openAttempts, attempts);
        QCOMPARE(rig.serial.PortOpen() ? rig.serial.CommPort() : 0, openPort);
        if (!busy.isEmpty() && !ports.isEmpty())
            QVERIFY(rig.messages.details.value(0).contains(QLatin1String("busy")));
        if (ports.isEmpty()) { // the list says why it is empty, the message what to do
            QCOMPARE(rig.form->portList->placeholderText(), QStringLiteral("no serial port found"));
            QCOMPARE(rig.form->portList->currentIndex(), -1);
            QVERIFY(rig.messages.details.value(0).contains(QLatin1String("start KV7 Test again")));
        }
        // Choosing the entry shown again retries it.
        rig.serial.failingPorts.clear();
        rig.Choose(rig.form->portList, rig.form->portList->currentIndex());
        QCOMPARE(rig.serial.PortOpen(), !ports.isEmpty());
        if (!ports.isEmpty()) {
            QCOMPARE(rig.serial.opens.last().settings, QStringLiteral("9600,n,8,1"));
            QCOMPARE(rig.form->portList->toolTip(), QStringLiteral("/dev/null"));
        }
    }

    // A speed chosen while open reopens the port at it; while closed it is
    // kept for the next open; one the driver refuses leaves the port at its
    // old speed.
    void speedChoices_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("refused");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("shown");
        QTest::newRow("115200 while open") << true << 0 << "115200,n,8,1" << "115200";
        QTest::newRow("19200 while closed") << false << 0 << "19200,n,8,1" << "19200";
        QTest::newRow("57600 refused") << true << 57600 << "9600,n,8,1" << "9600";
    }
    void speedChoices()
    {
        QFETCH(bool, open);
        QFETCH(int, refused);
        QFETCH(QString, settings);
        QFETCH(QString, shown);
        Rig rig({1, 2}, open ? QSet<int>{} : QSet<int>{1});
        rig.form->Form_Load();
        rig.serial.refusedSpeeds = {refused};
        rig.messages.texts.clear();
        const int speed = refused ? refused : open ? 115200 : 19200;
        rig.Choose(rig.form->speedList, rig.form->speedList->findText(QString::number(speed)));
        QCOMPARE(rig.serial.Settings(), settings);
        QCOMPARE(rig.form->speedList->currentText(), shown);
        QCOMPARE(rig.serial.PortOpen(), open);
        QCOMPARE(rig.messages.texts, refused ? QStringList{"Error while trying to open COM1."} : QStringList{});
        if (open)
            QCOMPARE(rig.serial.opens.last().settings, settings);
    }

    void receivedBytesReachPaneAndReplyLine()
    {
        Rig rig({1});
        rig.form->Form_Load();
        rig.serial.Feed(QByteArray("xy\x01R", 4));
        rig.serial.Feed(QByteArray("GAV\x02" "3064\x04\x01P\x04", 12));
        QCOMPARE(rig.form->terminalPane->Text(), QByteArray("xy\x01RGAV\x02" "3064\x04\r\n\x01P\x04"));
        QCOMPARE(rig.form->Line().RxBuffer.Bytes(), QByteArray("xy\x01RGAV\x02" "3064\x04\x01P\x04"));
        rig.form->Timer1_Timer();
        QCOMPARE(rig.form->replyLine->text(), QStringLiteral("<1>RGAV<2>3064<4>"));
        QCOMPARE(rig.form->gainSliders[2]->Gain(), 64);
        QCOMPARE(rig.form->gainValues[2]->text(), QStringLiteral("64"));
        rig.form->Timer1_Timer();
        QCOMPARE(rig.form->replyLine->text(), QStringLiteral("<1>P<4>"));
        QCOMPARE(rig.form->Line().Decoder.LastReply(), QByteArray("\x01P\x04"));
    }

    // The lamp shows the status letter of each reply; letters compare exactly.
    void statusLetterColoursTheLamp_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QColor>("lamp");
        QTest::newRow("R") << QByteArray("\x01RGB \x04") << QColor(0, 255, 0);
        QTest::newRow("P") << QByteArray("\x01PGB \x04") << QColor(255, 255, 0);
        QTest::newRow("C") << QByteArray("\x01" "CGB \x04") << QColor(255, 0, 0);
        QTest::newRow("r") << QByteArray("\x01rGB \x04") << QColor(255, 255, 255);
        QTest::newRow("E") << QByteArray("\x01" "EGB \x04") << QColor(255, 255, 255);
        QTest::newRow("SOH EOT alone") << QByteArray("\x01\x04") << QColor(255, 255, 255);
    }
    void statusLetterColoursTheLamp()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QColor, lamp);
        Rig rig({1});
        rig.form->Form_Load();
        rig.form->statusLamp->SetFillColour(Qt::black);
        rig.serial.Feed(reply);
        rig.form->Timer1_Timer();
        QCOMPARE(rig.form->statusLamp->FillColour(), lamp);
    }

    void clsKeepsUndecodedReplies()
    {
        Rig rig({1});
        rig.form->Form_Load();
        rig.serial.Feed(QByteArray("\x01R", 2));
        QTest::mouseClick(rig.form->clearExitButtons[0], Qt::LeftButton);
        QCOMPARE(rig.form->terminalPane->Text(), QByteArray());
        QCOMPARE(rig.form->Line().RxBuffer.Bytes(), QByteArray("\x01R", 2));
        rig.serial.Feed(QByteArray("\x04", 1));
        QTRY_COMPARE_WITH_TIMEOUT(rig.form->replyLine->text(), QStringLiteral("<1>R<4>"), 5000);
        QCOMPARE(rig.form->terminalPane->Text(), QByteArray("\x04\r\n"));
    }

    void pacedRunPausesFiveTicksAfterEachFrame()
    {
        Rig rig({1});
        rig.form->Form_Load();
        int ticks = 0;
        connect(rig.form->replyTimer, &QTimer::timeout, [&ticks] { ++ticks; });
        QList<int> at;
        rig.serial.onWrite = [&](const QByteArray &) { at.append(ticks); };
        rig.form->Command1_Click(Buttons::GetGains);
        QCOMPARE(rig.serial.writes.size(), 8);
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(rig.serial.writes[n - 1], QByteArray("\x01GAV\x02") + QByteArray::number(n) + "\x04");
        for (int k = 1; k < at.size(); ++k)
            QCOMPARE(at[k] - at[k - 1], 5);
        QCOMPARE(ticks - at.last(), 5); // the last pause too
        QCOMPARE(rig.form->replyTimer->interval(), 10);
        QCOMPARE(rig.form->replyTimer->timerType(), Qt::PreciseTimer);
    }

    // A button pressed while "Get Gains" pauses runs inside the pause; a
    // firmware upload started there ends the run, so no command frame
    // follows the boot loader's start.
    void buttonInAPacedRunsPause_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QByteArrayList>("written");
        QByteArrayList gsf{"\x01GAV\x02" "1\x04"};
        for (int n = 0; n <= 15; ++n)
            gsf << QByteArray("\x01GS \x02") + QByteArray::number(n).rightJustified(2, '0') + "\x04";
        for (int n = 2; n <= 8; ++n)
            gsf << QByteArray("\x01GAV\x02") + QByteArray::number(n) + "\x04";
        QTest::newRow("GSF 0..15") << int(Buttons::GetSoundFiles) << gsf;
        QTest::newRow("Upload Firmware")
            << int(Buttons::UploadFirmware) << (QByteArrayList{"\x01GAV\x02" "1\x04", "\x01$BT\x02\x04"} + QByteArrayList(10, "{"));
    }
    void buttonInAPacedRunsPause()
    {
        QFETCH(int, button);
        QFETCH(QByteArrayList, written);
        Rig rig({1});
        rig.form->Form_Load();
        const QString image = rig.dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(test::WriteFile(image, "firmware"));
        rig.form->firmwareFileBox->setText(image);
        bool started = false;
        rig.serial.onWrite = [&](const QByteArray &) {
            if (!std::exchange(started, true))
                QTimer::singleShot(0, rig.form.get(), [&] { rig.form->Command1_Click(button); });
        };
        rig.form->Command1_Click(Buttons::GetGains);
        QCOMPARE(rig.serial.writes, written);
    }

    // A port that goes away: one message saying how to carry on, the list's
    // tooltip too, and the same for a command written before it is back.
    void lostPortSaysHowToCarryOn()
    {
        Rig rig({1});
        rig.form->Form_Load();
        rig.serial.loseAtWrite = 0;
        rig.form->Command1_Click(Buttons::GetVersion);
        const QString carryOn = QStringLiteral("It opens again by itself when the device is back, or choose another port in the port list.");
        QCOMPARE(rig.messages.texts, QStringList{"The connection to COM1 was lost."});
        QCOMPARE(rig.messages.details, QStringList{carryOn});
        QVERIFY(rig.form->portList->toolTip().contains(QLatin1String("was lost")));
        rig.form->Command1_Click(Buttons::GetBattery);
        QCOMPARE(rig.messages.details.value(1), QStringLiteral("The connection to COM1 was lost. ") + carryOn);
        // The speed chosen meanwhile is the one the port comes back at.
        rig.Choose(rig.form->speedList, rig.form->speedList->findText(QStringLiteral("115200")));
        rig.Choose(rig.form->portList, 0);
        QCOMPARE(rig.form->portList->toolTip(), QStringLiteral("/dev/null"));
        QCOMPARE(rig.serial.opens.last().settings, QStringLiteral("115200,n,8,1"));
    }

    // Another program on the port: said once when it opens, and the window works on.
    void anotherProgramOnThePortIsNamed()
    {
        Rig rig({1});
        rig.serial.sharedWith = QStringLiteral("/dev/ttyACM0 is also open in ModemManager (process 812): replies may go "
                                               "to it instead.");
        rig.form->Form_Load();
        QCOMPARE(rig.messages.texts, QStringList{rig.serial.sharedWith});
        rig.form->Command1_Click(Buttons::GetVersion);
        QCOMPARE(rig.serial.writes.size(), 1);
    }

    // An echo of a gain report that cannot be written: one message, after
    // the tick, and the reports behind it are still decoded. A paced run
    // stops at its failed write.
    void failedWritesAreToldOnceAndStopTheRun()
    {
        Rig rig({1});
        rig.form->Form_Load();
        rig.form->replyTimer->stop();
        rig.serial.failWritesFrom = 0;
        rig.serial.Feed("\x01RGAV\x02" "1010\x04\x01RGAV\x02" "2020\x04\x01RGAV\x02" "3030\x04");
        rig.form->Timer1_Timer();
        QVERIFY(rig.messages.texts.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("The command <1>AV <2>1010<4> was not sent.")});
        rig.form->Timer1_Timer();
        rig.form->Timer1_Timer();
        QCoreApplication::processEvents();
        QCOMPARE(rig.form->gainSliders[2]->Gain(), 30);
        QCOMPARE(rig.messages.texts.size(), 1);
        rig.form->gainSliders[4]->SetGain(5); // the user's own move is told again
        QCOMPARE(rig.messages.texts.size(), 2);
        rig.serial.failWritesFrom = 2;
        rig.form->replyTimer->start();
        rig.form->Command1_Click(Buttons::GetSoundFiles);
        QCOMPARE(rig.serial.writes.size(), 2);
        QCOMPARE(rig.messages.details, QStringList(3, "input/output error"));
    }

    void gainsMoveBetweenSliderBoxAndWire()
    {
        Rig rig({1});
        rig.form->Form_Load();
        Form1 &f = *rig.form;
        f.gainSliders[0]->SetGain(64);
        QCOMPARE(rig.serial.writes, QByteArrayList{QByteArray("\x01" "AV \x02" "1064\x04")});
        QCOMPARE(f.gainValues[0]->text(), QStringLiteral("64"));
        // Typed text: clamped, rounded, and one frame per change of the number.
        f.gainValues[1]->setText(QStringLiteral("70000"));
        QCOMPARE(f.gainSliders[1]->Gain(), 127);
        QCOMPARE(f.gainValues[1]->text(), QStringLiteral("127"));
        f.gainValues[1]->setText(QStringLiteral("-4"));
        QCOMPARE(rig.serial.writes.last(), QByteArray("\x01" "AV \x02" "2000\x04"));
        const qsizetype before = rig.serial.writes.size();
        f.gainValues[1]->setText(QStringLiteral("abc")); // reads 0, slider already there
        QCOMPARE(rig.serial.writes.size(), before);
        // A report that moves a slider is answered; one that does not, is not.
        rig.serial.Feed(QByteArray("\x01RGAV\x02" "2040\x04\x01RGAV\x02" "1064\x04", 22));
        f.Timer1_Timer();
        QCOMPARE(rig.serial.writes.last(), QByteArray("\x01" "AV \x02" "2040\x04"));
        QCOMPARE(f.gainValues[1]->text(), QStringLiteral("40"));
        const qsizetype afterReport = rig.serial.writes.size();
        f.Timer1_Timer();
        QCOMPARE(rig.serial.writes.size(), afterReport);
        // Focus names the channel; dragging sends only on release.
        f.show();
        f.gainSliders[3]->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(f.focusedChannelBox->text(), QStringLiteral("Headset"), 5000);
        // The focused slider shows a mark.
        const QImage focused = f.gainSliders[3]->grab().toImage();
        f.sampleBox->setFocus();
        QTRY_VERIFY(f.gainSliders[3]->grab().toImage() != focused);
        f.gainSliders[3]->setFocus();
        // Up raises the gain by one, Page Up by eight.
        QTest::keyClick(f.gainSliders[3], Qt::Key_Up);
        QCOMPARE(f.gainSliders[3]->Gain(), 1);
        QTest::keyClick(f.gainSliders[3], Qt::Key_PageUp);
        QCOMPARE(f.gainSliders[3]->Gain(), 9);
        QCOMPARE(rig.serial.writes.last(), QByteArray("\x01" "AV \x02" "4009\x04"));
        // The top arrow raises it too, and so does the trough above the thumb, by eight.
        GainSlider *bar = f.gainSliders[3];
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
        QCOMPARE(bar->Gain(), 10);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() / 3));
        QCOMPARE(bar->Gain(), 18);
        // A dragged thumb sends one frame, on release, with where it ended.
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = Qt::Vertical;
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = opt.sliderValue = bar->value();
        opt.pageStep = bar->pageStep();
        const QPoint thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar).center();
        const qsizetype beforeDrag = rig.serial.writes.size();
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        for (int dy = 5; dy <= 30; dy += 5)
            QTest::mouseMove(bar, thumb - QPoint(0, dy));
        QCOMPARE(rig.serial.writes.size(), beforeDrag);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb - QPoint(0, 30));
        QCOMPARE(rig.serial.writes.size(), beforeDrag + 1);
        QVERIFY(bar->Gain() > 18);
        QCOMPARE(rig.serial.writes.last(), SetGainFrame(4, bar->Gain()));
        // Screen readers hear the gain, 0 at the bottom to 127 at the top.
        QAccessibleValueInterface *value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
        QCOMPARE(value->currentValue().toInt(), bar->Gain());
        QCOMPARE(value->maximumValue().toInt(), 127);
        value->setCurrentValue(100);
        QCOMPARE(rig.serial.writes.last(), SetGainFrame(4, 100));
    }

    // "..." beside a path box asks for a file; a cancel keeps the text.
    void fileChoosers_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("mustExist");
        QTest::addColumn<QString>("folder");
        // Qt's form of the filters: "*.*" must match files without a dot too.
        QTest::addColumn<QStringList>("qtFilters");
        QTest::newRow("sample") << false << "" << "Sound Samples (*.SSS)|*.SSS|All Files (*.*)|*.*|" << false << "/"
                                << QStringList{"Sound Samples (*.SSS)", "All Files (*)"};
        QTest::newRow("firmware") << true << "Choose BIN file:" << "Binary file (*.bin)|*.bin| All files (*.*)|*.*"
                                  << true << QDir::homePath() << QStringList{"Binary file (*.bin)", "All files (*)"};
    }
    void fileChoosers()
    {
        QFETCH(bool, firmware);
        QFETCH(QString, title);
        QFETCH(QString, filter);
        QFETCH(bool, mustExist);
        QFETCH(QString, folder);
        QFETCH(QStringList, qtFilters);
        Rig rig({1});
        QPushButton *chooser = firmware ? rig.form->firmwareFileChooser : rig.form->sampleFileChooser;
        QLineEdit *box = firmware ? rig.form->firmwareFileBox : rig.form->sampleFileBox;
        const QString before = box->text();
        rig.dialogs.answers = {std::nullopt, QStringLiteral("/tmp/chosen")};
        chooser->click();
        QCOMPARE(box->text(), before);
        chooser->click();
        QCOMPARE(box->text(), QStringLiteral("/tmp/chosen"));
        const FileRequest &asked = rig.dialogs.requests.value(0);
        QCOMPARE(asked.title, title);
        QCOMPARE(asked.filter, filter);
        QCOMPARE(asked.mustExist, mustExist);
        QCOMPARE(LocalFolder(asked.initialDir), folder);
        QCOMPARE(QtNameFilters(asked.filter), qtFilters);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void controlsAreBuiltAsDesigned()
    {
        Rig rig({});
        Form1 &f = *rig.form;
        QCOMPARE(f.windowTitle(), QStringLiteral("KV7 Test 1.0"));
        QCOMPARE(f.size(), QSize(814, 582));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!f.convertWaveButton->isEnabled());
        QVERIFY(f.uploadProgress->isHidden());
        // Every button lies inside the window and none covers another.
        const QRect client(QPoint(0, 0), f.size());
        QSet<QString> captions;
        for (size_t i = 0; i < f.commandButtons.size(); ++i) {
            captions.insert(f.commandButtons[i]->text());
            QVERIFY2(client.contains(f.commandButtons[i]->geometry()), qPrintable(f.commandButtons[i]->text()));
            for (size_t j = i + 1; j < f.commandButtons.size(); ++j)
                QVERIFY2(!f.commandButtons[i]->geometry().intersects(f.commandButtons[j]->geometry()),
                         qPrintable(f.commandButtons[i]->text() + " / " + f.commandButtons[j]->text()));
        }
        QCOMPARE(captions.size(), int(Buttons::Count));
    }

    // Messages quote lock files, process names and replies: markup in them
    // is shown as it stands, in the text and in the detail, and in a question.
    void messageBoxesShowPlainText()
    {
        QtMessageBoxes boxes;
        QList<Qt::TextFormat> formats;
        int seen = 0;
        const auto look = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            ++seen;
            for (const char *name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
                if (auto *label = box->findChild<QLabel *>(QLatin1String(name)))
                    formats << label->textFormat();
            box->done(QMessageBox::No);
        };
        const QString rich = QStringLiteral("<b style='color:red'>FIRMWARE CORRUPT</b><img src='x'>");
        QTimer::singleShot(0, look);
        boxes.Inform(rich, rich);
        QTimer::singleShot(0, look);
        QVERIFY(!boxes.Ask(rich, QStringLiteral("Send file")));
        QCOMPARE(seen, 2);
        QCOMPARE(formats, (QList<Qt::TextFormat>{Qt::PlainText, Qt::PlainText, Qt::PlainText}));
    }
};

int main(int argc, char *argv[])
{
    if (!test::UseOffscreenScreens({1, 2}))
        return 2;
    QApplication app(argc, argv);
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_form1.moc"
