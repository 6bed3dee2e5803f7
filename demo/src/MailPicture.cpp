#include "MailPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace demo {

int pictureX(int closeRight, int frameWidth, int pictureWidth)
{
    return std::max(closeRight, frameWidth - pictureWidth - 5);
}

MailPicture::MailPicture(QWidget* parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    timer_.setInterval(120);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void MailPicture::setAnimated(bool animated)
{
    if (animated == isAnimated()) return;
    if (animated) {
        timer_.start();
    } else {
        timer_.stop();
        frame_ = 0;
    }
    update();
}

QString MailPicture::pictureName() const
{
    return isAnimated() ? QStringLiteral("~email3l.gif") : QStringLiteral("~email3ln.gif");
}

void MailPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The box behind the picture.
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.setBrush(QColor(0xf4, 0xf1, 0xe6));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    // A swing of a few pixels and a little lift, one cycle per kFrames.
    const double phase = 2.0 * 3.14159265358979323846 * frame_ / kFrames;
    const double dx = isAnimated() ? 4.0 * std::sin(phase) : 0.0;
    const double dy = isAnimated() ? -1.5 * std::abs(std::sin(phase)) : 0.0;
    const QRectF body(12 + dx, 8 + dy, 24, 15);

    if (isAnimated()) {
        // Speed lines behind the envelope, on the side it comes from.
        painter.setPen(QPen(QColor(0x4a, 0x7a, 0xb8), 1.2));
        const double tail = std::cos(phase) >= 0 ? body.left() - 2 : body.right() + 2;
        const double reach = std::cos(phase) >= 0 ? -7 : 7;
        for (double y : {body.top() + 4, body.center().y(), body.bottom() - 4}) {
            painter.drawLine(QPointF(tail, y), QPointF(tail + reach, y));
        }
    }

    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
    painter.setBrush(QColor(0xff, 0xff, 0xfa));
    painter.drawRect(body);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.center().y() + 1);
    flap.lineTo(body.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
    // The stamp.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0x39, 0x2b));
    painter.drawRect(QRectF(body.right() - 6, body.top() + 2, 4, 4));
}

}  // namespace demo
