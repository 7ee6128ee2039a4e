#pragma once

#include "app/MessageBoxes.h"

class QWidget;

namespace kv7 {

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget *parent) { m_parent = parent; }

    void Inform(const QString &text, const QString &detail = {}) override;
    bool Ask(const QString &text, const QString &title) override;

private:
    QWidget *m_parent;
};

} // namespace kv7
