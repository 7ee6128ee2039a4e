#pragma once

#include <QObject>

#include <array>
#include <functional>

class QLineEdit;

namespace kv7 {

class GainSlider;

// The eight gain channels: a slider change sends the set-gain frame and
// shows the value; a number typed into a box moves its slider; a slider
// that takes the focus names its channel.
class GainPanel : public QObject {
    Q_OBJECT
public:
    // Writes a frame; false when it could not be sent (already reported).
    using Sender = std::function<bool(const QByteArray &)>;

    GainPanel(const std::array<GainSlider *, 8> &sliders, const std::array<QLineEdit *, 8> &boxes,
              QLineEdit *nameBox, Sender send, QObject *parent = nullptr);

    void VScroll1_Change(int index);
    void Text13_Change(int index);
    void VScroll1_GotFocus(int index);

    static QString ChannelName(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::array<GainSlider *, 8> m_sliders;
    std::array<QLineEdit *, 8> m_boxes;
    QLineEdit *m_nameBox;
    Sender m_send;
};

} // namespace kv7
