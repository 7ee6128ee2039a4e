#pragma once

#include "app/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

class QWidget;

namespace kv7 {

// "Name|pattern|..." to Qt's name filters. "*.*" becomes "*", since on
// Linux many files have no dot.
QStringList QtNameFilters(const QString &filter);
// Windows folders such as "C:\" mean the filesystem root.
QString LocalFolder(const QString &folder);

class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget *parent) { m_parent = parent; }

    std::optional<QString> ShowOpen(const FileRequest &request) override;
    std::optional<QString> ShowSave(const FileRequest &request) override;

private:
    std::optional<QString> Show(const FileRequest &request, QFileDialog::AcceptMode mode);

    QWidget *m_parent;
};

} // namespace kv7
