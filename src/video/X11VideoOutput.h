#pragma once
// Shows the pictures of the media graph in a native X window through the RENDER
// extension. Each frame goes to the server once, at its own size, through a shared
// memory segment (MIT-SHM), and the server scales it into the letterbox (on a desktop
// its GPU does it, as a hardware overlay would): the program pays one copy per frame,
// not a scaled paint.
//
// Threads: frames are put up on the streaming thread that delivers them; the GUI
// thread gives the window, its size and visibility, and asks for a redraw on exposure.
// The output has an X connection of its own, used only under its mutex, so neither
// waits for the other's event loop.
#include "playback/MediaGraph.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

class QWidget;

#include <memory>
#include <mutex>

class X11VideoOutput : public VideoFrameObserver {
public:
    // Null when the display cannot be opened or lacks RENDER or MIT-SHM, or when its
    // pixels are not 32-bit BGRx (the caller then paints with QPainter).
    static std::unique_ptr<X11VideoOutput> create(const QByteArray &displayName);
    // An output drawing in `widget`'s own native window, which Qt then leaves unpainted
    // (the widget's paintEngine() must return null while it is in use). Null on other
    // platforms or where create() fails; the widget paints for itself then.
    static std::unique_ptr<X11VideoOutput> attach(QWidget &widget);
    // `widget`'s size in device pixels, as the output wants it.
    static QSize deviceSize(const QWidget &widget);
    // The display the application's windows are on (empty: $DISPLAY).
    static QByteArray applicationDisplayName();
    ~X11VideoOutput() override;
    X11VideoOutput(const X11VideoOutput &) = delete;
    X11VideoOutput &operator=(const X11VideoOutput &) = delete;

    // The window to draw in (0: none); its size in device pixels.
    void setWindow(unsigned long window, QSize size);
    void setSize(QSize size);
    // A hidden surface keeps the newest frame but draws nothing.
    void setVisible(bool visible);
    // The newest frame and the bars again (exposure).
    void redraw();
    // The size of the newest frame; empty without one.
    QSize frameSize() const;

    void frameArrived(const QImage &frame) override;
    // Puts `image` up at once without keeping it (a picture the caller goes on drawing
    // into); a redraw shows what was put up last.
    void showImage(const QImage &image);
    // Scaled into the letterbox (the default), or at the top left at its own size with
    // the rest black.
    void setScaleToFit(bool scale);

private:
    struct Connection;
    explicit X11VideoOutput(std::unique_ptr<Connection> connection);
    // upload: the pixels to send first; null draws what the server holds.
    void drawLocked(bool bars, const QImage *upload);
    // The frame kept for redraws; null when the server holds the only copy.
    const QImage *kept() const;
    bool prepareSourceLocked(QSize size);
    void releaseSourceLocked();
    void releaseWindowLocked();

    mutable std::mutex mutex_;
    std::unique_ptr<Connection> x_;
    QImage frame_; // kept for redraws when it came through frameArrived
    QSize frameSize_;
    QSize size_;
    bool scaleToFit_ = true;
    unsigned long window_ = 0;
    unsigned long windowPicture_ = 0;
    bool visible_ = false;
    QRect drawn_; // where the last frame went; the bars are drawn again when it moves
};
