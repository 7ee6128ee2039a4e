#include "terminal/TerminalPane.h"

#include "terminal/Cp437.h"
#include "terminal/PaneAnnouncer.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace kv7 {

namespace {

// The zoom steps, in points; the smallest is the default.
constexpr int ZoomPoints[] = {6, 7, 8, 9, 10, 12, 14, 16, 18, 20, 24};
constexpr int ZoomSteps = int(std::size(ZoomPoints));

QFont TerminalFont()
{
    // "Terminal" is the OEM bitmap font the device's engineers know; where it
    // is missing, a monospaced font with the code page 437 glyphs stands in.
    QFont font;
    font.setFamilies({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(ZoomPoints[0]);
    font.setWeight(QFont::Bold);
    font.setFixedPitch(true);
    return font;
}

enum class ZoomKey { None, In, Out, Reset };

ZoomKey ZoomKeyOf(const QKeyEvent &event)
{
    // Shift does not count: plus is Shift+= on US keyboards, so Ctrl+= stands
    // for it too. Nor does the keypad: its plus and minus zoom as well.
    if ((event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) != Qt::ControlModifier)
        return ZoomKey::None;
    switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return ZoomKey::In;
    case Qt::Key_Minus:
        return ZoomKey::Out;
    case Qt::Key_0:
        return ZoomKey::Reset;
    default:
        return ZoomKey::None;
    }
}

int ToInt(qint64 v)
{
    return static_cast<int>(std::clamp<qint64>(v, INT_MIN, INT_MAX));
}

} // namespace

TerminalPane::TerminalPane(QWidget *parent)
    : QAbstractScrollArea(parent), m_announcer(this, m_text), m_repaint(new QTimer(this)), m_autoScroll(new QTimer(this))
{
    // Fast traffic arrives in many small chunks; redrawing the view (and its
    // scroll bars) for each would cost far more than the text. One refresh
    // per frame time is enough.
    m_repaint->setSingleShot(true);
    m_repaint->setInterval(15);
    connect(m_repaint, &QTimer::timeout, this, &TerminalPane::RefreshView);
    m_autoScroll->setInterval(50);
    connect(m_autoScroll, &QTimer::timeout, this, &TerminalPane::AutoScroll);
    setFont(TerminalFont());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    UpdateScrollBars();
}

void TerminalPane::AppendText(const QByteArray &bytes)
{
    m_text.Append(bytes);
    m_announcer.Appended();
    // Bytes dropped at the bound leave the selection; nothing else moves it.
    m_selection.Keep(m_text.Begin());
    m_followEnd = true;
    ScheduleRepaint();
}

void TerminalPane::Clear()
{
    m_announcer.Clearing();
    m_text.Clear();
    m_selection.Clear();
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
    // A drag in progress keeps its view; the next refresh after it follows.
    if (m_followEnd && !m_dragging) {
        m_followEnd = false;
        ScrollToEnd();
    }
    viewport()->update();
}

void TerminalPane::RefreshNow()
{
    // A key or the wheel acts on the view as it is about to be shown: text
    // that came within the last refresh interval moves the view to the end
    // before the key scrolls it, not after.
    if (m_repaint->isActive()) {
        m_repaint->stop();
        RefreshView();
    }
}

void TerminalPane::SetZoom(int step)
{
    step = std::clamp(step, 0, ZoomSteps - 1);
    if (step == m_zoom)
        return;
    m_zoom = step;
    QFont f = font();
    f.setPointSize(ZoomPoints[step]);
    setFont(f);
    // The ranges count lines and columns of the new cells at once (building
    // the atlases for them); the values, the first line and column shown,
    // stay where the ranges allow.
    UpdateScrollBars();
    viewport()->update();
}

void TerminalPane::scrollContentsBy(int, int)
{
    // Lines are drawn from the scroll position; no pixels to move.
    viewport()->update();
}

bool TerminalPane::EnsureAtlases() const
{
    const QPalette::ColorGroup group =
        !isEnabled() ? QPalette::Disabled : (isActiveWindow() ? QPalette::Active : QPalette::Inactive);
    GlyphAtlas::Key key{font(), QFontInfo(font()).pixelSize(), devicePixelRatioF(),
                        palette().color(group, QPalette::Text), palette().color(group, QPalette::Base)};
    const QSize before = m_plain.Cell();
    if (m_plain.IsNull() || !(m_plain.BuiltFor() == key))
        m_plain.Build(key);
    key.text = palette().color(group, QPalette::HighlightedText);
    key.background = palette().color(group, QPalette::Highlight);
    if (m_selected.IsNull() || !(m_selected.BuiltFor() == key))
        m_selected.Build(key);
    return m_plain.Cell() != before;
}

QSize TerminalPane::CellSize() const
{
    EnsureAtlases();
    return m_plain.Cell();
}

QSizeF TerminalPane::LogicalCell() const
{
    return QSizeF(CellSize()) / devicePixelRatioF();
}

int TerminalPane::VisibleRows() const
{
    return std::max(1, int(viewport()->height() / LogicalCell().height()));
}

int TerminalPane::VisibleColumns() const
{
    return std::max(1, int(viewport()->width() / LogicalCell().width()));
}

void TerminalPane::UpdateScrollBars()
{
    const int rows = ToInt(m_text.LineCount());
    verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
    verticalScrollBar()->setPageStep(VisibleRows());
    // One column more than the longest line leaves room for the caret.
    const int cols = ToInt(m_text.LongestLine() + 1);
    horizontalScrollBar()->setRange(0, std::max(0, cols - VisibleColumns()));
    horizontalScrollBar()->setPageStep(VisibleColumns());
}

void TerminalPane::ScrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    const qsizetype lastLen = m_text.LineLength(m_text.LineCount() - 1);
    horizontalScrollBar()->setValue(ToInt(std::max<qsizetype>(0, lastLen + 1 - VisibleColumns())));
}

