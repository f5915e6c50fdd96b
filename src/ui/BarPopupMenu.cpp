#include "ui/BarPopupMenu.h"

#include <QLinearGradient>
#include <QPainter>

BarPopupMenu::BarPopupMenu(QWidget *parent)
    : QMenu(parent)
{
    setContentsMargins(BarWidth, 0, 0, 0);
    QFont itemFont(QStringLiteral("MS Sans Serif"));
    itemFont.setPixelSize(11);
    setFont(itemFont);
}

void BarPopupMenu::setLook(const MenuBarLook &look)
{
    look_ = look;
    update();
}

void BarPopupMenu::paintEvent(QPaintEvent *event)
{
    QMenu::paintEvent(event);
    QPainter p(this);
    const QRect bar(0, 0, BarWidth, height());
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, look_.first);
    gradient.setColorAt(1, look_.second);
    p.fillRect(bar, gradient);

    QFont captionFont(QStringLiteral("Tahoma"));
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    captionFont.setItalic(true);
    p.setFont(captionFont);
    p.setPen(Qt::white);
    // Read from bottom to top, as such bars are.
    p.translate(0, height());
    p.rotate(-90);
    p.drawText(QRect(4, 0, height() - 8, BarWidth), Qt::AlignLeft | Qt::AlignVCenter, look_.caption);
}
