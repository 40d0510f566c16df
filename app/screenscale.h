#pragma once

#include <QtGlobal>

class QScreen;
class QSize;

// The window is one 750 × 750 design, scaled by the program itself rather than by Qt: Qt 5
// offers no quarter steps, scales fonts twice under Xft.dpi with QT_SCALE_FACTOR, and has no
// factor of its own per window.
namespace ScreenScale {

// Takes QT_SCALE_FACTOR for the program's own factor and turns Qt's scaling off, so nothing is
// scaled twice. Must run before the application object exists.
void prepare();

// The factor the system asks for on screen: its logical DPI over 96 times QT_SCALE_FACTOR,
// in quarter steps, never below 1 (Xvfb's 100 DPI is 1, 120 DPI is 1.25, 144 DPI is 1.5).
qreal systemFactor(const QScreen *screen);

// The largest factor up to wanted at which a window of the design's side fits into available:
// in quarter steps down to 1, below that as it comes, but never under 0.8.
qreal fittingFactor(qreal wanted, const QSize &available);

} // namespace ScreenScale
