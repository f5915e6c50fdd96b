#include "video/X11VideoOutput.h"

#include "video/VideoSurface.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {
// Xlib's error handler is one for the whole process. Errors on our connections (a
// window gone under a frame, a segment the server cannot attach) are noted for the
// connection and otherwise ignored; others go to the handler that was there before.
std::mutex registryMutex;
std::vector<std::pair<Display *, unsigned char>> registry; // connection, last error code
XErrorHandler previousHandler = nullptr;
bool handlerInstalled = false;

int onXError(Display *display, XErrorEvent *event)
{
    {
        std::lock_guard lock(registryMutex);
        for (auto &entry : registry) {
            if (entry.first == display) {
                entry.second = event->error_code;
                return 0;
            }
        }
    }
    return previousHandler ? previousHandler(display, event) : 0;
}

void registerDisplay(Display *display)
{
    std::lock_guard lock(registryMutex);
    if (!handlerInstalled) {
        previousHandler = XSetErrorHandler(&onXError);
        handlerInstalled = true;
    }
    registry.emplace_back(display, 0);
}

void unregisterDisplay(Display *display)
{
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [display](const auto &entry) { return entry.first == display; });
}

// The last error on `display` since the previous call, 0 for none.
unsigned char takeError(Display *display)
{
    std::lock_guard lock(registryMutex);
    for (auto &entry : registry) {
        if (entry.first == display)
            return std::exchange(entry.second, 0);
    }
    return 0;
}

bool hostIsLittleEndian()
{
    const std::uint32_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}
} // namespace

struct X11VideoOutput::Connection {
    Display *display = nullptr;
    Visual *visual = nullptr; // 24-bit TrueColor, 32 bits a pixel
    XRenderPictFormat *sourceFormat = nullptr;
    XShmSegmentInfo shm{};
    XImage *image = nullptr;
    Pixmap pixmap = 0;
    GC gc = nullptr;
    Picture source = 0;
    QSize sourceSize;
    QRect transformFor; // target the source's transform and filter were set for

    ~Connection()
    {
        if (display) {
            unregisterDisplay(display);
            XCloseDisplay(display);
        }
    }
};

QSize X11VideoOutput::deviceSize(const QWidget &widget)
{
    return (QSizeF(widget.size()) * widget.devicePixelRatioF()).toSize();
}

std::unique_ptr<X11VideoOutput> X11VideoOutput::attach(QWidget &widget)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    // A native window of its own, which Qt does not paint over.
    widget.setAttribute(Qt::WA_NativeWindow);
    const WId window = widget.winId();
    std::unique_ptr<X11VideoOutput> output = create(applicationDisplayName());
    if (!output)
        return nullptr;
    widget.setAttribute(Qt::WA_PaintOnScreen);
    output->setWindow(window, deviceSize(widget));
    output->setVisible(widget.isVisible());
    return output;
}

QByteArray X11VideoOutput::applicationDisplayName()
{
#if QT_CONFIG(xcb)
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (Display *display = x11->display())
            return QByteArray(DisplayString(display));
    }
#endif
    return {};
}

std::unique_ptr<X11VideoOutput> X11VideoOutput::create(const QByteArray &displayName)
{
    auto x = std::make_unique<Connection>();
    x->display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!x->display)
        return nullptr;
    registerDisplay(x->display);
    Display *d = x->display;
    int event = 0, error = 0, major = 0, minor = 0;
    // RepeatPad (edges of a scaled picture without a dark seam) came with RENDER 0.10.
    if (!XRenderQueryExtension(d, &event, &error) || !XRenderQueryVersion(d, &major, &minor)
        || (major == 0 && minor < 10))
        return nullptr;
    if (!XShmQueryExtension(d))
        return nullptr;
    XVisualInfo info;
    if (!XMatchVisualInfo(d, DefaultScreen(d), 24, TrueColor, &info) || info.red_mask != 0xff0000
        || info.green_mask != 0xff00 || info.blue_mask != 0xff)
        return nullptr;
    x->visual = info.visual;
    x->sourceFormat = XRenderFindStandardFormat(d, PictStandardRGB24);
    if (!x->sourceFormat)
        return nullptr;
    // The frames are BGRx in memory: the server's pixels must be the same bytes.
    XShmSegmentInfo probe{};
    XImage *image = XShmCreateImage(d, x->visual, 24, ZPixmap, nullptr, &probe, 16, 16);
    if (!image)
        return nullptr;
    const bool layout = image->bits_per_pixel == 32
        && image->byte_order == (hostIsLittleEndian() ? LSBFirst : MSBFirst);
    XDestroyImage(image);
    if (!layout)
        return nullptr;
    auto output = std::unique_ptr<X11VideoOutput>(new X11VideoOutput(std::move(x)));
    // A server that cannot reach our memory (a remote display) refuses the segment.
    std::lock_guard lock(output->mutex_);
    if (!output->prepareSourceLocked(QSize(16, 16)))
        return nullptr;
    return output;
}

