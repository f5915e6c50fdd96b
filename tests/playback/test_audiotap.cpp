// The audio tap on a real graph: blocks come at the visual interval while sound plays,
// carry the format of the sound, show what is heard now (not what the decoder has
// already produced), and stop while paused and after the end.
#include "support/RenderWait.h"
#include "PlaybackTestUtil.h"
#include "fixtures/media/MediaMaker.h"
#include "playback/AudioTap.h"
#include "playback/GstMediaGraph.h"

#include <QtTest>

#include <memory>

using namespace playback_test;

namespace {

struct Block {
    qint64 atMs;          // since the test's clock started
    std::uint32_t position;
    int sizeBytes;
    BlockFormat format;
    int crossingsFirstTenth; // sign changes in the first 0.1 s of channel 0
    int crossingsWhole;
};

} // namespace

class TestAudioTap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void defaults();
    void blocksFollowTheSoundBeingHeard();
    void disabledTapEmitsNothing();
    void heldTapAsksForNothingAndKeepsItsStore();

private:
    QTemporaryDir dir_;
    QString twoTones_;
};

void TestAudioTap::initTestCase()
{
    QString why;
    if (!pulseAvailable(&why))
        QSKIP(qPrintable(why));
    QVERIFY(dir_.isValid());
    // 440 Hz for the first second, 880 Hz for the second.
    twoTones_ = dir_.filePath(QStringLiteral("two-tones.wav"));
    QVERIFY(media_maker::writeToneWav(twoTones_, {{440, 1000}, {880, 1000}}, 44100, 2, 0.5));
}

void TestAudioTap::defaults()
{
    AudioTap tap;
    QVERIFY(!tap.visualEnabled());
    QCOMPARE(tap.visualInterval(), 40);
    QCOMPARE(tap.property("VisualInterval").toInt(), 40);
    tap.setProperty("VisualEnabled", true);
    tap.setProperty("VisualInterval", 25);
    QVERIFY(tap.visualEnabled());
    QCOMPARE(tap.visualInterval(), 25);
}

void TestAudioTap::blocksFollowTheSoundBeingHeard()
{
    GstMediaGraph graph;
    AudioTap *tap = graph.audioTap();
    QVERIFY(tap);
    tap->setVisualEnabled(true);
    tap->setVisualInterval(25);

    QElapsedTimer clock;
    std::vector<Block> blocks;
    connect(tap, &AudioTap::visualData, this, [&](const char *data, int size, BlockFormat format) {
        Block b{clock.elapsed(), graph.positionMs(), size, format, 0, 0};
        if (format.bitsPerSample == 16 && format.channels > 0) {
            b.crossingsFirstTenth = zeroCrossings(data, format.sampleRate / 10, format.channels);
            b.crossingsWhole = zeroCrossings(data, size / 2 / format.channels, format.channels);
        }
        blocks.push_back(b);
    });

    render_wait::renderFile(graph, twoTones_);
    QTest::qWait(200);
    QCOMPARE(blocks.size(), std::size_t(0)); // loaded but not playing

    clock.start();
    graph.run();
    QTest::qWait(600);
    const std::size_t beforePause = blocks.size();
    graph.pause();
    QTest::qWait(300);
    QCOMPARE(blocks.size(), beforePause); // none while paused
    QSignalSpy ended(&graph, &MediaGraph::endOfStream);
    graph.run();
    QVERIFY(ended.wait(4000));
    const std::size_t atEnd = blocks.size();
    QTest::qWait(200);
    QCOMPARE(blocks.size(), atEnd); // none after the end

    // Roughly every 25 ms while playing (the timer is coarse under load).
    int inFirstSecond = 0;
    for (const Block &b : blocks) {
        if (b.atMs < 1000 + 300 && !(b.atMs >= 600 && b.atMs < 900))
            ++inFirstSecond;
    }
    QVERIFY2(inFirstSecond >= 20 && inFirstSecond <= 60, qPrintable(QString::number(inFirstSecond)));

    int early = 0;
    int late = 0;
    for (const Block &b : blocks) {
        QCOMPARE(b.format.sampleRate, 44100);
        QCOMPARE(b.format.channels, 2);
        QCOMPARE(b.format.bitsPerSample, 16);
        QVERIFY(!b.format.isFloat);
        QCOMPARE(b.sizeBytes, AudioTap::WindowFrames * 2 * 2);
        // The block starts at the frame heard now: 440 Hz gives 88 sign changes in
        // 0.1 s, 880 Hz gives 176. The decoder is half a second or more ahead, so a tap
        // that showed the newest audio would show 880 Hz well before the second second.
        if (b.position >= 100 && b.position <= 850) {
            ++early;
            QVERIFY2(std::abs(b.crossingsFirstTenth - 88) <= 4,
                     qPrintable(QStringLiteral("at %1 ms: %2").arg(b.position).arg(b.crossingsFirstTenth)));
            if (b.position <= 550) // the whole window (0.37 s) is still 440 Hz: 327 changes
                QVERIFY2(std::abs(b.crossingsWhole - 327) <= 6, qPrintable(QString::number(b.crossingsWhole)));
        } else if (b.position >= 1100 && b.position <= 1550) {
            ++late;
            QVERIFY2(std::abs(b.crossingsFirstTenth - 176) <= 4,
                     qPrintable(QStringLiteral("at %1 ms: %2").arg(b.position).arg(b.crossingsFirstTenth)));
        }
    }
    QVERIFY2(early >= 10 && late >= 10, qPrintable(QStringLiteral("%1 %2").arg(early).arg(late)));
}

void TestAudioTap::disabledTapEmitsNothing()
{
    GstMediaGraph graph;
    AudioTap *tap = graph.audioTap();
    QSignalSpy blocks(tap, &AudioTap::visualData);
    render_wait::renderFile(graph, twoTones_);
    graph.run();
    QTest::qWait(300);
    QCOMPARE(blocks.count(), 0); // off by default
    // Turned on while sound plays, the picture comes at once, not after the decoder's
    // lead (more than a second) has played out.
    tap->setVisualEnabled(true);
    QVERIFY(blocks.wait(300));
    tap->setVisualEnabled(false);
    blocks.clear();
    QTest::qWait(200);
    QCOMPARE(blocks.count(), 0);
}

void TestAudioTap::heldTapAsksForNothingAndKeepsItsStore()
{
    GstMediaGraph graph;
    AudioTap *tap = graph.audioTap();
    QSignalSpy blocks(tap, &AudioTap::visualData);
    tap->setVisualEnabled(true);
    tap->setVisualInterval(25);
    tap->setVisualHeld(true);
    render_wait::renderFile(graph, twoTones_);
    graph.run();
    QTest::qWait(400);
    QCOMPARE(blocks.count(), 0); // held while playing: nothing emitted
    QVERIFY(tap->isPlaying());
    QVERIFY(!tap->visualTimerActive()); // and no timer waking the event loop
    // Released, the picture comes on the next tick: the store was kept and kept filling
    // (emptied, the first block would wait for the decoder's lead, more than a second).
    tap->setVisualHeld(false);
    QVERIFY(tap->visualTimerActive());
    QVERIFY(blocks.wait(300));
    tap->setVisualHeld(true);
    QVERIFY(!tap->visualTimerActive());
    blocks.clear();
    QTest::qWait(200);
    QCOMPARE(blocks.count(), 0);
}

QTEST_MAIN(TestAudioTap)
#include "test_audiotap.moc"
