// The graph's pure rules: the volume curve, the error message format and how
// GStreamer errors map onto our codes.
#include "playback/GstMediaGraph.h"

#include <gst/gst.h>

#include <QtTest>

#include <cmath>

class TestMediaGraphBasics : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void volumeCurve_data();
    void volumeCurve();
    void gainIsMonotonicAndSilentAtZero();
    void errorMessage_data();
    void errorMessage();
    void errorMapping_data();
    void errorMapping();
};

void TestMediaGraphBasics::volumeCurve_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("centibels");
    QTest::addColumn<double>("gain");
    QTest::newRow("silence") << 0 << -10000 << 0.0;
    QTest::newRow("below range clamps") << -5 << -10000 << 0.0;
    QTest::newRow("lowest audible") << 1 << -9247 << std::pow(10.0, -9247 / 2000.0);
    QTest::newRow("slider pixel 100") << 5000 << -752 << std::pow(10.0, -752 / 2000.0);
    QTest::newRow("full") << 10000 << 0 << 1.0;
    QTest::newRow("above range clamps") << 20000 << 0 << 1.0;
}

void TestMediaGraphBasics::volumeCurve()
{
    QFETCH(int, level);
    QFETCH(int, centibels);
    QFETCH(double, gain);
    QCOMPARE(MediaGraph::volumeToCentibels(level), centibels);
    QVERIFY(std::abs(MediaGraph::volumeToLinearGain(level) - gain) < 1e-9);
}

void TestMediaGraphBasics::gainIsMonotonicAndSilentAtZero()
{
    QCOMPARE(MediaGraph::volumeToLinearGain(0), 0.0);
    double previous = 0.0;
    for (int level = 1; level <= 10000; level += 37) {
        const double gain = MediaGraph::volumeToLinearGain(level);
        QVERIFY2(gain >= previous && gain <= 1.0, qPrintable(QString::number(level)));
        previous = gain;
    }
    // 5000 is about -7.5 dB: 0.42 of full scale.
    QVERIFY(std::abs(MediaGraph::volumeToLinearGain(5000) - 0.4207) < 0.001);
}

void TestMediaGraphBasics::errorMessage_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("upper-case hex") << quint32(0x8004022f) << QStringLiteral("Could not decode stream.")
                                    << QStringLiteral("Could not decode stream. ($8004022F).");
    QTest::newRow("file not found") << quint32(GstMediaGraph::ErrFileNotFound)
                                    << QStringLiteral("Resource not found.")
                                    << QStringLiteral("Resource not found. ($80070002).");
    QTest::newRow("empty text") << quint32(0x80040241) << QString() << QStringLiteral(" ($80040241).");
    QTest::newRow("non-ASCII text kept") << quint32(0x8004025F) << QStringLiteral("Chyba při přehrávání")
                                         << QStringLiteral("Chyba při přehrávání ($8004025F).");
}

void TestMediaGraphBasics::errorMessage()
{
    QFETCH(quint32, code);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const MediaGraphError error(code, text);
    QCOMPARE(error.code(), code);
    QCOMPARE(error.message(), message);
    QCOMPARE(QString::fromUtf8(error.what()), message);
}

using Origin = GstMediaGraph::ErrorOrigin;
Q_DECLARE_METATYPE(GstMediaGraph::ErrorOrigin)

