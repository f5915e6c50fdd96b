#include "radio/RadioStream.h"

#include "platform/GstInit.h"
#include "radio/RadioErrors.h"

#include <gst/app/gstappsrc.h>
#include <gst/base/gsttypefindhelper.h>
#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int ProbeBytes = 16 * 1024;   // what the format check looks at
constexpr int FeedBytes = 4096;         // handed to the decoder at a time
constexpr size_t MaxPendingTitles = 32; // titles sent but not yet heard

// Buffer for about 5 s of the announced bit rate.
size_t capacityFor(const QList<QByteArray> &headers)
{
    int kbps = 128;
    for (const QByteArray &h : headers)
        if (h.toLower().startsWith("icy-br:"))
            kbps = h.mid(7).trimmed().split(',').value(0).toInt();
    if (kbps <= 0)
        kbps = 128;
    return std::clamp<size_t>(size_t(kbps) * 1000 / 8 * 5, 64 * 1024, 2 * 1024 * 1024);
}

bool isAudio(const QByteArray &probe)
{
    GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
    GstCaps *caps = gst_type_find_helper_for_data(nullptr, reinterpret_cast<const guint8 *>(probe.constData()),
                                                  gsize(probe.size()), &probability);
    if (!caps)
        return false;
    const QByteArray name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    gst_caps_unref(caps);
    return probability >= GST_TYPE_FIND_LIKELY
        && (name.startsWith("audio/") || name == "application/ogg" || name == "application/x-id3");
}

} // namespace

struct RadioStream::State : StreamConnection::Handler {
    Options options;
    Callbacks callbacks;
    QString address;

    mutable std::mutex m;
    mutable std::condition_variable cv;
    bool cancelled_ = false;
    enum class Phase { Opening, Open, Failed } phase = Phase::Opening;
    int openError = 0;

    // The buffer: written_ and read_ count every audio byte since the start.
    std::vector<char> ring;
    quint64 written = 0;
    quint64 read = 0;
    bool transferActive = false;

    QByteArray probe; // first bytes of a connection, until the format check passed
    bool formatChecked = false;
    qsizetype nextProbeAt = 4096;
    quint64 connectionBase = 0; // written at the start of this connection's audio
    quint64 connectionBytes = 0;

    QList<QByteArray> headers;
    bool icy = false;
    bool everOpen = false;

    std::deque<std::pair<quint64, QByteArray>> pendingTitles;
    QByteArray heardMeta;

    // Events for the notifier thread, in order.
    enum class Event { Meta, Reconnecting, Reconnected, Failed };
    std::deque<Event> events;
    int failedError = 0;
    bool quitNotifier = false;

    GstElement *pipeline = nullptr;
    GstElement *appsrc = nullptr;
    GstElement *convert = nullptr;
    bool playing = false;

    std::thread download;
    std::thread notifier;

    // --- StreamConnection::Handler (download thread) ---
    void statusLine(const QByteArray &line) override
    {
        if (!cancelled() && callbacks.status)
            callbacks.status(line);
    }

    bool established(const StreamConnection::Response &response) override
    {
        std::lock_guard lock(m);
        headers = response.headers;
        headers.prepend(response.statusLine);
        icy = response.icy;
        if (ring.empty())
            ring.resize(capacityFor(response.headers));
        connectionBase = written;
        connectionBytes = 0;
        probe.clear();
        if (everOpen) {
            events.push_back(Event::Reconnected);
            cv.notify_all();
        }
        return !cancelled_ && phase != Phase::Failed;
    }

