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

TerminalPane::TerminalPane(QWidget *parent) : QAbstractScrollArea(parent), m_repaint(new QTimer(this))
{
    // Fast traffic arrives in many small chunks; redrawing the view (and its
    // scroll bars) for each would cost far more than the text. One refresh
    // per frame time is enough.
    m_repaint->setSingleShot(true);
    m_repaint->setInterval(15);
    connect(m_repaint, &QTimer::timeout, this, &TerminalPane::RefreshView);
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
    m_followEnd = true;
    ScheduleRepaint();
}

void TerminalPane::Clear()
{
    m_text.Clear();
    UpdateScrollBars();
    ScheduleRepaint();
}

void TerminalPane::ScheduleRepaint()
{
    if (!m_repaint->isActive())
        m_repaint->start();
}

void TerminalPane::RefreshView()
{
    UpdateScrollBars();
    if (m_followEnd) {
        m_followEnd = false;
        ScrollToEnd();
    }
    viewport()->update();
}

void TerminalPane::scrollContentsBy(int, int)
{
    // Lines are drawn from the scroll position; no pixels to move.
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

void TerminalPane::BuildAtlas()
{
    const qreal dpr = devicePixelRatioF();
    m_atlas = QPixmap(QSize(256 * m_charWidth, m_lineHeight) * dpr);
    m_atlas.setDevicePixelRatio(dpr);
    m_atlas.fill(Qt::transparent);
    QPainter p(&m_atlas);
    p.setFont(font());
    p.setPen(palette().color(QPalette::Text));
    for (int b = 0; b < 256; ++b) {
        // Clip each glyph to its cell so a wide fallback glyph cannot bleed
        // into its neighbour.
        const QRect cell(b * m_charWidth, 0, m_charWidth, m_lineHeight);
        p.setClipRect(cell);
        p.drawText(cell.left(), m_ascent, QString(Cp437Glyph(static_cast<unsigned char>(b))));
    }
}

void TerminalPane::paintEvent(QPaintEvent *)
{
    if (m_atlas.isNull() || !qFuzzyCompare(m_atlas.devicePixelRatio(), devicePixelRatioF()))
        BuildAtlas();
    QPainter p(viewport());
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype col = horizontalScrollBar()->value();
    const int rows = VisibleRows() + 1;
    const int cols = VisibleColumns() + 1;
    QVector<QPainter::PixmapFragment> cells;
    cells.reserve(rows * cols);
    const qreal half = m_charWidth / 2.0;
    const qreal halfHeight = m_lineHeight / 2.0;
    for (int r = 0; r < rows && first + r < m_text.LineCount(); ++r) {
        const QByteArray line = m_text.Line(first + r, col, cols);
        for (int c = 0; c < line.size(); ++c) {
            const auto b = static_cast<unsigned char>(line[c]);
            if (b == ' ' || b == 0 || b == 255)
                continue;
            cells.append(QPainter::PixmapFragment::create(
                QPointF(c * m_charWidth + half, r * m_lineHeight + halfHeight),
                QRectF(b * m_charWidth, 0, m_charWidth, m_lineHeight)));
        }
    }
    p.drawPixmapFragments(cells.constData(), int(cells.size()), m_atlas);
}

void TerminalPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

} // namespace kv7