void TestMediaGraphBasics::errorMapping_data()
{
    QTest::addColumn<quint32>("domain");
    QTest::addColumn<int>("code");
    QTest::addColumn<Origin>("origin");
    QTest::addColumn<bool>("missingPlugin");
    QTest::addColumn<quint32>("expected");

    const quint32 resource = GST_RESOURCE_ERROR;
    const quint32 stream = GST_STREAM_ERROR;
    const quint32 core = GST_CORE_ERROR;
    const quint32 library = GST_LIBRARY_ERROR;
    QTest::newRow("missing file") << resource << int(GST_RESOURCE_ERROR_NOT_FOUND) << Origin::Media << false
                                  << GstMediaGraph::ErrFileNotFound;
    QTest::newRow("unreadable file") << resource << int(GST_RESOURCE_ERROR_OPEN_READ) << Origin::Media << false
                                     << GstMediaGraph::ErrFileAccess;
    QTest::newRow("read failure") << resource << int(GST_RESOURCE_ERROR_READ) << Origin::Media << false
                                  << GstMediaGraph::ErrFileAccess;
    QTest::newRow("sound server refused") << resource << int(GST_RESOURCE_ERROR_OPEN_READ_WRITE)
                                          << Origin::AudioOutput << false << GstMediaGraph::ErrAudioDevice;
    QTest::newRow("device busy") << resource << int(GST_RESOURCE_ERROR_BUSY) << Origin::AudioOutput << false
                                 << GstMediaGraph::ErrAudioDevice;
    QTest::newRow("sink error wins over missing plug-in")
        << stream << int(GST_STREAM_ERROR_FAILED) << Origin::AudioOutput << true << GstMediaGraph::ErrAudioDevice;
    QTest::newRow("unknown type") << stream << int(GST_STREAM_ERROR_TYPE_NOT_FOUND) << Origin::Media << false
                                  << GstMediaGraph::ErrCannotRender;
    QTest::newRow("demux") << stream << int(GST_STREAM_ERROR_DEMUX) << Origin::Media << false
                           << GstMediaGraph::ErrCannotRender;
    QTest::newRow("no decoder") << stream << int(GST_STREAM_ERROR_CODEC_NOT_FOUND) << Origin::Media << false
                                << GstMediaGraph::ErrNoDecoder;
    QTest::newRow("missing plug-in") << core << int(GST_CORE_ERROR_MISSING_PLUGIN) << Origin::Media << false
                                     << GstMediaGraph::ErrNoDecoder;
    QTest::newRow("generic after missing-plugin message")
        << stream << int(GST_STREAM_ERROR_FAILED) << Origin::Media << true << GstMediaGraph::ErrNoDecoder;
    QTest::newRow("decode") << stream << int(GST_STREAM_ERROR_DECODE) << Origin::Media << false
                            << GstMediaGraph::ErrDecodeFailed;
    QTest::newRow("decodebin exposed nothing") << stream << int(GST_STREAM_ERROR_FAILED) << Origin::DecodeBin
                                               << false << GstMediaGraph::ErrCannotRender;
    QTest::newRow("decodebin missing a decoder") << stream << int(GST_STREAM_ERROR_FAILED) << Origin::DecodeBin
                                                 << true << GstMediaGraph::ErrNoDecoder;
    QTest::newRow("internal stream error") << stream << int(GST_STREAM_ERROR_FAILED) << Origin::Media << false
                                           << GstMediaGraph::ErrPlaybackFailed;
    QTest::newRow("core failure") << core << int(GST_CORE_ERROR_STATE_CHANGE) << Origin::Media << false
                                  << GstMediaGraph::ErrPlaybackFailed;
    QTest::newRow("library") << library << int(GST_LIBRARY_ERROR_INIT) << Origin::Media << false
                             << GstMediaGraph::ErrPlaybackFailed;
    QTest::newRow("video output") << resource << int(GST_RESOURCE_ERROR_NOT_FOUND) << Origin::VideoOutput << false
                                  << GstMediaGraph::ErrPlaybackFailed;
}

void TestMediaGraphBasics::errorMapping()
{
    QFETCH(quint32, domain);
    QFETCH(int, code);
    QFETCH(Origin, origin);
    QFETCH(bool, missingPlugin);
    QFETCH(quint32, expected);
    QCOMPARE(GstMediaGraph::mapError(domain, code, origin, missingPlugin), expected);
    // Every code is a failure code: the high bit is set.
    QVERIFY(expected & 0x80000000u);
}

QTEST_GUILESS_MAIN(TestMediaGraphBasics)
#include "test_mediagraph_basics.moc"
