// The tap's store: finding the frame heard at a stream time, across ring wrap-around,
// gaps, seeks and the end of the media.
#include "playback/PcmHistory.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

constexpr std::int64_t Ms = 1'000'000;

// 1000 frames per second, mono 16-bit: frame k carries the value `base + k`, so a
// copied window tells exactly which frames it holds.
PcmHistory::Format monoKHz()
{
    return PcmHistory::Format{1000, 1, 2, false};
}

std::vector<char> ramp(int frames, int base)
{
    std::vector<char> bytes(std::size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(base + i);
        std::memcpy(bytes.data() + i * 2, &v, 2);
    }
    return bytes;
}

void appendRamp(PcmHistory &h, int frames, int base, std::int64_t startNs)
{
    const std::vector<char> bytes = ramp(frames, base);
    h.append(bytes.data(), bytes.size(), startNs);
}

qint16 sampleAt(const std::vector<char> &out, std::size_t frame)
{
    qint16 v;
    std::memcpy(&v, out.data() + frame * 2, 2);
    return v;
}

} // namespace

class TestPcmHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsTheFrameHeardNow_data();
    void findsTheFrameHeardNow();
    void padsWithSilencePastTheNewestFrame();
    void unmatchedTimesLeaveOutputUntouched();
    void ringKeepsOnlyTheNewestFrames();
    void stampsThatJumpRestartTheRun();
    void smallJitterAndUnstampedBuffersContinueTheRun();
    void formatChangeDropsTheStore();
    void keepsInterleavedFramesWhole();
};

void TestPcmHistory::findsTheFrameHeardNow_data()
{
    QTest::addColumn<qint64>("timeNs");
    QTest::addColumn<int>("firstValue");
    QTest::newRow("first frame") << qint64(0) << 0;
    QTest::newRow("inside a frame rounds down") << qint64(250 * Ms + Ms / 2) << 250;
    QTest::newRow("second buffer") << qint64(700 * Ms) << 700;
    QTest::newRow("last frame") << qint64(999 * Ms) << 999;
}

void TestPcmHistory::findsTheFrameHeardNow()
{
    QFETCH(qint64, timeNs);
    QFETCH(int, firstValue);
    PcmHistory h(3);
    h.setFormat(monoKHz());
    appendRamp(h, 500, 0, 0);
    appendRamp(h, 500, 500, 500 * Ms);
    std::vector<char> out;
    const std::size_t got = h.copyWindow(timeNs, 1, out);
    QCOMPARE(got, std::size_t(1));
    QCOMPARE(int(sampleAt(out, 0)), firstValue);
}

void TestPcmHistory::padsWithSilencePastTheNewestFrame()
{
    PcmHistory h(3);
    h.setFormat(monoKHz());
    appendRamp(h, 1000, 1, 0); // values 1..1000, none of them zero
    std::vector<char> out;
    QCOMPARE(h.copyWindow(950 * Ms, 100, out), std::size_t(50));
    QCOMPARE(out.size(), std::size_t(200));
    QCOMPARE(int(sampleAt(out, 0)), 951);
    QCOMPARE(int(sampleAt(out, 49)), 1000);
    for (std::size_t i = 50; i < 100; ++i)
        QCOMPARE(int(sampleAt(out, i)), 0);
}

void TestPcmHistory::unmatchedTimesLeaveOutputUntouched()
{
    PcmHistory h(3);
    h.setFormat(monoKHz());
    std::vector<char> out(4, 'x');
    QCOMPARE(h.copyWindow(0, 2, out), std::size_t(0)); // nothing stored

    appendRamp(h, 100, 0, 1000 * Ms);
    QCOMPARE(h.copyWindow(999 * Ms, 2, out), std::size_t(0));  // before the oldest
    QCOMPARE(h.copyWindow(1100 * Ms, 2, out), std::size_t(0)); // just past the newest
    QCOMPARE(h.copyWindow(-5, 2, out), std::size_t(0));        // no position
    QCOMPARE(out, std::vector<char>(4, 'x'));
}

