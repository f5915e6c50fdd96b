// What a radio server sends: header lines, the interleaved metadata stream, titles and
// playlist files. Nothing crashes; the audio that comes out is never more than went in,
// and playlists give at most the entries asked for.
#include "radio/IcyProtocol.h"
#include "radio/StreamTitle.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)icy::serverInfo(bytes.split('\n'));
    (void)icy::parseProxy(QString::fromUtf8(bytes));
    (void)stream_title::parse(bytes);

    // The first byte picks metaint; the rest is fed in two pieces.
    icy::MetaDemuxer demuxer(data[0]);
    QByteArray audio;
    std::vector<icy::MetaDemuxer::Block> blocks;
    const size_t half = (size - 1) / 2;
    demuxer.feed(bytes.constData() + 1, half, audio, blocks);
    demuxer.feed(bytes.constData() + 1 + half, size - 1 - half, audio, blocks);
    if (size_t(audio.size()) > size - 1 || demuxer.audioBytes() != quint64(audio.size()))
        std::abort();
    for (const auto &b : blocks)
        if (b.text.size() > 255 * 16 || b.audioOffset > demuxer.audioBytes())
            std::abort();

    const QUrl base(QStringLiteral("http://127.0.0.1/dir/list"));
    for (icy::PlaylistKind kind : {icy::PlaylistKind::M3u, icy::PlaylistKind::Pls})
        if (icy::playlistEntries(kind, bytes, base, 16).size() > 16)
            std::abort();
    (void)icy::playlistKind(bytes.left(64), base, bytes);
    return 0;
}
