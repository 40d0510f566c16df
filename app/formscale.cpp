#include "formscale.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// The DPI at which the design's point sizes were drawn.
const qreal designDpi = 96.0;

} // namespace

FormScale::FormScale(QWidget *window)
    : window(window)
    , designSize(window->size())
{
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        // A layout places its widgets itself (the central widget fills the window).
        const bool laidOut = widget->parentWidget() && widget->parentWidget()->layout();
        if (laidOut || widget->isWindow()) {
            continue;
        }
        designs.append({ widget, widget->geometry(), widget->font().pointSizeF(),
                         widget->styleSheet() });
    }
}

void FormScale::apply(qreal factor)
{
    current = factor;
    const qreal fontFactor = factor * designDpi / window->logicalDpiY();
    for (const Design &design : qAsConst(designs)) {
        if (!design.widget) {
            continue;
        }
        const QRect &rect = design.geometry;
        design.widget->setGeometry(QRect(QPoint(scaled(rect.x()), scaled(rect.y())),
                                         QPoint(scaled(rect.right() + 1) - 1,
                                                scaled(rect.bottom() + 1) - 1)));
        QFont font = design.widget->font();
        font.setPointSizeF(design.pointSize * fontFactor);
        design.widget->setFont(font);
        if (!design.styleSheet.isEmpty()) {
            design.widget->setStyleSheet(scaledStyleSheet(design.styleSheet));
        }
    }
    window->setFixedSize(scaled(designSize.width()), scaled(designSize.height()));
}

int FormScale::scaled(int designLength) const
{
    return int(std::lround(designLength * current));
}

QString FormScale::scaledStyleSheet(const QString &styleSheet) const
{
    // Borders, radii and chunk widths grow with the form, at least a pixel each.
    static const QRegularExpression length(QStringLiteral("(\\d+)px"));
    QString result;
    int copied = 0;
    QRegularExpressionMatchIterator matches = length.globalMatch(styleSheet);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += styleSheet.midRef(copied, match.capturedStart() - copied);
        result += QString::number(qMax(1, scaled(match.captured(1).toInt()))) + QLatin1String("px");
        copied = match.capturedEnd();
    }
    return result + styleSheet.midRef(copied);
}
