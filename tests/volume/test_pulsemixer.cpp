// The mixer against the test script's PulseAudio server: the default output's volume,
// the left/right levels of this program's own streams (also of streams opened later),
// and one failure message per run of failures when there is no server.
#include "support/RenderWait.h"
#include "fixtures/media/MediaMaker.h"
#include "playback/GstMediaGraph.h"
#include "playback/PlaybackTestUtil.h"
#include "volume/PulseMixer.h"

#include <QRegularExpression>
#include <QtTest>

using namespace playback_test;

namespace {

// The percentages of a "Volume:" line, in channel order.
QList<int> percentages(const QString &line)
{
    QList<int> out;
    static const QRegularExpression percent(QStringLiteral("(\\d+)%"));
    for (auto it = percent.globalMatch(line); it.hasNext();)
        out.append(it.next().captured(1).toInt());
    return out;
}

} // namespace

class TestPulseMixer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void masterVolumeSetsTheDefaultOutput_data();
    void masterVolumeSetsTheDefaultOutput();
    void waveVolumeSetsOurStreamsAndLaterOnes();
    void oneMessagePerRunOfFailures();

private:
    QString defaultSink_;
};

void TestPulseMixer::initTestCase()
{
    QString why;
    if (!pulseAvailable(&why))
        QSKIP(qPrintable(why));
    defaultSink_ = pactl({QStringLiteral("get-default-sink")}).trimmed();
}

void TestPulseMixer::masterVolumeSetsTheDefaultOutput_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("percent");
    QTest::newRow("full") << 65535 << 100;
    QTest::newRow("half") << 32768 << 50;
    QTest::newRow("bar at x = 500") << 43000 << 66;
    QTest::newRow("silent") << 0 << 0;
}

void TestPulseMixer::masterVolumeSetsTheDefaultOutput()
{
    QFETCH(int, value);
    QFETCH(int, percent);
    // A default output of the test's own, so that nothing else playing is touched.
    PrivateNullSink sink;
    QVERIFY(sink.isLoaded());
    pactl({QStringLiteral("set-default-sink"), sink.name()});
    PulseMixer mixer;
    QSignalSpy failures(&mixer, &Mixer::failed);
    mixer.SetMasterVolume(12345); // superseded by the next one, or applied first
    mixer.SetMasterVolume(static_cast<std::uint16_t>(value));
    const QList<int> expected{percent, percent};
    QTRY_COMPARE_WITH_TIMEOUT(percentages(pactl({QStringLiteral("get-sink-volume"), sink.name()})), expected, 5000);
    QCOMPARE(failures.size(), 0);
    pactl({QStringLiteral("set-default-sink"), defaultSink_});
}

void TestPulseMixer::waveVolumeSetsOurStreamsAndLaterOnes()
{
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    QVERIFY(media_maker::writeToneWav(tone, 440, 4000));
    PrivateNullSink sink;
    QVERIFY(sink.isLoaded());
    PulseMixer mixer;
    QSignalSpy failures(&mixer, &Mixer::failed);
    {
        GstMediaGraph graph;
        render_wait::renderFile(graph, tone);
        graph.run();
        QTRY_COMPARE_WITH_TIMEOUT(sink.streamVolumes().size(), 1, 5000);
        mixer.SetWaveVolume(65535, 0); // left full, right silent
        QTRY_COMPARE_WITH_TIMEOUT(percentages(sink.streamVolumes().value(0)), (QList<int>{100, 0}), 5000);
        mixer.SetWaveVolume(30000, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(percentages(sink.streamVolumes().value(0)), (QList<int>{46, 46}), 5000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(sink.streamVolumes().size(), 0, 5000);
    // The next file's stream gets the levels without being asked.
    GstMediaGraph next;
    render_wait::renderFile(next, tone);
    next.run();
    QTRY_COMPARE_WITH_TIMEOUT(percentages(sink.streamVolumes().value(0)), (QList<int>{46, 46}), 5000);
    QCOMPARE(failures.size(), 0);
}

void TestPulseMixer::oneMessagePerRunOfFailures()
{
    const QByteArray server = qgetenv("PULSE_SERVER");
    PulseMixer mixer;
    QSignalSpy failures(&mixer, &Mixer::failed);
    qputenv("PULSE_SERVER", "unix:/nonexistent/tarnel-no-server");
    for (int x = 0; x < 20; ++x) // a drag over the bar
        mixer.SetMasterVolume(static_cast<std::uint16_t>(x * 86));
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 5000);
    QTest::qWait(300);
    QCOMPARE(failures.size(), 1);

    // A change that works ends the run of failures.
    qputenv("PULSE_SERVER", server);
    PrivateNullSink sink;
    pactl({QStringLiteral("set-default-sink"), sink.name()});
    mixer.SetMasterVolume(65535);
    QTRY_COMPARE_WITH_TIMEOUT(percentages(pactl({QStringLiteral("get-sink-volume"), sink.name()})),
                              (QList<int>{100, 100}), 5000);
    pactl({QStringLiteral("set-default-sink"), defaultSink_});
    QCOMPARE(failures.size(), 1);
}

QTEST_GUILESS_MAIN(TestPulseMixer)
#include "test_pulsemixer.moc"
