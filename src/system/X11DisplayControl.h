#pragma once
// DisplayControl on an X server. Each command opens its own connection to the named
// display, makes its one request and closes it (the settings stay on the server).
// An empty name or an unreachable display: nothing happens, nothing is shown.
#include "system/DisplayControl.h"

#include <QByteArray>

class X11DisplayControl : public DisplayControl {
public:
    explicit X11DisplayControl(const QByteArray &displayName);

    // The display the program's windows are on: empty unless Qt runs on X11 (xcb).
    static QByteArray displayOfApplication();

    void setMonitorPower(MonitorLevel level) override;
    void setScreenSaver(bool enabled) override;
    void setLeftHanded(bool leftHanded) override;

private:
    QByteArray displayName_;
};
