#include "common/TimeFormat.h"

QString formatHms(std::uint32_t seconds)
{
    return QString::asprintf("%u:%2.2u:%2.2u", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
}
