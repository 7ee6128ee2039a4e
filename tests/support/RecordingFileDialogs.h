#pragma once

#include "app/FileDialogs.h"

#include <QList>

namespace kv7::test {

// Answers every file dialog at once from a queue (cancel when it is empty)
// and keeps what was asked.
class RecordingFileDialogs : public FileDialogs {
public:
    QList<OpenFileRequest> requests;
    QList<std::optional<QString>> answers;

    std::optional<QString> ShowOpen(const OpenFileRequest &request) override
    {
        requests.append(request);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

} // namespace kv7::test
