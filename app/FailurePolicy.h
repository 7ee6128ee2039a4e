#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv7 {

// When a failed write is told to the user: once until the user acts again,
// so a run of failing writes, or of gain reports echoed to a closed port, is
// one failure to the user.
class FailurePolicy {
public:
    struct Report {
        QString text;
        QString detail;
        // Inside the reply timer's tick, where no message box may open: told
        // after the tick, and decoding goes on meanwhile.
        bool afterTick = false;
    };

    // A button pressed: the next failure is told again.
    void UserActed() { m_told = false; }
    // A slider moved: the user's action, unless a gain report decoded in the
    // reply timer's tick moved it.
    void SliderMoved();
    void TickStarted() { m_inTick = true; }
    void TickEnded() { m_inTick = false; }
    // The loss has been told, with how to carry on.
    void PortLost() { m_told = true; }
    // A write of `frame` failed with `error`; `lost` says, while the port is
    // lost, what happened and how to carry on. Nothing when already told.
    std::optional<Report> WriteFailed(const QByteArray &frame, const QString &error, const QString &lost);

private:
    bool m_told = false;
    bool m_inTick = false;
};

} // namespace kv7
