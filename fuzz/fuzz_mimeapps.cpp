// mimeapps.list as a user or another program left it: our defaults are in, once each,
// and a second pass changes nothing.
#include "common/TextCodec.h"
#include "system/Associations.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = text_codec::decodeText(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    const QStringList types{QStringLiteral("audio/mpeg"), QStringLiteral("video/x-matroska")};
    const QString once = associations::withDefaults(text, types);
    if (associations::withDefaults(once, types) != once)
        std::abort();
    if (!once.contains(QStringLiteral("[Default Applications]")))
        std::abort();
    return 0;
}
