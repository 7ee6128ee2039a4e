#pragma once

#include "protocol/SampleTransfer.h"
#include "serial/SerialResult.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace kv7 {

// A sample upload on the line, for the window and kv7-run alike: writes
// each frame the transfer gives, hands it the replies it is offered, keeps
// the time of each wait and reads the file once the area is taken. Where the
// replies come from (the window's reply timer, or each frame as it arrives)
// and what the end means to the user are the caller's.
class SampleRun : public QObject {
    Q_OBJECT
public:
    // A frame out; the caller's own write (it may refuse, forget or drain
    // what came before, and tell the user of a failure).
    std::function<SerialResult(const QByteArray &frame)> write;
    // The file's bytes once the area is taken; nothing stops the upload
    // (the reason has been told there).
    std::function<std::optional<QByteArray>()> data;

    explicit SampleRun(QObject *parent = nullptr);

    // Starts an upload to `area` (as typed), each reply awaited up to `waitMs`.
    void Start(const QString &area, int waitMs = SampleTransfer::DefaultWaitMs);
    // A reply: the last one taken since the last write.
    void Offer(const QByteArray &reply);
    // The line failed under it: the port went away, the program stops.
    void Fail(const QString &why);

    bool Running() const { return m_running; }
    const SampleTransfer &Transfer() const { return m_transfer; }
    // How it ended: ok, or the failure and its detail.
    const SampleTransfer::Step &Outcome() const { return m_outcome; }
    // It ended at a failed write, an unreadable file or Fail: told where
    // that happened, not by the outcome.
    bool ToldElsewhere() const { return m_toldElsewhere; }

    // Runs while a reply is awaited; its interval is the wait's limit.
    QTimer Limit;

signals:
    // A line was answered (progress).
    void Advanced();
    // Once an upload, whichever way; Outcome() says how.
    void Ended();

private:
    // Carries out a step and those it leads to, until one waits for a reply.
    void Go(SampleTransfer::Step step);

    SampleTransfer m_transfer{QString()};
    SampleTransfer::Step m_outcome;
    bool m_running = false;
    bool m_toldElsewhere = false;
};

} // namespace kv7
