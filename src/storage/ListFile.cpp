#include "storage/ListFile.h"

#include "common/TextCodec.h"

#include <QIODevice>

#include <zlib.h>

#include <climits>

namespace list_file {

namespace {

void rewind(QIODevice &device)
{
    if (!device.isSequential())
        device.seek(0);
}

bool writeAll(QIODevice &device, const QByteArray &data)
{
    return device.write(data) == data.size();
}

// Inflates one whole zlib stream; false unless it ends with a matching checksum.
bool inflateAll(const QByteArray &input, QByteArray &output)
{
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;

    constexpr qsizetype chunk = 64 * 1024;
    const auto *next = reinterpret_cast<const Bytef *>(input.constData());
    qsizetype left = input.size();
    output.clear();
    int rc = Z_OK;
    while (rc == Z_OK) {
        // avail_in is 32-bit: feed large inputs in pieces.
        if (zs.avail_in == 0 && left > 0) {
            const auto piece = static_cast<uInt>(qMin<qsizetype>(left, UINT_MAX));
            zs.next_in = const_cast<Bytef *>(next);
            zs.avail_in = piece;
            next += piece;
            left -= piece;
        }
        const qsizetype used = output.size();
        output.resize(used + chunk);
        zs.next_out = reinterpret_cast<Bytef *>(output.data() + used);
        zs.avail_out = static_cast<uInt>(chunk);
        rc = inflate(&zs, Z_NO_FLUSH);
        output.resize(used + chunk - zs.avail_out);
        if (output.size() > MaxTextBytes) {
            rc = Z_DATA_ERROR;
            break;
        }
        // No progress: either the next piece of a huge input is due, or the stream is cut short.
        if (rc == Z_BUF_ERROR && zs.avail_in == 0 && left > 0)
            rc = Z_OK;
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) {
        output.clear();
        return false;
    }
    return true;
}

} // namespace

bool CompressStream(QIODevice &source, QIODevice &destination)
{
    rewind(source);
    const QByteArray input = source.readAll();
    uLongf size = compressBound(static_cast<uLong>(input.size()));
    QByteArray output(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(output.data()), &size,
                  reinterpret_cast<const Bytef *>(input.constData()),
                  static_cast<uLong>(input.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    output.truncate(static_cast<qsizetype>(size));
    return writeAll(destination, output);
}

bool DecompressStream(QIODevice &source, QIODevice &destination)
{
    const QByteArray input = source.readAll();
    bool ok = true;
    if (!input.isEmpty()) {
        QByteArray text;
        ok = inflateAll(input, text) && writeAll(destination, text);
    }
    rewind(destination);
    return ok;
}

QByteArray listToText(const QStringList &entries)
{
    QByteArray text;
    for (const QString &entry : entries) {
        text += text_codec::encodeText(entry);
        text += "\r\n";
    }
    return text;
}

QStringList textToList(const QByteArray &text)
{
    const qsizetype end = text.indexOf('\0');
    // The format has no byte order mark: bytes EF BB BF at the start begin the first name.
    return text_codec::decodeLines(end < 0 ? text : QByteArray::fromRawData(text.constData(), end), false);
}

bool hasTextAfterZero(const QByteArray &text)
{
    const qsizetype end = text.indexOf('\0');
    if (end < 0)
        return false;
    for (qsizetype i = end + 1; i < text.size(); ++i)
        if (text[i] != '\0')
            return true;
    return false;
}

} // namespace list_file
