#include "playback/GstDvdNavigator.h"

#include <gst/gst.h>
#include <gst/video/navigation.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
enum class Op { Select, Activate, NextChapter, PrevChapter, Forwards, Backwards };
struct Command {
    Op op;
    QPoint point;
    double speed = 1.0;
};
} // namespace

struct GstDvdNavigator::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Command> queue;
    bool quit = false;
    bool done = false;
    double backwardSpeed = 0.0; // > 0 while playing backwards
    double rate = 1.0;          // forward rate last asked for
    GstElement *pipeline = nullptr;
    GstPad *pad = nullptr;
    std::thread worker;

    ~Shared()
    {
        if (pad)
            gst_object_unref(pad);
        if (pipeline)
            gst_object_unref(pipeline);
    }

    void run();
    void execute(const Command &command);
    bool menuHasButtons();
    void sendPointer(const char *event, QPoint point);
    gint64 timePosition();
    void seekTime(double rate, gint64 position);
    void stepChapter(int delta);
    void stepBack();
};

void GstDvdNavigator::Shared::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        const auto ready = [this] { return quit || !queue.empty(); };
        if (backwardSpeed > 0)
            changed.wait_for(lock, std::chrono::milliseconds(BackwardStepMs), ready);
        else
            changed.wait(lock, ready);
        if (quit)
            break;
        if (queue.empty()) {
            lock.unlock();
            stepBack();
            lock.lock();
            continue;
        }
        const Command command = queue.front();
        queue.pop_front();
        lock.unlock();
        execute(command);
        lock.lock();
    }
    done = true;
    changed.notify_all();
}

void GstDvdNavigator::Shared::execute(const Command &command)
{
    switch (command.op) {
    case Op::Select:
        if (menuHasButtons())
            sendPointer("mouse-move", command.point);
        break;
    case Op::Activate:
        if (menuHasButtons())
            sendPointer("mouse-button-release", command.point);
        break;
    case Op::NextChapter:
        stepChapter(1);
        break;
    case Op::PrevChapter:
        stepChapter(-1);
        break;
    case Op::Forwards: {
        bool seek = false;
        {
            std::lock_guard lock(mutex);
            seek = backwardSpeed > 0 || rate != command.speed;
            backwardSpeed = 0;
            rate = command.speed;
        }
        if (seek)
            seekTime(command.speed, timePosition());
        break;
    }
    case Op::Backwards: {
        bool wasFast = false;
        {
            std::lock_guard lock(mutex);
            wasFast = rate != 1.0;
            backwardSpeed = command.speed;
            rate = 1.0;
        }
        if (wasFast)
            seekTime(1.0, timePosition());
        break;
    }
    }
}

bool GstDvdNavigator::Shared::menuHasButtons()
{
    GstQuery *query = gst_navigation_query_new_commands();
    bool buttons = false;
    if (gst_pad_peer_query(pad, query)) {
        guint count = 0;
        gst_navigation_query_parse_commands_length(query, &count);
        for (guint i = 0; i < count; ++i) {
            GstNavigationCommand cmd = GST_NAVIGATION_COMMAND_INVALID;
            if (gst_navigation_query_parse_commands_nth(query, i, &cmd) && cmd == GST_NAVIGATION_COMMAND_ACTIVATE)
                buttons = true;
        }
    }
    gst_query_unref(query);
    return buttons;
}

void GstDvdNavigator::Shared::sendPointer(const char *event, QPoint point)
{
    GstStructure *s = gst_structure_new("application/x-gst-navigation", "event", G_TYPE_STRING, event,
                                        "button", G_TYPE_INT, 1, "pointer_x", G_TYPE_DOUBLE,
                                        static_cast<double>(point.x()), "pointer_y", G_TYPE_DOUBLE,
                                        static_cast<double>(point.y()), nullptr);
    // Sent from the sink's pad, upstream through the scaler to the DVD source.
    gst_pad_push_event(pad, gst_event_new_navigation(s));
}

