#include "ui/ClickDragBar.h"

#include <QMouseEvent>

#include <algorithm>

namespace {
bool sharedDragging = false;
}

ClickDragBar::ClickDragBar(const QString &objectName, int maximum, int pixelFactor, QWidget *parent)
    : QProgressBar(parent)
    , factor_(pixelFactor)
{
    setObjectName(objectName);
    setRange(0, maximum);
    setValue(0);
    setTextVisible(false);
    setMouseTracking(true);
}

bool ClickDragBar::sliderDragging()
{
    return sharedDragging;
}

void ClickDragBar::setSliderDragging(bool dragging)
{
    sharedDragging = dragging;
}

int ClickDragBar::positionForX(int x) const
{
    const long long pos = static_cast<long long>(x) * factor_;
    return static_cast<int>(std::clamp<long long>(pos, minimum(), maximum()));
}

void ClickDragBar::mousePressEvent(QMouseEvent *event)
{
    sharedDragging = true;
    setValue(positionForX(qRound(event->position().x())));
    Q_EMIT applied(value());
    event->accept();
}

void ClickDragBar::mouseMoveEvent(QMouseEvent *event)
{
    if (sharedDragging)
        setValue(positionForX(qRound(event->position().x())));
    Q_EMIT applied(value());
    event->accept();
}

void ClickDragBar::mouseReleaseEvent(QMouseEvent *event)
{
    sharedDragging = false;
    event->accept();
}
