#pragma once

#include <QProgressBar>

namespace kv7 {

// A progress bar with a real-valued maximum (an image of 300 bytes is
// 2.34375 blocks long). Values are kept in 1/128 steps, which holds every
// block count exactly.
class RealProgressBar : public QProgressBar {
    Q_OBJECT
public:
    static constexpr double Scale = 128.0;

    explicit RealProgressBar(QWidget *parent = nullptr);

    void SetMaximum(double maximum);
    double Maximum() const { return maximum() / Scale; }
    void SetValue(double value);
    double Value() const { return value() / Scale; }
};

} // namespace kv7
