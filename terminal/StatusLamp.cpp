#include "terminal/StatusLamp.h"

#include "protocol/ReplyStatus.h"

#include <QPainter>

namespace kv7 {

QColor LampColour(char status)
{
    switch (LampOf(status)) {
    case Lamp::Green: return QColor(0, 255, 0);
    case Lamp::Yellow: return QColor(255, 255, 0);
    case Lamp::Red: return QColor(255, 0, 0);
    case Lamp::White: break;
    }
    return QColor(255, 255, 255);
}

StatusLamp::StatusLamp(QWidget *parent) : QWidget(parent) {}

void StatusLamp::SetFillColour(const QColor &colour)
{
    if (colour == m_fill)
        return;
    m_fill = colour;
    update();
}

void StatusLamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(m_fill);
    // The circle is as large as the shorter side allows, centred.
    const int d = std::min(width(), height()) - 2;
    p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

} // namespace kv7