gint64 GstDvdNavigator::Shared::timePosition()
{
    gint64 position = 0;
    if (!gst_element_query_position(pipeline, GST_FORMAT_TIME, &position) || position < 0)
        position = 0;
    return position;
}

void GstDvdNavigator::Shared::seekTime(double seekRate, gint64 position)
{
    gst_element_seek(pipeline, seekRate, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET, position,
                     GST_SEEK_TYPE_NONE, -1);
}

void GstDvdNavigator::Shared::stepChapter(int delta)
{
    const GstFormat chapter = gst_format_get_by_nick("chapter");
    gint64 current = -1;
    if (chapter == GST_FORMAT_UNDEFINED || !gst_element_query_position(pipeline, chapter, &current) || current < 0)
        return;
    const gint64 target = std::max<gint64>(0, current + delta);
    {
        std::lock_guard lock(mutex);
        backwardSpeed = 0;
        rate = 1.0;
    }
    gst_element_seek(pipeline, 1.0, chapter, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET, target, GST_SEEK_TYPE_NONE, -1);
}

void GstDvdNavigator::Shared::stepBack()
{
    double speed = 0;
    {
        std::lock_guard lock(mutex);
        speed = backwardSpeed;
    }
    if (speed <= 0)
        return;
    const gint64 position = timePosition();
    const gint64 jump = static_cast<gint64>(speed * BackwardStepMs) * GST_MSECOND;
    if (position <= 0) {
        std::lock_guard lock(mutex);
        backwardSpeed = 0; // at the title's start: play on from there
        return;
    }
    seekTime(1.0, std::max<gint64>(0, position - jump));
}

GstDvdNavigator::GstDvdNavigator(GstElement *pipeline, GstElement *videoSink)
    : shared_(std::make_shared<Shared>())
{
    shared_->pipeline = GST_ELEMENT(gst_object_ref(pipeline));
    shared_->pad = gst_element_get_static_pad(videoSink, "sink");
    shared_->worker = std::thread([shared = shared_] { shared->run(); });
}

GstDvdNavigator::~GstDvdNavigator()
{
    std::unique_lock lock(shared_->mutex);
    shared_->quit = true;
    shared_->queue.clear();
    shared_->changed.notify_all();
    const bool finished = shared_->changed.wait_for(lock, std::chrono::milliseconds(WorkerExitWaitMs),
                                                    [this] { return shared_->done; });
    lock.unlock();
    // A worker stuck in the navigator keeps the shared state alive on its own.
    if (finished)
        shared_->worker.join();
    else
        shared_->worker.detach();
}

namespace {
void enqueue(GstDvdNavigator::Shared &shared, const Command &command)
{
    std::lock_guard lock(shared.mutex);
    // Only the newest pointer position matters; a stuck worker must not pile up work.
    if (command.op == Op::Select && !shared.queue.empty() && shared.queue.back().op == Op::Select)
        shared.queue.back() = command;
    else if (shared.queue.size() < 16)
        shared.queue.push_back(command);
    shared.changed.notify_all();
}
} // namespace

void GstDvdNavigator::PlayPrevChapter()
{
    enqueue(*shared_, {Op::PrevChapter, {}, 1.0});
}

void GstDvdNavigator::PlayNextChapter()
{
    enqueue(*shared_, {Op::NextChapter, {}, 1.0});
}

void GstDvdNavigator::PlayForwards(double speed)
{
    if (speed > 0)
        enqueue(*shared_, {Op::Forwards, {}, speed});
}

void GstDvdNavigator::PlayBackwards(double speed)
{
    if (speed > 0)
        enqueue(*shared_, {Op::Backwards, {}, speed});
}

void GstDvdNavigator::SelectAtPosition(QPoint picturePoint)
{
    enqueue(*shared_, {Op::Select, picturePoint, 1.0});
}

void GstDvdNavigator::ActivateAtPosition(QPoint picturePoint)
{
    enqueue(*shared_, {Op::Activate, picturePoint, 1.0});
}

void GstDvdNavigator::SetOption(Option option, bool on)
{
    if (option == Option::HmsfTimeCodeEvents)
        timeCodeEvents_ = on;
}
