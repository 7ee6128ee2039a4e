#include "gains/GainSlider.h"

namespace kv7 {

GainSlider::GainSlider(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    setRange(0, MaxGain);
    setSingleStep(1);
    setPageStep(8);
    setValue(MaxGain); // gain 0, thumb at the bottom
    connect(this, &QScrollBar::valueChanged, this, [this](int v) { emit GainChanged(MaxGain - v); });
}

} // namespace kv7
