#pragma once
// Time since the machine started, for the uptime command.
#include <QString>

#include <cstdint>

namespace uptime {

// Whole seconds since boot, suspended time included (CLOCK_BOOTTIME).
std::uint64_t secondsSinceBoot();
// "%d:%2.2d:%2.2d": hours unpadded and not wrapping at 24, minutes and seconds two digits.
QString format(std::uint64_t seconds);

} // namespace uptime
