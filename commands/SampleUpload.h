#pragma once

#include "session/SampleRun.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace kv7 {

class ReplyDecoder;
class UploadHost;

// "Upload Sample" in the window: runs the sample upload on the line with
// the window's last reply, and tells the user.
class SampleUpload : public QObject {
    Q_OBJECT
public:
    // Writes one frame; a failure is reported there and gives false.
    using Sender = std::function<bool(const QByteArray &)>;

    SampleUpload(Sender send, ReplyDecoder &decoder, UploadHost &host, QObject *parent = nullptr);

    // Area as typed, the file's path; returns when the upload has ended,
    // whichever way.
    void Upload(const QString &area, const QString &path);
    bool Running() const { return m_running; }
    // The reply timer took a frame: the last reply may end the wait.
    void ReplyTaken();
    // The port went away (told already): no reply can come.
    void PortLost();

    // How long each wait for a reply may take.
    int WaitLimitMs = SampleTransfer::DefaultWaitMs;

private:
    // The file's bytes; nothing, with the stop reported, when it cannot be read.
    std::optional<QByteArray> ReadFile(const QString &path);

    Sender m_send;
    ReplyDecoder &m_decoder;
    UploadHost &m_host;
    SampleRun m_run;
    bool m_running = false;
};

} // namespace kv7
