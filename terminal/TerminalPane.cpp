#include "terminal/TerminalPane.h"

#include "terminal/Cp437.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace kv7 {

namespace {

QFont TerminalFont()
{
    // "Terminal" is the OEM bitmap font the device's engineers know; where it
    // is missing, a monospaced font with the code page 437 glyphs stands in.
    QFont font;
    font.setFamilies({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(6);
    font.setWeight(QFont::Bold);
    font.setFixedPitch(true);
    return font;
}

QString Glyphs(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *o = out.data();
    for (const char b : bytes)
        *o++ = Cp437Glyph(static_cast<unsigned char>(b));
    return out;
}

} // namespace

TerminalPane::TerminalPane(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(TerminalFont());
    const QFontMetrics fm(font());
    m_charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    m_lineHeight = std::max(1, fm.height());
    m_ascent = fm.ascent();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    UpdateScrollBars();
}

void TerminalPane::AppendText(const QByteArray &bytes)
{
    m_text.Append(bytes);
    UpdateScrollBars();
    ScrollToEnd();
    viewport()->update();
}

void TerminalPane::Clear()
{
    m_text.Clear();
    UpdateScrollBars();
    viewport()->update();
}

QString TerminalPane::VisibleLine(qsizetype i) const
{
    return Glyphs(m_text.Line(i));
}

int TerminalPane::VisibleRows() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

int TerminalPane::VisibleColumns() const
{
    return std::max(1, viewport()->width() / m_charWidth);
}

void TerminalPane::UpdateScrollBars()
{
    const auto rows = static_cast<int>(std::min<qsizetype>(m_text.LineCount(), INT_MAX));
    verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
    verticalScrollBar()->setPageStep(VisibleRows());
    // One column more than the longest line leaves room for the caret.
    const auto cols = static_cast<int>(std::min<qsizetype>(m_text.LongestLine() + 1, INT_MAX));
    horizontalScrollBar()->setRange(0, std::max(0, cols - VisibleColumns()));
    horizontalScrollBar()->setPageStep(VisibleColumns());
}

void TerminalPane::ScrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    const qsizetype lastLen = m_text.LineLength(m_text.LineCount() - 1);
    horizontalScrollBar()->setValue(static_cast<int>(std::max<qsizetype>(0, lastLen + 1 - VisibleColumns())));
}

void TerminalPane::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    p.setFont(font());
    p.setPen(palette().color(QPalette::Text));
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype col = horizontalScrollBar()->value();
    const int rows = VisibleRows() + 1;
    const int cols = VisibleColumns() + 1;
    for (int r = 0; r < rows && first + r < m_text.LineCount(); ++r)
        p.drawText(0, r * m_lineHeight + m_ascent, Glyphs(m_text.Line(first + r, col, cols)));
}

void TerminalPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

} // namespace kv7
