#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

// Lays a fixed-geometry form out at a factor of its design: the window's size, every child's
// geometry, its font and the pixel lengths of its style sheet. The design is what the widgets
// hold when the scale is made, so make it once the form is complete.
class FormScale
{
public:
    explicit FormScale(QWidget *window);

    // Scales the form by factor. Point sizes are turned into pixels at the window's font DPI,
    // so a text is the design's size times factor whatever DPI the screen reports.
    void apply(qreal factor);
    qreal factor() const { return current; }

    // A length of the design at the current factor.
    int scaled(int designLength) const;

private:
    struct Design
    {
        QPointer<QWidget> widget;
        QRect geometry;
        qreal pointSize;
        QString styleSheet;
    };

    QString scaledStyleSheet(const QString &styleSheet) const;

    QWidget *window;
    QSize designSize;
    QList<Design> designs;
    qreal current = 1.0;
};
