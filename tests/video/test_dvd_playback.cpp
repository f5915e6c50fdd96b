// DVD playback on the real media graph with DVD folders authored here (ffmpeg, spumux,
// dvdauthor): the render results for good and bad volumes, the menu shown after the
// first-play program, a pointer move and release over a menu button starting the
// title, chapters moving the time, time-code events reaching the label, and a menu
// without buttons that neither hangs nor crashes.
#include "common/TextCodec.h"
#include "platform/OpticalDrive.h"
#include "support/RenderWait.h"
#include "playback/GstMediaGraph.h"
#include "support/MediaClips.h"
#include "video/VideoSurface.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {

bool author(const QString &dir, const QString &mode = {})
{
    QProcess p;
    QStringList args{dir};
    if (!mode.isEmpty())
        args << mode;
    p.start(QStringLiteral(TARNEL_SOURCE_DIR_LITERAL "/tests/fixtures/media/make-test-dvd.sh"), args);
    return p.waitForFinished(90000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void moveAndRelease(QWidget *w, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

} // namespace

class DvdPlaybackTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void renderResults_data();
    void renderResults();
    void menuTitleAndChapters();
    void menuWithoutButtonsDoesNotHang();
    void colourChangesThePaintedPicture();

private:
    QTemporaryDir dir_;
    QString ifo_;
    QString plainIfo_;
};

void DvdPlaybackTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
    GstMediaGraph::ensureInitialised();
    QVERIFY(dir_.isValid());
    QVERIFY(author(dir_.filePath("menu")));
    QVERIFY(author(dir_.filePath("plain"), QStringLiteral("nobuttons")));
    ifo_ = dir_.filePath("menu/DVD/VIDEO_TS/VIDEO_TS.IFO");
    plainIfo_ = dir_.filePath("plain/DVD/VIDEO_TS/VIDEO_TS.IFO");
    QDir().mkpath(dir_.filePath("nodvd"));
    QFile f(dir_.filePath("nodvd/VIDEO_TS.IFO"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a DVD");
    f.close();
    QDir().mkpath(dir_.filePath("damaged/VIDEO_TS"));
    QFile d(dir_.filePath("damaged/VIDEO_TS/VIDEO_TS.IFO"));
    QVERIFY(d.open(QIODevice::WriteOnly));
    d.write(QByteArray(4096, '\x5a'));
    d.close();
    // A folder whose name is not UTF-8, holding the authored disc.
    QCOMPARE(::symlink(QFile::encodeName(dir_.filePath("menu/DVD")).constData(),
                       (QFile::encodeName(dir_.path()) + "/p\xedse\xf2").constData()),
             0);
}

void DvdPlaybackTest::renderResults_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("dvdMode");
    QTest::addColumn<quint32>("result");
    QTest::addColumn<bool>("invalid");
    QTest::newRow("authored disc") << QStringLiteral("menu/DVD/VIDEO_TS/VTS_01_0.IFO") << true << 0u << false;
    QTest::newRow("folder name not UTF-8") << text_codec::decodeFileName("p\xedse\xf2/VIDEO_TS/VIDEO_TS.IFO") << true
                                           << 0u << false;
    QTest::newRow("not in DVD mode") << QStringLiteral("menu/DVD/VIDEO_TS/VIDEO_TS.IFO") << false << 0x8004027Au
                                     << false;
    QTest::newRow("folder that is no DVD") << QStringLiteral("nodvd/VIDEO_TS.IFO") << true << 1u << true;
    QTest::newRow("damaged IFO") << QStringLiteral("damaged/VIDEO_TS/VIDEO_TS.IFO") << true << 1u << true;
    QTest::newRow("missing path") << QStringLiteral("gone/VIDEO_TS/VIDEO_TS.IFO") << true << 1u << true;
}

void DvdPlaybackTest::renderResults()
{
    QFETCH(QString, path);
    QFETCH(bool, dvdMode);
    QFETCH(quint32, result);
    QFETCH(bool, invalid);
    GstMediaGraph graph;
    graph.setMode(dvdMode ? GraphMode::Dvd : GraphMode::Normal);
    graph.setActive(true);
    DvdRenderStatus status;
    QCOMPARE(render_wait::renderDvd(graph, dir_.filePath(path), status), result);
    QCOMPARE(status.volumeInvalid, invalid);
    QCOMPARE(graph.dvdControl() != nullptr, result == 0);
    if (!optical_drive::first().isEmpty())
        return;
    // No drive on this machine: the empty path finds no volume.
    QCOMPARE(render_wait::renderDvd(graph, QString(), status), dvdMode ? 1u : 0x8004027Au);
    QCOMPARE(status.volumeUnknown, dvdMode);
}

void DvdPlaybackTest::menuTitleAndChapters()
{
    GstMediaGraph graph;
    graph.setMode(GraphMode::Dvd);
    graph.setActive(true);
    DvdRenderStatus status;
    QCOMPARE(render_wait::renderDvd(graph, ifo_, status), 0u);
    graph.run();
    DvdControl *dvd = graph.dvdControl();
    QVERIFY(dvd);
    dvd->SetOption(DvdControl::Option::HmsfTimeCodeEvents, true);
    QString label;
    connect(&graph, &MediaGraph::dvdTimeChanged, this, [&](int h, int m, int s, int) {
        label = QString::asprintf("%d:%02d:%02d", h, m, s);
    });

    VideoSurface surface(graph, nullptr);
    surface.resize(500, 300); // letterboxed at the sides
    surface.show();

    // The menu: two white boxes on blue, left box at x 80..320, y 200..376 of 720 x 576.
    QImage frame;
    QTRY_VERIFY_WITH_TIMEOUT(!(frame = graph.latestVideoFrame()).isNull(), 10000);
    const auto at = [&](double sx, double sy) {
        return QPoint(int(sx / 720.0 * frame.width()), int(sy / 576.0 * frame.height()));
    };
    QTRY_VERIFY_WITH_TIMEOUT((frame = graph.latestVideoFrame()).pixelColor(at(200, 288)).lightness() > 200, 10000);
    QVERIFY(frame.pixelColor(at(360, 100)).lightness() < 120);

    // Pointer over the left button, in surface coordinates, then released there.
    const QRect picture = VideoSurface::letterbox(frame.size(), surface.size());
    const QPoint button(picture.x() + 200 * picture.width() / 720, picture.y() + 288 * picture.height() / 576);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            moveAndRelease(&surface, button);
            QTest::qWait(300);
            // The title's test picture has no white box in the middle of the left half.
            return graph.latestVideoFrame().pixelColor(at(200, 288)).lightness() < 200
                   || graph.latestVideoFrame().pixelColor(at(360, 100)).lightness() >= 120;
        }(),
        15000);
    QTRY_VERIFY_WITH_TIMEOUT(label.startsWith("0:00:0"), 5000);

    dvd->PlayNextChapter();
    QTRY_VERIFY_WITH_TIMEOUT(label >= QLatin1String("0:00:10"), 10000);
    dvd->PlayNextChapter();
    QTRY_VERIFY_WITH_TIMEOUT(label >= QLatin1String("0:00:20"), 10000);
    dvd->PlayPrevChapter();
    QTRY_VERIFY_WITH_TIMEOUT(label < QLatin1String("0:00:20") && label >= QLatin1String("0:00:10"), 10000);

    dvd->PlayForwards(8.0);
    const QString before = label;
    QTest::qWait(1500);
    dvd->PlayForwards(1.0);
    qDebug() << "8x from" << before << "to" << label;

    QElapsedTimer stop;
    stop.start();
    graph.resetGraph();
    QVERIFY(stop.elapsed() < 5000);
}

