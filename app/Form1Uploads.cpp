// The window's side of the two uploads and of its files: the file
// choosers, the one-upload-at-a-time rule, and the pane's Save As.
#include "app/Form1.h"

#include "app/FileDialogs.h"
#include "app/MessageBoxes.h"
#include "app/RealProgressBar.h"
#include "app/SessionRecorder.h"
#include "uploads/SampleUpload.h"
#include "uploads/FirmwareUpload.h"
#include "terminal/TerminalPane.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>

namespace kv7 {

bool Form1::Confirm(const QString &text, const QString &title)
{
    return m_messages.Ask(text, title);
}

void Form1::Report(const QString &text, const QString &detail)
{
    m_messages.Inform(text, detail);
}

void Form1::ShowProgress(double maximum)
{
    uploadProgress->SetMaximum(maximum);
    uploadProgress->SetValue(0);
    uploadProgress->setVisible(true);
}

void Form1::SetProgress(double value)
{
    uploadProgress->SetValue(value);
}

void Form1::Note(const QString &event)
{
    m_record->Note(event);
}

void Form1::HideProgress()
{
    uploadProgress->setVisible(false);
}

bool Form1::UploadActive() const
{
    return m_firmware->UploadActive();
}

bool Form1::AnyUploadRunning() const
{
    return UploadActive() || m_sample->Running();
}

void Form1::StartUpload()
{
    if (!AnyUploadRunning())
        m_firmware->StartUpload(firmwareFileBox->text());
}

void Form1::RunSampleUpload()
{
    // Every line must reach the device, at the speed, its area was selected
    // on; the other buttons stay usable.
    const QString why = QStringLiteral("Locked while the sample upload runs.");
    for (QComboBox *list : {portList, speedList}) {
        list->setEnabled(false);
        list->setToolTip(why);
    }
    m_sample->Upload(uploadAreaBox->text(), sampleFileBox->text());
    for (QComboBox *list : {portList, speedList}) {
        list->setEnabled(true);
        list->setToolTip(QString());
    }
    UpdatePortToolTip();
}

void Form1::Timer2_Timer()
{
    m_firmware->TimeOut();
}

void Form1::ChooseFile(QLineEdit *box, const FileRequest &request)
{
    const std::optional<QString> path = m_dialogs.ShowOpen(request);
    if (path && !path->isEmpty())
        box->setText(*path);
}

void Form1::Command4_Click()
{
    FileRequest request;
    request.filter = QStringLiteral("Sound Samples (*.SSS)|*.SSS|All Files (*.*)|*.*|");
    request.initialDir = QStringLiteral("C:\\");
    request.mustExist = false;
    ChooseFile(sampleFileBox, request);
}

void Form1::Command5_Click()
{
    FileRequest request;
    request.title = QStringLiteral("Choose BIN file:");
    request.filter = QStringLiteral("Binary file (*.bin)|*.bin| All files (*.*)|*.*");
    request.initialDir = QFileInfo(firmwareFileBox->text()).path();
    ChooseFile(firmwareFileBox, request);
}

void Form1::Text1_LogToFile()
{
    if (m_record->Running()) {
        m_record->Stop();
        return ShowLogState();
    }
    if (const std::optional<QString> path = AskSavePath(QStringLiteral("Log to file"), QStringLiteral("kv7-session.log")))
        (void)StartLog(*path);
}

std::optional<QString> Form1::AskSavePath(const QString &title, const QString &fileName)
{
    FileRequest request;
    request.title = title;
    request.filter = QStringLiteral("Log files (*.log)|*.log|All files (*.*)|*.*");
    request.initialDir = QDir::home().filePath(fileName);
    request.mustExist = false;
    std::optional<QString> path = m_dialogs.ShowSave(request);
    if (path && path->isEmpty())
        path.reset();
    return path;
}

bool Form1::StartLog(const QString &path)
{
    const QString why = m_record->Start(path);
    ShowLogState();
    if (!why.isEmpty())
        m_messages.Inform(QStringLiteral("The session log %1 cannot be opened; the window goes on without it.").arg(path), why);
    return why.isEmpty();
}

void Form1::ShowLogState()
{
    setWindowTitle(m_record->Running() ? WindowCaption() + QStringLiteral(" - logging to ") + m_record->Path() : WindowCaption());
    terminalPane->SetLogging(m_record->Running());
}

void Form1::Text1_SaveAs()
{
    const std::optional<QString> path = AskSavePath(QStringLiteral("Save terminal text as"), QStringLiteral("kv7-terminal.log"));
    if (!path)
        return;
    // Written whole or not at all: a failed save leaves no half file.
    const QByteArray bytes = terminalPane->Text();
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        m_messages.Inform(QStringLiteral("The terminal text could not be saved to %1.").arg(*path), file.errorString());
}

} // namespace kv7
