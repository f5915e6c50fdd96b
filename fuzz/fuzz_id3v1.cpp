// ID3v1 trailers: any file reads or is refused; fields stay within their sizes.
#include "playlist/ID3v1.h"

#include "FuzzFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzInputAsFile("x.mp3", data, size);
    if (path.isEmpty())
        return 0;
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
