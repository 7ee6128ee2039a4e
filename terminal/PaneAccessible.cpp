#include "terminal/PaneAccessible.h"

#include "terminal/PaneAnnouncer.h"
#include "terminal/TerminalPane.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace kv7 {

namespace {

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
        WatchAssistiveTech();
        return true;
    }();
    (void)installed;
}

} // namespace kv7
