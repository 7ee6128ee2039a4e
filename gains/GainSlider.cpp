#include "gains/GainSlider.h"

#include "gains/SliderAccessible.h"

#include <QPainter>

namespace kv7 {

GainSlider::GainSlider(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    InstallSliderAccessibility();
    setRange(0, MaxGain);
    setSingleStep(1);
    setPageStep(8);
    setValue(MaxGain); // gain 0, thumb at the bottom
    connect(this, &QScrollBar::valueChanged, this, [this](int v) { emit GainChanged(MaxGain - v); });
}

void GainSlider::paintEvent(QPaintEvent *event)
{
    QScrollBar::paintEvent(event);
    // Scroll bars draw no focus mark of their own; a slider that takes the
    // keys must show that it does.
    if (hasFocus()) {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

} // namespace kv7
