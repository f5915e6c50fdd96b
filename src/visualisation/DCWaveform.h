#pragma once
// Waveform engine: reduces one block of interleaved PCM to at most NumSamples
// levels per channel (or one mixed line) and scales them into MinY..MaxY.
// Works in a fixed table (320 KB, inside the object: keep it in a heap-allocated
// owner such as the window, not on a small stack); nothing is allocated per block.
//
// Threads: a plain object of the GUI thread (the audio tap's visual timer calls
// ComputeBlock there), so the table needs no lock.
#include <cstdint>
#include <functional>
#include <utility>

class TDCWaveform {
public:
    static constexpr int MaxChannels = 10;
    static constexpr int MaxPoints = 8192;

    using Row = std::int32_t[MaxPoints];
    // data is the result table (MaxChannels rows; row 0 is the mixed line), count the
    // points computed per row, channels 1 when mixing, else the rows filled.
    using WaveformDataHandler = std::function<void(TDCWaveform *sender, const Row *data,
                                                   int minY, int maxY, int count, int channels)>;

    TDCWaveform();

    // Output for the most negative sample; default 0.
    int MinY() const { return minY_; }
    void setMinY(int value) { minY_ = value; }
    // Upper end of the output range (not reached); default 100. MaxY below MinY
    // flips the picture; products are widened to 64 bits when needed, so any int
    // pair is safe.
    int MaxY() const { return maxY_; }
    void setMaxY(int value) { maxY_ = value; }
    // Most points per block; default 512. Values above MaxPoints are capped to
    // the table, negative values compute nothing.
    int NumSamples() const { return numSamples_; }
    void setNumSamples(int value) { numSamples_ = value; }
    // Average all used channels into row 0; default true.
    bool MixChannels() const { return mixChannels_; }
    void setMixChannels(bool value) { mixChannels_ = value; }
    // Point i reads frame i * SampleSkip (every SampleSkip-th frame, no averaging),
    // so a block yields ceil(frames / SampleSkip) points before the NumSamples cap.
    // 1..255, default 1; 0 is stored as 1.
    std::uint8_t SampleSkip() const { return sampleSkip_; }
    void setSampleSkip(std::uint8_t value) { sampleSkip_ = value == 0 ? 1 : value; }

    void setOnWaveformData(WaveformDataHandler handler) { onWaveformData_ = std::move(handler); }

    // Converts one block and raises OnWaveformData. Returns without the event when
    // the buffer is null, or size, bits or channels is zero or negative, or the
    // width is not 8, 16, 24 or 32 bits (e.g. 64-bit float is not drawn; the picture
    // keeps its last line). isFloat matters for 32-bit blocks only. A block shorter
    // than one frame raises the event with count 0; a partial last frame is ignored.
    // Float levels round to nearest, ties to even (the default FP rounding mode);
    // NaN reads as silence.
    void ComputeBlock(const void *buffer, int sizeBytes, int bits, int channels, bool isFloat);

    const Row *data() const { return table_; }

private:
    int minY_ = 0;
    int maxY_ = 100;
    int numSamples_ = 512;
    bool mixChannels_ = true;
    std::uint8_t sampleSkip_ = 1;
    WaveformDataHandler onWaveformData_;
    Row table_[MaxChannels] = {};
};
