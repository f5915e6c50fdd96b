#include "visualisation/DCWaveform.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

// PCM from the tap is little-endian; memcpy reads it as the host's own order.
static_assert(std::endian::native == std::endian::little, "PCM readers assume a little-endian host");

namespace {

// Sample readers: one sample at p to a level 0..65535, 32768 meaning silence.
// The integer widths land inside 0..65535 by construction; only float needs the clamp.
struct Unsigned8 {
    static constexpr int bytes = 1;
    static int level(const unsigned char *p) { return p[0] << 8; }
};

struct Signed16 {
    static constexpr int bytes = 2;
    static int level(const unsigned char *p)
    {
        std::int16_t s;
        std::memcpy(&s, p, sizeof s);
        return s + 32768;
    }
};

struct Signed24 {
    static constexpr int bytes = 3;
    static int level(const unsigned char *p)
    {
        const std::uint32_t raw = p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
        const std::int32_t s = std::int32_t(raw << 8) >> 8; // sign-extend bit 23
        return s / 256 + 32768;                              // toward zero: -1 stays silence
    }
};

struct Signed32 {
    static constexpr int bytes = 4;
    static int level(const unsigned char *p)
    {
        std::int32_t s;
        std::memcpy(&s, p, sizeof s);
        return s / 65536 + 32768;
    }
};

struct Float32 {
    static constexpr int bytes = 4;
    static int level(const unsigned char *p)
    {
        float s;
        std::memcpy(&s, p, sizeof s);
        // In double the product and sum are exact, so the only rounding is the last step.
        double v = double(s) * 32768.0 + 32768.0;
        v = v == v ? std::clamp(v, 0.0, 65535.0) : 32768.0; // NaN reads as silence
        // Adding and removing 2^52 rounds 0..65535 to an integer in the default rounding
        // mode (nearest, ties to even); inline, unlike nearbyint without SSE4.1.
        return int((v + 0x1p52) - 0x1p52);
    }
};

// y = MinY + u * (MaxY - MinY) / 65536, toward zero. The result always lies between
// MinY and MaxY; only the product needs room. The window's case, 0 <= range <= 32768,
// fits in 32 bits and, being non-negative, divides by a shift: about 1.5x faster.
struct NarrowScale {
    std::int32_t minY;
    std::int32_t range; // 0..32768, so 0 <= u * range < 2^31
    std::int32_t operator()(int u) const { return minY + ((u * range) >> 16); }
};

// Any other MinY/MaxY pair, including MaxY below MinY.
struct WideScale {
    std::int64_t minY;
    std::int64_t range;
    std::int32_t operator()(int u) const { return std::int32_t(minY + (u * range) / 65536); }
};

using Row = TDCWaveform::Row;

// Used == 0: channel count known only at run time.
template <class F, int Used, class Scale>
void mixRows(const unsigned char *src, std::size_t stride, int used, int points, std::int32_t *row,
             Scale scale)
{
    const int n = Used > 0 ? Used : used;
    for (int i = 0; i < points; ++i, src += stride) {
        int sum = 0;
        for (int c = 0; c < n; ++c)
            sum += F::level(src + c * F::bytes);
        row[i] = scale(sum / n);
    }
}

template <class F, class Scale>
void splitRows(const unsigned char *src, std::size_t stride, int used, int points, Row *table, Scale scale)
{
    for (int c = 0; c < used; ++c) {
        const unsigned char *p = src + c * F::bytes;
        std::int32_t *row = table[c];
        for (int i = 0; i < points; ++i, p += stride)
            row[i] = scale(F::level(p));
    }
}

// The format and channel count are resolved once here, never per sample.
template <class F, class Scale>
void convert(const unsigned char *src, std::size_t stride, int used, int points, bool mix, Row *table,
             Scale scale)
{
    if (!mix)
        splitRows<F, Scale>(src, stride, used, points, table, scale);
    else if (used == 1)
        mixRows<F, 1, Scale>(src, stride, used, points, table[0], scale);
    else if (used == 2)
        mixRows<F, 2, Scale>(src, stride, used, points, table[0], scale);
    else
        mixRows<F, 0, Scale>(src, stride, used, points, table[0], scale);
}

} // namespace

TDCWaveform::TDCWaveform() = default;

void TDCWaveform::ComputeBlock(const void *buffer, int sizeBytes, int bits, int channels, bool isFloat)
{
    if (!buffer || sizeBytes <= 0 || bits <= 0 || channels <= 0)
        return;
    // Checked before dividing by bits / 8, which is 0 below 8 bits.
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return;

    const int bytes = bits / 8;
    const int frames = sizeBytes / bytes / channels;
    const int skip = sampleSkip_;
    int points = frames / skip + (frames % skip != 0 ? 1 : 0);
    // A paint area wider than the table gets the table's width of points.
    points = std::min(points, std::clamp(numSamples_, 0, MaxPoints));
    const int used = std::min(channels, MaxChannels);
    const std::size_t stride = std::size_t(skip) * std::size_t(channels) * std::size_t(bytes);
    const auto *src = static_cast<const unsigned char *>(buffer);
    const bool mix = mixChannels_;

    auto run = [&](auto scale) {
        using Scale = decltype(scale);
        switch (bits) {
        case 8:
            convert<Unsigned8, Scale>(src, stride, used, points, mix, table_, scale);
            break;
        case 16:
            convert<Signed16, Scale>(src, stride, used, points, mix, table_, scale);
            break;
        case 24:
            convert<Signed24, Scale>(src, stride, used, points, mix, table_, scale);
            break;
        default:
            if (isFloat)
                convert<Float32, Scale>(src, stride, used, points, mix, table_, scale);
            else
                convert<Signed32, Scale>(src, stride, used, points, mix, table_, scale);
            break;
        }
    };
    const std::int64_t range = std::int64_t(maxY_) - std::int64_t(minY_);
    if (range >= 0 && range <= 32768)
        run(NarrowScale{minY_, std::int32_t(range)});
    else
        run(WideScale{minY_, range});

    if (onWaveformData_)
        onWaveformData_(this, table_, minY_, maxY_, points, mixChannels_ ? 1 : used);
}
