#pragma once

#include "app/MessageBoxes.h"

namespace kv7 {

class SessionRecorder;

// The window's message boxes, each one's text also an event of the session
// log, so that the log tells what the user was told.
class LoggedMessageBoxes : public MessageBoxes {
public:
    LoggedMessageBoxes(MessageBoxes &boxes, SessionRecorder &record) : m_boxes(boxes), m_record(record) {}

    void Inform(const QString &text, const QString &detail = {}) override;
    bool Ask(const QString &text, const QString &title) override;

private:
    MessageBoxes &m_boxes;
    SessionRecorder &m_record;
};

} // namespace kv7
