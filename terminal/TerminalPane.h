#pragma once

#include "terminal/GlyphAtlas.h"
#include "terminal/PaneAnnouncer.h"
#include "terminal/PaneSelection.h"
#include "terminal/TerminalText.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>

class QMenu;
class QTimer;

namespace kv7 {

// The raw traffic pane: every byte drawn as its code page 437 glyph, lines
// broken only at CR LF, both scroll bars. Only the visible part is drawn, so
// a long session costs nothing on screen. For its user it is a read-only
// text box: mouse and keyboard selection, copy, a context menu, accessible
// text.
class TerminalPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TerminalPane(QWidget *parent = nullptr);

    // Appends and moves the view to the end, where the caret is.
    void AppendText(const QByteArray &bytes);
    // Empties the pane, its selection with it.
    void Clear();
    QByteArray Text() const { return m_text.Text(); }
    const TerminalText &Model() const { return m_text; }

    // Selection, in absolute offsets of the model.
    const PaneSelection &Selection() const { return m_selection; }
    void Select(qint64 anchor, qint64 cursor);
    void SelectAll();
    QByteArray SelectedBytes() const;
    // The selection to the clipboard as the pane shows it, or as hex pairs.
    void Copy() const;
    void CopyAsHex() const;
    // The menu of a right click and the Menu key; the caller owns it.
    QMenu *CreateContextMenu();
    // Whether the owner keeps a session log: the menu's check item shows it.
    void SetLogging(bool on) { m_logging = on; }
    // The menu's check item for opening a lost port again when it is back.
    void SetReconnecting(bool on) { m_reconnecting = on; }

    // One character cell in device pixels, at the ratio the pane is shown at.
    QSize CellSize() const;
    // The absolute offset at a point of the viewport: of the boundary
    // between characters nearest to it, or of the character under it. And
    // the viewport rectangle of the character at an offset.
    enum Hit { Boundary, Character };
    qint64 OffsetAt(const QPointF &viewportPos, Hit hit = Boundary) const;
    QRect CharacterRect(qint64 pos) const;
    // Scrolls so that the character at `pos` is in view.
    void ScrollTo(qint64 pos);

    // The text size, in steps from 6 points up to 24. The first line and
    // column shown stay, and the selection.
    void ZoomIn() { SetZoom(m_zoom + 1); }
    void ZoomOut() { SetZoom(m_zoom - 1); }
    void ResetZoom() { SetZoom(0); }

signals:
    // "Save As…" was chosen; the owner asks for a file and writes Text().
    void SaveAsRequested();
    // "Log to File…" was chosen; the owner stops its log or starts one.
    void LogToFileRequested();
    void ReconnectToggled(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void UpdateScrollBars();
    void ScheduleRepaint();
    void RefreshView();
    void RefreshNow();
    void SetZoom(int step);
    void ScrollToEnd();
    // Builds the glyph atlases anew when the ratio, font or colours changed;
    // true when the cell size changed with them.
    bool EnsureAtlases() const;
    QSizeF LogicalCell() const;
    int VisibleRows() const;
    int VisibleColumns() const;
    void SelectionChanged(bool toPrimary);
    void AutoScroll();
    void ShowMenu(const QPoint &globalPos);
    QPoint KeyboardMenuPos() const;

    TerminalText m_text;
    PaneSelection m_selection;
    PaneAnnouncer m_announcer;
    QTimer *m_repaint;
    QTimer *m_autoScroll;
    mutable GlyphAtlas m_plain;
    mutable GlyphAtlas m_selected;
    bool m_followEnd = false;
    bool m_logging = false;
    bool m_reconnecting = false;
    int m_zoom = 0;
    // The wheel's turn with Ctrl held not yet a whole step: a notch is 120,
    // a touchpad sends less at a time.
    int m_wheelZoom = 0;
    bool m_dragging = false;
    QPointF m_lastMouse;
    // A press this soon after a double click selects the line.
    QElapsedTimer m_sinceDoubleClick;
};

} // namespace kv7
