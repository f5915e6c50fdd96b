// ID3v1 trailers: any file reads or is refused; fields stay within their sizes.
#include "playlist/ID3v1.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mp3"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    TID3v1 tag;
    const bool read = tag.ReadFromPath(path);
    if (read != (size >= 128))
        std::abort();
    if (tag.Title.size() > 30 || tag.Artist.size() > 30 || tag.Album.size() > 30 || tag.Year.size() > 4
        || tag.Comment.size() > 30)
        std::abort();
    (void)tag.displayTitle();
    return 0;
}
