// Stored lists: any bytes inflate or are refused, never crash; what inflates splits into
// entries, and entries stored again read back the same. The bound on the inflated size
// is a unit test: reaching it takes far longer than a fuzzer's run.
#include "storage/ListFile.h"

#include <QBuffer>

#include <cstdlib>

namespace {

bool inflateList(QByteArray bytes, QByteArray &text)
{
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QBuffer destination(&text);
    destination.open(QIODevice::ReadWrite);
    return list_file::DecompressStream(source, destination);
}

QByteArray deflateList(QByteArray text)
{
    QBuffer source(&text);
    source.open(QIODevice::ReadOnly);
    QByteArray stream;
    QBuffer destination(&stream);
    destination.open(QIODevice::WriteOnly);
    if (!list_file::CompressStream(source, destination))
        std::abort();
    return stream;
}

void storedAgainReadsTheSame(const QByteArray &text)
{
    const QStringList entries = list_file::textToList(text);
    const QByteArray again = list_file::listToText(entries);
    QByteArray back;
    if (!inflateList(deflateList(again), back) || back != again || list_file::textToList(back) != entries)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QByteArray text;
    if (inflateList(bytes, text)) {
        if (text.size() > list_file::MaxTextBytes)
            std::abort(); // the bound did not hold
        // A few KiB inflate to megabytes; storing those again would only slow the run.
        if (text.size() <= 256 * 1024)
            storedAgainReadsTheSame(text);
    } else if (!text.isEmpty()) {
        std::abort(); // a refused stream writes nothing
    }
    // The same bytes as a list's text, as if they had inflated.
    storedAgainReadsTheSame(bytes);
    return 0;
}
