#include "NavigationButtons.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace demo {

namespace {

struct NavigationEntry {
    const char* glyph;  // drawn as the button's picture
    const char* tip;
};

// Indexed by NavigationButton, in toolbar order.
const NavigationEntry kNavigation[] = {
    {"|\u25c0", "Go to the First Page"},
    {"\u25c0\u25c0", "Go to the Prior Page"},
    {"\u25c0", "Go to the Prior Record"},
    {"?", "Locate record"},
    {"\u25b6", "Go to the Next Record"},
    {"\u25b6\u25b6", "Go to the Next Page"},
    {"\u25b6|", "Go to the Last Page"},
    {"\u2713", "Select This Record"},
    {"+", "Insert a New Record"},
    {"\u270e", "Edit This Record"},
    {"\u2715", "Delete This Record"},
    {"\u2033", "Previous value"},
    {"\u2139", "Get Help"},
};
static_assert(sizeof(kNavigation) / sizeof(kNavigation[0]) == int(NavigationButton::Help) + 1);

}  // namespace

QString navigationTip(NavigationButton button) { return QString::fromLatin1(kNavigation[int(button)].tip); }

QIcon navigationIcon(NavigationButton button) { return glyphIcon(QString::fromUtf8(kNavigation[int(button)].glyph)); }

QIcon glyphIcon(const QString& glyph)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(glyph.size() > 1 ? 11 : 15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x23, 0x3d, 0x6b));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

}  // namespace demo
