#pragma once

#include <QList>

class QWidget;

namespace kv7 {

// The order Tab visits controls in: the left column (left of `splitX`) top
// to bottom, then the right column; controls whose tops lie within
// `rowTolerance` pixels of a row's first one share its row and go left to
// right.
QList<QWidget *> ColumnTabOrder(QList<QWidget *> widgets, int splitX, int rowTolerance);

// Applies that order to the focusable direct children of `window`.
void ApplyColumnTabOrder(QWidget *window, int splitX, int rowTolerance);

} // namespace kv7
