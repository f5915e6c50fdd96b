#include "video/VideoSurface.h"

#include "playback/MediaGraph.h"
#include "video/X11VideoOutput.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>

VideoSurface::VideoSurface(MediaGraph &graph, QWidget *parent)
    : QWidget(parent)
    , graph_(graph)
{
    setObjectName(QStringLiteral("DSVideoWindowEx21"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    cursorTimer_.setSingleShot(true);
    cursorTimer_.setInterval(AutoHideCursorMs);
    connect(&cursorTimer_, &QTimer::timeout, this, [this] { setCursor(Qt::BlankCursor); });
    // Frames are only fetched while someone can see them.
    repaintOnFrame_ = connect(&graph_, &MediaGraph::videoFrameReady, this, [this] {
        if (isVisible())
            update();
    });
    applyColors();
}

VideoSurface::~VideoSurface()
{
    // No frame may reach the output once it goes, nor after the window is destroyed.
    if (output_)
        graph_.setFrameObserver(nullptr);
}

QPaintEngine *VideoSurface::paintEngine() const
{
    return output_ ? nullptr : QWidget::paintEngine();
}

void VideoSurface::startXOutput()
{
    outputTried_ = true;
    output_ = X11VideoOutput::attach(*this);
    if (!output_)
        return;
    disconnect(repaintOnFrame_);
    output_->frameArrived(graph_.latestVideoFrame());
    graph_.setFrameObserver(output_.get());
}

bool VideoSurface::event(QEvent *event)
{
    if (event->type() == QEvent::WinIdChange && output_)
        output_->setWindow(internalWinId(), X11VideoOutput::deviceSize(*this));
    return QWidget::event(event);
}

void VideoSurface::showEvent(QShowEvent *event)
{
    if (!outputTried_)
        startXOutput();
    else if (output_)
        output_->setVisible(true);
    QWidget::showEvent(event);
}

void VideoSurface::hideEvent(QHideEvent *event)
{
    if (output_)
        output_->setVisible(false);
    QWidget::hideEvent(event);
}

void VideoSurface::resizeEvent(QResizeEvent *event)
{
    if (output_)
        output_->setSize(X11VideoOutput::deviceSize(*this));
    QWidget::resizeEvent(event);
}

QRect VideoSurface::letterbox(QSize frame, QSize surface)
{
    if (frame.isEmpty() || surface.isEmpty())
        return {};
    const QSize scaled = frame.scaled(surface, Qt::KeepAspectRatio);
    return QRect(QPoint((surface.width() - scaled.width()) / 2, (surface.height() - scaled.height()) / 2), scaled);
}

std::optional<QPoint> VideoSurface::toPicture(QPoint p, QSize frame, QSize surface)
{
    const QRect target = letterbox(frame, surface);
    if (target.isEmpty() || !target.contains(p))
        return std::nullopt;
    const int x = (p.x() - target.x()) * frame.width() / target.width();
    const int y = (p.y() - target.y()) * frame.height() / target.height();
    return QPoint(std::clamp(x, 0, frame.width() - 1), std::clamp(y, 0, frame.height() - 1));
}

void VideoSurface::paintEvent(QPaintEvent *)
{
    if (output_) {
        output_->redraw();
        return;
    }
    frame_ = graph_.latestVideoFrame();
    QPainter p(this);
    const QRect target = letterbox(frame_.size(), size());
    if (target.isEmpty()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // Only the bars around the picture are filled: the picture covers the rest.
    const QRegion bars = QRegion(rect()).subtracted(target);
    for (const QRect &bar : bars)
        p.fillRect(bar, Qt::black);
    p.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != frame_.size());
    p.drawImage(target, frame_);
}

void VideoSurface::restartCursorTimer()
{
    unsetCursor();
    cursorTimer_.start();
}

void VideoSurface::enterEvent(QEnterEvent *event)
{
    restartCursorTimer();
    QWidget::enterEvent(event);
}

void VideoSurface::mouseMoveEvent(QMouseEvent *event)
{
    restartCursorTimer();
    DSVideoWindowEx21MouseMove(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void VideoSurface::mouseReleaseEvent(QMouseEvent *event)
{
    DSVideoWindowEx21MouseUp(event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
}

std::optional<QPoint> VideoSurface::pictureAt(QPoint position) const
{
    // The frame last painted is the one the user pointed at.
    QSize frame = output_ ? output_->frameSize() : frame_.size();
    if (frame.isEmpty())
        frame = graph_.latestVideoFrame().size();
    return toPicture(position, frame, size());
}

void VideoSurface::DSVideoWindowEx21MouseMove(QPoint position)
{
    if (!graph_.isRunning())
        return;
    DvdControl *dvd = graph_.dvdControl();
    if (!dvd)
        return;
    if (const std::optional<QPoint> p = pictureAt(position))
        dvd->SelectAtPosition(*p);
}

void VideoSurface::DSVideoWindowEx21MouseUp(QPoint position)
{
    if (!graph_.isRunning())
        return;
    DvdControl *dvd = graph_.dvdControl();
    if (!dvd)
        return;
    if (const std::optional<QPoint> p = pictureAt(position))
        dvd->ActivateAtPosition(*p);
}

void VideoSurface::applyColors()
{
    graph_.setVideoBalance(ColorControl::toBalance(color_.current()));
}

void VideoSurface::setBrightness(int value)
{
    color_.setBrightness(value);
    applyColors();
}

void VideoSurface::setContrast(int value)
{
    color_.setContrast(value);
    applyColors();
}

void VideoSurface::setHue(int value)
{
    color_.setHue(value);
    applyColors();
}

void VideoSurface::setSaturation(int value)
{
    color_.setSaturation(value);
    applyColors();
}

void VideoSurface::setColorEnable(bool on)
{
    color_.setColorEnable(on);
    applyColors();
}

void VideoSurface::resetColors()
{
    color_.resetToDefaults();
    applyColors();
}
