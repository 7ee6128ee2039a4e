#pragma once

#include "app/MessageBoxes.h"

#include <QStringList>

namespace kv7::test {

// Answers every message box at once and keeps what it said.
class RecordingMessageBoxes : public MessageBoxes {
public:
    QStringList texts;
    QStringList details;

    void Inform(const QString &text, const QString &detail = {}) override
    {
        texts.append(text);
        details.append(detail);
    }
};

} // namespace kv7::test
