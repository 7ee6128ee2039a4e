#pragma once

#include "terminal/TerminalText.h"

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QTimer>

namespace kv7 {

// The raw traffic pane: every byte drawn as its code page 437 glyph, lines
// broken only at CR LF, both scroll bars. Only the visible part is drawn, so
// a long session costs nothing on screen.
class TerminalPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TerminalPane(QWidget *parent = nullptr);

    // Appends and moves the view to the end, where the caret is.
    void AppendText(const QByteArray &bytes);
    void Clear();
    QByteArray Text() const { return m_text.Text(); }
    const TerminalText &Model() const { return m_text; }

    // The characters shown on line i, for tests and accessibility.
    QString VisibleLine(qsizetype i) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();
    void ScheduleRepaint();
    void RefreshView();
    void BuildAtlas();
    void ScrollToEnd();
    int VisibleRows() const;
    int VisibleColumns() const;

    TerminalText m_text;
    QTimer *m_repaint;
    // Every byte's glyph drawn once, side by side; painting a line is then a
    // run of small copies instead of text shaping with font fallback.
    QPixmap m_atlas;
    bool m_followEnd = false;
    int m_charWidth = 1;
    int m_lineHeight = 1;
    int m_ascent = 0;
};

} // namespace kv7