void TerminalPane::paintEvent(QPaintEvent *)
{
    // A new ratio (the window went to another screen) changes the cells,
    // and with them how many lines and columns fit.
    if (EnsureAtlases())
        UpdateScrollBars();
    const qreal ratio = devicePixelRatioF();
    QPainter p(viewport());
    // Drawn in whole device pixels, so every cell is an exact copy of its
    // glyph at any ratio.
    p.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    const QSize cell = m_plain.Cell();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype col = horizontalScrollBar()->value();
    const int rows = VisibleRows() + 1;
    const int cols = VisibleColumns() + 1;
    const qint64 selStart = m_selection.Start();
    const qint64 selEnd = m_selection.End();
    QVector<QPainter::PixmapFragment> plain;
    QVector<QPainter::PixmapFragment> selected;
    plain.reserve(rows * cols);
    const qreal halfWidth = cell.width() / 2.0;
    const qreal halfHeight = cell.height() / 2.0;
    for (int r = 0; r < rows && first + r < m_text.LineCount(); ++r) {
        const qsizetype line = first + r;
        const qint64 start = m_text.LineStart(line) + col;
        const QByteArray bytes = m_text.Line(line, col, cols);
        const qreal y = r * cell.height() + halfHeight;
        for (int c = 0; c < bytes.size(); ++c) {
            const auto b = static_cast<unsigned char>(bytes[c]);
            const bool inSelection = start + c >= selStart && start + c < selEnd;
            // Blank glyphs need no copy on the plain background.
            if (!inSelection && (b == ' ' || b == 0 || b == 255))
                continue;
            (inSelection ? selected : plain)
                .append(QPainter::PixmapFragment::create(QPointF(c * cell.width() + halfWidth, y),
                                                         QRectF(m_plain.Source(b))));
        }
        // A selected line break shows as one selected cell after the line.
        const qint64 lineEnd = m_text.LineStart(line) + m_text.LineLength(line);
        if (line + 1 < m_text.LineCount() && lineEnd >= selStart && lineEnd < selEnd && lineEnd - start < cols &&
            lineEnd >= start) {
            p.fillRect(QRect(int(lineEnd - start) * cell.width(), r * cell.height(), cell.width(), cell.height()),
                       m_selected.BuiltFor().background);
        }
    }
    p.drawPixmapFragments(plain.constData(), int(plain.size()), m_plain.Pixmap());
    p.drawPixmapFragments(selected.constData(), int(selected.size()), m_selected.Pixmap());
}

void TerminalPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TerminalPane::changeEvent(QEvent *event)
{
    // Colours follow the window's activation and the enabled state.
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
        viewport()->update();
        break;
    default:
        break;
    }
    QAbstractScrollArea::changeEvent(event);
}

