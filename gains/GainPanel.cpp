#include "gains/GainPanel.h"

#include "protocol/Conversions.h"
#include "protocol/Frame.h"

#include <QEvent>
#include <QLineEdit>
#include "gains/GainSlider.h"

namespace kv7 {

GainPanel::GainPanel(const std::array<GainSlider *, 8> &sliders, const std::array<QLineEdit *, 8> &boxes,
                     QLineEdit *nameBox, Sender send, QObject *parent)
    : QObject(parent), m_sliders(sliders), m_boxes(boxes), m_nameBox(nameBox), m_send(std::move(send))
{
    for (int i = 0; i < 8; ++i) {
        GainSlider *bar = m_sliders[size_t(i)];
        // Without tracking, a dragged thumb reports its value once, on release.
        bar->setTracking(false);
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->installEventFilter(this);
        connect(bar, &GainSlider::GainChanged, this, [this, i] { VScroll1_Change(i); });
        connect(m_boxes[size_t(i)], &QLineEdit::textChanged, this, [this, i] { Text13_Change(i); });
    }
}

QString GainPanel::ChannelName(int index)
{
    static const char *const names[8] = {"Microphone", "Speaker", "Line Out", "Headset",
                                         "ASC MIC",    "ASC PC",  "TEL IN",   "TEL OUT"};
    return index >= 0 && index < 8 ? QString::fromLatin1(names[index]) : QString();
}

void GainPanel::VScroll1_Change(int index)
{
    GainSlider *bar = m_sliders[size_t(index)];
    (void)m_send(SetGainFrame(index + 1, bar->Gain()));
    m_boxes[size_t(index)]->setText(QString::number(bar->Gain()));
}

void GainPanel::Text13_Change(int index)
{
    // Out-of-range input is held inside the slider's range, so no frame can
    // carry a gain outside "000".."127".
    m_sliders[size_t(index)]->SetGain(GainFromText(m_boxes[size_t(index)]->text()));
}

void GainPanel::VScroll1_GotFocus(int index)
{
    m_nameBox->setText(ChannelName(index));
}

bool GainPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 8; ++i)
            if (watched == m_sliders[size_t(i)])
                VScroll1_GotFocus(i);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kv7
