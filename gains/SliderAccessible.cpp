#include "gains/SliderAccessible.h"

#include "gains/GainSlider.h"

#include <QAccessibleWidget>

namespace kv7 {

namespace {

class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(GainSlider *slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(Slider()->Gain());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return Slider()->Gain(); }
    void setCurrentValue(const QVariant &value) override { Slider()->SetGain(qBound(0, value.toInt(), GainSlider::MaxGain)); }
    QVariant maximumValue() const override { return GainSlider::MaxGain; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    GainSlider *Slider() const { return static_cast<GainSlider *>(widget()); }
};

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kv7::GainSlider") && object && object->isWidgetType())
        return new SliderAccessible(static_cast<GainSlider *>(object));
    return nullptr;
}

} // namespace

void InstallSliderAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

} // namespace kv7
