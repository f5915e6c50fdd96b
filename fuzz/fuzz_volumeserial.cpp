// Volume headers of any drive or image: a serial or none, never a read past the bytes.
#include "system/VolumeSerial.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray head(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (const auto serial = volume_serial::fromHeader(head)) {
        if (volume_serial::format(*serial).size() > 9)
            std::abort();
    }
    return 0;
}
