#pragma once
// One internet radio station playing: the connection (StreamConnection on a download
// thread of its own), a bounded buffer between the network and the decoder, and a
// GStreamer pipeline (appsrc ! decodebin ! audioconvert ! audioresample ! volume !
// pulsesink) that plays it. A stream that drops while it plays is connected again;
// a title is announced when playback reaches the place it was sent at.
//
// Threads: open() runs on the caller's thread (the radio's connection worker) and
// blocks until the stream is reached or has failed. The callbacks run on the stream's
// own threads and may block; the destructor and cancel() may be called from any thread
// except those callbacks'.
#include "radio/IcyProtocol.h"
#include "radio/StreamConnection.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class RadioStream {
public:
    struct Options {
        icy::Proxy proxy;
        StreamConnection::Limits limits;
        int reconnectTries = 5;
        int firstPauseMs = 1000; // doubled before each further try: 1, 2, 4, 8, 16 s
    };

    struct Callbacks {
        std::function<void(const QByteArray &statusLine)> status; // every status line, while connecting
        std::function<void(const QByteArray &meta)> metaChanged;  // a new title is being heard
        std::function<void()> reconnecting;                       // the stream dropped; trying again
        std::function<void(const QList<QByteArray> &headers)> reconnected;
        std::function<void(int error)> failed; // gone for good after open() succeeded
    };

    enum class FilePos { Current = 0, Download = 1, End = 2 };
    static constexpr quint64 PositionFailed = ~quint64(0);

    RadioStream(Options options, Callbacks callbacks);
    ~RadioStream(); // stops playback, ends the connection and joins its threads
    RadioStream(const RadioStream &) = delete;
    RadioStream &operator=(const RadioStream &) = delete;

    // Connects (following playlists); 0 once audio arrives, else a radio_error::Code.
    int open(const QString &address);
    void cancel();

    // Audio bytes taken by the decoder (Current) and received (Download); End is the
    // buffer's size, or PositionFailed once the stream has failed.
    quint64 filePosition(FilePos mode) const;
    // Waits at most ms until more has been received than seen, or the stream failed.
    void waitForData(quint64 seen, int ms) const;

    // The header lines of the answer: icyTags() for an "ICY 200 OK" server, httpTags()
    // for an HTTP one (the status line first); the other is empty.
    QList<QByteArray> icyTags() const;
    QList<QByteArray> httpTags() const;
    // The metadata block now heard; null before the first one.
    QByteArray meta() const;

    void play();

    struct State;

private:
    std::shared_ptr<State> s_;
};
