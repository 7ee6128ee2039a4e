#pragma once

#include "protocol/SampleTransfer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kv7 {

class LineSession;
class SampleRun;
class UploadHost;

// "Upload Sample" in the window: runs the sample upload on the line with
// the window's last reply, and tells the user.
class SampleUpload : public QObject {
    Q_OBJECT
public:
    // Writes one frame; a failure is reported there and gives false.
    using Sender = std::function<bool(const QByteArray &)>;

    SampleUpload(Sender send, LineSession &line, UploadHost &host, QObject *parent = nullptr);

    // Area as typed, the file's path; returns when the upload has ended,
    // whichever way.
    void Upload(const QString &area, const QString &path);
    bool Running() const { return m_running; }
    // The port went away (told already): no reply can come.
    void PortLost();

    // How long each wait for a reply may take.
    int WaitLimitMs = SampleTransfer::DefaultWaitMs;

private:
    // The file's bytes; nothing, with the stop reported, when it cannot be read.
    std::optional<QByteArray> ReadFile(const QString &path);

    Sender m_send;
    LineSession &m_line;
    SampleRun &m_run;
    UploadHost &m_host;
    bool m_running = false;
};

} // namespace kv7
