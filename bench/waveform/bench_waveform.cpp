// Waveform engine and picture, per 25 ms tick: the Time column is ns per block.
#include "visualisation/DCWaveform.h"
#include "visualisation/WaveformPicture.h"

#include <QPainter>
#include <QPolygon>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int Frames = 16384; // the tap's visual window
constexpr double Pi = 3.14159265358979323846;

double tone(int i, int channel) { return 0.8 * std::sin(2 * Pi * 440.0 * i / 44100.0 + channel); }

std::vector<std::int16_t> stereo16()
{
    std::vector<std::int16_t> v(Frames * 2);
    for (int i = 0; i < Frames; ++i)
        for (int c = 0; c < 2; ++c)
            v[size_t(i) * 2 + c] = std::int16_t(32767 * tone(i, c));
    return v;
}

std::vector<float> stereoFloat()
{
    std::vector<float> v(Frames * 2);
    for (int i = 0; i < Frames; ++i)
        for (int c = 0; c < 2; ++c)
            v[size_t(i) * 2 + c] = float(tone(i, c));
    return v;
}

template <class T>
void runBlock(benchmark::State &state, const std::vector<T> &block, int bits, bool isFloat)
{
    TDCWaveform w;
    w.setMaxY(1080);
    w.setNumSamples(int(state.range(0)));
    w.setMixChannels(state.range(1) != 0);
    std::int64_t sink = 0;
    w.setOnWaveformData([&sink](TDCWaveform *, const TDCWaveform::Row *data, int, int, int count, int) {
        sink += data[0][count - 1];
    });
    for (auto _ : state)
        w.ComputeBlock(block.data(), int(block.size() * sizeof(T)), bits, 2, isFloat);
    benchmark::DoNotOptimize(sink);
}

void BM_ComputeBlock16BitStereo(benchmark::State &state)
{
    static const auto block = stereo16();
    runBlock(state, block, 16, false);
}

void BM_ComputeBlockFloatStereo(benchmark::State &state)
{
    static const auto block = stereoFloat();
    runBlock(state, block, 32, true);
}

// Args: NumSamples, MixChannels.
BENCHMARK(BM_ComputeBlock16BitStereo)->Args({300, 1})->Args({8192, 1})->Args({8192, 0});
BENCHMARK(BM_ComputeBlockFloatStereo)->Args({300, 1})->Args({8192, 1})->Args({8192, 0});

std::vector<std::int32_t> pointsFor(int width, int height)
{
    std::vector<std::int32_t> row(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        row[size_t(x)] = std::int32_t((0.5 + 0.5 * tone(x * 7, 0)) * (height - 1));
    return row;
}

// Width and height of the paint area: a small window and a full-HD one.
void BM_DrawPoints(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    WaveformPicture picture(QSize(width, height));
    const auto row = pointsFor(width, height);
    for (auto _ : state) {
        picture.drawPoints(row.data(), width);
        benchmark::DoNotOptimize(picture.image().constBits());
    }
}
BENCHMARK(BM_DrawPoints)->Args({300, 200})->Args({1920, 1080});

// The same picture through QPainter, for comparison with the span fill.
void BM_DrawPointsQPainter(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    QImage image(width, height, QImage::Format_RGB32);
    const auto row = pointsFor(width, height);
    QPolygon polyline(width);
    for (int x = 0; x < width; ++x)
        polyline.setPoint(x, x, row[size_t(x)]);
    for (auto _ : state) {
        image.fill(WaveformPicture::Background);
        QPainter painter(&image);
        painter.setPen(QPen(QColor(0, 255, 0), 1));
        painter.drawPolyline(polyline);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DrawPointsQPainter)->Args({300, 200})->Args({1920, 1080});

} // namespace

BENCHMARK_MAIN();
