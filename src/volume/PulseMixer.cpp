#include "volume/PulseMixer.h"

#include <pulse/pulseaudio.h>

#include <QMetaObject>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

bool isLeft(pa_channel_position_t p)
{
    return p == PA_CHANNEL_POSITION_FRONT_LEFT || p == PA_CHANNEL_POSITION_REAR_LEFT
           || p == PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_LEFT
           || p == PA_CHANNEL_POSITION_TOP_FRONT_LEFT || p == PA_CHANNEL_POSITION_TOP_REAR_LEFT;
}

bool isRight(pa_channel_position_t p)
{
    return p == PA_CHANNEL_POSITION_FRONT_RIGHT || p == PA_CHANNEL_POSITION_REAR_RIGHT
           || p == PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_RIGHT
           || p == PA_CHANNEL_POSITION_TOP_FRONT_RIGHT || p == PA_CHANNEL_POSITION_TOP_REAR_RIGHT;
}

} // namespace

struct PulseMixerCallbacks {
    static PulseMixer *of(void *self) { return static_cast<PulseMixer *>(self); }

    static void state(pa_context *context, void *self)
    {
        PulseMixer *mixer = of(self);
        if (context != mixer->context_)
            return;
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(context, &PulseMixerCallbacks::event, self);
            pa_operation_unref(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
            mixer->applyPending();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            if (mixer->pendingMaster_ || mixer->wavePending_)
                mixer->reportFailure();
            mixer->pendingMaster_.reset();
            mixer->wavePending_ = false;
            break;
        default:
            break;
        }
    }

    // A new stream of this program takes the levels already set.
    static void event(pa_context *context, pa_subscription_event_type_t type, uint32_t index, void *self)
    {
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT && kind == PA_SUBSCRIPTION_EVENT_NEW && of(self)->wave_)
            pa_operation_unref(pa_context_get_sink_input_info(context, index, &PulseMixerCallbacks::sinkInput, self));
    }

    static void serverInfo(pa_context *context, const pa_server_info *info, void *self)
    {
        PulseMixer *mixer = of(self);
        if (!info || !info->default_sink_name || !*info->default_sink_name) {
            mixer->pendingMaster_.reset();
            mixer->reportFailure();
            return;
        }
        pa_operation_unref(
            pa_context_get_sink_info_by_name(context, info->default_sink_name, &PulseMixerCallbacks::sink, self));
    }

    static void sink(pa_context *context, const pa_sink_info *info, int eol, void *self)
    {
        PulseMixer *mixer = of(self);
        if (eol > 0)
            return;
        if (!info || !mixer->pendingMaster_) {
            if (!info && mixer->pendingMaster_) {
                mixer->pendingMaster_.reset();
                mixer->reportFailure();
            }
            return;
        }
        pa_cvolume volume;
        pa_cvolume_set(&volume, info->channel_map.channels, PulseMixer::toPulseVolume(*mixer->pendingMaster_));
        mixer->pendingMaster_.reset();
        pa_operation_unref(
            pa_context_set_sink_volume_by_index(context, info->index, &volume, &PulseMixerCallbacks::done, self));
    }

    static void sinkInput(pa_context *context, const pa_sink_input_info *info, int eol, void *self)
    {
        PulseMixer *mixer = of(self);
        if (eol != 0 || !info || !mixer->wave_)
            return;
        // This program's streams come from GStreamer's own connections: known by our pid.
        const char *pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (!pid || std::strtol(pid, nullptr, 10) != static_cast<long>(getpid()))
            return;
        const pa_volume_t left = PulseMixer::toPulseVolume(mixer->wave_->left);
        const pa_volume_t right = PulseMixer::toPulseVolume(mixer->wave_->right);
        pa_cvolume volume;
        pa_cvolume_init(&volume);
        volume.channels = info->channel_map.channels;
        for (int i = 0; i < volume.channels; ++i) {
            const pa_channel_position_t position = info->channel_map.map[i];
            volume.values[i] = isLeft(position)    ? left
                               : isRight(position) ? right
                                                                        : std::max(left, right);
        }
        pa_operation_unref(
            pa_context_set_sink_input_volume(context, info->index, &volume, &PulseMixerCallbacks::done, self));
    }

    static void done(pa_context *, int success, void *self)
    {
        if (success)
            of(self)->reportSuccess();
        else
            of(self)->reportFailure();
    }
};

PulseMixer::PulseMixer(QObject *parent)
    : Mixer(parent)
{
    loop_ = pa_threaded_mainloop_new();
    if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

PulseMixer::~PulseMixer()
{
    if (!loop_)
        return;
    pa_threaded_mainloop_lock(loop_);
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

std::uint32_t PulseMixer::toPulseVolume(std::uint16_t value)
{
    return static_cast<std::uint32_t>((std::uint64_t(value) * PA_VOLUME_NORM + 32767) / 65535);
}

void PulseMixer::SetMasterVolume(std::uint16_t value)
{
    if (!loop_) {
        reportFailure();
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    pendingMaster_ = value;
    ensureContext();
    pa_threaded_mainloop_unlock(loop_);
}

void PulseMixer::SetWaveVolume(std::uint16_t left, std::uint16_t right)
{
    if (!loop_) {
        reportFailure();
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    wave_ = Wave{left, right};
    wavePending_ = true;
    ensureContext();
    pa_threaded_mainloop_unlock(loop_);
}

void PulseMixer::ensureContext()
{
    if (context_) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) {
            applyPending();
            return;
        }
        if (PA_CONTEXT_IS_GOOD(state))
            return; // still connecting: the state callback applies what is pending
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tarnel");
    if (context_) {
        pa_context_set_state_callback(context_, &PulseMixerCallbacks::state, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
            return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pendingMaster_.reset();
    wavePending_ = false;
    reportFailure();
}

void PulseMixer::applyPending()
{
    if (pendingMaster_)
        pa_operation_unref(pa_context_get_server_info(context_, &PulseMixerCallbacks::serverInfo, this));
    if (wavePending_) {
        wavePending_ = false;
        pa_operation_unref(
            pa_context_get_sink_input_info_list(context_, &PulseMixerCallbacks::sinkInput, this));
    }
}

void PulseMixer::reportFailure()
{
    if (failureShown_)
        return;
    failureShown_ = true;
    QMetaObject::invokeMethod(this, [this] { Q_EMIT failed(); }, Qt::QueuedConnection);
}

void PulseMixer::reportSuccess()
{
    failureShown_ = false;
}