void TestPcmHistory::ringKeepsOnlyTheNewestFrames()
{
    // One second of capacity at 1 kHz; 2.5 s arrive in odd-sized buffers.
    PcmHistory h(1, 1000);
    h.setFormat(monoKHz());
    QCOMPARE(h.capacityFrames(), std::size_t(1000));
    int frame = 0;
    while (frame < 2500) {
        const int n = std::min(300, 2500 - frame);
        appendRamp(h, n, frame, frame * Ms);
        frame += n;
    }
    QCOMPARE(h.storedFrames(), std::size_t(1000));
    QCOMPARE(h.oldestNs(), 1500 * Ms);
    QCOMPARE(h.endNs(), 2500 * Ms);

    std::vector<char> out;
    QCOMPARE(h.copyWindow(1499 * Ms, 10, out), std::size_t(0));
    // A window that spans the ring's physical end comes out in order.
    QCOMPARE(h.copyWindow(1950 * Ms, 100, out), std::size_t(100));
    for (std::size_t i = 0; i < 100; ++i)
        QCOMPARE(int(sampleAt(out, i)), 1950 + int(i));

    // A single buffer larger than the ring keeps its newest frames.
    appendRamp(h, 1500, 2500, 2500 * Ms);
    QCOMPARE(h.oldestNs(), 3000 * Ms);
    QCOMPARE(h.copyWindow(3000 * Ms, 1, out), std::size_t(1));
    QCOMPARE(int(sampleAt(out, 0)), 3000);
}

void TestPcmHistory::stampsThatJumpRestartTheRun()
{
    PcmHistory h(3);
    h.setFormat(monoKHz());
    appendRamp(h, 500, 0, 0);
    // A seek to 10 s: the old frames must not be mistaken for the new position.
    appendRamp(h, 200, 10000, 10000 * Ms);
    std::vector<char> out;
    QCOMPARE(h.copyWindow(100 * Ms, 1, out), std::size_t(0));
    QCOMPARE(h.copyWindow(10050 * Ms, 1, out), std::size_t(1));
    QCOMPARE(int(sampleAt(out, 0)), 10050);
    // A seek backwards restarts too.
    appendRamp(h, 200, 2000, 2000 * Ms);
    QCOMPARE(h.copyWindow(10050 * Ms, 1, out), std::size_t(0));
    QCOMPARE(h.copyWindow(2100 * Ms, 1, out), std::size_t(1));
    QCOMPARE(int(sampleAt(out, 0)), 2100);
}

void TestPcmHistory::smallJitterAndUnstampedBuffersContinueTheRun()
{
    PcmHistory h(3);
    h.setFormat(monoKHz());
    appendRamp(h, 100, 0, -1); // unstamped with nothing stored: cannot be placed
    QCOMPARE(h.storedFrames(), std::size_t(0));

    appendRamp(h, 100, 0, 0);
    appendRamp(h, 100, 100, 105 * Ms); // 5 ms late: the same run
    appendRamp(h, 100, 200, -1);       // no stamp: continues
    QCOMPARE(h.storedFrames(), std::size_t(300));
    std::vector<char> out;
    QCOMPARE(h.copyWindow(50 * Ms, 250, out), std::size_t(250));
    QCOMPARE(int(sampleAt(out, 0)), 50);
    QCOMPARE(int(sampleAt(out, 249)), 299);
}

void TestPcmHistory::formatChangeDropsTheStore()
{
    PcmHistory h(3);
    h.setFormat(monoKHz());
    appendRamp(h, 100, 0, 0);
    h.setFormat(PcmHistory::Format{2000, 1, 2, false});
    QCOMPARE(h.storedFrames(), std::size_t(0));
    std::vector<char> out;
    QCOMPARE(h.copyWindow(10 * Ms, 1, out), std::size_t(0));

    // An invalid format stores nothing at all.
    h.setFormat(PcmHistory::Format{});
    appendRamp(h, 100, 0, 0);
    QCOMPARE(h.storedFrames(), std::size_t(0));
}

void TestPcmHistory::keepsInterleavedFramesWhole()
{
    // Stereo float at 48 kHz; a trailing partial frame is dropped.
    PcmHistory h(1);
    h.setFormat(PcmHistory::Format{48000, 2, 4, true});
    std::vector<float> samples;
    for (int i = 0; i < 480; ++i) {
        samples.push_back(float(i));
        samples.push_back(-float(i));
    }
    h.append(reinterpret_cast<const char *>(samples.data()), samples.size() * sizeof(float) - 3, 0);
    QCOMPARE(h.storedFrames(), std::size_t(479));
    std::vector<char> out;
    QCOMPARE(h.copyWindow(5 * Ms, 2, out), std::size_t(2)); // 5 ms = frame 240
    float pair[4];
    std::memcpy(pair, out.data(), sizeof pair);
    QCOMPARE(pair[0], 240.0f);
    QCOMPARE(pair[1], -240.0f);
    QCOMPARE(pair[2], 241.0f);
    QCOMPARE(pair[3], -241.0f);
}

QTEST_GUILESS_MAIN(TestPcmHistory)
#include "test_pcmhistory.moc"