    bool audio(const QByteArray &bytes, const std::vector<icy::MetaDemuxer::Block> &blocks, int *error) override
    {
        std::unique_lock lock(m);
        if (cancelled_ || phase == Phase::Failed)
            return false;
        for (const auto &block : blocks) {
            if (pendingTitles.size() >= MaxPendingTitles)
                pendingTitles.pop_front();
            // Until a first title is known, the first one names what plays from the start.
            if (heardMeta.isNull() && pendingTitles.empty())
                pushMeta(block.text);
            else
                pendingTitles.emplace_back(connectionBase + block.audioOffset, block.text);
        }
        if (!formatChecked) {
            // Most streams are recognised in their first 4 KiB; look again as more comes.
            probe.append(bytes);
            if (probe.size() < nextProbeAt)
                return true;
            if (!checkFormat(lock)) {
                if (probe.size() < ProbeBytes) {
                    nextProbeAt = probe.size() + 4096;
                    return true;
                }
                *error = radio_error::NotAudio;
                return false;
            }
            return write(lock, std::exchange(probe, {}));
        }
        return write(lock, bytes);
    }

    bool cancelled() const override
    {
        std::lock_guard lock(m);
        return cancelled_;
    }

    // --- buffer ---
    bool checkFormat(std::unique_lock<std::mutex> &lock)
    {
        const QByteArray data = probe;
        lock.unlock();
        const bool ok = isAudio(data);
        lock.lock();
        if (!ok)
            return false;
        formatChecked = true;
        if (phase == Phase::Opening) {
            phase = Phase::Open;
            everOpen = true;
        }
        cv.notify_all();
        return true;
    }

    bool write(std::unique_lock<std::mutex> &lock, const QByteArray &bytes)
    {
        const char *data = bytes.constData();
        size_t left = size_t(bytes.size());
        while (left > 0) {
            cv.wait(lock, [&] { return cancelled_ || written - read < ring.size(); });
            if (cancelled_)
                return false;
            const size_t cap = ring.size();
            const size_t space = cap - size_t(written - read);
            const size_t at = size_t(written % cap);
            const size_t n = std::min({left, space, cap - at});
            std::copy(data, data + n, ring.begin() + qsizetype(at));
            written += n;
            connectionBytes += n;
            data += n;
            left -= n;
            cv.notify_all();
        }
        return true;
    }

    void pushMeta(const QByteArray &text)
    {
        heardMeta = text;
        // Before playback the connection worker shows the title itself.
        if (!playing || (!events.empty() && events.back() == Event::Meta))
            return;
        events.push_back(Event::Meta);
        cv.notify_all();
    }

