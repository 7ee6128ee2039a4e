#pragma once

#include <QTimer>

class QAccessibleEvent;

namespace kv7 {

class TerminalPane;

// Screen readers get the pane's text, lines and selection through Qt's
// accessibility text interface. Installing twice is harmless.
void InstallPaneAccessibility();
// Tells assistive technology that the pane's selection changed.
void NotifySelection(TerminalPane *pane);
// The pane's events go to QAccessible::updateAccessibility, which passes them
// on only while the platform has a screen reader; tests put their own
// handler here instead. Returns the one it replaces.
using PaneEventHandler = void (*)(QAccessibleEvent *event);
PaneEventHandler InstallPaneEventHandler(PaneEventHandler handler);

// Tells assistive technology of the text that came and the text the bound
// dropped, at most four times a second, so that a busy line does not flood a
// screen reader. Without one listening it only keeps count.
class PaneAnnouncer {
public:
    explicit PaneAnnouncer(TerminalPane *pane);
    // After each append, and before the pane is emptied.
    void Appended();
    void Clearing();

private:
    void Announce();

    TerminalPane *m_pane;
    QTimer m_timer;
    // The text screen readers were last told of, in the pane's absolute offsets.
    qint64 m_begin = 0;
    qint64 m_end = 0;
};

} // namespace kv7
