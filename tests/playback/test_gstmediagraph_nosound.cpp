// With no sound server to reach, loading fails synchronously with the audio-device
// code (not a hang, not a later asynchronous error), and the graph can try again.
#include "support/RenderWait.h"
#include "fixtures/media/MediaMaker.h"
#include "playback/GstMediaGraph.h"

#include <gst/gst.h>

#include <QtTest>

class TestGstMediaGraphNoSound : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void unreachableServerIsAnAudioDeviceError();

private:
    QTemporaryDir dir_;
};

void TestGstMediaGraphNoSound::initTestCase()
{
    // Before the first PulseAudio context of this process is made.
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + dir_.filePath(QStringLiteral("none"))));
    GstMediaGraph::ensureInitialised();
    GstElementFactory *pulse = gst_element_factory_find("pulsesink");
    if (!pulse)
        QSKIP("pulsesink is not installed");
    gst_object_unref(pulse);
}

void TestGstMediaGraphNoSound::unreachableServerIsAnAudioDeviceError()
{
    const QString tone = dir_.filePath(QStringLiteral("tone.wav"));
    QVERIFY(media_maker::writeToneWav(tone, 440, 300));
    GstMediaGraph graph;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            render_wait::renderFile(graph, tone);
            QFAIL("played without a sound server");
        } catch (const MediaGraphError &error) {
            QCOMPARE(QString::number(error.code(), 16), QString::number(GstMediaGraph::ErrAudioDevice, 16));
            QVERIFY2(error.message().endsWith(QStringLiteral(" ($80040256).")), qPrintable(error.message()));
        }
        QVERIFY(!graph.hasMedia());
    }
}

QTEST_GUILESS_MAIN(TestGstMediaGraphNoSound)
#include "test_gstmediagraph_nosound.moc"
