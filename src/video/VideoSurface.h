#pragma once
// The picture of whatever the media graph plays, letterboxed on black, with the
// renderer's colour settings (ColorControl) and the DVD menu by pointer: moving over
// the picture highlights the menu button under the pointer, releasing a mouse button
// activates it. The pointer hides after it has rested over the surface for 3000 ms.
#include "video/ColorControl.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class MediaGraph;
class X11VideoOutput;

class VideoSurface : public QWidget {
    Q_OBJECT
public:
    VideoSurface(MediaGraph &graph, QWidget *parent);
    ~VideoSurface() override;

    // Where a frame of this size lands in a surface of that size (aspect kept, centred).
    static QRect letterbox(QSize frame, QSize surface);
    // A surface point in the picture's own pixels; none outside the picture.
    static std::optional<QPoint> toPicture(QPoint surfacePoint, QSize frame, QSize surface);
    static constexpr int AutoHideCursorMs = 3000;
    // The key colour: where the colour panel lies over the picture it shows this colour.
    static QColor keyColour() { return QColor(16, 0, 16); }

    // Colour settings: every change reaches the picture at once. The setters throw
    // ColorRangeError for a value outside the range.
    const ColorSettings &colors() const { return color_.current(); }
    const ColorSettings &defaultColors() const { return color_.defaults(); }
    void setBrightness(int value);
    void setContrast(int value);
    void setHue(int value);
    void setSaturation(int value);
    void setColorEnable(bool on);
    void resetColors();

    // On an X display the picture goes to the server through X11VideoOutput, drawn on
    // the streaming thread; elsewhere (and where the server lacks what it needs) it is
    // painted here with QPainter. True once the first is in use.
    bool drawsThroughX() const { return output_ != nullptr; }
    QPaintEngine *paintEngine() const override;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;

private:
    void DSVideoWindowEx21MouseMove(QPoint position);
    void DSVideoWindowEx21MouseUp(QPoint position);
    std::optional<QPoint> pictureAt(QPoint position) const;
    void applyColors();
    void restartCursorTimer();
    void startXOutput();

    MediaGraph &graph_;
    ColorControl color_;
    QImage frame_;
    QTimer cursorTimer_;
    std::unique_ptr<X11VideoOutput> output_;
    bool outputTried_ = false;
    QMetaObject::Connection repaintOnFrame_;
};
