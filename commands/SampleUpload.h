#pragma once

#include "protocol/SampleTransfer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kv7 {

class ReplyDecoder;
class SerialControl;
class UploadHost;

// "Upload Sample" in the window: runs the sample transfer on the window's
// reply decoder, yielding to events while it waits, and tells the user.
class SampleUpload : public QObject {
    Q_OBJECT
public:
    // Writes one frame; a failure is reported there and gives false.
    using Sender = std::function<bool(const QByteArray &)>;

    SampleUpload(Sender send, ReplyDecoder &decoder, const SerialControl &serial, UploadHost &host,
                 QObject *parent = nullptr);

    // Area as typed, the file's path; returns when the upload has ended,
    // whichever way.
    void Upload(const QString &area, const QString &path);
    bool Running() const { return m_running; }

    // How long each wait for a reply may take.
    int WaitLimitMs = SampleTransfer::DefaultWaitMs;

private:
    // True when every line went out and was answered; a stop is reported.
    bool Run(SampleTransfer &transfer, const QString &path);
    // Yields to events until the transfer takes a step from the last reply
    // or the time; nothing when the port went away meanwhile.
    std::optional<SampleTransfer::Step> Await(SampleTransfer &transfer);
    // The file's bytes; false, with the stop reported, when it cannot be read.
    bool ReadFile(const QString &path, QByteArray *bytes);

    Sender m_send;
    ReplyDecoder &m_decoder;
    const SerialControl &m_serial;
    UploadHost &m_host;
    bool m_running = false;
};

} // namespace kv7
