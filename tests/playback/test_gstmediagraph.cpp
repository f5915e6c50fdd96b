// The GStreamer media graph against the real thing: every extension of the player plays
// to its end into a PulseAudio null sink, bad files fail with their codes and leave the
// graph usable, the sound that comes out is the sound that went in, and the transport
// (pause, seek, position, duration, end) behaves as the controller relies on.
#include "support/RenderWait.h"
#include "PlaybackTestUtil.h"
#include "fixtures/media/MediaMaker.h"
#include "playback/GstMediaGraph.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <thread>

using namespace playback_test;

class TestGstMediaGraph : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void everyExtensionPlaysToItsEnd_data();
    void everyExtensionPlaysToItsEnd();
    void badInputFailsWithItsCodeAndGraphStaysUsable_data();
    void badInputFailsWithItsCodeAndGraphStaysUsable();
    void soundComesOutUnchangedAndScaledByVolume();
    void pauseSeekPositionAndDuration();
    void endOfDroppedMediaIsNotReported();
    void activeAndResetDropTheMedia();
    void cdTrackOfAnImagePlays();

private:
    QString media(const QString &name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    std::unique_ptr<GstMediaGraph> graph_;
};

void TestGstMediaGraph::initTestCase()
{
    QString why;
    if (!pulseAvailable(&why))
        QSKIP(qPrintable(why));
    if (!media_maker::haveTool(QStringLiteral("ffmpeg")))
        QSKIP("ffmpeg is not installed");
    QVERIFY(dir_.isValid());
    QString log;
    for (const QString &extension : media_maker::sampleExtensions())
        QVERIFY2(media_maker::makeSample(media(QStringLiteral("sample") + extension), 1000, &log),
                 qPrintable(extension + QLatin1Char(' ') + log));
    QVERIFY(media_maker::writeToneWav(media(QStringLiteral("good.wav")), 440, 300));
}

void TestGstMediaGraph::init()
{
    graph_ = std::make_unique<GstMediaGraph>();
    graph_->setActive(true);
}

void TestGstMediaGraph::cleanup()
{
    graph_.reset();
}

void TestGstMediaGraph::everyExtensionPlaysToItsEnd_data()
{
    QTest::addColumn<QString>("extension");
    for (const QString &extension : media_maker::sampleExtensions())
        QTest::newRow(qPrintable(extension)) << extension;
}

void TestGstMediaGraph::everyExtensionPlaysToItsEnd()
{
    QFETCH(QString, extension);
    GstMediaGraph &graph = *graph_;
    graph.setMode(GraphMode::Normal);
    render_wait::renderFile(graph, media(QStringLiteral("sample") + extension));
    QVERIFY(graph.hasMedia());
    QCOMPARE(graph.positionMs(), 0u); // also for files whose clock starts late (.mpg)
    // Raw ADTS knows its length only once some frames went by: 0 means unknown.
    const std::uint32_t loadedDuration = graph.durationMs();
    QVERIFY2(loadedDuration == 0 || loadedDuration >= 800, qPrintable(QString::number(loadedDuration)));

    QSignalSpy frames(&graph, &MediaGraph::videoFrameReady);
    QVERIFY(runToEnd(graph, 8000));
    // About a second; a synthesiser may ring on a little after the note.
    const std::uint32_t duration = graph.durationMs();
    QVERIFY2(duration >= 800 && duration <= 3000, qPrintable(QString::number(duration)));
    QCOMPARE(graph.positionMs(), duration);
    QVERIFY(!graph.isRunning());

    const QImage frame = graph.latestVideoFrame();
    if (media_maker::sampleHasVideo(extension)) {
        QVERIFY(frames.count() > 0);
        QCOMPARE(frame.size(), QSize(160, 120));
        QCOMPARE(frame.format(), QImage::Format_RGB32);
    } else {
        QVERIFY(frame.isNull());
    }
}

void TestGstMediaGraph::badInputFailsWithItsCodeAndGraphStaysUsable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<quint32>("code");
    QTest::newRow("missing file") << "missing" << GstMediaGraph::ErrFileNotFound;
    QTest::newRow("folder named .mp3") << "folder" << GstMediaGraph::ErrFileAccess;
    QTest::newRow("empty file") << "empty" << GstMediaGraph::ErrCannotRender;
    QTest::newRow("text named .mp3") << "text" << GstMediaGraph::ErrCannotRender;
    QTest::newRow("mp3 cut inside its first frame") << "truncated" << GstMediaGraph::ErrCannotRender;
    QTest::newRow("video codec nobody decodes") << "unknown-codec" << GstMediaGraph::ErrNoDecoder;
}

