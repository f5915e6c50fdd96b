#pragma once
#include <QString>
#include <cstdint>

// "%d:%2.2d:%2.2d" of whole seconds: hours unpadded and never wrapped at 24.
QString formatHms(std::uint32_t seconds);
