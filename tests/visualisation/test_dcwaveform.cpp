#include "visualisation/DCWaveform.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace {

template <class T>
QByteArray pack(std::initializer_list<T> values)
{
    QByteArray bytes(qsizetype(values.size() * sizeof(T)), '\0');
    std::memcpy(bytes.data(), values.begin(), size_t(bytes.size()));
    return bytes;
}

QByteArray pack24(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)).append(char((v >> 16) & 0xFF));
    return bytes;
}

// What the last event carried.
struct Capture {
    int calls = 0;
    TDCWaveform *sender = nullptr;
    int minY = 0, maxY = 0, count = -1, channels = -1;
    QList<QList<int>> rows;

    void attach(TDCWaveform &w)
    {
        w.setOnWaveformData([this](TDCWaveform *s, const TDCWaveform::Row *data, int lo, int hi, int n,
                                   int ch) {
            ++calls;
            sender = s;
            minY = lo;
            maxY = hi;
            count = n;
            channels = ch;
            rows.clear();
            for (int c = 0; c < ch; ++c)
                rows.append(QList<int>(data[c], data[c] + n));
        });
    }
};

// Hands the block over at an odd address so every wide read is unaligned.
void compute(TDCWaveform &w, const QByteArray &block, int bits, int channels, bool isFloat = false)
{
    QByteArray shifted = QByteArray(1, '\0') + block;
    w.ComputeBlock(shifted.constData() + 1, int(block.size()), bits, channels, isFloat);
}

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

} // namespace

class TestDCWaveform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mixedLine_data();
    void mixedLine();
    void separateRows();
    void ignoredBlocks_data();
    void ignoredBlocks();
    void pointCount_data();
    void pointCount();
    void sampleSkipTakesEveryNthFrame();
};

// With MaxY 65536 and MinY 0 a point equals its level u.
void TestDCWaveform::mixedLine_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("isFloat");
    QTest::addColumn<int>("minY");
    QTest::addColumn<int>("maxY");
    QTest::addColumn<QList<int>>("points");

    const int H = 333;
    QTest::newRow("16-bit stereo silence at H/2")
        << pack<qint16>({0, 0, 0, 0, 0, 0}) << 16 << 2 << false << 0 << H << QList<int>{H / 2, H / 2, H / 2};
    QTest::newRow("16-bit stereo extremes mix to 32767")
        << pack<qint16>({32767, -32768}) << 16 << 2 << false << 0 << H << QList<int>{32767 * H / 65536};
    QTest::newRow("8-bit mono 0 top, 255 near bottom")
        << QByteArray("\x00\xFF\x80", 3) << 8 << 1 << false << 0 << H
        << QList<int>{0, 65280 * H / 65536, H / 2};
    QTest::newRow("16-bit levels")
        << pack<qint16>({-32768, -1, 0, 1, 32767}) << 16 << 1 << false << 0 << 65536
        << QList<int>{0, 32767, 32768, 32769, 65535};
    QTest::newRow("24-bit -1 rounds toward zero to silence")
        << pack24({-1, -256, -257, 255, 256, -8388608, 8388607}) << 24 << 1 << false << 0 << 65536
        << QList<int>{32768, 32767, 32767, 32768, 32769, 0, 65535};
    QTest::newRow("32-bit int toward zero")
        << pack<qint32>({-1, -65536, -65537, 65535, 65536, INT_MIN, INT_MAX}) << 32 << 1 << false << 0 << 65536
        << QList<int>{32768, 32767, 32767, 32768, 32769, 0, 65535};
    QTest::newRow("float clamps, NaN is silence")
        << pack<float>({1.0f, 1.5f, Inf, -1.0f, -2.0f, -Inf, NaN, 0.0f}) << 32 << 1 << true << 0 << 65536
        << QList<int>{65535, 65535, 65535, 0, 0, 0, 32768, 32768};
    // s * 32768 lands on n + 0.5 exactly: ties go to the even neighbour.
    QTest::newRow("float ties to even")
        << pack<float>({0.5f / 32768, 1.5f / 32768, 2.5f / 32768, -0.5f / 32768, 0.75f / 32768}) << 32 << 1
        << true << 0 << 65536 << QList<int>{32768, 32770, 32770, 32768, 32769};
    QTest::newRow("float flag ignored below 32 bits")
        << pack<qint16>({-32768}) << 16 << 1 << true << 0 << 65536 << QList<int>{0};
    QTest::newRow("three channels average with integer division")
        << pack<qint16>({-32768, 32767, -32767}) << 16 << 3 << false << 0 << 65536
        << QList<int>{(0 + 65535 + 1) / 3};
    QTest::newRow("channels past the tenth are not mixed")
        << pack<qint16>({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32767, 32767}) << 16 << 12 << false << 0 << 65536
        << QList<int>{32768};
    QTest::newRow("negative MinY")
        << pack<qint16>({-32768, 0, 32767}) << 16 << 1 << false << -100 << 100 << QList<int>{-100, 0, 99};
    QTest::newRow("MaxY below MinY flips, toward zero")
        << pack<qint16>({-32768, 0, 32767}) << 16 << 1 << false << 100 << 0 << QList<int>{100, 50, 1};
    QTest::newRow("largest range of the 32-bit path")
        << pack<qint16>({-32768, 0, 32767}) << 16 << 1 << false << 0 << 32768 << QList<int>{0, 16384, 32767};
    QTest::newRow("flipped range (64-bit path)")
        << pack<qint16>({-32768, 0, 32767}) << 16 << 1 << false << 32768 << 0 << QList<int>{32768, 16384, 1};
    QTest::newRow("full int range does not overflow")
        << pack<qint16>({-32768, 32767}) << 16 << 1 << false << INT_MIN << INT_MAX
        << QList<int>{INT_MIN, 2147418111};
}

