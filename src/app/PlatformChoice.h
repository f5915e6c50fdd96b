#pragma once
// Which Qt platform the player asks for. On a Wayland desktop with XWayland the nine
// windows run through X11 (xcb): Wayland lets no program place its own windows, and
// the stored layout, the colour controls over the picture and the drag strips need
// that. QT_QPA_PLATFORM, when set (for example to "wayland"), is always obeyed.
#include <QByteArray>

namespace platform_choice {

// The value for QT_QPA_PLATFORM while the application starts; empty: leave Qt's choice.
// A list: Qt takes the first platform that starts, so a dead X server falls back.
QByteArray preferred(const QByteArray &qpaPlatform, const QByteArray &waylandDisplay, const QByteArray &x11Display);

} // namespace platform_choice
