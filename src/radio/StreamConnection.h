#pragma once
// One connection to a radio address with libcurl, on the calling thread: HTTP/1.x and
// "ICY 200 OK" servers, metadata asked for and split off, redirections followed, and
// playlist files (.m3u, .m3u8, .pls) followed to the first entry that answers.
// Everything it keeps is bounded, whatever the server sends: one attempt reaches its
// stream within attemptSeconds or ends with TimedOut, tries at most maxPlaylistTotal
// playlist entries, and never asks an address twice (a playlist that names itself, or
// an earlier one, is a loop).
#include "radio/IcyProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

class StreamConnection {
public:
    struct Limits {
        int connectTimeoutMs = 10000;
        int stallSeconds = 10;             // no data this long: the server stopped
        int maxHeaderBytes = 64 * 1024;    // all header lines of one answer
        int maxPlaylistBytes = 1024 * 1024;
        int maxPlaylistEntries = 16;       // entries read per playlist file
        int maxPlaylistDepth = 4;          // playlists naming playlists
        int maxPlaylistTotal = 32;         // entries tried in all, however deep
        int maxRedirects = 5;
        int attemptSeconds = 20;           // to reach the stream, playlists and all
    };

    // The answer that carries the stream.
    struct Response {
        QByteArray statusLine;    // "ICY 200 OK", "HTTP/1.0 200 OK"
        QList<QByteArray> headers; // the other header lines, in order, without CR LF
        bool icy = false;          // the status line was an ICY one
        QString url;               // the address that answered (after playlists and redirections)
    };

    // Called on the connecting thread.
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void statusLine(const QByteArray &line) = 0;
        // The stream's answer, before its first audio. False: stop (refused).
        virtual bool established(const Response &response) = 0;
        // Audio bytes with the metadata blocks split off. False: stop; *error then says why.
        virtual bool audio(const QByteArray &bytes, const std::vector<icy::MetaDemuxer::Block> &blocks, int *error) = 0;
        virtual bool cancelled() const = 0;
    };

    struct Result {
        int error = 0;            // radio_error::Code; 0 when the server ended the stream or on cancel
        bool established = false; // the stream was reached (and the handler took it)
    };

    static Result run(const QString &address, const icy::Proxy &proxy, Handler &handler, const Limits &limits);
};