void TestDCWaveform::mixedLine()
{
    QFETCH(QByteArray, block);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(bool, isFloat);
    QFETCH(int, minY);
    QFETCH(int, maxY);
    QFETCH(QList<int>, points);

    TDCWaveform w;
    w.setMinY(minY);
    w.setMaxY(maxY);
    Capture got;
    got.attach(w);
    compute(w, block, bits, channels, isFloat);

    QCOMPARE(got.calls, 1);
    QCOMPARE(got.sender, &w);
    QCOMPARE(got.minY, minY);
    QCOMPARE(got.maxY, maxY);
    QCOMPARE(got.channels, 1);
    QCOMPARE(got.rows.value(0), points);
}

void TestDCWaveform::separateRows()
{
    TDCWaveform w;
    w.setMixChannels(false);
    w.setMaxY(65536);
    Capture got;
    got.attach(w);

    compute(w, pack<qint16>({-32768, 100, 0, 200, 32767, 300}), 16, 2);
    QCOMPARE(got.channels, 2);
    QCOMPARE(got.rows.value(0), (QList<int>{0, 32768, 65535}));
    QCOMPARE(got.rows.value(1), (QList<int>{32868, 32968, 33068}));

    // Twelve channels fill ten rows; channel c of this frame holds c * 1000.
    QList<qint16> frame;
    for (int c = 0; c < 12; ++c)
        frame.append(qint16(c * 1000));
    compute(w, QByteArray(reinterpret_cast<const char *>(frame.constData()), 24), 16, 12);
    QCOMPARE(got.channels, TDCWaveform::MaxChannels);
    QCOMPARE(got.count, 1);
    for (int c = 0; c < TDCWaveform::MaxChannels; ++c)
        QCOMPARE(got.rows.value(c), QList<int>{32768 + c * 1000});
}

