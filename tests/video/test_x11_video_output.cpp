// The picture drawn through the X server (RENDER, MIT-SHM) on a real server (Xvfb),
// read back with GetImage: letterbox bars, scaling both ways, resizing, no frame, a
// hidden surface, and the whole way from a playing file through the real media graph
// and the colour balance into the video window's native window.
#include "support/RenderWait.h"
#include "playback/GstMediaGraph.h"
#include "support/MediaClips.h"
#include "video/VideoSurface.h"
#include "visualisation/TForm9.h"
#include "video/X11VideoOutput.h"

#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t xvfbPid = 0;

// Starts Xvfb on a free display (it writes the number to the pipe); the display's name.
QByteArray startXvfb()
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    xvfbPid = fork();
    if (xvfbPid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
               "800x600x24", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    QByteArray number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    return number.isEmpty() ? QByteArray() : ':' + number;
}

QColor pixelAt(Display *display, unsigned long window, int x, int y)
{
    XImage *image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return {};
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return QColor(int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff));
}

bool near(const QColor &a, const QColor &b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// Left half red, right half blue.
QImage twoColours(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line, line + size.width() / 2, qRgb(255, 0, 0));
    }
    return image;
}

} // namespace

class X11VideoOutputTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void drawsLetterboxed_data();
    void drawsLetterboxed();
    void noFrameAndHiddenSurface();
    void playingFileReachesTheWindow();
    void paintAreaShowsItsPictureUnscaled();

private:
    Display *probe_ = nullptr;
    unsigned long window_ = 0;
};

void X11VideoOutputTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    probe_ = XOpenDisplay(nullptr);
    QVERIFY(probe_);
    window_ = XCreateSimpleWindow(probe_, DefaultRootWindow(probe_), 0, 0, 400, 300, 0, 0, 0x00ff00);
    XMapWindow(probe_, window_);
    XSync(probe_, False);
}

void X11VideoOutputTest::cleanupTestCase()
{
    if (probe_) {
        XDestroyWindow(probe_, window_);
        XCloseDisplay(probe_);
    }
}

void X11VideoOutputTest::drawsLetterboxed_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("picture");
    QTest::newRow("scaled up, bars above and below") << QSize(160, 90) << QSize(400, 300) << QRect(0, 37, 400, 225);
    QTest::newRow("scaled down, bars at the sides") << QSize(800, 800) << QSize(400, 300) << QRect(50, 0, 300, 300);
    QTest::newRow("one to one") << QSize(200, 150) << QSize(200, 150) << QRect(0, 0, 200, 150);
}

void X11VideoOutputTest::drawsLetterboxed()
{
    QFETCH(QSize, frame);
    QFETCH(QSize, window);
    QFETCH(QRect, picture);
    XResizeWindow(probe_, window_, window.width(), window.height());
    XSync(probe_, False);
    auto output = X11VideoOutput::create(qgetenv("DISPLAY"));
    QVERIFY(output);
    output->setWindow(window_, window);
    output->setVisible(true);
    output->frameArrived(twoColours(frame));
    QCOMPARE(output->frameSize(), frame);
    QCOMPARE(VideoSurface::letterbox(frame, window), picture);
    const int midY = picture.center().y();
    QVERIFY(near(pixelAt(probe_, window_, picture.left() + picture.width() / 4, midY), Qt::red));
    QVERIFY(near(pixelAt(probe_, window_, picture.right() - picture.width() / 4, midY), Qt::blue));
    // The picture's own edges, not a dark seam from sampling outside it.
    QVERIFY(near(pixelAt(probe_, window_, picture.left(), picture.top()), Qt::red, 40));
    QVERIFY(near(pixelAt(probe_, window_, picture.right(), picture.bottom()), Qt::blue, 40));
    if (picture.top() > 0)
        QCOMPARE(pixelAt(probe_, window_, window.width() / 2, picture.top() - 1), QColor(Qt::black));
    if (picture.left() > 0)
        QCOMPARE(pixelAt(probe_, window_, picture.left() - 1, midY), QColor(Qt::black));
}

