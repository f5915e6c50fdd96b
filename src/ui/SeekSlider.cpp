#include "ui/SeekSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

SeekSlider::SeekSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{
}

QRect SeekSlider::handleRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int SeekSlider::valueAt(int x) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = handleRect();
    const int span = groove.width() - handle.width();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - groove.x() - handle.width() / 2,
                                           std::max(span, 1), option.upsideDown);
}

void SeekSlider::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && orientation() == Qt::Horizontal && maximum() > minimum()
        && !handleRect().contains(pos)) {
        // The handle jumps under the pointer; the press below then holds it there.
        setSliderPosition(valueAt(pos.x()));
        if (handleRect().contains(pos)) {
            QSlider::mousePressEvent(event);
            return;
        }
        // A style that will not put the handle there: hold it where it went.
        setSliderDown(true);
        event->accept();
        return;
    }
    QSlider::mousePressEvent(event);
}

void SeekSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isSliderDown()) {
        QSlider::mouseReleaseEvent(event);
        setSliderDown(false); // a no-op when the base class let go already
        return;
    }
    QSlider::mouseReleaseEvent(event);
}

void SeekSlider::sliderChange(SliderChange change)
{
    // A new value whose handle lands where the last paint put it changes nothing shown.
    // Range, orientation and step changes repaint as always (the base class updates).
    if (change == SliderValueChange && !paintedHandle_.isNull() && handleRect() == paintedHandle_)
        return;
    if (change == SliderValueChange)
        ++valueRepaints_;
    QSlider::sliderChange(change);
}

void SeekSlider::paintEvent(QPaintEvent *event)
{
    paintedHandle_ = handleRect();
    QSlider::paintEvent(event);
}
