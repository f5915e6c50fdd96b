#include "playlist/ID3v1.h"

#include "common/TextCodec.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTrailerSize = 128;

// The field's bytes without trailing spaces, NULs and other control bytes.
QByteArray trimmedField(const unsigned char *bytes, int size)
{
    while (size > 0 && bytes[size - 1] <= 0x20)
        --size;
    return QByteArray(reinterpret_cast<const char *>(bytes), size);
}

} // namespace

TID3v1::TID3v1()
{
    Clear();
}

void TID3v1::Clear()
{
    HasTag = false;
    TagVersion = 1;
    Title.clear();
    Artist.clear();
    Album.clear();
    Year.clear();
    Comment.clear();
    Track = 0;
    Genre = 255;
}

bool TID3v1::ReadTrailer(const QString &path, unsigned char (&buffer)[128])
{
    // Non-blocking open so a FIFO in the playlist cannot hang the caller; it then
    // fails the regular-file check below.
    const int fd = ::open(text_codec::encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kTrailerSize;
    if (ok) {
        off_t offset = st.st_size - kTrailerSize;
        int got = 0;
        while (got < kTrailerSize) {
            const ssize_t n = ::pread(fd, buffer + got, static_cast<size_t>(kTrailerSize - got), offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<int>(n);
            offset += n;
        }
        ok = got == kTrailerSize;
    }
    ::close(fd);
    return ok;
}

std::uint8_t TID3v1::DetectVersion(const unsigned char (&trailer)[128])
{
    if (trailer[125] == 0 && trailer[126] != 0)
        return 2;
    if (trailer[125] == 0x20 && trailer[126] != 0x20)
        return 2;
    return 1;
}

bool TID3v1::ReadFromPath(const QString &path)
{
    Clear();
    unsigned char trailer[kTrailerSize];
    if (!ReadTrailer(path, trailer))
        return false;
    if (std::memcmp(trailer, "TAG", 3) != 0)
        return true;

    HasTag = true;
    TagVersion = DetectVersion(trailer);
    Title = trimmedField(trailer + 3, 30);
    Artist = trimmedField(trailer + 33, 30);
    Album = trimmedField(trailer + 63, 30);
    Year = trimmedField(trailer + 93, 4);
    if (TagVersion == 1) {
        Comment = trimmedField(trailer + 97, 30);
    } else {
        Comment = trimmedField(trailer + 97, 28);
        Track = trailer[126];
    }
    Genre = trailer[127];
    return true;
}

QString TID3v1::displayTitle() const
{
    const qsizetype end = Title.indexOf('\0');
    return text_codec::decode(end < 0 ? Title : Title.left(end));
}
