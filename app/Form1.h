#pragma once

#include "app/FailurePolicy.h"
#include "commands/CommandTable.h"
#include "uploads/UploadHost.h"

#include <QByteArray>
#include <QTime>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kv7 {

class FileDialogs;
struct FileRequest;
class FirmwareUpload;
class MessageBoxes;
class PortMap;
class PortReturn;
class RealProgressBar;
class SampleUpload;
class SerialControl;
class GainPanel;
class LineSession;
class LoggedMessageBoxes;
class SessionRecorder;
class GainSlider;
class StatusLamp;
class TerminalPane;

// The one window: owns its controls and the form-level state, and wires the
// serial control, the receive path and the reply decoder to them. It is the
// host its uploads run in; only they see it as one.
class Form1 : public QWidget, private UploadHost {
    Q_OBJECT
public:
    Form1(SerialControl &serial, PortMap &ports, MessageBoxes &messages, FileDialogs &dialogs,
          QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: port and speed lists, framing characters, the first open:
    // of `port` (a name as the list shows it), or else of the first port,
    // at `speed`; with a session log into `log` from just before it.
    void Form_Load(const QString &port = {}, const QString &speed = QStringLiteral("9600"), const QString &log = {});

    void cmbCommPort_Click();
    void Combo1_Click();
    void Command1_Click(int index);
    void Command2_Click(int index);
    // Bytes the device sent, as the line session took them.
    void MSComm1_OnComm(const QByteArray &chunk);
    void Timer1_Timer();
    // The time-out: the firmware upload's limit timer has run out (it calls
    // the upload itself; tests and a frozen device call this).
    void Timer2_Timer();
    void Command4_Click();
    void Command5_Click();
    void StartUpload();
    // The pane's "Save As…": its bytes, unchanged, to a file the user picks.
    void Text1_SaveAs();
    // The pane's "Log to File…": stops a running session log, or starts one
    // into a file the user picks.
    void Text1_LogToFile();
    // Starts the session log into `path`; a failure is reported, and the
    // window goes on without a log.
    bool StartLog(const QString &path);
    const SessionRecorder &Record() const { return *m_record; }

    // Every control and the reply timer; "Convert Wave" stays disabled.
    void SetControlsEnabled(bool enabled) override;
    // Opens the port at its settings; a failure is reported.
    void ReopenPort() override;
    // The port went away by itself.
    void OnPortLost();
    // SIGTERM, SIGINT or SIGHUP: ends as "EXIT" does, with 128 + `signal`.
    void EndOnSignal(int signal);

    // The line the window shows: its receive buffer, last reply, uploads.
    LineSession &Line() { return *m_line; }
    FirmwareUpload &Firmware() { return *m_firmware; }
    SampleUpload &Sample() { return *m_sample; }
    // A firmware upload holds the line.
    bool UploadActive() const;

    // How "EXIT" ends the process; tests replace it.
    std::function<void(int)> ExitProgram;

    // Controls, named for what they are; each keeps its name in the
    // window's design as its objectName.
    TerminalPane *terminalPane = nullptr;
    QLineEdit *replyLine = nullptr;
    StatusLamp *statusLamp = nullptr;
    QLabel *portCaption = nullptr;
    QComboBox *portList = nullptr;
    QComboBox *speedList = nullptr;
    std::array<QPushButton *, 2> clearExitButtons{};
    std::array<QLineEdit *, 8> gainValues{};
    std::array<GainSlider *, 8> gainSliders{};
    QLineEdit *commandWordBox = nullptr;
    QLineEdit *commandParamBox = nullptr;
    QLineEdit *deviceBaudBox = nullptr;
    QLineEdit *focusedChannelBox = nullptr;
    QLineEdit *sampleBox = nullptr;
    QLineEdit *durationBox = nullptr;
    QLabel *durationUnit = nullptr;
    QCheckBox *trigStartCheck = nullptr;
    QLineEdit *chronoInputBox = nullptr;
    QLineEdit *chronoInputNumberBox = nullptr;
    QLineEdit *chronoTimeBox = nullptr;
    QLabel *chronoTimeUnit = nullptr;
    QLineEdit *soundFileBox = nullptr;
    QLineEdit *eraseAreaBox = nullptr;
    QLineEdit *uploadAreaBox = nullptr;
    QLineEdit *sampleFileBox = nullptr;
    QPushButton *sampleFileChooser = nullptr;
    QLineEdit *firmwareFileBox = nullptr;
    QPushButton *firmwareFileChooser = nullptr;
    QLabel *sohMark = nullptr;
    QLabel *stxMark = nullptr;
    QLabel *eotMark = nullptr;
    RealProgressBar *uploadProgress = nullptr;
    QPushButton *convertWaveButton = nullptr;
    std::array<QPushButton *, Buttons::Count> commandButtons{};
    QTimer *replyTimer = nullptr;
    QTimer *firmwareTimeOut = nullptr;

protected:
    // Closing the window ends the program as "EXIT" does, also in the
    // middle of a paced run or an upload.
    void closeEvent(QCloseEvent *event) override;

private:
    // The uploads' questions, messages, progress and log notes.
    bool Confirm(const QString &text, const QString &title) override;
    void Report(const QString &text, const QString &detail) override;
    void ShowProgress(double maximum) override;
    void SetProgress(double value) override;
    void HideProgress() override;
    void Note(const QString &event) override;

    void CreateControls();
    // The uploads and the gain panel, on the controls just created.
    void CreateCollaborators();
    // Only one upload at a time: each would take the line from the other.
    bool AnyUploadRunning() const;
    // The sample upload, with the port and speed held for its whole run.
    void RunSampleUpload();
    // At once, the port closed first so the device and its lock are released.
    void End(int code);
    // The file chooser of a path box.
    void ChooseFile(QLineEdit *box, const FileRequest &request);
    // A file to write the pane's text or the session log into; nothing when
    // the user cancels.
    std::optional<QString> AskSavePath(const QString &title, const QString &fileName);
    // Writes one frame, none while a firmware upload holds the line; a
    // failure gives false, and the failure policy says whether it is told.
    bool SendFrame(const QByteArray &frame);
    // Frame, five reply-timer ticks of pause, next frame; stops at a failed write.
    void RunPaced(const QByteArrayList &frames);
    // Signals only; everything they reach exists by then.
    void ConnectControls();
    // Selects an item as a user would, running the list's handler at once.
    void SelectPort(int index);
    void SelectSpeed(int index);
    void UpdatePortToolTip();
    // What to do about a lost port.
    QString CarryOn() const;
    // A port has opened: whatever was lost is back.
    void Opened();
    // The lost port opened again by itself.
    void PortBack(int number);
    void SetReconnecting(bool on);
    void ShowReply(const QByteArray &frame);
    void ReportOpenError(int port, const QString &why);
    // The caption and the pane's menu say whether a log runs.
    void ShowLogState();
    // The caption while no log runs.
    static QString WindowCaption() { return QStringLiteral("KV7 Test 1.0"); }

    SerialControl &m_serial;
    PortMap &m_ports;
    std::unique_ptr<SessionRecorder> m_record;
    // Every message the user is shown also goes to the session log.
    std::unique_ptr<LoggedMessageBoxes> m_logged;
    MessageBoxes &m_messages;
    FileDialogs &m_dialogs;
    // The port whose open failure was just reported, so start-up does not
    // report the same failure twice.
    int m_reportedPort = 0;
    // Which failed writes the user is told of, and when.
    FailurePolicy m_failures;
    // The port that went away by itself, until a port opens again.
    int m_lostPort = 0;
    // Opens the lost port again when its device is back.
    PortReturn *m_return = nullptr;
    // When it last came back, for the port list's tooltip.
    QTime m_backAt;
    GainPanel *m_gains = nullptr;
    LineSession *m_line = nullptr;
    FirmwareUpload *m_firmware = nullptr;
    SampleUpload *m_sample = nullptr;
};

} // namespace kv7
