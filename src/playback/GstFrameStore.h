#pragma once
// The pictures of the video sink: the newest one, kept for whoever paints on the GUI
// thread, and every one handed to an observer that draws for itself on the streaming
// thread that delivers it.
//
// Threads: take() runs on the video streaming thread (the appsink callbacks); the rest
// on any thread. frameMutex_ guards the kept sample, observerMutex_ the observer and is
// held while it draws, so setObserver() can wait for a frame in flight. Neither is held
// while the other is taken.
#include <QImage>

#include <atomic>
#include <functional>
#include <mutex>

class VideoFrameObserver;
typedef struct _GstSample GstSample;
typedef struct _GstAppSink GstAppSink;
typedef struct _GstElement GstElement;

class GstFrameStore {
public:
    GstFrameStore() = default;
    ~GstFrameStore();
    GstFrameStore(const GstFrameStore &) = delete;
    GstFrameStore &operator=(const GstFrameStore &) = delete;

    // Connects the appsink's callbacks to this store.
    void attach(GstElement *appsink);
    QImage latest() const;
    // Null: no one. Once this returns, the previous observer is not called any more.
    void setObserver(VideoFrameObserver *observer);
    // Forgets the kept picture and shows the observer a null one (black).
    void clear();
    // While closed, pictures the sink still delivers (media being dropped) are ignored.
    void setOpen(bool open) { open_ = open; }
    // Called (streaming thread) after each new picture unless a notice is still pending;
    // whoever handles it calls noticeTaken().
    std::function<void()> notify;
    void noticeTaken() { noticePending_ = false; }

private:
    friend struct GstFrameCallbacks;
    void take(GstAppSink *sink, bool preroll); // video streaming thread

    mutable std::mutex frameMutex_;
    GstSample *frame_ = nullptr;
    std::mutex observerMutex_;
    VideoFrameObserver *observer_ = nullptr;
    std::atomic<bool> noticePending_{false};
    std::atomic<bool> open_{true};
};
