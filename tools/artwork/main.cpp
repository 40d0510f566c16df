// Draws the program's artwork: the window background, the logo, the Windows icon group and the
// same icon images as PNGs for the Linux desktop.
// Shapes only, no text, so the result does not depend on the fonts of the machine.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor darkGrey(51, 51, 51);
const QColor lineGrey(97, 97, 96);
const QColor accentBlue(97, 150, 209);

// A beamed pair of notes over a falling bar graph, drawn into a square of the given side.
void drawMark(QPainter &painter, qreal side)
{
    painter.save();
    painter.scale(side / 46.0, side / 46.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accentBlue.darker(140));
    for (int i = 0; i < 4; ++i) {
        painter.drawRect(QRectF(6 + i * 9, 40 - (4 - i) * 2.5, 6, (4 - i) * 2.5));
    }
    painter.setBrush(accentBlue);
    painter.drawEllipse(QRectF(7, 26, 11, 8));
    painter.drawEllipse(QRectF(26, 22, 11, 8));
    painter.drawRect(QRectF(15.5, 8, 2.5, 22));
    painter.drawRect(QRectF(34.5, 4, 2.5, 22));
    QPainterPath beam;
    beam.moveTo(15.5, 8);
    beam.lineTo(37, 4);
    beam.lineTo(37, 9);
    beam.lineTo(15.5, 13);
    beam.closeSubpath();
    painter.drawPath(beam);
    painter.restore();
}

// Drawn at scale times the design's size: scale 2 is the artwork for scaled screens.
QImage background(int scale)
{
    QImage image(750 * scale, 750 * scale, QImage::Format_ARGB32);
    image.fill(darkGrey);
    QPainter painter(&image);
    painter.scale(scale, scale);
    // The line one pixel inside the border: the panel and the strip cover all but its ring.
    painter.fillRect(1, 1, 748, 748, lineGrey);
    QLinearGradient panel(0, 2, 0, 736);
    panel.setColorAt(0.0, QColor(242, 242, 242));
    panel.setColorAt(1.0, QColor(208, 208, 208));
    painter.fillRect(2, 2, 746, 734, panel);
    // The strip behind the version label, down to the last row.
    painter.fillRect(0, 736, 750, 14, darkGrey);
    return image;
}

QImage logo(int scale)
{
    QImage image(46 * scale, 50 * scale, QImage::Format_RGB888);
    image.fill(darkGrey);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(0, 2);
    drawMark(painter, 46);
    return image;
}

QImage iconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(darkGrey);
    painter.drawRoundedRect(QRectF(0, 0, side, side), side / 6.0, side / 6.0);
    painter.translate(0, side * 0.04);
    drawMark(painter, side);
    return image;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An icon group of 32-bit images, each stored as PNG (valid in .ico since Windows Vista).
QByteArray iconGroup(const QList<int> &sides)
{
    QList<QByteArray> images;
    for (const int side : sides) {
        images.append(pngBytes(iconImage(side)));
    }
    QByteArray ico;
    QDataStream stream(&ico, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << quint16(0) << quint16(1) << quint16(sides.size());
    quint32 offset = 6 + 16 * sides.size();
    for (int i = 0; i < sides.size(); ++i) {
        const quint8 side = sides.at(i) >= 256 ? 0 : quint8(sides.at(i)); // 0 stands for 256
        stream << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
               << quint32(images.at(i).size()) << offset;
        offset += images.at(i).size();
    }
    for (const QByteArray &image : images) {
        stream.writeRawData(image.constData(), image.size());
    }
    return ico;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: tunewright-artwork <app/resources folder>\n");
        return 2;
    }
    const QDir target(arguments.at(1));
    const QList<int> sides = { 256, 128, 64, 48, 32, 16 };
    bool written = target.mkpath(QStringLiteral("imgs"))
        && background(1).save(target.filePath(QStringLiteral("imgs/sfondo_prog.png")))
        && background(2).save(target.filePath(QStringLiteral("imgs/sfondo_prog@2x.png")))
        && logo(1).save(target.filePath(QStringLiteral("imgs/logo.png")))
        && logo(2).save(target.filePath(QStringLiteral("imgs/logo@2x.png")))
        && writeFile(target.filePath(QStringLiteral("tunewright.ico")), iconGroup(sides))
        && target.mkpath(QStringLiteral("icons"));
    for (const int side : sides) {
        written = written
            && iconImage(side).save(target.filePath(QStringLiteral("icons/%1.png").arg(side)));
    }
    if (!written) {
        std::fprintf(stderr, "could not write the artwork into %s\n", qPrintable(target.path()));
        return 1;
    }
    return 0;
}