    // appsrc's streaming thread: the next piece for the decoder.
    void feed()
    {
        std::unique_lock lock(m);
        while (written == read && !cancelled_ && phase != Phase::Failed)
            cv.wait_for(lock, 100ms);
        if (cancelled_)
            return;
        if (written == read) {
            lock.unlock();
            gst_app_src_end_of_stream(GST_APP_SRC(appsrc));
            return;
        }
        const size_t cap = ring.size();
        const size_t at = size_t(read % cap);
        const size_t n = std::min({size_t(FeedBytes), size_t(written - read), cap - at});
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, n, nullptr);
        gst_buffer_fill(buffer, 0, ring.data() + at, n);
        read += n;
        while (!pendingTitles.empty() && pendingTitles.front().first <= read) {
            pushMeta(pendingTitles.front().second);
            pendingTitles.pop_front();
        }
        cv.notify_all();
        lock.unlock();
        gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer);
    }

    void fail(int error)
    {
        std::lock_guard lock(m);
        if (phase == Phase::Failed)
            return;
        const bool wasOpen = phase == Phase::Open;
        phase = Phase::Failed;
        if (!wasOpen) {
            openError = error;
        } else if (!cancelled_) {
            failedError = error;
            events.push_back(Event::Failed);
        }
        cv.notify_all();
    }

    void post(Event e)
    {
        std::lock_guard lock(m);
        events.push_back(e);
        cv.notify_all();
    }

    // Waits, unless cancelled; false when cancelled.
    bool pause(int ms)
    {
        std::unique_lock lock(m);
        return !cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return cancelled_; });
    }

    // --- download thread ---
    void runDownload()
    {
        int tries = 0;
        for (;;) {
            const StreamConnection::Result r = StreamConnection::run(address, options.proxy, *this, options.limits);
            std::unique_lock lock(m);
            if (cancelled_ || phase == Phase::Failed)
                return;
            if (!everOpen) {
                // Ended before the format check had all its bytes: check what came.
                const bool audioCame = r.established && r.error == 0 && !probe.isEmpty();
                if (!audioCame || !checkFormat(lock) || !write(lock, std::exchange(probe, {}))) {
                    lock.unlock();
                    fail(r.error ? r.error : r.established ? radio_error::NotAudio : radio_error::ConnectionLost);
                    return;
                }
            }
            // It dropped while playing. A connection that carried a good stretch of audio
            // starts the count of tries afresh; one that was no stream ends it.
            if (connectionBytes >= ring.size())
                tries = 0;
            const bool hopeless = r.error == radio_error::NotAudio || r.error == radio_error::BadAddress;
            if (hopeless || tries >= options.reconnectTries) {
                lock.unlock();
                fail(r.error && r.error != radio_error::TimedOut ? r.error : radio_error::ConnectionLost);
                return;
            }
            lock.unlock();
            post(Event::Reconnecting);
            if (!pause(options.firstPauseMs << tries))
                return;
            ++tries;
        }
    }

    // --- notifier thread ---
    void runNotifier()
    {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return quitNotifier || !events.empty(); });
            if (quitNotifier)
                return;
            const Event e = events.front();
            events.pop_front();
            const int error = failedError;
            const QByteArray meta = heardMeta;
            const QList<QByteArray> lines = headers;
            lock.unlock();
            switch (e) {
            case Event::Meta:
                if (callbacks.metaChanged)
                    callbacks.metaChanged(meta);
                break;
            case Event::Reconnecting:
                if (callbacks.reconnecting)
                    callbacks.reconnecting();
                break;
            case Event::Reconnected:
                if (callbacks.reconnected)
                    callbacks.reconnected(lines);
                break;
            case Event::Failed:
                if (callbacks.failed)
                    callbacks.failed(error);
                break;
            }
            lock.lock();
        }
    }
};

namespace {

void needData(GstAppSrc *, guint, gpointer user)
{
    static_cast<RadioStream::State *>(user)->feed();
}

void padAdded(GstElement *, GstPad *pad, gpointer user)
{
    auto *s = static_cast<RadioStream::State *>(user);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const bool audio = caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    if (caps)
        gst_caps_unref(caps);
    GstPad *sink = gst_element_get_static_pad(s->convert, "sink");
    if (audio && !gst_pad_is_linked(sink))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

// Posting thread: only notes what happened.
GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer user)
{
    auto *s = static_cast<RadioStream::State *>(user);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        s->fail(radio_error::DecodeFailed);
    gst_message_unref(message);
    return GST_BUS_DROP;
}

GstElement *makeSink()
{
    if (GstElementFactory *pulse = gst_element_factory_find("pulsesink")) {
        gst_object_unref(pulse);
        return gst_element_factory_make("pulsesink", nullptr);
    }
    return gst_element_factory_make("autoaudiosink", nullptr);
}

} // namespace

RadioStream::RadioStream(Options options, Callbacks callbacks)
    : s_(std::make_shared<State>())
{
    s_->options = std::move(options);
    s_->callbacks = std::move(callbacks);
    s_->notifier = std::thread([s = s_.get()] { s->runNotifier(); });
}

RadioStream::~RadioStream()
{
    cancel();
    if (s_->download.joinable())
        s_->download.join();
    if (s_->pipeline) {
        gst_element_set_state(s_->pipeline, GST_STATE_NULL);
        gst_object_unref(s_->pipeline);
    }
    {
        std::lock_guard lock(s_->m);
        s_->quitNotifier = true;
        s_->cv.notify_all();
    }
    s_->notifier.join();
}

void RadioStream::cancel()
{
    std::lock_guard lock(s_->m);
    s_->cancelled_ = true;
    s_->cv.notify_all();
}

