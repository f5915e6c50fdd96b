// The release file the update check downloads: any bytes read as lines; the first line
// decides, and the digest the download must have is either absent or 64 lower-case
// hexadecimal digits.
#include "common/TextCodec.h"
#include "online/OnlineRules.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = text_codec::decodeLines(bytes);
    const QString caption = QStringLiteral("Tarnel 0.298");
    const online::Release release = online::compareRelease(caption, lines);
    if ((release == online::Release::Unreadable) != lines.isEmpty())
        std::abort();
    if ((release == online::Release::Same) != (!lines.isEmpty() && lines.first() == caption))
        std::abort();
    // Only what looks like a release caption is ever offered as one.
    if (release == online::Release::Different && !online::looksLikeRelease(caption, lines.first()))
        std::abort();
    const QByteArray digest = online::expectedSha256(lines);
    if (!digest.isEmpty() && digest.size() != 64)
        std::abort();
    for (const char c : digest)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            std::abort();
    return 0;
}
