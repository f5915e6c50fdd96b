#include "playback/PcmHistory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::int64_t NsPerSecond = 1'000'000'000;

// a * b / c without overflow for the hours-long products of frames and nanoseconds.
std::int64_t scale(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return static_cast<std::int64_t>(static_cast<__int128>(a) * b / c);
}

} // namespace

PcmHistory::PcmHistory(int seconds, std::size_t minimumFrames)
    : seconds_(std::max(1, seconds))
    , minimumFrames_(minimumFrames)
{
}

void PcmHistory::setFormat(const Format &format)
{
    if (format == format_ && !ring_.empty()) {
        clear();
        return;
    }
    format_ = format;
    ring_.clear();
    capacityFrames_ = 0;
    if (format_.valid()) {
        capacityFrames_ = std::max(minimumFrames_, static_cast<std::size_t>(format_.sampleRate) * seconds_);
        ring_.assign(capacityFrames_ * format_.frameBytes(), 0);
    }
    clear();
}

void PcmHistory::clear()
{
    runStartNs_ = -1;
    totalFrames_ = 0;
}

std::size_t PcmHistory::storedFrames() const
{
    return static_cast<std::size_t>(std::min<std::int64_t>(totalFrames_, capacityFrames_));
}

std::int64_t PcmHistory::frameTime(std::int64_t frameIndex) const
{
    return runStartNs_ + scale(frameIndex, NsPerSecond, format_.sampleRate);
}

std::int64_t PcmHistory::frameAt(std::int64_t timeNs) const
{
    const std::int64_t offset = timeNs - runStartNs_;
    // Floor division, so that times just before the run map before frame 0.
    std::int64_t k = scale(offset, format_.sampleRate, NsPerSecond);
    if (offset < 0 && scale(k, NsPerSecond, format_.sampleRate) != offset)
        --k;
    return k;
}

std::int64_t PcmHistory::oldestNs() const
{
    if (totalFrames_ == 0)
        return -1;
    return frameTime(totalFrames_ - static_cast<std::int64_t>(storedFrames()));
}

std::int64_t PcmHistory::endNs() const
{
    if (totalFrames_ == 0)
        return -1;
    return frameTime(totalFrames_);
}

void PcmHistory::append(const char *data, std::size_t bytes, std::int64_t startNs)
{
    if (capacityFrames_ == 0 || data == nullptr)
        return;
    const std::size_t frameBytes = format_.frameBytes();
    std::size_t frames = bytes / frameBytes;
    if (frames == 0)
        return;

    if (totalFrames_ == 0) {
        if (startNs < 0)
            return;
        runStartNs_ = startNs;
    } else if (startNs >= 0 && std::llabs(startNs - endNs()) > ContinuityToleranceNs) {
        runStartNs_ = startNs;
        totalFrames_ = 0;
    }

    // Only the newest capacity's worth of a huge buffer can stay.
    if (frames > capacityFrames_) {
        const std::size_t skip = frames - capacityFrames_;
        data += skip * frameBytes;
        totalFrames_ += static_cast<std::int64_t>(skip);
        frames = capacityFrames_;
    }
    std::size_t at = static_cast<std::size_t>(totalFrames_ % static_cast<std::int64_t>(capacityFrames_));
    const std::size_t first = std::min(frames, capacityFrames_ - at);
    std::memcpy(ring_.data() + at * frameBytes, data, first * frameBytes);
    if (first < frames)
        std::memcpy(ring_.data(), data + first * frameBytes, (frames - first) * frameBytes);
    totalFrames_ += static_cast<std::int64_t>(frames);
}

std::size_t PcmHistory::copyWindow(std::int64_t timeNs, std::size_t frames, std::vector<char> &out) const
{
    if (totalFrames_ == 0 || frames == 0 || timeNs < 0)
        return 0;
    const std::int64_t k = frameAt(timeNs);
    const std::int64_t oldest = totalFrames_ - static_cast<std::int64_t>(storedFrames());
    if (k < oldest || k >= totalFrames_)
        return 0;

    const std::size_t frameBytes = format_.frameBytes();
    if (out.size() < frames * frameBytes)
        out.resize(frames * frameBytes);
    const std::size_t available = std::min(frames, static_cast<std::size_t>(totalFrames_ - k));
    const std::size_t at = static_cast<std::size_t>(k % static_cast<std::int64_t>(capacityFrames_));
    const std::size_t first = std::min(available, capacityFrames_ - at);
    std::memcpy(out.data(), ring_.data() + at * frameBytes, first * frameBytes);
    if (first < available)
        std::memcpy(out.data() + first * frameBytes, ring_.data(), (available - first) * frameBytes);
    if (available < frames)
        std::memset(out.data() + available * frameBytes, 0, (frames - available) * frameBytes);
    return available;
}
