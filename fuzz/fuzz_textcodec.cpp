// The text decoder and the file-name escapes: any bytes decode; a name decoded and
// encoded again is the same bytes, and stored text reads back as the same string.
#include "common/TextCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    (void)text_codec::decodeLines(bytes);
    const QString name = text_codec::decodeFileName(bytes);
    if (text_codec::encodeFileName(name) != bytes)
        std::abort();
    if (!bytes.contains('\r') && !bytes.contains('\n') && text_codec::decode(text_codec::encodeText(name)) != name)
        std::abort();
    return 0;
}
