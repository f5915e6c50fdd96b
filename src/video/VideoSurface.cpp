#include "video/VideoSurface.h"

#include "playback/MediaGraph.h"

#include <QMouseEvent>
#include <QPainter>

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
    connect(&graph_, &MediaGraph::videoFrameReady, this, [this] {
        if (isVisible())
            update();
    });
}

QRect VideoSurface::letterbox(QSize frame, QSize surface)
{
    if (frame.isEmpty() || surface.isEmpty())
        return {};
    const QSize scaled = frame.scaled(surface, Qt::KeepAspectRatio);
    return QRect(QPoint((surface.width() - scaled.width()) / 2, (surface.height() - scaled.height()) / 2), scaled);
}

void VideoSurface::paintEvent(QPaintEvent *)
{
    frame_ = graph_.latestVideoFrame();
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect target = letterbox(frame_.size(), size());
    if (!target.isEmpty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, frame_);
    }
}

void VideoSurface::mouseMoveEvent(QMouseEvent *event)
{
    unsetCursor();
    cursorTimer_.start();
    QWidget::mouseMoveEvent(event);
}
