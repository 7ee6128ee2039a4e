#pragma once

#include <QColor>
#include <QWidget>

namespace kv7 {

// Lamp fill for a reply's status letter: R green, P yellow, C red, any
// other white. Letters compare exactly.
QColor LampColour(char status);

// The status lamp: a circle with a 2 px border and a solid fill.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget *parent = nullptr);

    QColor FillColour() const { return m_fill; }
    void SetFillColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill = Qt::white;
};

} // namespace kv7
