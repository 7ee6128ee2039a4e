#pragma once

#include "app/FileDialogs.h"

#include <QList>

namespace kv7::test {

// Answers every file dialog at once from a queue (cancel when it is empty)
// and keeps what was asked.
class RecordingFileDialogs : public FileDialogs {
public:
    QList<FileRequest> requests;
    QList<std::optional<QString>> answers;

    std::optional<QString> ShowOpen(const FileRequest &request) override
    {
        requests.append(request);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    std::optional<QString> ShowSave(const FileRequest &request) override
    {
        ++saves;
        return ShowOpen(request);
    }
    int saves = 0; // how many of the requests were to save
};

} // namespace kv7::test
