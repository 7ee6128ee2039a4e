#include "terminal/PaneAccessible.h"

#include "terminal/Cp437.h"
#include "terminal/TerminalPane.h"

#include <QAccessibleWidget>

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

// The bytes [from, to) of the pane as characters, one a byte. They are read
// with a byte either side, so that a CR LF cut by either end of the range
// reads as in the whole text.
QString Reading(const TerminalText &model, qint64 from, qint64 to)
{
    const qint64 before = from > model.Begin() ? 1 : 0;
    return Cp437Text(model.Bytes(from - before, to + 1), u"\r\n").mid(before, to - from);
}

PaneEventHandler &Handler()
{
    static PaneEventHandler handler = &QAccessible::updateAccessibility;
    return handler;
}

void Tell(QAccessibleEvent &&event)
{
    Handler()(&event);
}

// The pane as a read-only, multi-line text. Character k is byte
// Begin() + k of the pane's text; a CR LF line break is the two characters
// "\r\n" whatever range holds them, so offsets and bytes stay one to one.
class PaneAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PaneAccessible(TerminalPane *pane) : QAccessibleWidget(pane, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(int startOffset, int endOffset) const override
    {
        const TerminalText &model = Pane()->Model();
        const qint64 from = model.Begin() + std::max(0, startOffset);
        const qint64 to = model.Begin() + std::min(endOffset, characterCount());
        return from < to ? Reading(model, from, to) : QString();
    }

    int characterCount() const override
    {
        return static_cast<int>(std::min<qint64>(Pane()->Model().Size(), INT_MAX));
    }

    int selectionCount() const override { return Pane()->Selection().IsEmpty() ? 0 : 1; }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || Pane()->Selection().IsEmpty())
            return;
        *startOffset = ToOffset(Pane()->Selection().Start());
        *endOffset = ToOffset(Pane()->Selection().End());
    }

    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            setSelection(0, 0, 0);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            Pane()->Select(ToPos(startOffset), ToPos(endOffset));
    }

    // The caret stays at the end of the text, as in the text box the pane
    // stands for; a selection ends where the user left it.
    int cursorPosition() const override
    {
        const PaneSelection &s = Pane()->Selection();
        return s.IsEmpty() ? characterCount() : ToOffset(s.End());
    }
    void setCursorPosition(int position) override { Pane()->ScrollTo(ToPos(position)); }

    QRect characterRect(int offset) const override
    {
        const QRect cell = Pane()->CharacterRect(ToPos(offset));
        return QRect(Pane()->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        return ToOffset(Pane()->OffsetAt(Pane()->viewport()->mapFromGlobal(point), TerminalPane::Character));
    }

    void scrollToSubstring(int startIndex, int) override { Pane()->ScrollTo(ToPos(startIndex)); }

    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    TerminalPane *Pane() const { return static_cast<TerminalPane *>(widget()); }
    int ToOffset(qint64 pos) const
    {
        return static_cast<int>(std::clamp<qint64>(pos - Pane()->Model().Begin(), 0, characterCount()));
    }
    qint64 ToPos(int offset) const { return Pane()->Model().Begin() + std::clamp(offset, 0, characterCount()); }
};

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kv7::TerminalPane") && object && object->isWidgetType())
        return new PaneAccessible(static_cast<TerminalPane *>(object));
    return nullptr;
}

} // namespace

void InstallPaneAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        QAccessible::installActivationObserver(&Listener());
        return true;
    }();
    (void)installed;
}

void NotifySelection(TerminalPane *pane)
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

PaneAnnouncer::PaneAnnouncer(TerminalPane *pane) : m_pane(pane)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(250);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Announce(); });
}

void PaneAnnouncer::Appended()
{
    if (!Listener().on) {
        // A screen reader that comes later reads the text as it finds it.
        m_begin = m_pane->Model().Begin();
        m_end = m_pane->Model().End();
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
    const TerminalText &text = m_pane->Model();
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
