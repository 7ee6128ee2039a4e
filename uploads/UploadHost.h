#pragma once

#include <QString>

namespace kv7 {

// What an upload needs from the window it runs in: a question and messages
// for the user, the progress bar, the controls it disables and restores,
// and the port opened again afterwards.
class UploadHost {
public:
    virtual ~UploadHost() = default;
    virtual bool Confirm(const QString &text, const QString &title) = 0;
    virtual void Report(const QString &text, const QString &detail = {}) = 0;
    // Shown at 0 of `maximum`; the maximum need not be whole.
    virtual void ShowProgress(double maximum) = 0;
    virtual void SetProgress(double value) = 0;
    virtual void HideProgress() = 0;
    // Every control and the reply timer off, or on again.
    virtual void SetControlsEnabled(bool enabled) = 0;
    // Opens the port at its settings; a failure is reported there.
    virtual void ReopenPort() = 0;
    // An event for the session log: an upload's start and its verdict.
    virtual void Note(const QString &event) = 0;
};

} // namespace kv7
