#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace kv7 {

class FileDialogs;
class MessageBoxes;
class RealProgressBar;
class ReplyDecoder;

// "Upload Sample" and its file chooser: selects the area, then sends the
// file as hexadecimal lines of 32 bytes, one line in flight, each waiting
// for the device's reply.
class SampleUpload : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *area = nullptr;     // Text14
        QLineEdit *file = nullptr;     // Text15
        RealProgressBar *progress = nullptr;
        ReplyDecoder *decoder = nullptr;
        // Writes one frame; a failure is reported there and gives false.
        std::function<bool(const QByteArray &)> send;
        std::function<bool()> portOpen;
    };

    static constexpr int LineBytes = 32;

    SampleUpload(Controls controls, MessageBoxes &messages, FileDialogs &dialogs, QObject *parent = nullptr);

    void Command4_Click();
    // Returns when the upload has ended, whichever way.
    void Upload();
    bool Running() const { return m_running; }

    // How long each wait for a reply may take.
    int WaitLimitMs = 5000;
    QString HexLine;
    char FileByte = 0;

private:
    void Run();
    enum class Wait { Fitting, TimedOut, PortLost };
    // Yields to events until `fits` accepts the last reply, the limit runs
    // out or the port goes away.
    Wait WaitForReply(const std::function<bool(const QByteArray &)> &fits);
    void SendLines(const QString &path);

    Controls m_controls;
    MessageBoxes &m_messages;
    FileDialogs &m_dialogs;
    bool m_running = false;
};

} // namespace kv7
