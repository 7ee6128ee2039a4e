#pragma once

#include "terminal/TerminalText.h"

#include <QAbstractScrollArea>

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

private:
    void UpdateScrollBars();
    void ScrollToEnd();
    int VisibleRows() const;
    int VisibleColumns() const;

    TerminalText m_text;
    int m_charWidth = 1;
    int m_lineHeight = 1;
    int m_ascent = 0;
};

} // namespace kv7
