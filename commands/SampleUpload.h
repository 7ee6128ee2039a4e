#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace kv7 {

class ReplyDecoder;
class SerialControl;
class UploadHost;

// "Upload Sample": selects the area, then sends the file as hexadecimal
// lines of 32 bytes, one line in flight, each waiting for the device's reply.
class SampleUpload : public QObject {
    Q_OBJECT
public:
    // Writes one frame; a failure is reported there and gives false.
    using Sender = std::function<bool(const QByteArray &)>;

    static constexpr int LineBytes = 32;

    SampleUpload(Sender send, ReplyDecoder &decoder, const SerialControl &serial, UploadHost &host,
                 QObject *parent = nullptr);

    // Area as typed, the file's path; returns when the upload has ended,
    // whichever way.
    void Upload(const QString &area, const QString &path);
    bool Running() const { return m_running; }

    // How long each wait for a reply may take.
    int WaitLimitMs = 5000;
    QString HexLine;
    char FileByte = 0;

private:
    void Run(const QString &area, const QString &path);
    enum class Wait { Fitting, TimedOut, PortLost };
    // Yields to events until `fits` accepts the last reply, the limit runs
    // out or the port goes away.
    Wait WaitForReply(const std::function<bool(const QByteArray &)> &fits);
    void SendLines(const QString &path);

    Sender m_send;
    ReplyDecoder &m_decoder;
    const SerialControl &m_serial;
    UploadHost &m_host;
    bool m_running = false;
};

} // namespace kv7