X11VideoOutput::X11VideoOutput(std::unique_ptr<Connection> connection)
    : x_(std::move(connection))
{
}

X11VideoOutput::~X11VideoOutput()
{
    std::lock_guard lock(mutex_);
    releaseWindowLocked();
    releaseSourceLocked();
    XSync(x_->display, False);
}

bool X11VideoOutput::prepareSourceLocked(QSize size)
{
    if (x_->image && x_->sourceSize == size)
        return true;
    releaseSourceLocked();
    Display *d = x_->display;
    x_->image = XShmCreateImage(d, x_->visual, 24, ZPixmap, nullptr, &x_->shm, size.width(), size.height());
    if (!x_->image)
        return false;
    x_->shm.shmid = shmget(IPC_PRIVATE, std::size_t(x_->image->bytes_per_line) * size.height(), IPC_CREAT | 0600);
    if (x_->shm.shmid < 0) {
        XDestroyImage(x_->image);
        x_->image = nullptr;
        return false;
    }
    void *address = shmat(x_->shm.shmid, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(x_->shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(x_->image);
        x_->image = nullptr;
        return false;
    }
    x_->shm.shmaddr = x_->image->data = static_cast<char *>(address);
    x_->shm.readOnly = False;
    takeError(d);
    XShmAttach(d, &x_->shm);
    XSync(d, False);
    // Marked for removal now: it goes when both sides have let go, even after a crash.
    shmctl(x_->shm.shmid, IPC_RMID, nullptr);
    if (takeError(d)) {
        shmdt(x_->shm.shmaddr);
        x_->image->data = nullptr;
        XDestroyImage(x_->image);
        x_->image = nullptr;
        return false;
    }
    const Window root = RootWindow(d, DefaultScreen(d));
    x_->pixmap = XCreatePixmap(d, root, size.width(), size.height(), 24);
    x_->gc = XCreateGC(d, x_->pixmap, 0, nullptr);
    XRenderPictureAttributes attributes{};
    attributes.repeat = RepeatPad;
    x_->source = XRenderCreatePicture(d, x_->pixmap, x_->sourceFormat, CPRepeat, &attributes);
    x_->sourceSize = size;
    x_->transformFor = QRect();
    return true;
}

void X11VideoOutput::releaseSourceLocked()
{
    Display *d = x_->display;
    if (x_->source)
        XRenderFreePicture(d, x_->source);
    if (x_->gc)
        XFreeGC(d, x_->gc);
    if (x_->pixmap)
        XFreePixmap(d, x_->pixmap);
    if (x_->image) {
        XShmDetach(d, &x_->shm);
        XSync(d, False);
        shmdt(x_->shm.shmaddr);
        x_->image->data = nullptr;
        XDestroyImage(x_->image);
    }
    x_->source = 0;
    x_->gc = nullptr;
    x_->pixmap = 0;
    x_->image = nullptr;
    x_->sourceSize = QSize();
}

void X11VideoOutput::releaseWindowLocked()
{
    if (windowPicture_)
        XRenderFreePicture(x_->display, windowPicture_);
    windowPicture_ = 0;
    window_ = 0;
}

void X11VideoOutput::setWindow(unsigned long window, QSize size)
{
    std::lock_guard lock(mutex_);
    releaseWindowLocked();
    size_ = size;
    if (!window)
        return;
    Display *d = x_->display;
    takeError(d);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || takeError(d))
        return;
    XRenderPictFormat *format = XRenderFindVisualFormat(d, attributes.visual);
    if (!format)
        return;
    window_ = window;
    windowPicture_ = XRenderCreatePicture(d, window, format, 0, nullptr);
    drawLocked(true, kept());
}

