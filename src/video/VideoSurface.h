#pragma once
// The picture of whatever the media graph plays, letterboxed on black. The pointer
// hides after it has rested over the picture for 3000 ms.
#include <QImage>
#include <QTimer>
#include <QWidget>

class MediaGraph;

class VideoSurface : public QWidget {
    Q_OBJECT
public:
    VideoSurface(MediaGraph &graph, QWidget *parent);

    // Where a frame of this size lands in a surface of that size (aspect kept, centred).
    static QRect letterbox(QSize frame, QSize surface);
    static constexpr int AutoHideCursorMs = 3000;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    MediaGraph &graph_;
    QImage frame_;
    QTimer cursorTimer_;
};