int RadioStream::open(const QString &address)
{
    gst_start::ensureInitialised(); // the format check needs the type finders
    s_->address = address;
    s_->download = std::thread([s = s_.get()] { s->runDownload(); });
    // The connection keeps its own deadline until the stream answers; this one also
    // bounds the format check of a stream that trickles its first bytes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(s_->options.limits.attemptSeconds) + 5s;
    std::unique_lock lock(s_->m);
    if (!s_->cv.wait_until(lock, deadline, [&] { return s_->cancelled_ || s_->phase != State::Phase::Opening; })) {
        s_->cancelled_ = true;
        s_->cv.notify_all();
        return radio_error::TimedOut;
    }
    if (s_->phase == State::Phase::Open)
        return 0;
    return s_->cancelled_ ? radio_error::ConnectionLost : s_->openError;
}

quint64 RadioStream::filePosition(FilePos mode) const
{
    std::lock_guard lock(s_->m);
    switch (mode) {
    case FilePos::Current:
        return s_->read;
    case FilePos::Download:
        return s_->written;
    case FilePos::End:
        return s_->phase == State::Phase::Failed ? PositionFailed : s_->ring.size();
    }
    return PositionFailed;
}

void RadioStream::waitForData(quint64 seen, int ms) const
{
    std::unique_lock lock(s_->m);
    s_->cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return s_->cancelled_ || s_->phase == State::Phase::Failed || s_->written != seen
            || s_->written - s_->read >= s_->ring.size();
    });
}

QList<QByteArray> RadioStream::icyTags() const
{
    std::lock_guard lock(s_->m);
    return s_->icy ? s_->headers : QList<QByteArray>();
}

QList<QByteArray> RadioStream::httpTags() const
{
    std::lock_guard lock(s_->m);
    return s_->icy ? QList<QByteArray>() : s_->headers;
}

QByteArray RadioStream::meta() const
{
    std::lock_guard lock(s_->m);
    return s_->heardMeta;
}

void RadioStream::play()
{
    State &s = *s_;
    {
        std::lock_guard lock(s.m);
        if (s.pipeline || s.phase != State::Phase::Open || s.cancelled_)
            return;
    }
    GstElement *pipeline = gst_pipeline_new("tarnel-radio");
    GstElement *src = gst_element_factory_make("appsrc", nullptr);
    GstElement *decode = gst_element_factory_make("decodebin", nullptr);
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *resample = gst_element_factory_make("audioresample", nullptr);
    GstElement *volume = gst_element_factory_make("volume", nullptr);
    GstElement *sink = makeSink();
    if (!src || !decode || !convert || !resample || !volume || !sink) {
        for (GstElement *e : {src, decode, convert, resample, volume, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        gst_object_unref(pipeline);
        s.fail(radio_error::DecodeFailed);
        return;
    }
    // A live stream is paced by the server and the sound card, not by its timestamps:
    // after the buffer ran dry (a stall found out late, a slow reconnection) the audio
    // that comes next carries times long past, and a synchronising sink would drop all
    // of it as late, for good. Unsynchronised, it plays on as soon as it comes.
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, decode, convert, resample, volume, sink, nullptr);
    gst_element_link(src, decode);
    gst_element_link_many(convert, resample, volume, sink, nullptr);
    g_object_set(src, "format", GST_FORMAT_BYTES, "stream-type", GST_APP_STREAM_TYPE_STREAM, "max-bytes",
                 guint64(FeedBytes), nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = &needData;
    gst_app_src_set_callbacks(GST_APP_SRC(src), &callbacks, &s, nullptr);
    g_signal_connect(decode, "pad-added", G_CALLBACK(padAdded), &s);
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &onBusMessage, &s, nullptr);
    gst_object_unref(bus);
    {
        std::lock_guard lock(s.m);
        s.pipeline = pipeline;
        s.appsrc = src;
        s.convert = convert;
        s.playing = true;
    }
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        s.fail(radio_error::DecodeFailed);
}
