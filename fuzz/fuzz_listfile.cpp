// Stored lists: any bytes must inflate or be refused, never crash; what inflates splits into entries.
// Inputs whose first byte is odd continue a stream that has already inflated to just
// under the 64 MiB bound, so the bound itself is crossed in every way the input can.
#include "storage/ListFile.h"

#include <QBuffer>

#include <cstdlib>
#include <zlib.h>

namespace {

// A zlib stream of MaxTextBytes - 1024 letters, flushed but not finished.
const QByteArray &nearTheBound()
{
    static const QByteArray stream = [] {
        z_stream z {};
        deflateInit(&z, 9);
        const QByteArray chunk(1 << 20, 'a');
        QByteArray out;
        char buffer[1 << 16];
        for (qsizetype left = list_file::MaxTextBytes - 1024; left > 0;) {
            const qsizetype n = std::min<qsizetype>(left, chunk.size());
            left -= n;
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData()));
            z.avail_in = static_cast<uInt>(n);
            do {
                z.next_out = reinterpret_cast<Bytef *>(buffer);
                z.avail_out = sizeof buffer;
                deflate(&z, left == 0 ? Z_SYNC_FLUSH : Z_NO_FLUSH);
                out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        return out;
    }();
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (size > 0 && (data[0] & 1))
        bytes = nearTheBound() + bytes.mid(1);
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QByteArray text;
    QBuffer destination(&text);
    destination.open(QIODevice::ReadWrite);
    if (list_file::DecompressStream(source, destination)) {
        if (text.size() > list_file::MaxTextBytes)
            std::abort(); // the bound did not hold
        (void)list_file::textToList(destination.readAll());
    }
    if (size <= 65536)
        (void)list_file::textToList(bytes);
    return 0;
}
