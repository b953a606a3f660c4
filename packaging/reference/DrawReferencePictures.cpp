// Draws the capture dialog's reference pictures (how the person is posed for each view) as
// JPEG files into a folder, at build time, for the package to ship under share/vesk/reference.
//
// Threading: single-threaded.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kEyeLine = 270;

const QColor kBackground(214, 222, 232);
const QColor kPerson(70, 82, 100);
const QColor kGuide(200, 60, 50);

// Dashed guides every picture shares: the vertical centre and the eye line.
void drawGuides(QPainter& painter)
{
    QPen pen(kGuide, 3, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(kWidth / 2, 20, kWidth / 2, kHeight - 20);
    painter.drawLine(20, kEyeLine, kWidth - 20, kEyeLine);
}

void drawShoulders(QPainter& painter)
{
    QPainterPath shoulders;
    shoulders.moveTo(40, kHeight);
    shoulders.cubicTo(50, 470, 150, 450, 200, 430);
    shoulders.lineTo(280, 430);
    shoulders.cubicTo(330, 450, 430, 470, 440, kHeight);
    shoulders.closeSubpath();
    painter.drawPath(shoulders);
    painter.drawRect(198, 380, 84, 70);
}

void drawFront(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPerson);
    drawShoulders(painter);
    painter.drawEllipse(QPointF(kWidth / 2.0, 280), 95, 125);
    painter.setBrush(kBackground);
    painter.drawEllipse(QPointF(kWidth / 2.0 - 38, kEyeLine), 13, 8);
    painter.drawEllipse(QPointF(kWidth / 2.0 + 38, kEyeLine), 13, 8);
    painter.setPen(QPen(kBackground, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(kWidth / 2.0 - 30, 320, 60, 30), 200 * 16, 140 * 16);
}

void drawGlasses(QPainter& painter)
{
    drawFront(painter);
    painter.setPen(QPen(QColor(20, 20, 20), 6));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(kWidth / 2.0 - 70, kEyeLine - 22, 60, 44), 12, 12);
    painter.drawRoundedRect(QRectF(kWidth / 2.0 + 10, kEyeLine - 22, 60, 44), 12, 12);
    painter.drawLine(QPointF(kWidth / 2.0 - 10, kEyeLine - 6), QPointF(kWidth / 2.0 + 10, kEyeLine - 6));
}

void drawSide(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPerson);
    drawShoulders(painter);
    // The head turned to the left: skull, brow, nose, lips and chin as one outline.
    QPainterPath head;
    head.moveTo(300, 180);
    head.cubicTo(300, 120, 200, 130, 175, 190);
    head.lineTo(165, 255);
    head.lineTo(135, 300);
    head.lineTo(162, 312);
    head.lineTo(158, 335);
    head.lineTo(165, 345);
    head.lineTo(170, 375);
    head.cubicTo(190, 405, 240, 405, 275, 385);
    head.cubicTo(320, 340, 325, 230, 300, 180);
    painter.drawPath(head);
    painter.setBrush(kBackground);
    painter.drawEllipse(QPointF(190, kEyeLine), 9, 6);
    painter.setPen(QPen(kBackground, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(265, 285), 16, 28);
}

// A forearm held up to the camera with a mark on it, circled.
void drawMark(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPerson);
    painter.save();
    painter.translate(kWidth / 2.0, kHeight / 2.0);
    painter.rotate(-30);
    painter.drawRoundedRect(QRectF(-300, -60, 600, 120), 60, 60);
    painter.restore();
    painter.setBrush(QColor(40, 110, 70));
    QPainterPath star;
    for (int point = 0; point < 10; ++point) {
        const double radius = point % 2 == 0 ? 34 : 14;
        const double angle = 3.14159265358979 * point / 5;
        const QPointF corner(kWidth / 2.0 + radius * std::sin(angle), kHeight / 2.0 - radius * std::cos(angle));
        point == 0 ? star.moveTo(corner) : star.lineTo(corner);
    }
    star.closeSubpath();
    painter.drawPath(star);
    painter.setPen(QPen(kGuide, 5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(kWidth / 2.0, kHeight / 2.0), 70, 70);
}

bool save(const QString& folder, const char* name, const std::function<void(QPainter&)>& draw, bool guides)
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    picture.fill(kBackground);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
        if (guides)
            drawGuides(painter);
    }
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!picture.save(path, "JPEG", 90)) {
        std::fprintf(stderr, "vesk-draw-reference-pictures: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vesk-draw-reference-pictures FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool written = save(folder, "RefImage.jpg", drawFront, true) &&
                         save(folder, "RefImageGlasses.jpg", drawGlasses, true) &&
                         save(folder, "RefImageSide.jpg", drawSide, true) &&
                         save(folder, "RefImageSMT.jpg", drawMark, false);
    return written ? 0 : 1;
}
