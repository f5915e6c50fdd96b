#include "system/Uptime.h"

#include <ctime>

namespace uptime {

std::uint64_t secondsSinceBoot()
{
    timespec ts{};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        return 0;
    return static_cast<std::uint64_t>(ts.tv_sec);
}

QString format(std::uint64_t seconds)
{
    const std::uint64_t hours = seconds / 3600;
    const unsigned minutes = static_cast<unsigned>(seconds % 3600 / 60);
    const unsigned secs = static_cast<unsigned>(seconds % 60);
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(secs, 2, 10, QLatin1Char('0'));
}

} // namespace uptime