void TestDCWaveform::ignoredBlocks_data()
{
    QTest::addColumn<bool>("nullBuffer");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("isFloat");

    QTest::newRow("null buffer") << true << 8 << 16 << 2 << false;
    QTest::newRow("zero size") << false << 0 << 16 << 2 << false;
    QTest::newRow("zero bits") << false << 8 << 0 << 2 << false;
    QTest::newRow("zero channels") << false << 8 << 16 << 0 << false;
    QTest::newRow("negative size") << false << -8 << 16 << 2 << false;
    QTest::newRow("negative channels") << false << 8 << 16 << -2 << false;
    QTest::newRow("4 bits (would divide by zero)") << false << 8 << 4 << 1 << false;
    QTest::newRow("12 bits") << false << 8 << 12 << 1 << false;
    QTest::newRow("64-bit float") << false << 16 << 64 << 2 << true;
}

void TestDCWaveform::ignoredBlocks()
{
    QFETCH(bool, nullBuffer);
    QFETCH(int, size);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(bool, isFloat);

    TDCWaveform w;
    Capture got;
    got.attach(w);
    const QByteArray block(64, '\x7F');
    w.ComputeBlock(nullBuffer ? nullptr : block.constData(), size, bits, channels, isFloat);
    QCOMPARE(got.calls, 0);
    // The table is still as constructed.
    for (int c = 0; c < TDCWaveform::MaxChannels; ++c)
        for (int i = 0; i < TDCWaveform::MaxPoints; ++i)
            if (w.data()[c][i] != 0)
                QFAIL("table touched");
}

void TestDCWaveform::pointCount_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("numSamples");
    QTest::addColumn<int>("sampleSkip");
    QTest::addColumn<int>("count");

    const int block = 16384 * 4; // 16384 frames of 16-bit stereo
    QTest::newRow("300 wide") << block << 16 << 2 << 300 << 1 << 300;
    QTest::newRow("300 wide, 8-bit mono") << 16384 << 8 << 1 << 300 << 1 << 300;
    QTest::newRow("default 512") << block << 16 << 2 << -1 << 1 << 512;
    QTest::newRow("wider than the table") << block << 16 << 2 << 10000 << 1 << TDCWaveform::MaxPoints;
    QTest::newRow("fewer frames than wide") << 400 << 16 << 2 << 300 << 1 << 100;
    QTest::newRow("partial last frame, 16-bit stereo") << 23 << 16 << 2 << 300 << 1 << 5;
    QTest::newRow("partial last frame, 24-bit stereo") << 29 << 24 << 2 << 300 << 1 << 4;
    QTest::newRow("less than one frame") << 3 << 16 << 2 << 300 << 1 << 0;
    QTest::newRow("zero width") << block << 16 << 2 << 0 << 1 << 0;
    QTest::newRow("negative width") << block << 16 << 2 << -5 << 1 << 0;
    QTest::newRow("skip 2 of 5 frames") << 20 << 16 << 2 << 300 << 2 << 3;
    QTest::newRow("skip 3 of 9 frames") << 36 << 16 << 2 << 300 << 3 << 3;
    QTest::newRow("skip still capped") << block << 16 << 2 << 300 << 4 << 300;
}

void TestDCWaveform::pointCount()
{
    QFETCH(int, size);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, numSamples);
    QFETCH(int, sampleSkip);
    QFETCH(int, count);

    TDCWaveform w;
    if (numSamples != -1)
        w.setNumSamples(numSamples);
    w.setSampleSkip(std::uint8_t(sampleSkip));
    Capture got;
    got.attach(w);
    compute(w, QByteArray(size, '\0'), bits, channels);
    QCOMPARE(got.calls, 1);
    QCOMPARE(got.count, count);
}

void TestDCWaveform::sampleSkipTakesEveryNthFrame()
{
    TDCWaveform w;
    w.setMaxY(65536);
    QCOMPARE(w.SampleSkip(), std::uint8_t(1));
    w.setSampleSkip(0);
    QCOMPARE(w.SampleSkip(), std::uint8_t(1));
    w.setSampleSkip(3);
    Capture got;
    got.attach(w);
    compute(w, pack<qint16>({0, 1, 2, 3, 4, 5, 6, 7}), 16, 1);
    QCOMPARE(got.rows.value(0), (QList<int>{32768, 32771, 32774}));
}

QTEST_GUILESS_MAIN(TestDCWaveform)
#include "test_dcwaveform.moc"
