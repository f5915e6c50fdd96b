#include "radio/StreamConnection.h"

#include "common/LibCurl.h"

#include "radio/RadioErrors.h"

#include <curl/curl.h>

#include <QSet>

#include <chrono>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// One attempt to reach a stream, across the playlists it follows.
struct Walk {
    Clock::time_point deadline;
    QSet<QString> asked; // addresses asked so far
    int tried = 0;       // playlist entries tried
};

// What one transfer found out; the callbacks fill it.
struct Transfer {
    const LibCurl *api = nullptr;
    Clock::time_point deadline;
    StreamConnection::Handler *handler = nullptr;
    const StreamConnection::Limits *limits = nullptr;
    QUrl url;
    CURL *curl = nullptr;

    StreamConnection::Response response;
    QByteArray contentType;
    int metaint = 0;
    int headerBytes = 0;
    bool headersDone = false;

    enum class Body { Unknown, Stream, Playlist } body = Body::Unknown;
    icy::PlaylistKind playlistKind = icy::PlaylistKind::None;
    QByteArray playlist;
    icy::MetaDemuxer demuxer;
    bool established = false;
    int error = 0; // set by a callback that stopped the transfer
};

QByteArray headerValue(const QByteArray &line, const char *name)
{
    const int colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed().toLower() != name)
        return {};
    return line.mid(colon + 1).trimmed();
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t n = size * count;
    t.headerBytes += int(n);
    if (t.headerBytes > t.limits->maxHeaderBytes) {
        t.error = radio_error::TooLarge;
        return 0;
    }
    QByteArray line(data, qsizetype(n));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("HTTP/") || line.startsWith("ICY ")) {
        // A new answer (the first, or one after a redirection or a proxy's).
        t.response.statusLine = line;
        t.response.headers.clear();
        t.response.icy = line.startsWith("ICY ");
        t.contentType.clear();
        t.metaint = 0;
        t.headersDone = false;
        t.handler->statusLine(line);
        return n;
    }
    if (line.isEmpty()) {
        t.headersDone = true;
        return n;
    }
    t.response.headers.append(line);
    if (const QByteArray v = headerValue(line, "content-type"); !v.isEmpty())
        t.contentType = v;
    if (const QByteArray v = headerValue(line, "icy-metaint"); !v.isEmpty())
        t.metaint = v.toInt();
    return n;
}

bool looksLikeText(const QByteArray &type)
{
    const QByteArray t = type.split(';').value(0).trimmed().toLower();
    return t.startsWith("text/") || t == "application/json" || t == "application/xml" || t == "application/xhtml+xml";
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t n = size * count;
    if (t.handler->cancelled())
        return 0;
    if (t.body == Transfer::Body::Unknown) {
        char *effective = nullptr;
        t.api->easy_getinfo(t.curl, CURLINFO_EFFECTIVE_URL, &effective);
        const QUrl url = effective ? QUrl(QString::fromUtf8(effective)) : t.url;
        t.playlistKind = icy::playlistKind(t.contentType, url, QByteArray(data, qsizetype(std::min<size_t>(n, 512))));
        if (t.playlistKind != icy::PlaylistKind::None) {
            t.body = Transfer::Body::Playlist;
        } else if (looksLikeText(t.contentType)) {
            t.error = radio_error::NotAudio;
            return 0;
        } else {
            t.body = Transfer::Body::Stream;
            t.response.url = url.toString();
            if (t.metaint < 0 || t.metaint > 1024 * 1024) {
                t.error = radio_error::BadResponse;
                return 0;
            }
            t.demuxer = icy::MetaDemuxer(t.metaint);
            if (!t.handler->established(t.response))
                return 0;
            t.established = true;
        }
    }
    if (t.body == Transfer::Body::Playlist) {
        if (t.playlist.size() + qsizetype(n) > t.limits->maxPlaylistBytes) {
            t.error = radio_error::TooLarge;
            return 0;
        }
        t.playlist.append(data, qsizetype(n));
        return n;
    }
    QByteArray audio;
    std::vector<icy::MetaDemuxer::Block> blocks;
    t.demuxer.feed(data, n, audio, blocks);
    int error = 0;
    if (!t.handler->audio(audio, blocks, &error)) {
        t.error = error;
        return 0;
    }
    return n;
}

// Called at least once a second, also while nothing arrives.
int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto &t = *static_cast<Transfer *>(user);
    if (t.handler->cancelled())
        return 1;
    if (!t.established && Clock::now() >= t.deadline) {
        t.error = radio_error::TimedOut;
        return 1;
    }
    return 0;
}

// The same address however it is written: what a loop is recognised by.
QString addressKey(const QUrl &url)
{
    return url.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment).toString(QUrl::FullyEncoded).toLower();
}