void X11VideoOutputTest::noFrameAndHiddenSurface()
{
    XResizeWindow(probe_, window_, 400, 300);
    XSync(probe_, False);
    auto output = X11VideoOutput::create(qgetenv("DISPLAY"));
    QVERIFY(output);
    output->setWindow(window_, QSize(400, 300));
    output->setVisible(true);
    output->frameArrived(twoColours(QSize(400, 300)));
    QVERIFY(near(pixelAt(probe_, window_, 50, 150), Qt::red));
    // Hidden: the newest frame is kept, not drawn, and shown again on showing.
    output->setVisible(false);
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(Qt::green);
    output->frameArrived(green);
    QVERIFY(near(pixelAt(probe_, window_, 50, 150), Qt::red));
    output->setVisible(true);
    QVERIFY(near(pixelAt(probe_, window_, 50, 150), Qt::green));
    // The media dropped: black all over.
    output->frameArrived(QImage());
    QCOMPARE(pixelAt(probe_, window_, 50, 150), QColor(Qt::black));
    QVERIFY(output->frameSize().isEmpty());
    // A window that is gone: nothing drawn, no error that ends the program.
    output->setWindow(0xdeadbeef, QSize(400, 300));
    output->frameArrived(green);
}

void X11VideoOutputTest::playingFileReachesTheWindow()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
    QTemporaryDir dir;
    const QString clip = dir.filePath("colour.mpg");
    QVERIFY(makeStillColourClip(clip));
    GstMediaGraph graph;
    graph.setActive(true);
    QWidget window;
    window.resize(480, 240);
    auto *surface = new VideoSurface(graph, &window);
    surface->setGeometry(0, 0, 480, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(surface->drawsThroughX());
    render_wait::renderFile(graph, clip);
    graph.run();
    // 320 x 240 in 480 x 240: a 320 wide picture with 80 pixel bars either side.
    QTRY_VERIFY_WITH_TIMEOUT(near(pixelAt(probe_, surface->winId(), 240, 120), QColor(0x80, 0x60, 0x40), 12), 10000);
    QCOMPARE(pixelAt(probe_, surface->winId(), 40, 120), QColor(Qt::black));
    const QColor neutral = pixelAt(probe_, surface->winId(), 240, 120);
    surface->setBrightness(2000);
    QTRY_VERIFY_WITH_TIMEOUT(pixelAt(probe_, surface->winId(), 240, 120).value() > neutral.value() + 20, 5000);
    surface->setColorEnable(false);
    QTRY_VERIFY_WITH_TIMEOUT(pixelAt(probe_, surface->winId(), 240, 120).saturation() < 10, 5000);
    // Resized: the picture fills the new letterbox.
    surface->setGeometry(0, 0, 240, 240);
    QTRY_COMPARE_WITH_TIMEOUT(pixelAt(probe_, surface->winId(), 120, 20), QColor(Qt::black), 5000);
    QVERIFY(pixelAt(probe_, surface->winId(), 120, 120) != QColor(Qt::black));
    graph.stop();
    graph.resetGraph();
    QTRY_COMPARE_WITH_TIMEOUT(pixelAt(probe_, surface->winId(), 120, 120), QColor(Qt::black), 5000);
}

void X11VideoOutputTest::paintAreaShowsItsPictureUnscaled()
{
    // The waveform's area: a picture smaller than the area stays at its own size, black beside it.
    QImage picture = twoColours(QSize(100, 60));
    PaintArea area(nullptr);
    area.picture = &picture;
    area.resize(200, 100);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QVERIFY(area.present());
    QVERIFY(near(pixelAt(probe_, area.winId(), 10, 30), Qt::red));
    QVERIFY(near(pixelAt(probe_, area.winId(), 90, 30), Qt::blue));
    QCOMPARE(pixelAt(probe_, area.winId(), 150, 30), QColor(Qt::black));
    QCOMPARE(pixelAt(probe_, area.winId(), 50, 80), QColor(Qt::black));
    // Drawn into again and shown: the new pixels, not a kept copy.
    picture.fill(Qt::green);
    QVERIFY(area.present());
    QVERIFY(near(pixelAt(probe_, area.winId(), 10, 30), Qt::green));
}

int main(int argc, char **argv)
{
    const QByteArray display = startXvfb();
    if (display.isEmpty()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    int status = 0;
    {
        QApplication app(argc, argv);
        X11VideoOutputTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    kill(xvfbPid, SIGTERM);
    waitpid(xvfbPid, nullptr, 0);
    return status;
}

#include "test_x11_video_output.moc"
