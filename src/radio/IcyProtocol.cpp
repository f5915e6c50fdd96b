#include "radio/IcyProtocol.h"

#include "common/TextCodec.h"

#include <algorithm>

namespace icy {

QList<InfoLine> serverInfo(const QList<QByteArray> &headerLines)
{
    QList<InfoLine> out;
    for (const QByteArray &line : headerLines) {
        if (line.startsWith("icy-name:"))
            out.append({3, text_codec::decode(line.mid(9))});
        else if (line.startsWith("icy-br:"))
            out.append({4, QStringLiteral("bitrate: ") + text_codec::decode(line.mid(7))});
    }
    return out;
}

quint32 bufferingPercent(quint64 end, quint64 downloaded, quint64 current)
{
    if (end == 0)
        return 100;
    const qint64 filled = qint64(downloaded - current);
    return quint32(filled * 100 / qint64(end));
}

MetaDemuxer::MetaDemuxer(int metaint)
    : metaint_(std::max(0, metaint))
    , audioLeft_(metaint_)
{
}

void MetaDemuxer::feed(const char *data, size_t size, QByteArray &audio, std::vector<Block> &blocks)
{
    if (metaint_ == 0) {
        audio.append(data, qsizetype(size));
        audioBytes_ += size;
        return;
    }
    while (size > 0) {
        switch (state_) {
        case State::Audio: {
            const size_t n = std::min(size, size_t(audioLeft_));
            audio.append(data, qsizetype(n));
            audioBytes_ += n;
            audioLeft_ -= int(n);
            data += n;
            size -= n;
            if (audioLeft_ == 0)
                state_ = State::Length;
            break;
        }
        case State::Length:
            metaLeft_ = int(static_cast<unsigned char>(*data)) * 16;
            ++data;
            --size;
            meta_.clear();
            if (metaLeft_ == 0) {
                state_ = State::Audio;
                audioLeft_ = metaint_;
            } else {
                state_ = State::Meta;
            }
            break;
        case State::Meta: {
            const size_t n = std::min(size, size_t(metaLeft_));
            meta_.append(data, qsizetype(n));
            metaLeft_ -= int(n);
            data += n;
            size -= n;
            if (metaLeft_ == 0) {
                blocks.push_back({audioBytes_, meta_});
                state_ = State::Audio;
                audioLeft_ = metaint_;
            }
            break;
        }
        }
    }
}

namespace {

QByteArray withoutBom(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

bool isHttp(const QUrl &url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && !url.host().isEmpty();
}

} // namespace

PlaylistKind playlistKind(const QByteArray &contentType, const QUrl &url, const QByteArray &start)
{
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    if (type == "audio/x-mpegurl" || type == "audio/mpegurl" || type == "application/x-mpegurl"
        || type == "application/vnd.apple.mpegurl")
        return PlaylistKind::M3u;
    if (type == "audio/x-scpls" || type == "audio/scpls" || type == "application/pls+xml")
        return PlaylistKind::Pls;
    const QByteArray head = withoutBom(start).trimmed();
    if (head.startsWith("#EXTM3U"))
        return PlaylistKind::M3u;
    if (head.left(10).toLower() == "[playlist]")
        return PlaylistKind::Pls;
    const QString path = url.path().toLower();
    if (path.endsWith(QLatin1String(".m3u")) || path.endsWith(QLatin1String(".m3u8")))
        return PlaylistKind::M3u;
    if (path.endsWith(QLatin1String(".pls")))
        return PlaylistKind::Pls;
    // A bare list of addresses served as text.
    if (type.startsWith("text/") && (head.startsWith("http://") || head.startsWith("https://")))
        return PlaylistKind::M3u;
    return PlaylistKind::None;
}

QStringList playlistEntries(PlaylistKind kind, const QByteArray &body, const QUrl &base, int max)
{
    QStringList out;
    const QStringList lines = text_codec::splitLines(text_codec::decode(withoutBom(body)));
    for (const QString &raw : lines) {
        if (out.size() >= max)
            break;
        const QString line = raw.trimmed();
        QString target;
        if (kind == PlaylistKind::M3u) {
            // Segment lists of HTTP live streaming are not streams.
            if (line.startsWith(QLatin1String("#EXT-X-TARGETDURATION")) || line.startsWith(QLatin1String("#EXT-X-STREAM-INF")))
                return {};
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            target = line;
        } else if (kind == PlaylistKind::Pls) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq < 5 || !line.left(4).toLower().startsWith(QLatin1String("file")))
                continue;
            bool numbered = false;
            line.mid(4, eq - 4).toInt(&numbered);
            if (!numbered)
                continue;
            target = line.mid(eq + 1).trimmed();
        }
        const QUrl url = base.resolved(QUrl(target));
        if (isHttp(url))
            out.append(url.toString(QUrl::FullyEncoded));
    }
    return out;
}

Proxy parseProxy(const QString &text)
{
    Proxy p;
    QString t = text.trimmed();
    if (t.isEmpty())
        return p;
    p.direct = false;
    if (t.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        t = t.mid(7);
    if (t.endsWith(QLatin1Char('/')))
        t.chop(1);
    const int at = t.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString credentials = t.left(at);
        const int colon = credentials.indexOf(QLatin1Char(':'));
        p.user = (colon < 0 ? credentials : credentials.left(colon)).toUtf8();
        p.password = colon < 0 ? QByteArray() : credentials.mid(colon + 1).toUtf8();
        p.hasCredentials = true;
        t = t.mid(at + 1);
    }
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    const QString host = colon < 0 ? t : t.left(colon);
    bool portOk = colon < 0;
    int port = 8080;
    if (colon >= 0)
        port = t.mid(colon + 1).toInt(&portOk);
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char(' ')) || !portOk || port < 1 || port > 65535) {
        p.valid = false;
        return p;
    }
    p.address = QStringLiteral("http://%1:%2").arg(host).arg(port).toUtf8();
    return p;
}

} // namespace icy
