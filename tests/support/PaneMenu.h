#pragma once

#include "terminal/TerminalPane.h"

#include <QAction>
#include <QMenu>

#include <memory>

namespace kv7::test {

// Chooses the item `text` in the pane's menu as a user does; whether it
// showed as checked before.
inline bool ChooseInMenu(TerminalPane *pane, const QString &text)
{
    std::unique_ptr<QMenu> menu(pane->CreateContextMenu());
    for (QAction *action : menu->actions()) {
        if (action->text() == text) {
            const bool checked = action->isChecked();
            action->trigger();
            return checked;
        }
    }
    return false;
}

} // namespace kv7::test
