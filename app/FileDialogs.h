#pragma once

#include <QString>

#include <optional>

namespace kv7 {

// What the window asks of a file dialog. The filter is in the
// "Name|pattern|Name|pattern" form the window's buttons define.
struct FileRequest {
    QString title;       // empty: the dialog's own title
    QString filter;
    QString initialDir;  // empty: the dialog's choice; for saving, the suggested file
    bool mustExist = true;
};

// File dialogs as the window needs them, so tests can answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> ShowOpen(const FileRequest &request) = 0;
    // A file to write, confirmed by the user if it exists; nothing when cancelled.
    virtual std::optional<QString> ShowSave(const FileRequest &request) = 0;
};

} // namespace kv7
