#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

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
    // True when every line went out and was answered.
    bool Run(const QString &area, const QString &path);
    enum class Wait { Fitting, TimedOut, PortLost };
    // The status character of a reply that ends the wait, or nothing.
    using StatusOf = std::optional<char> (*)(const QByteArray &reply);
    // Yields to events until the last reply has a status, the limit runs
    // out or the port goes away.
    Wait WaitForReply(StatusOf statusOf, char *status);
    // True when every line went out and was answered; a stop is reported.
    bool SendLines(const QString &path);
    bool Stop(const QString &text, const QString &detail = {});
    // The lines the device answered with a status other than "0", and the
    // first of them: the device keeps going, so the user hears of it at the end.
    QString Rejections() const;

    QString m_area;
    qint64 m_answered = 0;
    qint64 m_rejected = 0;
    qint64 m_firstRejected = -1;

    Sender m_send;
    ReplyDecoder &m_decoder;
    const SerialControl &m_serial;
    UploadHost &m_host;
    bool m_running = false;
};

} // namespace kv7
