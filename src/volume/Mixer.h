#pragma once
// The sound server's volumes as the volume and radio windows set them.
//
// Threads: every member is called on the GUI thread and the signal is emitted there.
// No call waits for the sound server.
#include <QObject>

#include <cstdint>

class Mixer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Mixer() override = default;

    // The default output's volume, every channel: 65535 is 100 %, 0 is silence, linear
    // in between on the percentage scale of the desktop's sound settings.
    virtual void SetMasterVolume(std::uint16_t value) = 0;
    // This program's own playback streams: left-side channels take left, right-side
    // channels right, the others the larger of the two. Streams opened later in this
    // run get the same levels once they have been set.
    virtual void SetWaveVolume(std::uint16_t left, std::uint16_t right) = 0;

Q_SIGNALS:
    // A change could not be made (no sound server, no default output, refused). Emitted
    // once per run of failures: again only after a change has succeeded in between.
    void failed();
};
