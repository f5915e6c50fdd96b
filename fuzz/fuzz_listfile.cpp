// Stored lists: any bytes must inflate or be refused, never crash; what inflates splits into entries.
#include "storage/ListFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QByteArray text;
    QBuffer destination(&text);
    destination.open(QIODevice::ReadWrite);
    if (list_file::DecompressStream(source, destination))
        (void)list_file::textToList(destination.readAll());
    (void)list_file::textToList(bytes);
    return 0;
}
