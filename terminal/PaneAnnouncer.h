#pragma once

#include <QString>
#include <QTimer>

class QAccessibleEvent;

namespace kv7 {

class TerminalText;

// The bytes [from, to) of the pane's text as characters, one a byte, as
// screen readers get them. They are read with a byte either side, so that a
// CR LF cut by either end of the range reads as in the whole text.
QString Reading(const TerminalText &model, qint64 from, qint64 to);
// To assistive technology, through the handler below.
void Tell(QAccessibleEvent &&event);
// Starts following whether assistive technology listens.
void WatchAssistiveTech();
// Tells assistive technology that the pane's selection changed.
void NotifySelection(QObject *pane);
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
    PaneAnnouncer(QObject *pane, const TerminalText &text);
    // After each append, and before the pane is emptied.
    void Appended();
    void Clearing();

private:
    void Announce();

    QObject *m_pane;
    const TerminalText &m_text;
    QTimer m_timer;
    // The text screen readers were last told of, in the pane's absolute offsets.
    qint64 m_begin = 0;
    qint64 m_end = 0;
};

} // namespace kv7
