#pragma once
// The DVD navigator of the GStreamer graph: menu pointer events (GstNavigation, sent
// upstream from the video sink, so the scaler on the way maps them to the stream's own
// coordinates), chapters ("chapter" seek format of rsndvdbin) and trick play.
//
// Threads: the members are called on the GUI thread and only queue the command. One
// worker thread of this object carries the commands out: a DVD navigator that never
// answers (a pointer event in a menu without buttons has hung its caller) holds up
// only that thread. Pointer events are sent only while the navigator lists menu
// buttons (its commands query); pending pointer moves are coalesced. The destructor
// waits for the worker at most WorkerExitWaitMs and leaves a stuck one behind (it holds
// its own references).
//
// rsndvdbin cannot play backwards: backward play at speed s jumps back s/2 seconds of
// the title every half second (s x real time), until forward play is asked for or the
// title's start is reached.
#include "playback/MediaGraph.h"

#include <memory>

typedef struct _GstElement GstElement;

class GstDvdNavigator : public DvdControl {
public:
    static constexpr int WorkerExitWaitMs = 1000;
    static constexpr int BackwardStepMs = 500;

    // pipeline: the playbin; videoSink: the sink whose pad the pointer events leave from.
    GstDvdNavigator(GstElement *pipeline, GstElement *videoSink);
    ~GstDvdNavigator() override;

    void PlayPrevChapter() override;
    void PlayNextChapter() override;
    void PlayForwards(double speed) override;
    void PlayBackwards(double speed) override;
    void SelectAtPosition(QPoint picturePoint) override;
    void ActivateAtPosition(QPoint picturePoint) override;
    void SetOption(Option option, bool on) override;

    bool timeCodeEvents() const { return timeCodeEvents_; }

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    bool timeCodeEvents_ = false;
};
