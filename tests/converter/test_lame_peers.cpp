// MP3s made by the driver, checked by real peers: the same bytes as the lame command
// with the same settings, and ffmpeg decoding them back to the WAV's own rate,
// channel count, exact length and tone.
#include "../fixtures/media/MediaMaker.h"
#include "ConverterTestUtil.h"
#include "converter/LameCoder.h"

#include <QTemporaryDir>
#include <QtTest>

class TestLamePeers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameBytesAsLameCommand();
    void decodesBack_data();
    void decodesBack();
};

void TestLamePeers::sameBytesAsLameCommand()
{
    if (!media_maker::haveTool(QStringLiteral("lame")))
        QSKIP("the lame command is installed with install-deps.sh --bench");
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    QVERIFY(conv_test::write(wav, conv_test::riff({{"fmt ", conv_test::fmtChunk(2, 44100, 16)},
                                                    {"data", conv_test::sinePcm(44100 * 3 + 77, 2, 44100, 1000)}})));
    TLameCoder coder;
    coder.setInputFiles({wav});
    coder.EncodeFiles();
    // The driver's defaults: stereo, 128 kbit/s, CRC, not marked original.
    const QString reference = dir.filePath(QStringLiteral("reference.mp3"));
    QVERIFY(media_maker::runTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"),
                                                           QStringLiteral("-m"), QStringLiteral("s"), QStringLiteral("-p"),
                                                           QStringLiteral("-o"), wav, reference}));
    const QByteArray ours = conv_test::read(dir.filePath(QStringLiteral("tone.mp3")));
    QVERIFY(!ours.isEmpty());
    QCOMPARE(ours.size(), conv_test::read(reference).size());
    QVERIFY(ours == conv_test::read(reference));
}

void TestLamePeers::decodesBack_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("vbr");
    QTest::newRow("mono 22050") << 22050 << 1 << false;
    QTest::newRow("stereo 44100") << 44100 << 2 << false;
    QTest::newRow("stereo 48000 VBR") << 48000 << 2 << true;
    QTest::newRow("mono 48000") << 48000 << 1 << false;
}

void TestLamePeers::decodesBack()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(bool, vbr);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const int frames = rate * 2 + 333;
    QVERIFY(conv_test::write(wav, conv_test::riff({{"fmt ", conv_test::fmtChunk(channels, rate, 16)},
                                                    {"data", conv_test::sinePcm(frames, channels, rate, 1000)}})));
    TLameCoder coder;
    coder.setEnableVBR(vbr);
    coder.setInputFiles({wav});
    coder.EncodeFiles();
    const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    QCOMPARE(conv_test::probe(mp3), qMakePair(channels, rate));
    const QByteArray pcm = conv_test::ffmpegPcm(mp3);
    // The Info tag's delay and padding let the decoder trim to the WAV's length.
    QCOMPARE(pcm.size() / 2 / channels, frames);
    QVERIFY(qAbs(conv_test::toneFrequency(pcm, channels, rate) - 1000) < 10);
}

QTEST_GUILESS_MAIN(TestLamePeers)
#include "test_lame_peers.moc"
