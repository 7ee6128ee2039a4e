#pragma once

#include "app/MessageBoxes.h"

#include <QStringList>

#include <functional>

namespace kv7::test {

// Answers every message box at once and keeps what it said.
class RecordingMessageBoxes : public MessageBoxes {
public:
    QStringList texts;
    QStringList details;
    QStringList questions;       // "title: text" of every question
    QList<bool> answers;         // answered in order; Yes when none is left
    std::function<void()> onInform; // runs while the box is "open"

    void Inform(const QString &text, const QString &detail = {}) override
    {
        texts.append(text);
        details.append(detail);
        if (onInform)
            onInform();
    }

    bool Ask(const QString &text, const QString &title) override
    {
        questions.append(title + QStringLiteral(": ") + text);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};

} // namespace kv7::test
