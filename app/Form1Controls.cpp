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
    Text1 = Place(new TerminalPane(this), Twips(60, 60, 6435, 4335), "Text1");
    Text2 = Box(this, "Text2", {}, Twips(360, 4380, 6135, 315), false);
    Shape1 = Place(new StatusLamp(this), Twips(60, 4440, 255, 240), "Shape1");
    lblCOMPort = Caption(this, "lblCOMPort", "Comm port:", Twips(60, 4800, 1515, 240));
    cmbCommPort = Place(new QComboBox(this), Twips(900, 4785, 1395, 315), "cmbCommPort");
    cmbCommPort->setPlaceholderText(QStringLiteral("no serial port found"));
    Combo1 = Place(new QComboBox(this), Twips(2400, 4800, 1515, 315), "Combo1");
    Command2[0] = Button(this, "Command2_0", "CLS", Twips(4800, 4800, 1635, 315));
    Command2[1] = Button(this, "Command2_1", "EXIT", Twips(10080, 7200, 795, 315));

    for (int i = 0; i < 8; ++i) {
        const auto k = size_t(i);
        const int left = 6540 + 420 * i;
        Text13[k] = Box(this, "Text13", QStringLiteral("-"), Twips(left, 1140, 375, 285), true);
        Text13[k]->setObjectName(QStringLiteral("Text13_%1").arg(i));
        if (kGainToolTips[i])
            Text13[k]->setToolTip(QString::fromLatin1(kGainToolTips[i]));
        VScroll1[k] = Place(new GainSlider(this), Twips(left, 1440, 375, 1455), "VScroll1");
        VScroll1[k]->setObjectName(QStringLiteral("VScroll1_%1").arg(i));
    }

    Text4[3] = Box(this, "Text4_3", QStringLiteral("-"), Twips(9900, 1860, 975, 315), true);
    Text3 = Box(this, "Text3", QStringLiteral("1"), Twips(8700, 2940, 375, 315), true);
    Text7 = Box(this, "Text7", QStringLiteral("25"), Twips(9120, 2940, 435, 315), true);
    Label1 = Caption(this, "Label1", "1/10th", Twips(9540, 3000, 480, 195));
    Check1 = Place(new QCheckBox(QStringLiteral("trig start"), this), Twips(10080, 3000, 1275, 195), "Check1");
    Text10 = Box(this, "Text10", QStringLiteral("0"), Twips(8760, 3660, 255, 315), true);
    Text8 = Box(this, "Text8", QStringLiteral("1"), Twips(9060, 3660, 375, 315), true);
    Text9 = Box(this, "Text9", QStringLiteral("25"), Twips(9480, 3660, 495, 315), true);
    Label2 = Caption(this, "Label2", "1/10th Sec.", Twips(10020, 3720, 1035, 195));
    Text4[2] = Box(this, "Text4_2", QStringLiteral("9600"), Twips(2400, 5340, 855, 315), false);
    Text11 = Box(this, "Text11", QStringLiteral("1"), Twips(2400, 5760, 375, 315), true);
    Text12 = Box(this, "Text12", QStringLiteral("1"), Twips(2400, 6120, 375, 315), true);
    Text14 = Box(this, "Text14", QStringLiteral("1"), Twips(2400, 6480, 375, 315), true);
    Text15 = Box(this, "Text15", QStringLiteral("C:\\Start.SSS"), Twips(2820, 6480, 2835, 315), false);
    Command4 = Button(this, "Command4", "...", Twips(5700, 6480, 315, 315));
    Text5 = Box(this, "Text5", QDir::home().filePath(QStringLiteral("KV7_01.bin")), Twips(2820, 6840, 2835, 315), false);
    Command5 = Button(this, "Command5", "...", Twips(5700, 6840, 315, 315));
    Text4[0] = Box(this, "Text4_0", QStringLiteral("GAV"), Twips(9000, 6180, 435, 315), false);
    Text4[1] = Box(this, "Text4_1", QStringLiteral("1"), Twips(9780, 6180, 735, 315), false);
    Label5 = Caption(this, "Label5", "<1>", Twips(8700, 6240, 270, 195));
    Label3 = Caption(this, "Label3", "<2>", Twips(9480, 6240, 270, 195));
    Label4 = Caption(this, "Label4", "<4>", Twips(10560, 6240, 270, 195));
    ProgressBar1 = Place(new RealProgressBar(this), Twips(180, 7275, 5835, 360), "ProgressBar1");
    ProgressBar1->setVisible(false);
    Command3 = Button(this, "Command3", "Convert Wave", Twips(8340, 8010, 1215, 315));
    Command3->setEnabled(false);

    for (int i = 0; i < Buttons::Count; ++i) {
        const auto id = Buttons::Id(i);
        const CommandPlace &p = CommandPlaceOf(id);
        Command1[size_t(i)] = Button(this, "Command1", ButtonAt(id).caption, Twips(p.left, p.top, p.width, p.height));
        Command1[size_t(i)]->setObjectName(QStringLiteral("Command1_%1").arg(i));
    }

    // Screen readers name the controls that have no caption of their own.
    const struct {
        QWidget *control;
        const char *name;
    } names[] = {
        {Text1, "Terminal"}, {Text2, "Last reply"}, {cmbCommPort, "Comm port"}, {Combo1, "Speed"},
        {Text4[3], "Channel with the focus"}, {Text3, "Sample"}, {Text7, "Duration"}, {Text10, "Chrono input"},
        {Text8, "Chrono input number"}, {Text9, "Chrono time"}, {Text4[2], "Device baud rate"},
        {Text11, "Sound file"}, {Text12, "Area to erase"}, {Text14, "Area to upload"}, {Text15, "Sample file"},
        {Text5, "Firmware file"}, {Text4[0], "Command word"}, {Text4[1], "Command parameter"},
        {ProgressBar1, "Upload progress"},
    };
    for (const auto &n : names)
        n.control->setAccessibleName(QString::fromLatin1(n.name));
    Command4->setAccessibleDescription(QStringLiteral("Choose the sample file"));
    Command5->setAccessibleDescription(QStringLiteral("Choose the firmware file"));
    for (int i = 0; i < 8; ++i) {
        VScroll1[size_t(i)]->setAccessibleName(QStringLiteral("Gain %1").arg(i + 1));
        Text13[size_t(i)]->setAccessibleName(QStringLiteral("Gain %1 value").arg(i + 1));
    }

    FitCaptions(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);
    Timer1->setTimerType(Qt::PreciseTimer);
}

} // namespace kv7
