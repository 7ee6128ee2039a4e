#pragma once

#include <QString>

namespace kv7 {

// Message boxes as the window needs them, so tests can answer them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An OK-only box titled "KV7 Test"; `detail` says why, when known.
    virtual void Inform(const QString &text, const QString &detail = {}) = 0;
    // A Yes/No question with its own title; true for Yes.
    virtual bool Ask(const QString &text, const QString &title) = 0;
};

} // namespace kv7
