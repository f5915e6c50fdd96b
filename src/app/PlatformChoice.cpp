#include "app/PlatformChoice.h"

namespace platform_choice {

QByteArray preferred(const QByteArray &qpaPlatform, const QByteArray &waylandDisplay, const QByteArray &x11Display)
{
    if (!qpaPlatform.trimmed().isEmpty())
        return {};
    if (waylandDisplay.isEmpty() || x11Display.isEmpty())
        return {}; // plain X11, or Wayland without XWayland
    return QByteArrayLiteral("xcb;wayland");
}

} // namespace platform_choice
