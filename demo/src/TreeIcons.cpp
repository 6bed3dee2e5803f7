#include "TreeIcons.h"

#include <QPainter>
#include <QPixmap>

namespace demo {

namespace {

QPixmap drawIcon(int iconNumber)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    switch (iconNumber) {
    case 1:  // a drawer of cards
        painter.setBrush(QColor(230, 190, 90));
        painter.drawRect(2, 5, 12, 9);
        painter.drawLine(6, 8, 10, 8);
        break;
    case 2:  // one person
        painter.setBrush(QColor(90, 140, 210));
        painter.drawEllipse(5, 1, 6, 6);
        painter.drawRoundedRect(2, 8, 12, 7, 3, 3);
        break;
    default:  // several persons
        painter.setBrush(QColor(120, 180, 110));
        painter.drawEllipse(1, 3, 5, 5);
        painter.drawEllipse(10, 3, 5, 5);
        painter.drawRoundedRect(0, 9, 7, 6, 2, 2);
        painter.drawRoundedRect(9, 9, 7, 6, 2, 2);
        painter.setBrush(QColor(90, 150, 90));
        painter.drawEllipse(5, 2, 6, 6);
        painter.drawRoundedRect(4, 9, 8, 7, 3, 3);
        break;
    }
    return pixmap;
}

}  // namespace

QIcon treeIcon(int iconNumber)
{
    static const QIcon icons[] = {QIcon(drawIcon(1)), QIcon(drawIcon(2)), QIcon(drawIcon(3))};
    return icons[(iconNumber >= 1 && iconNumber <= 3 ? iconNumber : 3) - 1];
}

}  // namespace demo
