#pragma once
// The last few seconds of decoded PCM with their times (the tap uses running time: it
// goes on across gapless files), so that the frames
// being heard now can be found again after the decoder has run ahead of the sound.
//
// The store is one contiguous run of interleaved frames in a ring: frame k of the run
// (counted since the last restart) has stream time start + k / rate. A buffer whose
// stamp does not continue the run (a seek, a gap, a new segment) restarts it.
//
// Not thread-safe: AudioTap guards it with its lock.
#include <cstddef>
#include <cstdint>
#include <vector>

class PcmHistory {
public:
    struct Format {
        int sampleRate = 0;
        int channels = 0;
        int bytesPerSample = 0; // 2 or 4
        bool isFloat = false;

        int frameBytes() const { return channels * bytesPerSample; }
        bool valid() const { return sampleRate > 0 && channels > 0 && bytesPerSample > 0; }
        bool operator==(const Format &) const = default;
    };

    // Stamps that differ from the run's expected time by more than this restart it.
    static constexpr std::int64_t ContinuityToleranceNs = 20'000'000;

    explicit PcmHistory(int seconds = 3, std::size_t minimumFrames = 32768);

    // A new format drops what is stored and sizes the ring (allocates; not per buffer).
    void setFormat(const Format &format);
    const Format &format() const { return format_; }
    void clear();

    // Appends whole interleaved frames; startNs is the stream time of the first one,
    // negative when the buffer carries no stamp (it then continues the run). A trailing
    // partial frame is ignored. Unstamped data with nothing stored is dropped.
    void append(const char *data, std::size_t bytes, std::int64_t startNs);

    std::size_t capacityFrames() const { return capacityFrames_; }
    std::size_t storedFrames() const;
    // Stream time of the oldest stored frame and just past the newest; -1 when empty.
    std::int64_t oldestNs() const;
    std::int64_t endNs() const;

    // Writes `frames` frames starting at the frame heard at timeNs into out (grown when
    // too small, never shrunk). Frames not stored yet are written as silence (zero).
    // Returns the number of frames that came from the store; 0 means timeNs lies outside
    // it, and then out is left untouched.
    std::size_t copyWindow(std::int64_t timeNs, std::size_t frames, std::vector<char> &out) const;

private:
    std::int64_t frameTime(std::int64_t frameIndex) const;
    std::int64_t frameAt(std::int64_t timeNs) const;

    int seconds_;
    std::size_t minimumFrames_;
    Format format_;
    std::vector<char> ring_;
    std::size_t capacityFrames_ = 0;
    std::int64_t runStartNs_ = -1; // stream time of frame 0 of the run
    std::int64_t totalFrames_ = 0; // frames appended since the run started
};
