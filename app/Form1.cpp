#include "app/Form1.h"

#include "app/ClipboardHandOver.h"
#include "app/LoggedMessageBoxes.h"
#include "app/MessageBoxes.h"
#include "app/SessionRecorder.h"
#include "app/TabOrder.h"
#include "app/Twips.h"
#include "commands/CommandTable.h"
#include "uploads/SampleUpload.h"
#include "uploads/FirmwareUpload.h"
#include "gains/GainPanel.h"
#include "gains/GainSlider.h"
#include "serial/PortChoice.h"
#include "serial/PortMap.h"
#include "serial/PortReturn.h"
#include "serial/SerialControl.h"
#include "serial/SerialSettings.h"
#include "session/LineSession.h"
#include "protocol/Dump.h"
#include "protocol/GainReport.h"
#include "terminal/PaneChunk.h"
#include "terminal/StatusLamp.h"
#include "terminal/TerminalPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kv7 {

namespace {

// The user's choice outlives the window.
QSettings Preferences()
{
    return QSettings(QStringLiteral("kv7-test"), QStringLiteral("kv7-test"));
}

const char *const ReconnectKey = "port/reconnect";

} // namespace

Form1::Form1(SerialControl &serial, PortMap &ports, MessageBoxes &messages, FileDialogs &dialogs,
             QWidget *parent)
    : QWidget(parent), m_serial(serial), m_ports(ports), m_record(std::make_unique<SessionRecorder>(serial, ports)),
      m_logged(std::make_unique<LoggedMessageBoxes>(messages, *m_record)), m_messages(*m_logged), m_dialogs(dialogs)
{
    ExitProgram = [](int code) {
        // Qt would hand the clipboard over on a normal exit; this one skips it.
        HandClipboardOver();
        std::fflush(nullptr);
        std::_Exit(code);
    };
    CreateControls();
    CreateCollaborators();
    ConnectControls();
    // Left column (terminal, ports, uploads) top to bottom, then the right;
    // after the gain panel has made its sliders focusable.
    ApplyColumnTabOrder(this, 6540 / TwipsPerPixel, 120 / TwipsPerPixel);
}

Form1::~Form1() = default;

void Form1::CreateCollaborators()
{
    m_line = new LineSession(m_serial, this);
    m_firmware = new FirmwareUpload(m_line->Firmware, *this, this);
    // The time-out timer is the upload's limit: it runs only while the
    // device's answer is awaited.
    firmwareTimeOut = &m_line->Firmware.Limit;
    firmwareTimeOut->setObjectName(QStringLiteral("Timer2"));
    m_sample = new SampleUpload([this](const QByteArray &f) { return SendFrame(f); }, *m_line, *this, this);
    m_gains = new GainPanel(gainSliders, gainValues, focusedChannelBox,
                            [this](const QByteArray &f) {
                                m_failures.SliderMoved();
                                return SendFrame(f);
                            },
                            this);
    m_return = new PortReturn(m_serial, m_ports, this);
    SetReconnecting(Preferences().value(QLatin1String(ReconnectKey), true).toBool());
}