void DvdPlaybackTest::menuWithoutButtonsDoesNotHang()
{
    GstMediaGraph graph;
    graph.setMode(GraphMode::Dvd);
    graph.setActive(true);
    DvdRenderStatus status;
    QCOMPARE(render_wait::renderDvd(graph, plainIfo_, status), 0u);
    graph.run();
    VideoSurface surface(graph, nullptr);
    surface.resize(400, 300);
    surface.show();
    QTRY_VERIFY_WITH_TIMEOUT(!graph.latestVideoFrame().isNull(), 10000);
    QElapsedTimer gui;
    gui.start();
    for (int i = 0; i < 5; ++i)
        moveAndRelease(&surface, QPoint(200, 150));
    graph.dvdControl()->PlayNextChapter();
    // The GUI thread never waits for the navigator: a menu without buttons used to hold
    // it for good. The bound leaves room for a loaded machine.
    QVERIFY(gui.elapsed() < 3000);
    QTest::qWait(500);
    graph.resetGraph();
    graph.setActive(false);
}

void DvdPlaybackTest::colourChangesThePaintedPicture()
{
    // A still colour as a video file: every frame alike, so only the balance changes it.
    const QString clip = dir_.filePath("colour.mpg");
    QVERIFY(makeStillColourClip(clip));
    GstMediaGraph graph;
    graph.setActive(true);
    render_wait::renderFile(graph, clip);
    graph.run();
    VideoSurface surface(graph, nullptr);
    surface.resize(320, 240);
    surface.show();
    const auto painted = [&] { return surface.grab().toImage().pixelColor(160, 120); };
    QTRY_VERIFY_WITH_TIMEOUT(painted().red() > 100, 10000);
    const QColor neutral = painted();
    QVERIFY(qAbs(neutral.red() - 0x80) <= 6 && qAbs(neutral.green() - 0x60) <= 6 && qAbs(neutral.blue() - 0x40) <= 6);

    surface.setBrightness(9000);
    QTRY_VERIFY_WITH_TIMEOUT(painted().lightness() > neutral.lightness() + 60, 5000);
    surface.setBrightness(750);
    surface.setSaturation(0); // no saturation: grey
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(painted().red() - painted().blue()) <= 4, 5000);
    surface.resetColors();
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(painted().red() - neutral.red()) <= 2 && qAbs(painted().blue() - neutral.blue()) <= 2,
                             5000);
    surface.setColorEnable(false);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(painted().red() - painted().blue()) <= 4, 5000);
    graph.setActive(false);
}

QTEST_MAIN(DvdPlaybackTest)
#include "test_dvd_playback.moc"
