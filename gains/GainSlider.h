#pragma once

#include <QScrollBar>

namespace kv7 {

// A gain slider: 127 at the top end and 0 at the bottom, so the top arrow,
// Up and Page Up raise the gain. The scroll bar's own value runs the other
// way (0 at the top), which keeps every arrow, key and trough click of the
// style pointing where the thumb moves.
class GainSlider : public QScrollBar {
    Q_OBJECT
public:
    static constexpr int MaxGain = 127;

    explicit GainSlider(QWidget *parent = nullptr);

    int Gain() const { return MaxGain - value(); }
    void SetGain(int gain) { setValue(MaxGain - gain); }

signals:
    void GainChanged(int gain);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace kv7
