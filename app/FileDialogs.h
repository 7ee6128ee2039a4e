#pragma once

#include <QString>

#include <optional>

namespace kv7 {

// What the window asks of a file-open dialog. The filter is in the
// "Name|pattern|Name|pattern" form the window's buttons define.
struct OpenFileRequest {
    QString title;       // empty: the dialog's own title
    QString filter;
    QString initialDir;  // empty: the dialog's choice
    bool mustExist = true;
};

// File dialogs as the window needs them, so tests can answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> ShowOpen(const OpenFileRequest &request) = 0;
};

} // namespace kv7