int errorFor(const LibCurl &c, CURLcode code, CURL *curl, bool viaProxy, bool sawStatus)
{
    long status = 0;
    switch (code) {
    case CURLE_OK:
        return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // The address was checked before: either a redirection to another scheme, or an
        // answer with no status line at all (libcurl takes it for HTTP/0.9).
        if (!sawStatus)
            return viaProxy ? radio_error::ProxyRefused : radio_error::BadResponse;
        return radio_error::BadAddress;
    case CURLE_URL_MALFORMAT:
        return radio_error::BadAddress;
    case CURLE_COULDNT_RESOLVE_HOST:
        return radio_error::HostNotFound;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return radio_error::ProxyRefused;
    case CURLE_COULDNT_CONNECT:
        return viaProxy ? radio_error::ProxyRefused : radio_error::ConnectionRefused;
    case CURLE_OPERATION_TIMEDOUT:
        return radio_error::TimedOut;
    case CURLE_HTTP_RETURNED_ERROR:
        c.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        return status == 407 ? radio_error::ProxyRefused : radio_error::HttpStatus;
    case CURLE_TOO_MANY_REDIRECTS:
        return radio_error::TooManyRedirects;
    case CURLE_OUT_OF_MEMORY: // libcurl's own limit on a header line
        return radio_error::TooLarge;
    case CURLE_WEIRD_SERVER_REPLY:
        return viaProxy && !sawStatus ? radio_error::ProxyRefused : radio_error::BadResponse;
    default:
        return radio_error::ConnectionLost;
    }
}

StreamConnection::Result runOne(const QString &address, const icy::Proxy &proxy, StreamConnection::Handler &handler,
                                const StreamConnection::Limits &limits, int depth, Walk &walk)
{
    const QUrl url(address.trimmed());
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.host().isEmpty())
        return {radio_error::BadAddress, false};
    if (!proxy.valid)
        return {radio_error::ProxyRefused, false};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(walk.deadline - Clock::now()).count();
    if (left <= 0)
        return {radio_error::TimedOut, false};
    walk.asked.insert(addressKey(url));

    const LibCurl *c = libCurl(nullptr);
    if (!c)
        return {radio_error::ConnectionRefused, false}; // no libcurl: nothing can connect
    Transfer t;
    t.api = c;
    t.deadline = walk.deadline;
    t.handler = &handler;
    t.limits = &limits;
    t.url = url;
    CURL *curl = c->easy_init();
    t.curl = curl;
    const QByteArray urlBytes = url.toString(QUrl::FullyEncoded).toUtf8();
    curl_slist *aliases = c->slist_append(nullptr, "ICY 200 OK");
    curl_slist *request = c->slist_append(nullptr, "Icy-MetaData: 1");
    c->easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    c->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    c->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    c->easy_setopt(curl, CURLOPT_HTTP200ALIASES, aliases);
    c->easy_setopt(curl, CURLOPT_HTTPHEADER, request);
    c->easy_setopt(curl, CURLOPT_USERAGENT, "Tarnel/" TARNEL_VERSION);
    c->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    c->easy_setopt(curl, CURLOPT_MAXREDIRS, long(limits.maxRedirects));
    c->easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    c->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    c->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(std::min<qint64>(limits.connectTimeoutMs, left)));
    c->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    c->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(limits.stallSeconds));
    // An empty proxy means a direct connection; never the environment's http_proxy.
    c->easy_setopt(curl, CURLOPT_PROXY, proxy.direct ? "" : proxy.address.constData());
    if (!proxy.direct && proxy.hasCredentials) {
        c->easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.constData());
        c->easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.constData());
        c->easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
    }
    c->setCallbacks(curl, onHeader, onBody, onProgress, &t);

    const CURLcode code = c->easy_perform(curl);
    int error = t.error ? t.error : errorFor(*c, code, curl, !proxy.direct, !t.response.statusLine.isEmpty());
    char *effective = nullptr;
    if (c->easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        walk.asked.insert(addressKey(QUrl(QString::fromUtf8(effective))));
    c->easy_cleanup(curl);
    c->slist_free_all(aliases);
    c->slist_free_all(request);

    if (handler.cancelled())
        return {0, t.established};
    if (t.established)
        return {error, true};
    if (t.body == Transfer::Body::Unknown && error == 0)
        error = radio_error::NotAudio; // an empty answer
    if (t.body != Transfer::Body::Playlist || error != 0)
        return {error, false};

    // A playlist: the first entry that answers. An entry already asked in this attempt
    // (the playlist itself, one before it) leads round in a loop and is skipped.
    if (depth >= limits.maxPlaylistDepth)
        return {radio_error::PlaylistEmpty, false};
    const QStringList entries = icy::playlistEntries(t.playlistKind, t.playlist, url, limits.maxPlaylistEntries);
    int last = radio_error::PlaylistEmpty;
    for (const QString &entry : entries) {
        if (walk.asked.contains(addressKey(QUrl(entry.trimmed()))))
            continue;
        if (walk.tried >= limits.maxPlaylistTotal)
            break;
        ++walk.tried;
        const StreamConnection::Result r = runOne(entry, proxy, handler, limits, depth + 1, walk);
        if (r.established || handler.cancelled())
            return r;
        if (Clock::now() >= walk.deadline) // the attempt's time is up, whatever this entry did
            return {radio_error::TimedOut, false};
        last = r.error == radio_error::BadAddress ? last : r.error;
    }
    return {last, false};
}

} // namespace

StreamConnection::Result StreamConnection::run(const QString &address, const icy::Proxy &proxy, Handler &handler,
                                               const Limits &limits)
{
    Walk walk;
    walk.deadline = Clock::now() + std::chrono::seconds(limits.attemptSeconds);
    return runOne(address, proxy, handler, limits, 0, walk);
}
