// What the project's web server (or whatever answers in its place) sends the online
// services: the report board and the release file. Nothing crashes; the board never
// gives more rows, or longer rows, than asked for.
#include "common/TextCodec.h"
#include "online/OnlineRules.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList rows = online::boardRows(bytes, 50, 100);
    if (rows.size() > 50)
        std::abort();
    for (const QString &row : rows)
        if (row.size() > 100)
            std::abort();
    const QStringList lines = text_codec::decodeLines(bytes);
    const online::Release r = online::compareRelease(QStringLiteral("Tarnel 0.298"), lines);
    if (r == online::Release::Different && !online::looksLikeRelease(QStringLiteral("Tarnel 0.298"), lines.first()))
        std::abort();
    (void)online::expectedSha256(lines);
    return 0;
}
