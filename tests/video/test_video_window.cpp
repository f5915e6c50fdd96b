// The video window and the colour panel as start-up wires them, on a fake media graph:
// the DVD buttons follow what is open and drive the navigator, the pointer reaches it
// in picture pixels, the colour panel centres over the picture and edits the balance.
#include "app/Startup.h"
#include "playback/PlaybackController.h"
#include "support/FakeMediaGraph.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "video/TForm3.h"
#include "video/TForm5.h"
#include "video/VideoSurface.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

class FramedGraph : public FakeMediaGraph {
public:
    QImage frame{720, 576, QImage::Format_RGB32};
    QImage latestVideoFrame() const override { return frame; }
};

const QString kDvd = QStringLiteral("/disc/VIDEO_TS/VIDEO_TS.IFO");
const QString kFile = QStringLiteral("/v/clip.avi");

struct Rig {
    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    FramedGraph graph;
    std::unique_ptr<Startup> startup;
    Rig()
    {
        graph.dvdResult = 0;
        startup = std::make_unique<Startup>(dir.path(), QStringList{kDvd, kFile}, dialogs, graph);
        QCoreApplication::processEvents(); // start-up's own play action
    }
    TForm3 &video() { return *startup->form3(); }
    TForm5 &colours() { return *startup->form5(); }
    PlaybackController &ctl() { return startup->controller(); }
    void openDvd()
    {
        ctl().playRequested(0);
        graph.clearCalls();
    }
    void click(int button) { QTest::mouseClick(video().SpeedButton[button], Qt::LeftButton); }
    QStringList shownButtons()
    {
        QStringList shown;
        for (int i = 1; i <= 8; ++i)
            if (video().SpeedButton[i]->isVisibleTo(&video()))
                shown << video().SpeedButton[i]->objectName();
        return shown;
    }
};

// QTest::mouseMove only moves the cursor offscreen; the widget gets the event itself.
void moveOver(QWidget *widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace

class VideoWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dvdButtonsFollowWhatIsOpen();
    void dvdButtonsDriveTheNavigator();
    void buttonsDoNothingOnAFile();
    void pointerReachesTheNavigatorInPicturePixels();
    void colourPanelCentresOverThePicture_data();
    void colourPanelCentresOverThePicture();
    void colourPanelEditsTheBalance();
    void colourPanelPaintsKeyColourInGreenOutline();
};

void VideoWindowTest::dvdButtonsFollowWhatIsOpen()
{
    Rig rig;
    rig.video().show();
    rig.ctl().playRequested(0);
    QCOMPARE(rig.shownButtons().size(), 8);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QCOMPARE(rig.graph.calls().mid(rig.graph.calls().lastIndexOf("renderDvd(" + kDvd + ")")),
             (QStringList{"renderDvd(" + kDvd + ")", "run", "dvd:SetOption(0,false)",
                          "dvd:SetOption(1,true)"}));
    rig.ctl().next();
    QCOMPARE(rig.shownButtons(), QStringList{"SpeedButton1"});
}

void VideoWindowTest::dvdButtonsDriveTheNavigator()
{
    Rig rig;
    rig.video().show();
    rig.openDvd();
    rig.click(6);
    rig.click(4); // back to normal speed
    rig.click(8);
    rig.click(7);
    rig.click(2);
    rig.click(3);
    rig.click(4); // resumes from the pause, at normal speed
    rig.click(5);
    QCOMPARE(rig.graph.calls(),
             (QStringList{"dvd:PlayForwards(8)", "run", "dvd:PlayForwards(1)", "dvd:PlayBackwards(8)",
                          "dvd:PlayNextChapter", "dvd:PlayPrevChapter", "pause", "run", "dvd:PlayForwards(1)",
                          "stop"}));
}

void VideoWindowTest::buttonsDoNothingOnAFile()
{
    Rig rig;
    rig.video().show();
    rig.ctl().playRequested(1);
    rig.graph.clearCalls();
    // Hidden buttons cannot be clicked by a person; their actions are still safe.
    for (int b : {2, 6, 7, 8})
        rig.video().SpeedButton[b]->click();
    moveOver(rig.video().DSVideoWindowEx21, QPoint(50, 50));
    QTest::mouseClick(rig.video().DSVideoWindowEx21, Qt::LeftButton, {}, QPoint(50, 50));
    QVERIFY(rig.graph.calls().isEmpty());
    rig.click(3);
    rig.click(5);
    QCOMPARE(rig.graph.calls(), (QStringList{"pause", "stop"}));
}