void X11VideoOutput::setSize(QSize size)
{
    std::lock_guard lock(mutex_);
    size_ = size;
    drawLocked(true, kept());
}

void X11VideoOutput::setVisible(bool visible)
{
    std::lock_guard lock(mutex_);
    visible_ = visible;
    drawLocked(true, kept());
}

void X11VideoOutput::redraw()
{
    std::lock_guard lock(mutex_);
    drawLocked(true, kept());
}

QSize X11VideoOutput::frameSize() const
{
    std::lock_guard lock(mutex_);
    return frameSize_;
}

void X11VideoOutput::frameArrived(const QImage &frame)
{
    std::lock_guard lock(mutex_);
    frame_ = frame;
    frameSize_ = frame.size();
    drawLocked(false, &frame_);
}

void X11VideoOutput::showImage(const QImage &image)
{
    std::lock_guard lock(mutex_);
    frame_ = QImage();
    frameSize_ = image.size();
    drawLocked(false, &image);
}

void X11VideoOutput::setScaleToFit(bool scale)
{
    std::lock_guard lock(mutex_);
    scaleToFit_ = scale;
}

const QImage *X11VideoOutput::kept() const
{
    return frame_.isNull() ? nullptr : &frame_;
}

void X11VideoOutput::drawLocked(bool bars, const QImage *upload)
{
    if (!visible_ || !windowPicture_ || size_.isEmpty())
        return;
    Display *d = x_->display;
    const XRenderColor black{0, 0, 0, 0xffff};
    QRect target = scaleToFit_ ? VideoSurface::letterbox(frameSize_, size_)
                               : QRect(QPoint(0, 0), frameSize_) & QRect(QPoint(0, 0), size_);
    if (upload && upload->format() != QImage::Format_RGB32)
        target = QRect();
    if (!target.isEmpty() && !(upload ? prepareSourceLocked(frameSize_) : x_->sourceSize == frameSize_))
        target = QRect();
    if (bars || target != drawn_) {
        std::vector<XRectangle> rects;
        for (const QRect &r : QRegion(QRect(QPoint(0, 0), size_)).subtracted(target))
            rects.push_back(XRectangle{short(r.x()), short(r.y()), (unsigned short)r.width(), (unsigned short)r.height()});
        if (!rects.empty())
            XRenderFillRectangles(d, PictOpSrc, windowPicture_, &black, rects.data(), int(rects.size()));
    }
    drawn_ = target;
    if (target.isEmpty()) {
        XSync(d, False);
        return;
    }
    const int width = frameSize_.width();
    const int height = frameSize_.height();
    if (upload) {
        XImage *image = x_->image;
        const int rowBytes = width * 4;
        if (upload->bytesPerLine() == image->bytes_per_line) {
            std::memcpy(image->data, upload->constBits(), std::size_t(rowBytes) * height);
        } else {
            for (int y = 0; y < height; ++y)
                std::memcpy(image->data + std::size_t(y) * image->bytes_per_line, upload->constScanLine(y), rowBytes);
        }
        XShmPutImage(d, x_->pixmap, x_->gc, image, 0, 0, 0, 0, width, height, False);
    }
    if (x_->transformFor != target) {
        // Destination pixels map back onto the frame; 1:1 needs no filtering.
        const bool scaled = scaleToFit_ && target.size() != frameSize_;
        XTransform transform{{{XDoubleToFixed(scaled ? double(width) / target.width() : 1.0), 0, 0},
                              {0, XDoubleToFixed(scaled ? double(height) / target.height() : 1.0), 0},
                              {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(d, x_->source, &transform);
        XRenderSetPictureFilter(d, x_->source, scaled ? FilterBilinear : FilterNearest, nullptr, 0);
        x_->transformFor = target;
    }
    XRenderComposite(d, PictOpSrc, x_->source, None, windowPicture_, 0, 0, 0, 0, target.x(), target.y(),
                     target.width(), target.height());
    // The next frame overwrites the segment: the server must have read this one.
    XSync(d, False);
}