qint64 TerminalPane::OffsetAt(const QPointF &viewportPos, Hit hit) const
{
    const QSizeF cell = LogicalCell();
    const qint64 row = verticalScrollBar()->value() + qint64(std::floor(viewportPos.y() / cell.height()));
    const auto line = static_cast<qsizetype>(std::clamp<qint64>(row, 0, m_text.LineCount() - 1));
    const double x = viewportPos.x() / cell.width();
    const qint64 column = horizontalScrollBar()->value() + qint64(hit == Boundary ? std::round(x) : std::floor(x));
    return m_text.LineStart(line) + std::clamp<qint64>(column, 0, m_text.LineLength(line));
}

QRect TerminalPane::CharacterRect(qint64 pos) const
{
    const QSizeF cell = LogicalCell();
    const qsizetype line = m_text.LineAt(pos);
    const qint64 row = line - verticalScrollBar()->value();
    const qint64 column = pos - m_text.LineStart(line) - horizontalScrollBar()->value();
    return QRectF(double(column) * cell.width(), double(row) * cell.height(), cell.width(), cell.height())
        .toAlignedRect();
}

void TerminalPane::ScrollTo(qint64 pos)
{
    const qsizetype line = m_text.LineAt(pos);
    const qint64 column = pos - m_text.LineStart(line);
    QScrollBar *v = verticalScrollBar();
    QScrollBar *h = horizontalScrollBar();
    if (line < v->value() || line >= v->value() + VisibleRows())
        v->setValue(ToInt(line - VisibleRows() / 2));
    if (column < h->value() || column >= h->value() + VisibleColumns())
        h->setValue(ToInt(column - VisibleColumns() / 2));
}

void TerminalPane::Select(qint64 anchor, qint64 cursor)
{
    const auto clamp = [this](qint64 v) { return std::clamp(v, m_text.Begin(), m_text.End()); };
    m_selection.Set(clamp(anchor), clamp(cursor));
    SelectionChanged(false);
}

void TerminalPane::SelectAll()
{
    m_selection.Set(m_text.Begin(), m_text.End());
    SelectionChanged(true);
}

QByteArray TerminalPane::SelectedBytes() const
{
    return m_text.Bytes(m_selection.Start(), m_selection.End());
}

void TerminalPane::SelectionChanged(bool toPrimary)
{
    viewport()->update();
    QClipboard *clipboard = QGuiApplication::clipboard();
    // X11's primary selection: what is selected can be pasted with the
    // middle button elsewhere.
    if (toPrimary && !m_selection.IsEmpty() && clipboard->supportsSelection())
        clipboard->setText(Cp437Text(SelectedBytes(), u"\n"), QClipboard::Selection);
    NotifySelection(this);
}

void TerminalPane::Copy() const
{
    if (!m_selection.IsEmpty())
        QGuiApplication::clipboard()->setText(Cp437Text(SelectedBytes(), u"\n"));
}

void TerminalPane::CopyAsHex() const
{
    if (!m_selection.IsEmpty())
        QGuiApplication::clipboard()->setText(QString::fromLatin1(SelectedBytes().toHex(' ').toUpper()));
}

void TerminalPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    const qint64 at = OffsetAt(event->position());
    if (m_sinceDoubleClick.isValid() && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval()) {
        // A third click: the whole line.
        m_sinceDoubleClick.invalidate();
        const qsizetype line = m_text.LineAt(at);
        m_selection.Set(m_text.LineStart(line), m_text.LineStart(line) + m_text.LineLength(line));
        return SelectionChanged(true);
    }
    if (event->modifiers() & Qt::ShiftModifier)
        m_selection.Extend(at);
    else
        m_selection.Set(at, at);
    m_dragging = true;
    m_lastMouse = event->position();
    m_autoScroll->start();
    SelectionChanged(false);
}

void TerminalPane::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return QAbstractScrollArea::mouseMoveEvent(event);
    m_lastMouse = event->position();
    m_selection.Extend(OffsetAt(m_lastMouse));
    SelectionChanged(false);
}

void TerminalPane::AutoScroll()
{
    // Dragging beyond an edge keeps scrolling that way, a line at a time.
    const QRect view = viewport()->rect();
    QScrollBar *v = verticalScrollBar();
    QScrollBar *h = horizontalScrollBar();
    if (m_lastMouse.y() < view.top())
        v->setValue(v->value() - 1);
    else if (m_lastMouse.y() > view.bottom())
        v->setValue(v->value() + 1);
    if (m_lastMouse.x() < view.left())
        h->setValue(h->value() - 1);
    else if (m_lastMouse.x() > view.right())
        h->setValue(h->value() + 1);
    m_selection.Extend(OffsetAt(m_lastMouse));
    SelectionChanged(false);
}

void TerminalPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    if (!m_dragging)
        return; // the end of a double or triple click
    m_dragging = false;
    m_autoScroll->stop();
    SelectionChanged(true);
}

void TerminalPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseDoubleClickEvent(event);
    const auto [start, end] = WordAt(m_text, OffsetAt(event->position()));
    m_selection.Set(start, end);
    m_dragging = false;
    m_autoScroll->stop();
    m_sinceDoubleClick.start();
    SelectionChanged(true);
}

void TerminalPane::keyPressEvent(QKeyEvent *event)
{
    RefreshNow();
    QScrollBar *v = verticalScrollBar();
    QScrollBar *h = horizontalScrollBar();
    const ZoomKey zoom = ZoomKeyOf(*event);
    if (zoom != ZoomKey::None) {
        SetZoom(zoom == ZoomKey::In ? m_zoom + 1 : zoom == ZoomKey::Out ? m_zoom - 1 : 0);
    } else if (event->matches(QKeySequence::Copy)) {
        Copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        v->setValue(v->minimum());
        h->setValue(h->minimum());
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        ScrollToEnd();
    } else if (event->matches(QKeySequence::MoveToStartOfLine)) {
        h->setValue(h->minimum());
    } else if (event->matches(QKeySequence::MoveToEndOfLine)) {
        h->setValue(h->maximum());
    } else if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        ShowMenu(KeyboardMenuPos());
    } else {
        // Page Up, Page Down and the arrows scroll, as in a read-only text box.
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TerminalPane::wheelEvent(QWheelEvent *event)
{
    RefreshNow();
    if (!(event->modifiers() & Qt::ControlModifier))
        return QAbstractScrollArea::wheelEvent(event);
    m_wheelZoom += event->angleDelta().y();
    const int steps = m_wheelZoom / 120;
    m_wheelZoom %= 120;
    SetZoom(m_zoom + steps);
}

QMenu *TerminalPane::CreateContextMenu()
{
    auto *menu = new QMenu(this);
    const bool selected = !m_selection.IsEmpty();
    const bool any = m_text.Size() > 0;
    QAction *copy = menu->addAction(tr("&Copy"), this, &TerminalPane::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selected);
    menu->addAction(tr("Copy as &Hex"), this, &TerminalPane::CopyAsHex)->setEnabled(selected);
    QAction *all = menu->addAction(tr("Select &All"), this, &TerminalPane::SelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(any);
    menu->addSeparator();
    menu->addAction(tr("C&lear"), this, &TerminalPane::Clear)->setEnabled(any);
    menu->addSeparator();
    QAction *in = menu->addAction(tr("Zoom &In"), this, &TerminalPane::ZoomIn);
    in->setShortcut(QKeySequence::ZoomIn);
    in->setEnabled(m_zoom < ZoomSteps - 1);
    QAction *out = menu->addAction(tr("Zoom &Out"), this, &TerminalPane::ZoomOut);
    out->setShortcut(QKeySequence::ZoomOut);
    out->setEnabled(m_zoom > 0);
    QAction *reset = menu->addAction(tr("&Reset Zoom"), this, &TerminalPane::ResetZoom);
    reset->setShortcut(Qt::CTRL | Qt::Key_0);
    reset->setEnabled(m_zoom > 0);
    menu->addSeparator();
    menu->addAction(tr("&Save As…"), this, &TerminalPane::SaveAsRequested)->setEnabled(any);
    QAction *log = menu->addAction(tr("&Log to File…"), this, &TerminalPane::LogToFileRequested);
    log->setCheckable(true);
    log->setChecked(m_logging);
    QAction *back = menu->addAction(tr("Reconnect &When the Port Is Back"), this, &TerminalPane::ReconnectToggled);
    back->setCheckable(true);
    back->setChecked(m_reconnecting);
    return menu;
}

void TerminalPane::contextMenuEvent(QContextMenuEvent *event)
{
    ShowMenu(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : KeyboardMenuPos());
}

QPoint TerminalPane::KeyboardMenuPos() const
{
    // Beside the selection (or the view's corner), not wherever the mouse
    // pointer happens to be.
    QRect cell = CharacterRect(m_selection.End());
    if (m_selection.IsEmpty() || !viewport()->rect().intersects(cell))
        cell = QRect(0, 0, 1, 1);
    return viewport()->mapToGlobal(cell.bottomLeft());
}

void TerminalPane::ShowMenu(const QPoint &globalPos)
{
    QMenu *menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

} // namespace kv7
