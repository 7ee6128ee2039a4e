#include "terminal/PaneAnnouncer.h"

#include "terminal/Cp437.h"
#include "terminal/TerminalText.h"

#include <QAccessible>

#include <algorithm>
#include <utility>

namespace kv7 {

namespace {

// Whether assistive technology listens. The platform tells of each change
// through QAccessible::setActive, and that tells the observers.
class Listening : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override { on = active; }
    bool on = QAccessible::isActive();
};

Listening &Listener()
{
    static Listening listening;
    return listening;
}

PaneEventHandler &Handler()
{
    static PaneEventHandler handler = &QAccessible::updateAccessibility;
    return handler;
}


} // namespace

QString Reading(const TerminalText &model, qint64 from, qint64 to)
{
    const qint64 before = from > model.Begin() ? 1 : 0;
    return Cp437Text(model.Bytes(from - before, to + 1), u"\r\n").mid(before, to - from);
}

void Tell(QAccessibleEvent &&event)
{
    Handler()(&event);
}

void WatchAssistiveTech()
{
    static const bool watching = [] {
        QAccessible::installActivationObserver(&Listener());
        return true;
    }();
    (void)watching;
}

void NotifySelection(QObject *pane)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(pane);
    QAccessibleTextInterface *text = iface ? iface->textInterface() : nullptr;
    if (!text)
        return;
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    QAccessibleTextSelectionEvent event(pane, start, end);
    event.setCursorPosition(text->cursorPosition());
    Tell(std::move(event));
}

PaneEventHandler InstallPaneEventHandler(PaneEventHandler handler)
{
    return std::exchange(Handler(), handler);
}

PaneAnnouncer::PaneAnnouncer(QObject *pane, const TerminalText &text) : m_pane(pane), m_text(text)
{
    WatchAssistiveTech();
    m_timer.setSingleShot(true);
    m_timer.setInterval(250);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Announce(); });
}

void PaneAnnouncer::Appended()
{
    if (!Listener().on) {
        // A screen reader that comes later reads the text as it finds it.
        m_begin = m_text.Begin();
        m_end = m_text.End();
    } else if (!m_timer.isActive()) {
        // Not restarted by more text, so that a busy line is told of too.
        m_timer.start();
    }
}

void PaneAnnouncer::Clearing()
{
    m_timer.stop();
    if (Listener().on && m_end > m_begin)
        Tell(QAccessibleTextRemoveEvent(m_pane, 0, QString(int(m_end - m_begin), u' ')));
    m_begin = m_end = 0;
}

void PaneAnnouncer::Announce()
{
    const TerminalText &text = m_text;
    // Each event's offsets count in the text as the ones before it left it:
    // first what the bound dropped of the told text, then what came after.
    // The dropped bytes are gone; spaces stand for them, as in Qt's own text
    // widgets. Text dropped before it was told of is not mentioned.
    const qint64 dropped = std::min(text.Begin(), m_end) - m_begin;
    if (dropped > 0)
        Tell(QAccessibleTextRemoveEvent(m_pane, 0, QString(int(dropped), u' ')));
    qint64 from = std::max(m_end, text.Begin());
    // A CR told of as its glyph may since have become half of a line break.
    const bool joined = from > text.Begin() && text.Bytes(from - 1, from + 1) == "\r\n";
    from -= joined;
    const int at = int(from - text.Begin());
    if (joined)
        Tell(QAccessibleTextUpdateEvent(m_pane, at, QString(Cp437Glyph('\r')), Reading(text, from, text.End())));
    else if (from < text.End())
        Tell(QAccessibleTextInsertEvent(m_pane, at, Reading(text, from, text.End())));
    m_begin = text.Begin();
    m_end = text.End();
}

} // namespace kv7
