#include "system/X11DisplayControl.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <vector>

namespace {

template <typename F>
void withDisplay(const QByteArray &name, F f)
{
    if (name.isEmpty())
        return;
    Display *d = XOpenDisplay(name.constData());
    if (!d)
        return;
    f(d);
    XCloseDisplay(d); // flushes the request
}

} // namespace

X11DisplayControl::X11DisplayControl(const QByteArray &displayName)
    : displayName_(displayName)
{
}

QByteArray X11DisplayControl::displayOfApplication()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return qgetenv("DISPLAY");
}

void X11DisplayControl::setMonitorPower(MonitorLevel level)
{
    withDisplay(displayName_, [level](Display *d) {
        int event = 0, error = 0;
        if (!DPMSQueryExtension(d, &event, &error) || !DPMSCapable(d))
            return;
        DPMSEnable(d); // a forced level needs DPMS switched on
        const CARD16 mode = level == MonitorLevel::Off ? DPMSModeOff
            : level == MonitorLevel::Standby          ? DPMSModeStandby
                                                      : DPMSModeOn;
        DPMSForceLevel(d, mode);
    });
}

void X11DisplayControl::setScreenSaver(bool enabled)
{
    withDisplay(displayName_, [enabled](Display *d) {
        int timeout = 0, interval = 0, blanking = 0, exposures = 0;
        XGetScreenSaver(d, &timeout, &interval, &blanking, &exposures);
        // -1 restores the server's default time-out; 0 switches the saver off.
        XSetScreenSaver(d, enabled ? -1 : 0, interval, blanking, exposures);
    });
}

void X11DisplayControl::setLeftHanded(bool leftHanded)
{
    withDisplay(displayName_, [leftHanded](Display *d) {
        unsigned char map[256];
        const int count = XGetPointerMapping(d, map, sizeof map);
        if (count < 3)
            return;
        map[0] = leftHanded ? 3 : 1;
        map[2] = leftHanded ? 1 : 3;
        // MappingBusy while a button is held: the map stays, as an unchecked call would.
        XSetPointerMapping(d, map, count);
    });
}
