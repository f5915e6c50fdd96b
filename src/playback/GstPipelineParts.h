#pragma once
// Builds the one playbin the media graph plays through:
//   video-sink   = appsink (BGRx, square pixels), its samples handed to the frame store;
//   audio-filter = the AudioTap bin;
//   audio-sink   = a bin "audioconvert ! F32LE ! volume ! pulsesink" (autoaudiosink when
//                  there is no pulsesink);
//   video-filter = videobalance: the colour controls (neutral values pass the picture
//                  through untouched).
// The audio sink is the pipeline clock: a sound server may start a new stream late (a
// PulseAudio sink that renders ahead: up to 2 s), and on the sink's clock nothing is
// dropped and the position stays at 0 until sound is out.
#include <QByteArray>
#include <QString>

typedef struct _GstElement GstElement;
class AudioTap;

struct GstPipelineParts {
    GstElement *playbin = nullptr;
    GstElement *audioOut = nullptr;  // our audio sink bin (ref held)
    GstElement *gain = nullptr;      // its volume element (ref held)
    GstElement *audioSink = nullptr; // its sink (owned by the bin)
    GstElement *videoSink = nullptr; // appsink (ref held)
    GstElement *balance = nullptr;   // videobalance (ref held), null when missing

    // Throws MediaGraphError when playbin is missing. Calls neither a state change nor
    // anything that waits.
    static GstPipelineParts build(AudioTap *tap);
    // Drops our references; the pipeline must be in the NULL state.
    void release();
};

namespace gst_uri {
// The URI that plays a list entry: cdda://source#N for <source>/TrackNN.cda (an audio-CD
// track of a drive or a .cue image), file:// for anything else. Empty when the name
// cannot be one. Pure: reads nothing.
QByteArray forPath(const QString &path);
} // namespace gst_uri
