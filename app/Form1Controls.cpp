// Builds the window's controls at their design positions.
#include "app/Form1.h"

#include "app/CaptionFit.h"
#include "app/CommandPlaces.h"
#include "app/RealProgressBar.h"
#include "app/Twips.h"
#include "gains/GainSlider.h"
#include "terminal/PaneAccessible.h"
#include "terminal/StatusLamp.h"
#include "terminal/TerminalPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kv7 {

namespace {

const char *const kGainToolTips[8] = {"MIC GAIN", "SPEAKER OUT", "LINE OUT", nullptr, nullptr, nullptr, "TEL IN", "TEL OUT"};

template <typename W>
W *Place(W *widget, const QRect &rect, const char *name)
{
    widget->setGeometry(rect);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *Box(QWidget *parent, const char *name, const QString &text, const QRect &rect, bool centred)
{
    auto *box = Place(new QLineEdit(text, parent), rect, name);
    if (centred)
        box->setAlignment(Qt::AlignCenter);
    return box;
}

QLabel *Caption(QWidget *parent, const char *name, const char *text, const QRect &rect)
{
    return Place(new QLabel(QString::fromLatin1(text), parent), rect, name);
}

QPushButton *Button(QWidget *parent, const char *name, const char *caption, const QRect &rect)
{
    auto *button = Place(new QPushButton(QString::fromLatin1(caption), parent), rect, name);
    button->setAccessibleName(button->text());
    // Enter and Return press a focused button, as Space does.
    button->setAutoDefault(true);
    return button;
}

} // namespace

void Form1::CreateControls()
{
    setWindowTitle(WindowCaption());
    setFixedSize(12210 / TwipsPerPixel, 8730 / TwipsPerPixel);
    // The design's geometry was drawn for an 8-point system font with
    // letters as narrow as Arial's; Liberation Sans has Arial's widths.
    // Captions that still do not fit get a smaller font (FitCaptions).
    QFont system = font();
    system.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                        system.family()});
    system.setPointSizeF(8);
    setFont(system);

    InstallPaneAccessibility(); // before the pane, so that its first interface is the text one
    terminalPane = Place(new TerminalPane(this), Twips(60, 60, 6435, 4335), "Text1");
    replyLine = Box(this, "Text2", {}, Twips(360, 4380, 6135, 315), false);
    statusLamp = Place(new StatusLamp(this), Twips(60, 4440, 255, 240), "Shape1");
    portCaption = Caption(this, "lblCOMPort", "Comm port:", Twips(60, 4800, 1515, 240));
    portList = Place(new QComboBox(this), Twips(900, 4785, 1395, 315), "cmbCommPort");
    portList->setPlaceholderText(QStringLiteral("no serial port found"));
    speedList = Place(new QComboBox(this), Twips(2400, 4800, 1515, 315), "Combo1");
    clearExitButtons[0] = Button(this, "Command2_0", "CLS", Twips(4800, 4800, 1635, 315));
    clearExitButtons[1] = Button(this, "Command2_1", "EXIT", Twips(10080, 7200, 795, 315));

    for (int i = 0; i < 8; ++i) {
        const auto k = size_t(i);
        const int left = 6540 + 420 * i;
        gainValues[k] = Box(this, "Text13", QStringLiteral("-"), Twips(left, 1140, 375, 285), true);
        gainValues[k]->setObjectName(QStringLiteral("Text13_%1").arg(i));
        if (kGainToolTips[i])
            gainValues[k]->setToolTip(QString::fromLatin1(kGainToolTips[i]));
        gainSliders[k] = Place(new GainSlider(this), Twips(left, 1440, 375, 1455), "VScroll1");
        gainSliders[k]->setObjectName(QStringLiteral("VScroll1_%1").arg(i));
    }

    focusedChannelBox = Box(this, "Text4_3", QStringLiteral("-"), Twips(9900, 1860, 975, 315), true);
    sampleBox = Box(this, "Text3", QStringLiteral("1"), Twips(8700, 2940, 375, 315), true);
    durationBox = Box(this, "Text7", QStringLiteral("25"), Twips(9120, 2940, 435, 315), true);
    durationUnit = Caption(this, "Label1", "1/10th", Twips(9540, 3000, 480, 195));
    trigStartCheck = Place(new QCheckBox(QStringLiteral("trig start"), this), Twips(10080, 3000, 1275, 195), "Check1");
    chronoInputBox = Box(this, "Text10", QStringLiteral("0"), Twips(8760, 3660, 255, 315), true);
    chronoInputNumberBox = Box(this, "Text8", QStringLiteral("1"), Twips(9060, 3660, 375, 315), true);
    chronoTimeBox = Box(this, "Text9", QStringLiteral("25"), Twips(9480, 3660, 495, 315), true);
    chronoTimeUnit = Caption(this, "Label2", "1/10th Sec.", Twips(10020, 3720, 1035, 195));
    deviceBaudBox = Box(this, "Text4_2", QStringLiteral("9600"), Twips(2400, 5340, 855, 315), false);
    soundFileBox = Box(this, "Text11", QStringLiteral("1"), Twips(2400, 5760, 375, 315), true);
    eraseAreaBox = Box(this, "Text12", QStringLiteral("1"), Twips(2400, 6120, 375, 315), true);
    uploadAreaBox = Box(this, "Text14", QStringLiteral("1"), Twips(2400, 6480, 375, 315), true);
    sampleFileBox = Box(this, "Text15", QStringLiteral("C:\\Start.SSS"), Twips(2820, 6480, 2835, 315), false);
    sampleFileChooser = Button(this, "Command4", "...", Twips(5700, 6480, 315, 315));
    firmwareFileBox =
        Box(this, "Text5", QDir::home().filePath(QStringLiteral("KV7_01.bin")), Twips(2820, 6840, 2835, 315), false);
    firmwareFileChooser = Button(this, "Command5", "...", Twips(5700, 6840, 315, 315));
    commandWordBox = Box(this, "Text4_0", QStringLiteral("GAV"), Twips(9000, 6180, 435, 315), false);
    commandParamBox = Box(this, "Text4_1", QStringLiteral("1"), Twips(9780, 6180, 735, 315), false);
    sohMark = Caption(this, "Label5", "<1>", Twips(8700, 6240, 270, 195));
    stxMark = Caption(this, "Label3", "<2>", Twips(9480, 6240, 270, 195));
    eotMark = Caption(this, "Label4", "<4>", Twips(10560, 6240, 270, 195));
    uploadProgress = Place(new RealProgressBar(this), Twips(180, 7275, 5835, 360), "ProgressBar1");
    uploadProgress->setVisible(false);
    convertWaveButton = Button(this, "Command3", "Convert Wave", Twips(8340, 8010, 1215, 315));
    convertWaveButton->setEnabled(false);

    for (int i = 0; i < Buttons::Count; ++i) {
        const auto id = Buttons::Id(i);
        const CommandPlace &p = CommandPlaceOf(id);
        commandButtons[size_t(i)] =
            Button(this, "Command1", ButtonAt(id).caption, Twips(p.left, p.top, p.width, p.height));
        commandButtons[size_t(i)]->setObjectName(QStringLiteral("Command1_%1").arg(i));
    }

    // Screen readers name the controls that have no caption of their own.
    const struct {
        QWidget *control;
        const char *name;
    } names[] = {
        {terminalPane, "Terminal"}, {replyLine, "Last reply"}, {portList, "Comm port"}, {speedList, "Speed"},
        {focusedChannelBox, "Channel with the focus"}, {sampleBox, "Sample"}, {durationBox, "Duration"},
        {chronoInputBox, "Chrono input"}, {chronoInputNumberBox, "Chrono input number"}, {chronoTimeBox, "Chrono time"},
        {deviceBaudBox, "Device baud rate"}, {soundFileBox, "Sound file"}, {eraseAreaBox, "Area to erase"},
        {uploadAreaBox, "Area to upload"}, {sampleFileBox, "Sample file"},
        {firmwareFileBox, "Firmware file"}, {commandWordBox, "Command word"}, {commandParamBox, "Command parameter"},
        {uploadProgress, "Upload progress"},
    };
    for (const auto &n : names)
        n.control->setAccessibleName(QString::fromLatin1(n.name));
    sampleFileChooser->setAccessibleDescription(QStringLiteral("Choose the sample file"));
    firmwareFileChooser->setAccessibleDescription(QStringLiteral("Choose the firmware file"));
    for (int i = 0; i < 8; ++i) {
        gainSliders[size_t(i)]->setAccessibleName(QStringLiteral("Gain %1").arg(i + 1));
        gainValues[size_t(i)]->setAccessibleName(QStringLiteral("Gain %1 value").arg(i + 1));
    }

    FitCaptions(this);

    replyTimer = new QTimer(this);
    replyTimer->setObjectName(QStringLiteral("Timer1"));
    replyTimer->setInterval(10);
    replyTimer->setTimerType(Qt::PreciseTimer);
}

} // namespace kv7
