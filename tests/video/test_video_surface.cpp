#include "support/FakeMediaGraph.h"
#include "video/VideoSurface.h"

#include <QtTest>

namespace {
class FramedGraph : public FakeMediaGraph {
public:
    QImage frame;
    QImage latestVideoFrame() const override { return frame; }
};
} // namespace

class VideoSurfaceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void letterbox_data();
    void letterbox();
    void paintsFrameOnBlack();
    void pointerHidesAfterRestAndReturnsOnMove();
};

void VideoSurfaceTest::letterbox_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("surface");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("wide in square") << QSize(320, 180) << QSize(300, 300) << QRect(0, 66, 300, 168);
    QTest::newRow("tall in wide") << QSize(100, 200) << QSize(400, 100) << QRect(175, 0, 50, 100);
    QTest::newRow("exact") << QSize(640, 480) << QSize(320, 240) << QRect(0, 0, 320, 240);
    QTest::newRow("no frame") << QSize() << QSize(300, 300) << QRect();
}

void VideoSurfaceTest::letterbox()
{
    QFETCH(QSize, frame);
    QFETCH(QSize, surface);
    QFETCH(QRect, expected);
    QCOMPARE(VideoSurface::letterbox(frame, surface), expected);
}

void VideoSurfaceTest::paintsFrameOnBlack()
{
    FramedGraph graph;
    graph.frame = QImage(320, 180, QImage::Format_RGB32);
    graph.frame.fill(QColor(0, 0, 255));
    VideoSurface surface(graph, nullptr);
    surface.resize(300, 300);
    const QImage shot = surface.grab().toImage();
    QCOMPARE(shot.pixelColor(150, 10), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(150, 150), QColor(0, 0, 255));
    QCOMPARE(shot.pixelColor(150, 290), QColor(Qt::black));
}


void VideoSurfaceTest::pointerHidesAfterRestAndReturnsOnMove()
{
    FramedGraph graph;
    VideoSurface surface(graph, nullptr);
    surface.resize(300, 300);
    surface.show();
    QVERIFY(QTest::qWaitForWindowExposed(&surface));
    const auto move = [&surface](QPoint at) {
        QMouseEvent event(QEvent::MouseMove, at, surface.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&surface, &event);
    };
    move(QPoint(10, 10));
    QVERIFY(surface.cursor().shape() != Qt::BlankCursor);
    // A timer cannot fire early: after 2 of the 3 seconds it still shows.
    QTest::qWait(2000);
    QVERIFY(surface.cursor().shape() != Qt::BlankCursor);
    QTRY_COMPARE_WITH_TIMEOUT(surface.cursor().shape(), Qt::BlankCursor, 5000);
    move(QPoint(20, 20));
    QVERIFY(surface.cursor().shape() != Qt::BlankCursor);
}

QTEST_MAIN(VideoSurfaceTest)
#include "test_video_surface.moc"
