#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace kv7 {

// The window's geometry was drawn for an 8-point system font. Its captions
// are fitted to it: a button, check box or label whose text does not fit
// the area its style leaves for text gets a smaller font, half a point at a
// time, down to a floor.
void FitCaptions(QWidget *window);

// The caption of a button, check box or label; empty for other controls.
QString CaptionOf(const QWidget *control);
// Where the style draws that caption, in the parent's coordinates, and how
// much of it is not covered by the controls stacked above it.
QRect TextArea(const QWidget *control);
bool CaptionFits(const QWidget *control);

} // namespace kv7