void VideoWindowTest::pointerReachesTheNavigatorInPicturePixels()
{
    Rig rig;
    rig.video().resize(500, 400);
    rig.video().show();
    rig.openDvd();
    VideoSurface *surface = rig.video().DSVideoWindowEx21;
    const QSize size = surface->size();
    const QRect picture = VideoSurface::letterbox(QSize(720, 576), size);
    QVERIFY(picture.left() > 0); // the frame is letterboxed at the sides
    const QPoint inside = picture.center();
    moveOver(surface, inside);
    QTest::mouseClick(surface, Qt::RightButton, {}, inside); // any button activates
    moveOver(surface, QPoint(picture.left() - 2, inside.y())); // beside the picture
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(picture.left() - 2, inside.y()));
    const QPoint p = *VideoSurface::toPicture(inside, QSize(720, 576), size);
    QVERIFY(qAbs(p.x() - 360) <= 2 && qAbs(p.y() - 288) <= 2);
    const QString at = QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y());
    QCOMPARE(rig.graph.calls(), (QStringList{"dvd:SelectAtPosition" + at, "dvd:ActivateAtPosition" + at}));
}

void VideoWindowTest::colourPanelCentresOverThePicture_data()
{
    QTest::addColumn<QRect>("surface");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even") << QRect(100, 50, 338, 246) << QPoint(100 + 169 - 86, 50 + 123 - 119);
    QTest::newRow("odd halves truncate") << QRect(0, 0, 301, 241) << QPoint(150 - 86, 120 - 119);
    QTest::newRow("smaller than the panel") << QRect(10, 10, 100, 100) << QPoint(10 + 50 - 86, 10 + 50 - 119);
}

void VideoWindowTest::colourPanelCentresOverThePicture()
{
    QFETCH(QRect, surface);
    QFETCH(QPoint, expected);
    QCOMPARE(TForm5::centredOver(surface, QSize(173, 239)), expected);
}

void VideoWindowTest::colourPanelEditsTheBalance()
{
    Rig rig;
    rig.video().move(40, 30);
    rig.video().show();
    TForm5 &panel = rig.colours();
    QCOMPARE(panel.size(), QSize(173, 239));
    QVERIFY(panel.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(panel.windowFlags() & Qt::WindowStaysOnTopHint);
    rig.click(1);
    QVERIFY(panel.isVisible());
    VideoSurface *surface = rig.video().DSVideoWindowEx21;
    const auto centred = [&] {
        return TForm5::centredOver(QRect(surface->mapToGlobal(QPoint(0, 0)), surface->size()), panel.size());
    };
    QCOMPARE(panel.pos(), centred());
    QCOMPARE(panel.TrackBar[1]->value(), 750);
    QCOMPARE(panel.TrackBar[2]->value(), 10000);
    QCOMPARE(panel.TrackBar[3]->value(), 0);
    QCOMPARE(panel.TrackBar[4]->value(), 10000);
    QVERIFY(panel.CheckBox1->isChecked());
    QVERIFY(rig.graph.balance() == VideoBalance{});

    panel.TrackBar[1]->setValue(10000);
    panel.TrackBar[3]->setValue(panel.TrackBar[3]->minimum());
    QCOMPARE(surface->colors().Hue, -180);
    panel.CheckBox1->click();
    QVERIFY(rig.graph.balance() == (VideoBalance{1.0, 1.0, -1.0, 0.0}));

    rig.click(1);
    QVERIFY(!panel.isVisible());
    rig.video().move(200, 120);
    rig.click(1);
    QCOMPARE(panel.pos(), centred()); // over the picture's new place
    QCOMPARE(panel.TrackBar[1]->value(), 10000); // the surface's values, kept
    QVERIFY(!panel.CheckBox1->isChecked());

    panel.Button1->click();
    QCOMPARE(panel.TrackBar[1]->value(), 750);
    QCOMPARE(panel.TrackBar[3]->value(), 0);
    QVERIFY(panel.CheckBox1->isChecked());
    QVERIFY(rig.graph.balance() == VideoBalance{});
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void VideoWindowTest::colourPanelPaintsKeyColourInGreenOutline()
{
    Rig rig;
    const QImage shot = rig.colours().grab().toImage();
    QCOMPARE(shot.pixelColor(1, 120), QColor(0, 255, 0));   // left edge of the outline
    QCOMPARE(shot.pixelColor(171, 120), QColor(0, 255, 0)); // right edge
    QCOMPARE(shot.pixelColor(165, 232), QColor(16, 0, 16)); // the fill, clear of the controls
    QCOMPARE(shot.pixelColor(0, 0), QColor(16, 0, 16));     // outside the rounded corner
}

QTEST_MAIN(VideoWindowTest)
#include "test_video_window.moc"