void TestGstMediaGraph::badInputFailsWithItsCodeAndGraphStaysUsable()
{
    QFETCH(QString, kind);
    QFETCH(quint32, code);
    QString path;
    if (kind == QLatin1String("missing")) {
        path = media(QStringLiteral("no such file.mp3"));
    } else if (kind == QLatin1String("folder")) {
        path = media(QStringLiteral("folder.mp3"));
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("empty")) {
        path = media(QStringLiteral("empty.mp3"));
        QVERIFY(media_maker::writeFile(path, QByteArray()));
    } else if (kind == QLatin1String("text")) {
        path = media(QStringLiteral("notes.mp3"));
        QVERIFY(media_maker::writeFile(path, "These are not the sounds you are looking for.\n"));
    } else if (kind == QLatin1String("truncated")) {
        path = media(QStringLiteral("truncated.mp3"));
        QVERIFY(media_maker::truncatedCopy(media(QStringLiteral("sample.mp3")), path, 300));
    } else {
        path = media(QStringLiteral("unknown.avi"));
        QVERIFY(media_maker::makeUnknownCodecAvi(path));
    }

    GstMediaGraph &graph = *graph_;
    QSignalSpy asyncErrors(&graph, &MediaGraph::asyncError);
    QElapsedTimer clock;
    clock.start();
    try {
        render_wait::renderFile(graph, path);
        QFAIL("renderFile accepted bad input");
    } catch (const MediaGraphError &error) {
        QVERIFY2(error.code() == code, qPrintable(error.message()));
        const QString suffix = QStringLiteral(" ($%1).").arg(QString::number(code, 16).toUpper());
        QVERIFY2(error.message().endsWith(suffix), qPrintable(error.message()));
        QVERIFY2(error.message().size() > suffix.size(), "the engine's text is missing");
    }
    QVERIFY(!graph.hasMedia());
    QCOMPARE(graph.positionMs(), 0u);
    QCOMPARE(graph.durationMs(), 0u);
    graph.run(); // nothing loaded: nothing happens, nothing throws

    // The failure was reported once, by the exception; the next file plays.
    render_wait::renderFile(graph, media(QStringLiteral("good.wav")));
    QVERIFY(runToEnd(graph, 5000));
    QCOMPARE(asyncErrors.count(), 0);
}

void TestGstMediaGraph::soundComesOutUnchangedAndScaledByVolume()
{
    // 1 kHz at half scale, 0.8 s, played at three volumes; the monitor of a null sink
    // records what PulseAudio received.
    const QString tone = media(QStringLiteral("tone1k.wav"));
    QVERIFY(media_maker::writeToneWav(tone, 1000, 800, 44100, 2, 0.5));
    const PrivateNullSink sink;
    QVERIFY(sink.isLoaded());
    graph_ = std::make_unique<GstMediaGraph>(); // its sound server connection sees PULSE_SINK
    GstMediaGraph &graph = *graph_;

    const int levels[] = {10000, 5000, 0};
    double fullRms = 0.0;
    for (const int level : levels) {
        MonitorRecorder recorder;
        QVERIFY(recorder.start(sink.name()));
        graph.setVolume(level);
        QCOMPARE(graph.volume(), level);
        render_wait::renderFile(graph, tone);
        QSignalSpy ended(&graph, &MediaGraph::endOfStream);
        graph.run();
        // The graph scales the sound itself: the PulseAudio stream volume, which the
        // volume window owns, stays at 100 %.
        QTest::qWait(300);
        const QStringList volumes = sink.streamVolumes();
        QVERIFY(!volumes.isEmpty());
        for (const QString &volume : volumes)
            QVERIFY2(volume.contains(QLatin1String("65536 / 100%")), qPrintable(volume));
        QVERIFY(ended.wait(5000));
        const std::vector<double> left = channelOf(recorder.stop(), 2, 0);
        graph.resetGraph();
        QVERIFY2(left.size() > 44100, qPrintable(QString::number(left.size())));

        const auto [begin, end] = loudRange(left, 200.0);
        if (level == 0) {
            QVERIFY2(end == begin, "volume 0 must be silent");
            continue;
        }
        // The tone lasts as long as the file (within 50 ms).
        const double seconds = double(end - begin) / 44100.0;
        QVERIFY2(std::abs(seconds - 0.8) < 0.05, qPrintable(QString::number(seconds)));
        // It is a 1 kHz tone, not merely noise: far more power at 1 kHz than nearby.
        const std::size_t a = begin + 2205;
        const std::size_t b = end - 2205;
        const double at1k = tonePower(left, a, b, 1000, 44100);
        QVERIFY(at1k > 1000 * tonePower(left, a, b, 700, 44100));
        QVERIFY(at1k > 1000 * tonePower(left, a, b, 1500, 44100));
        const double level_rms = rms(left, a, b);
        if (level == 10000) {
            // Unchanged: a sine of amplitude 0.5 x 32767 has RMS 11585.
            QVERIFY2(std::abs(level_rms - 11585) < 120, qPrintable(QString::number(level_rms)));
            fullRms = level_rms;
        } else {
            const double ratio = level_rms / fullRms;
            QVERIFY2(std::abs(ratio - MediaGraph::volumeToLinearGain(level)) < 0.01,
                     qPrintable(QString::number(ratio)));
        }
    }
}

