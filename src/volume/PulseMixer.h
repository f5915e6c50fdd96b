#pragma once
// Mixer on libpulse: a threaded main loop of its own, so a server that hangs or is gone
// never holds up the GUI thread. A request only records the wanted levels and wakes the
// loop; the loop thread applies the newest ones (a drag sends many, the last one counts).
//
// Threads: public members on the GUI thread; the pa_* callbacks on the loop's thread,
// which reaches the GUI thread only through queued calls (failed()).
#include "volume/Mixer.h"

#include <optional>

struct pa_context;
struct pa_threaded_mainloop;

class PulseMixer : public Mixer {
    Q_OBJECT
public:
    explicit PulseMixer(QObject *parent = nullptr);
    ~PulseMixer() override;

    void SetMasterVolume(std::uint16_t value) override;
    void SetWaveVolume(std::uint16_t left, std::uint16_t right) override;

    // The pa_volume_t of a 0..65535 value (PA_VOLUME_NORM at 65535).
    static std::uint32_t toPulseVolume(std::uint16_t value);

private:
    friend struct PulseMixerCallbacks;
    struct Wave {
        std::uint16_t left = 0;
        std::uint16_t right = 0;
    };
    // Loop thread, under the loop lock.
    void ensureContext();
    void applyPending();
    void reportFailure();
    void reportSuccess();

    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    // Guarded by the loop lock.
    std::optional<std::uint16_t> pendingMaster_;
    bool wavePending_ = false;
    std::optional<Wave> wave_; // levels for this program's streams, once set
    bool failureShown_ = false;
};
