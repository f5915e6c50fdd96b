#include "ui/SeekSlider.h"

#include <QStyle>
#include <QStyleOptionSlider>

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