void TestGstMediaGraph::pauseSeekPositionAndDuration()
{
    const QString tone = media(QStringLiteral("three.wav"));
    QVERIFY(media_maker::writeToneWav(tone, 440, 3000));
    GstMediaGraph &graph = *graph_;
    render_wait::renderFile(graph, tone);
    QVERIFY(!graph.isRunning());
    QVERIFY(std::abs(int(graph.durationMs()) - 3000) <= 20);

    graph.run();
    QVERIFY(graph.isRunning());
    QTest::qWait(500);
    const std::uint32_t playing = graph.positionMs();
    QVERIFY2(playing >= 200 && playing <= 1200, qPrintable(QString::number(playing)));

    graph.pause();
    QVERIFY(!graph.isRunning());
    QTest::qWait(100);
    const std::uint32_t paused = graph.positionMs();
    QTest::qWait(300);
    QVERIFY2(std::abs(int(graph.positionMs()) - int(paused)) <= 20, "the position moved while paused");

    graph.seekMs(2000);
    QCOMPARE(graph.positionMs(), 2000u); // the target is reported until the seek completes
    QTest::qWait(200);
    QVERIFY(std::abs(int(graph.positionMs()) - 2000) <= 50);

    // Resumes from the seek target: the end comes in about one second.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runToEnd(graph, 4000));
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(graph.positionMs(), graph.durationMs());

    // A seek after the end plays again and ends again.
    QSignalSpy ended(&graph, &MediaGraph::endOfStream);
    graph.seekMs(2500);
    QVERIFY(graph.positionMs() < graph.durationMs());
    QVERIFY(graph.isRunning());
    QVERIFY(ended.wait(3000));

    // Stop keeps the media; run after stop continues.
    graph.seekMs(1000);
    graph.stop();
    QVERIFY(!graph.isRunning());
    QVERIFY(graph.hasMedia());
}

void TestGstMediaGraph::endOfDroppedMediaIsNotReported()
{
    const QString shortTone = media(QStringLiteral("short.wav"));
    const QString longTone = media(QStringLiteral("long.wav"));
    QVERIFY(media_maker::writeToneWav(shortTone, 440, 200));
    QVERIFY(media_maker::writeToneWav(longTone, 440, 1500));
    GstMediaGraph &graph = *graph_;
    QSignalSpy ended(&graph, &MediaGraph::endOfStream);

    render_wait::renderFile(graph, shortTone);
    graph.run();
    // The short file ends while the GUI thread is busy: its end is posted, not handled.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    render_wait::renderFile(graph, longTone);
    graph.run();
    QTest::qWait(400);
    QCOMPARE(ended.count(), 0);
    QVERIFY(graph.positionMs() < graph.durationMs());
    QVERIFY(ended.wait(3000));
    QCOMPARE(ended.count(), 1);
}

void TestGstMediaGraph::activeAndResetDropTheMedia()
{
    GstMediaGraph &graph = *graph_;
    QVERIFY(graph.active());
    graph.setMode(GraphMode::Dvd);
    QCOMPARE(graph.mode(), GraphMode::Dvd);
    graph.setMode(GraphMode::Normal);

    render_wait::renderFile(graph, media(QStringLiteral("sample.mkv")));
    graph.run();
    QTest::qWait(200);
    graph.resetGraph();
    QVERIFY(!graph.hasMedia());
    QVERIFY(!graph.isRunning());
    QVERIFY(graph.latestVideoFrame().isNull());
    QCOMPARE(graph.positionMs(), 0u);

    graph.setActive(false);
    QVERIFY(!graph.active());
    QVERIFY(!graph.hasMedia());
    graph.run(); // no graph: nothing happens
    // Rendering activates again, and the volume set meanwhile holds.
    graph.setVolume(20000);
    QCOMPARE(graph.volume(), 10000);
    render_wait::renderFile(graph, media(QStringLiteral("good.wav")));
    QVERIFY(graph.active());
    QVERIFY(runToEnd(graph, 5000));
}

// A track named <image.cue>/Track02.cda plays its own 1.5 s, not the whole image.
void TestGstMediaGraph::cdTrackOfAnImagePlays()
{
    const QString cue = media(QStringLiteral("disc.cue"));
    QVERIFY(media_maker::writeFile(media(QStringLiteral("disc.bin")), QByteArray(263 * 2352, '\0')));
    QVERIFY(media_maker::writeFile(cue, "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n"));
    GstMediaGraph &graph = *graph_;
    graph.setMode(GraphMode::Normal);
    render_wait::renderFile(graph, cue + QStringLiteral("/Track02.cda"));
    QVERIFY(graph.hasMedia());
    QVERIFY(runToEnd(graph, 8000));
    QVERIFY2(std::abs(int(graph.durationMs()) - 1506) <= 40, qPrintable(QString::number(graph.durationMs())));
}

QTEST_MAIN(TestGstMediaGraph)
#include "test_gstmediagraph.moc"
