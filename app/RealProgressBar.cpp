#include "app/RealProgressBar.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kv7 {

namespace {

int Scaled(double x)
{
    return int(std::clamp(std::round(x * RealProgressBar::Scale), 0.0, double(INT_MAX)));
}

} // namespace

RealProgressBar::RealProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(false);
}

void RealProgressBar::SetMaximum(double maximum)
{
    setRange(0, Scaled(maximum));
}

void RealProgressBar::SetValue(double value)
{
    setValue(std::min(Scaled(value), maximum()));
}

} // namespace kv7
