// The visualisation window on the real media graph, playing a tone into the PulseAudio
// null sink: blocks of the tone's format and period reach it every 25 ms while it plays,
// none while paused, and the picture shows the tone as a green line.
#include "support/RenderWait.h"
#include "VisTestSupport.h"
#include "fixtures/media/MediaMaker.h"
#include "playback/GstMediaGraph.h"
#include "visualisation/TForm9.h"

#include <QProcess>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace vis_test;

namespace {

struct Block {
    qint64 atMs;
    int sizeBytes;
    BlockFormat format;
    int crossings; // sign changes of channel 0 over the whole block
    int numSamples; // the engine's NumSamples right after the window handled the block
};

int zeroCrossings16(const char *data, int frames, int channels)
{
    int crossings = 0;
    int previous = 0;
    for (int i = 0; i < frames; ++i) {
        std::int16_t v;
        std::memcpy(&v, data + std::size_t(i) * channels * 2, 2);
        const int sign = (v > 0) - (v < 0);
        if (sign != 0) {
            if (previous != 0 && sign != previous)
                ++crossings;
            previous = sign;
        }
    }
    return crossings;
}

} // namespace

class TestTForm9Playback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void toneReachesThePicture();

private:
    QTemporaryDir dir_;
    QString tone_;
};

void TestTForm9Playback::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        QSKIP("the PulseAudio server at PULSE_SERVER does not answer");
    GstMediaGraph::ensureInitialised();
    QVERIFY(dir_.isValid());
    tone_ = dir_.filePath(QStringLiteral("tone.wav"));
    QVERIFY(media_maker::writeToneWav(tone_, 440.0, 4000, 44100, 2, 0.5));
}

void TestTForm9Playback::toneReachesThePicture()
{
    GstMediaGraph graph;
    FakeMainLink main;
    AudioTap *tap = graph.audioTap();
    QVERIFY(tap);
    QPointer<AudioTap> tapAlive(tap);
    // An update was "found", so the window does not press play; the test does.
    auto form = std::make_unique<TForm9>(main, graph, 10000, true, std::function<void()>());
    QVERIFY(form->isVisible());
    QVERIFY(tap->visualEnabled());
    QCOMPARE(tap->visualInterval(), 25);
    form->resize(form->size() - form->paintAreaSize() + QSize(300, 120));
    QCOMPARE(form->paintAreaSize(), QSize(300, 120));

    QElapsedTimer clock;
    std::vector<Block> blocks;
    // Connected after the window, so the window has handled each block when it is recorded.
    connect(tap, &AudioTap::visualData, this, [&](const char *data, int size, BlockFormat format) {
        Block b{clock.elapsed(), size, format, 0, form->DCWaveform1->NumSamples()};
        if (format.bitsPerSample == 16 && format.channels > 0)
            b.crossings = zeroCrossings16(data, size / 2 / format.channels, format.channels);
        blocks.push_back(b);
    });

    render_wait::renderFile(graph, tone_);
    QTest::qWait(200);
    QCOMPARE(blocks.size(), std::size_t(0)); // loaded, not playing
    QVERIFY(allBlack(form->picture()));

    clock.start();
    graph.run();
    QTRY_VERIFY_WITH_TIMEOUT(!blocks.empty(), 3000);
    const qint64 firstAt = blocks.front().atMs;
    QTest::qWait(1000);
    graph.pause();
    int inOneSecond = 0;
    for (const Block &b : blocks)
        inOneSecond += b.atMs >= firstAt && b.atMs < firstAt + 1000;
    // 40 at 25 ms; a loaded machine delays ticks but does not add any.
    QVERIFY2(inOneSecond >= 20 && inOneSecond <= 45, qPrintable(QString::number(inOneSecond)));

    const std::size_t atPause = blocks.size();
    QTest::qWait(300);
    QCOMPARE(blocks.size(), atPause); // none while paused

    for (const Block &b : blocks) {
        QCOMPARE(b.format.sampleRate, 44100);
        QCOMPARE(b.format.channels, 2);
        QCOMPARE(b.format.bitsPerSample, 16);
        QVERIFY(!b.format.isFloat);
        QCOMPARE(b.sizeBytes, AudioTap::WindowFrames * 2 * 2);
        QCOMPARE(b.numSamples, 300);
        // 440 Hz over 16384 frames at 44.1 kHz: 163.5 periods, 327 sign changes (the
        // last block before the end may hold silence; the tone is longer than the test).
        QVERIFY2(std::abs(b.crossings - 327) <= 4, qPrintable(QString::number(b.crossings)));
    }

    // The line: every column drawn, swinging over the middle half (half scale).
    const QImage picture = form->PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(greenColumns(picture), 300);
    const auto [top, bottom] = greenRowSpan(picture);
    QVERIFY2(std::abs(top - 30) <= 2 && std::abs(bottom - 89) <= 2,
             qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));

    // Hidden, the tap is held: no block while playing, but its store stays filled; shown
    // again, the next tick (25 ms) brings a block, and the line is drawn.
    main.performToggle(WindowId::Visualisation);
    QVERIFY(!form->isVisible());
    QVERIFY(tap->visualHeld());
    QVERIFY(tap->visualEnabled());
    const qint64 hiddenPicture = form->picture().cacheKey();
    graph.run();
    const std::size_t atHide = blocks.size();
    QTest::qWait(1500);
    QCOMPARE(blocks.size(), atHide); // nothing asked for while nobody sees it
    QVERIFY(!tap->visualTimerActive());
    QCOMPARE(form->picture().cacheKey(), hiddenPicture);
    main.performToggle(WindowId::Visualisation);
    QVERIFY(!tap->visualHeld());
    QCOMPARE(tap->visualInterval(), 25);
    QVERIFY(tap->visualTimerActive());
    const std::size_t atShow = blocks.size();
    // The next tick, 25 ms on; the bound is generous for a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(blocks.size() > atShow, 400);
    QCOMPARE(greenColumns(form->picture()), 300);
    graph.stop();

    // Gone with the window: the graph keeps no audio for a picture nobody draws.
    form.reset();
    QVERIFY(tapAlive);
    QVERIFY(!tap->visualEnabled());
}

QTEST_MAIN(TestTForm9Playback)
#include "test_tform9_playback.moc"
