#pragma once
// The pure parts of reading an internet radio stream: the server's header lines, the
// metadata blocks interleaved with the audio (icy-metaint), playlist files that point
// to streams, the proxy text and the buffering percentage. No network here.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <vector>

namespace icy {

// What a header line tells the radio window: code 3 (station name, the text after
// "icy-name:") or code 4 ("bitrate: " and the text after "icy-br:"). Prefixes are
// matched case-sensitively, as the window always has; other lines say nothing.
struct InfoLine {
    int code;
    QString text;
};
QList<InfoLine> serverInfo(const QList<QByteArray> &headerLines);

// (downloaded - current) * 100 / end, truncated and taken as 32 bits. An end of 0
// (nothing to fill) counts as full: 100.
quint32 bufferingPercent(quint64 end, quint64 downloaded, quint64 current);

// Splits the bytes of an ICY response body into audio and metadata blocks. Each
// metaint audio bytes a length byte follows (x 16), then that many bytes of metadata
// (at most 4,080). A block of length 0 means "unchanged" and is not reported.
class MetaDemuxer {
public:
    struct Block {
        quint64 audioOffset; // audio bytes that came before it
        QByteArray text;     // NUL padding kept; stream_title::parse copes with it
    };

    explicit MetaDemuxer(int metaint = 0); // 0: plain audio, no metadata
    void feed(const char *data, size_t size, QByteArray &audio, std::vector<Block> &blocks);
    quint64 audioBytes() const { return audioBytes_; }

private:
    enum class State { Audio, Length, Meta };
    int metaint_;
    State state_ = State::Audio;
    int audioLeft_;
    int metaLeft_ = 0;
    QByteArray meta_;
    quint64 audioBytes_ = 0;
};

// Playlist files that name streams. Recognised by content type, by the address's
// extension, or by their first line ("#EXTM3U", "[playlist]").
enum class PlaylistKind { None, M3u, Pls };
PlaylistKind playlistKind(const QByteArray &contentType, const QUrl &url, const QByteArray &start);
// The addresses in a playlist, in file order, resolved against base, at most max of
// them. Only http and https entries count; comments, blank lines and other schemes
// are skipped.
QStringList playlistEntries(PlaylistKind kind, const QByteArray &body, const QUrl &base, int max);

// The proxy text: "" (direct), "host:port" or "user:password@host:port", with or
// without "http://" in front.
struct Proxy {
    bool valid = true;
    bool direct = true;
    QByteArray address; // "http://host:port" for libcurl
    QByteArray user;
    QByteArray password;
    bool hasCredentials = false;
};
Proxy parseProxy(const QString &text);

} // namespace icy
