#include "screenscale.h"

#include <QCoreApplication>
#include <QScreen>
#include <QSize>

#include <cmath>

namespace {

const int designSide = 750;
const qreal designDpi = 96.0;
const qreal smallestFactor = 0.8;

// QT_SCALE_FACTOR as it was before prepare() took it away from Qt.
qreal requestedFactor = 1.0;

qreal quarterSteps(qreal factor)
{
    return std::round(factor * 4) / 4;
}

} // namespace

namespace ScreenScale {

void prepare()
{
    // Not a number: 1. (A factor of 0 or less ends as 1 in systemFactor().)
    bool valid = false;
    const qreal requested = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&valid);
    requestedFactor = valid ? requested : 1.0;
    for (const char *name : { "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                              "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING" }) {
        qunsetenv(name);
    }
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
}

qreal systemFactor(const QScreen *screen)
{
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : designDpi;
    return qMax(qreal(1), quarterSteps(dpi / designDpi * requestedFactor));
}

qreal fittingFactor(qreal wanted, const QSize &available)
{
    const qreal room = qreal(qMin(available.width(), available.height())) / designSide;
    if (room >= wanted) {
        return wanted;
    }
    // Down to the quarter step below the room, but whole quarters only from 1 up.
    return room >= 1 ? std::floor(room * 4) / 4 : qMax(smallestFactor, room);
}

} // namespace ScreenScale
