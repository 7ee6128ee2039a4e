#pragma once

#include "app/Form1.h"
#include "commands/UploadHost.h"

namespace kv7 {

// The window as the uploads see it: its message boxes, its progress bar,
// its controls and its port.
class Form1::Host : public UploadHost {
public:
    explicit Host(Form1 &form) : m_form(form) {}

    bool Confirm(const QString &text, const QString &title) override;
    void Report(const QString &text, const QString &detail) override;
    void ShowProgress(double maximum) override;
    void SetProgress(double value) override;
    void HideProgress() override;
    void Note(const QString &event) override;
    void SetControlsEnabled(bool enabled) override { m_form.SetControlsEnabled(enabled); }
    void ReopenPort() override { m_form.ReopenPort(); }

private:
    Form1 &m_form;
};

} // namespace kv7
