#include "app/TabOrder.h"

#include <QWidget>

#include <algorithm>

namespace kv7 {

QList<QWidget *> ColumnTabOrder(QList<QWidget *> widgets, int splitX, int rowTolerance)
{
    const auto column = [splitX](const QWidget *w) { return w->x() < splitX ? 0 : 1; };
    std::stable_sort(widgets.begin(), widgets.end(), [&](const QWidget *a, const QWidget *b) {
        if (column(a) != column(b))
            return column(a) < column(b);
        return a->y() < b->y();
    });
    // Rows: a run of tops close to the run's first, then left to right.
    for (auto row = widgets.begin(); row != widgets.end();) {
        auto end = row + 1;
        while (end != widgets.end() && column(*end) == column(*row) && (*end)->y() - (*row)->y() <= rowTolerance)
            ++end;
        std::stable_sort(row, end, [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
        row = end;
    }
    return widgets;
}

void ApplyColumnTabOrder(QWidget *window, int splitX, int rowTolerance)
{
    QList<QWidget *> focusable;
    for (QWidget *child : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->focusPolicy() & Qt::TabFocus)
            focusable << child;
    }
    const QList<QWidget *> order = ColumnTabOrder(focusable, splitX, rowTolerance);
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace kv7