void Form1::ConnectControls()
{
    // `activated` fires on every user choice, also of the item already
    // shown, so choosing the same port again retries the open.
    connect(portList, &QComboBox::activated, this, [this] { cmbCommPort_Click(); });
    connect(portList, &QComboBox::currentIndexChanged, this, [this] { UpdatePortToolTip(); });
    connect(speedList, &QComboBox::activated, this, [this] { Combo1_Click(); });
    for (int i = 0; i < int(commandButtons.size()); ++i)
        connect(commandButtons[size_t(i)], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    for (int i = 0; i < int(clearExitButtons.size()); ++i)
        connect(clearExitButtons[size_t(i)], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    connect(m_line, &LineSession::Received, this, &Form1::MSComm1_OnComm);
    connect(&m_serial, &SerialControl::PortLost, this, &Form1::OnPortLost);
    connect(sampleFileChooser, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(replyTimer, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(firmwareFileChooser, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(terminalPane, &TerminalPane::SaveAsRequested, this, &Form1::Text1_SaveAs);
    connect(terminalPane, &TerminalPane::LogToFileRequested, this, &Form1::Text1_LogToFile);
    connect(terminalPane, &TerminalPane::ReconnectToggled, this, [this](bool on) {
        SetReconnecting(on);
        Preferences().setValue(QLatin1String(ReconnectKey), on);
    });
    connect(m_return, &PortReturn::Back, this, &Form1::PortBack);
    // Queued: a write can fail inside the reply timer's tick, where no
    // message box may open.
    connect(m_record.get(), &SessionRecorder::Failed, this,
            [this](const QString &path, const QString &why) {
                ShowLogState();
                m_messages.Inform(QStringLiteral("The session log %1 could not be written; it has stopped.").arg(path),
                                  why);
            },
            Qt::QueuedConnection);
}

void Form1::Form_Load(const QString &port, const QString &speed, const QString &log)
{
    for (int n = 1; n <= 255; ++n) {
        if (m_ports.PortExists(n))
            portList->addItem(m_ports.Name(n), n);
    }
    for (const char *baud : OfferedSpeeds)
        speedList->addItem(QString::fromLatin1(baud));
    SelectSpeed(std::max(0, speedList->findText(speed)));

    m_reportedPort = 0;
    // The port asked for, by its name in the list; one that is not there is
    // a failed open, and start-up goes on as without it.
    const int asked = port.isEmpty() ? 0 : portList->findText(port, Qt::MatchFixedString);
    if (asked < 0)
        m_messages.Inform(QStringLiteral("Error while trying to open %1.").arg(port), ChoosePort(m_ports, port).why);
    // The log starts with the port and speed about to open, and sees it open.
    if (portList->count() > 0)
        (void)m_serial.SetCommPort(portList->itemData(std::max(0, asked)).toInt());
    if (!log.isEmpty())
        (void)StartLog(log);
    if (portList->count() > 0)
        SelectPort(std::max(0, asked));
    if (!m_serial.PortOpen()) {
        const SerialResult opened = m_serial.SetPortOpen(true);
        // Start-up goes on with the port closed; say so once, and with no
        // port at all, say what to do.
        if (!opened.ok() && portList->count() == 0) {
            m_messages.Inform(QStringLiteral("No serial port was found."),
                              QStringLiteral("Connect the serial adapter of the KV7, or start the simulated device "
                                             "(kv7-sim), then start KV7 Test again."));
        } else if (!opened.ok() && m_reportedPort != m_serial.CommPort()) {
            ReportOpenError(m_serial.CommPort(), opened.error);
        }
    }
    m_reportedPort = 0;
    replyTimer->start();
}

void Form1::SelectPort(int index)
{
    portList->setCurrentIndex(index);
    cmbCommPort_Click();
}

void Form1::SelectSpeed(int index)
{
    speedList->setCurrentIndex(index);
    Combo1_Click();
}

void Form1::UpdatePortToolTip()
{
    const QVariant data = portList->currentData();
    const int shown = data.toInt();
    QStringList tip;
    if (data.isValid())
        tip << m_ports.DevicePath(shown);
    if (m_lostPort != 0 && shown == m_lostPort) {
        tip = QStringList{QStringLiteral("%1 was lost. %2").arg(m_ports.Name(m_lostPort), CarryOn())};
    } else if (m_serial.PortOpen() && shown == m_serial.CommPort()) {
        const PortFacts &facts = m_serial.Facts();
        if (!facts.stableName.isEmpty())
            tip << facts.stableName;
        if (const QString advice = facts.LatencyAdvice(m_ports.Name(shown)); !advice.isEmpty())
            tip << advice;
        if (m_backAt.isValid())
            tip << QStringLiteral("Reconnected by itself at %1, when the device came back.")
                       .arg(m_backAt.toString(QStringLiteral("HH:mm:ss")));
    }
    portList->setToolTip(tip.join(QLatin1Char('\n')));
}

QString Form1::CarryOn() const
{
    if (m_return->Enabled())
        return QStringLiteral("It opens again by itself when the device is back, or choose another port in the port list.");
    return QStringLiteral("Choose %1 in the port list when the device is back.").arg(m_ports.Name(m_lostPort));
}

void Form1::Opened()
{
    m_lostPort = 0;
    m_backAt = QTime();
    UpdatePortToolTip();
    // Two readers share one stream: replies would vanish into the other.
    if (const QString shared = m_serial.SharedWith(); !shared.isEmpty())
        m_messages.Inform(shared);
}

void Form1::PortBack(int number)
{
    int index = portList->findData(number);
    if (index < 0) {
        // Back under another number: the list shows where it is now.
        portList->addItem(m_ports.Name(number), number);
        index = portList->count() - 1;
    }
    Note(QStringLiteral("port back: %1 %2").arg(m_ports.Name(number), m_ports.DevicePath(number)));
    portList->setCurrentIndex(index);
    Opened();
    m_backAt = QTime::currentTime();
    UpdatePortToolTip();
}

void Form1::SetReconnecting(bool on)
{
    m_return->SetEnabled(on);
    terminalPane->SetReconnecting(on);
}

void Form1::ReportOpenError(int port, const QString &why)
{
    m_reportedPort = port;
    m_messages.Inform(QStringLiteral("Error while trying to open %1.").arg(m_ports.Name(port)), why);
}

void Form1::cmbCommPort_Click()
{
    const int port = portList->currentData().toInt();
    if (m_serial.PortOpen()) {
        const SerialResult closed = m_serial.SetPortOpen(false);
        if (!closed.ok())
            return ReportOpenError(port, closed.error);
    }
    SerialResult result = m_serial.SetCommPort(port);
    if (result.ok())
        result = m_serial.SetPortOpen(true);
    if (!result.ok())
        return ReportOpenError(port, result.error);
    Opened();
}

void Form1::Combo1_Click()
{
    // With the port closed the speed waits for the next open, so the list
    // shows what that open will use.
    if (!m_serial.PortOpen()) {
        (void)m_serial.SetSettings(speedList->currentText()); // every listed speed parses
        return;
    }
    const QString before = m_serial.Settings();
    (void)m_serial.SetPortOpen(false);
    SerialResult result = m_serial.SetSettings(speedList->currentText());
    if (result.ok())
        result = m_serial.SetPortOpen(true);
    if (result.ok())
        return;
    // A speed the driver refuses: back to the speed in force, so the port
    // is not left closed at a speed it cannot take.
    (void)m_serial.SetSettings(before);
    const SerialResult back = m_serial.SetPortOpen(true);
    speedList->setCurrentText(QString::number(SerialSettings::Parse(before, {})->baud));
    ReportOpenError(m_serial.CommPort(), back.ok() ? result.error : result.error + QLatin1Char('\n') + back.error);
}

void Form1::Command1_Click(int index)
{
    m_failures.UserActed();
    CommandInputs in;
    in.soundFile = soundFileBox->text();
    in.sendWord = commandWordBox->text();
    in.sendParam = commandParamBox->text();
    in.sample = sampleBox->text();
    in.duration = durationBox->text();
    in.trigStart = trigStartCheck->isChecked();
    in.chronoInput = chronoInputNumberBox->text();
    in.chronoTime = chronoTimeBox->text();
    in.deviceBaud = deviceBaudBox->text();
    in.eraseArea = eraseAreaBox->text();
    const Command command = CommandFor(index, in);
    switch (command.kind) {
    case Command::Single:
        (void)SendFrame(command.frames.first());
        break;
    case Command::Paced:
        RunPaced(command.frames);
        break;
    case Command::Message:
        m_messages.Inform(command.message);
        break;
    case Command::FirmwareUpload:
        StartUpload();
        break;
    case Command::SampleUpload:
        if (!AnyUploadRunning())
            RunSampleUpload();
        break;
    case Command::None:
        break;
    }
}

bool Form1::SendFrame(const QByteArray &frame)
{
    // The line belongs to the boot loader while a firmware upload runs.
    if (UploadActive())
        return false;
    const SerialResult sent = m_serial.Output(frame);
    if (sent.ok())
        return true;
    const QString lost = m_lostPort != 0 && !m_serial.PortOpen()
                             ? QStringLiteral("The connection to %1 was lost. %2").arg(m_ports.Name(m_lostPort), CarryOn())
                             : QString();
    if (const std::optional<FailurePolicy::Report> report = m_failures.WriteFailed(frame, sent.error, lost)) {
        const auto tell = [this, report] { m_messages.Inform(report->text, report->detail); };
        if (report->afterTick)
            QMetaObject::invokeMethod(this, tell, Qt::QueuedConnection);
        else
            tell();
    }
    return false;
}

void Form1::RunPaced(const QByteArrayList &frames)
{
    for (const QByteArray &frame : frames) {
        if (!SendFrame(frame))
            return;
        m_line->Decoder.Pause(5);
        // A wait inside the click, on purpose: the run ends before the click
        // returns, and a button pressed in a pause runs to its end inside it
        // (a second run there lengthens this pause). The reply timer's ticks
        // end the wait. A firmware upload started meanwhile stops those
        // ticks and ends the run: the line is the boot loader's now, and the
        // next write is refused.
        while (m_line->Decoder.Paused() && !UploadActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void Form1::Command2_Click(int index)
{
    if (index == 0) {
        terminalPane->Clear();
    } else if (index == 1) {
        End(0);
    }
}

void Form1::EndOnSignal(int signal)
{
    End(128 + signal);
}

void Form1::End(int code)
{
    // No closing events, no questions. The port goes first so the device is
    // released cleanly, its lock file with it.
    (void)m_serial.SetPortOpen(false);
    ExitProgram(code);
}

void Form1::MSComm1_OnComm(const QByteArray &chunk)
{
    terminalPane->AppendText(PaneChunk(chunk));
}

void Form1::Timer1_Timer()
{
    // A write of the sample upload's next line, made inside the tick, is
    // told after it.
    m_failures.TickStarted();
    if (const std::optional<QByteArray> frame = m_line->Tick())
        ShowReply(*frame);
    m_failures.TickEnded();
}

void Form1::ShowReply(const QByteArray &frame)
{
    replyLine->setText(Dump(frame));
    statusLamp->SetFillColour(LampColour(frame.size() > 1 ? frame[1] : '\0'));
    if (const auto report = ParseGainReport(frame)) {
        const auto i = size_t(report->channel - 1);
        gainSliders[i]->SetGain(report->gain);
        gainValues[i]->setText(QString::number(report->gain));
    }
}

void Form1::SetControlsEnabled(bool enabled)
{
    for (QWidget *control : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        control->setEnabled(enabled);
    // The reply timer with them; the time-out runs only while the firmware
    // upload awaits the device, and that upload keeps it.
    if (enabled)
        replyTimer->start();
    else
        replyTimer->stop();
    convertWaveButton->setEnabled(false);
}

void Form1::OnPortLost()
{
    // The system's own words for a vanished device help no one; what to do
    // next does.
    m_lostPort = m_serial.CommPort();
    UpdatePortToolTip();
    if (UploadActive())
        return m_firmware->PortLost(m_ports.Name(m_lostPort), CarryOn());
    // Before the message: no wait of the upload may run out behind it.
    if (m_sample->Running())
        m_sample->PortLost();
    m_failures.PortLost();
    m_messages.Inform(QStringLiteral("The connection to %1 was lost.").arg(m_ports.Name(m_lostPort)), CarryOn());
}

void Form1::closeEvent(QCloseEvent *event)
{
    Command2_Click(1);
    QWidget::closeEvent(event);
}

void Form1::ReopenPort()
{
    const SerialResult opened = m_serial.SetPortOpen(true);
    if (!opened.ok())
        return ReportOpenError(m_serial.CommPort(), opened.error);
    Opened();
}

} // namespace kv7
