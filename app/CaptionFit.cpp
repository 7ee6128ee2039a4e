#include "app/CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QStyle>
#include <QStyleOptionButton>

namespace kv7 {

namespace {

constexpr qreal FloorPoints = 5.0;

} // namespace

QString CaptionOf(const QWidget *control)
{
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    return {};
}

QRect TextArea(const QWidget *control)
{
    QRect area = control->rect();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        const auto *push = qobject_cast<const QPushButton *>(button);
        if (push && push->autoDefault())
            opt.features |= QStyleOptionButton::AutoDefaultButton;
        const bool check = qobject_cast<const QCheckBox *>(button);
        area = control->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                                                &opt, button);
    } else if (const auto *label = qobject_cast<const QLabel *>(control)) {
        area = label->contentsRect();
    }
    return area.translated(control->pos());
}

bool CaptionFits(const QWidget *control)
{
    const QString text = CaptionOf(control);
    const QRect area = TextArea(control);
    const QFontMetricsF metrics(control->font());
    // A pixel clear of the area's edges on either side, so no caption
    // touches its frame.
    const QSize size(qCeil(metrics.horizontalAdvance(text)) + 2, qCeil(metrics.height()));
    const Qt::Alignment align = qobject_cast<const QPushButton *>(control) ? Qt::AlignCenter
                                : qobject_cast<const QLabel *>(control)
                                    ? static_cast<const QLabel *>(control)->alignment()
                                    : Qt::AlignLeft | Qt::AlignVCenter;
    const QRect drawn = QStyle::alignedRect(Qt::LeftToRight, align, size, area);
    // Controls created later are stacked above this one and hide what they cover.
    QRegion visible(area);
    const QObjectList &siblings = control->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(const_cast<QWidget *>(control)) + 1; i < siblings.size(); ++i) {
        const auto *above = qobject_cast<const QWidget *>(siblings[i]);
        if (above && !above->isWindow() && !above->isHidden())
            visible -= above->geometry();
    }
    return (QRegion(drawn) - visible).isEmpty();
}

void FitCaptions(QWidget *window)
{
    for (QWidget *control : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (CaptionOf(control).isEmpty())
            continue;
        QFont font = control->font();
        while (!CaptionFits(control) && font.pointSizeF() > FloorPoints) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            control->setFont(font);
        }
    }
}

} // namespace kv7
