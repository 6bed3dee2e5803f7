#include "ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

namespace benchform {

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal margin = size / 8.0;
        const QRectF body(margin, size / 4.0, size - 2 * margin, size / 2.0);
        painter.setPen(QPen(QColor(40, 60, 110), size / 16.0));
        painter.setBrush(QColor(250, 240, 200));
        painter.drawRect(body);
        painter.drawPolyline(QPolygonF{
            body.topLeft(), QPointF(body.center().x(), body.center().y() + size / 16.0), body.topRight()});
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace benchform
