#pragma once
// Display and input commands of the computer-control menu: monitor power, the
// screen saver, the mouse buttons. The real one talks to the X server
// (X11DisplayControl); under Wayland or without X they do nothing.
class DisplayControl {
public:
    enum class MonitorLevel { On, Standby, Off };
    virtual ~DisplayControl() = default;
    virtual void setMonitorPower(MonitorLevel level) = 0;
    // On: the server's default time-out; off: no time-out.
    virtual void setScreenSaver(bool enabled) = 0;
    // Left-handed: buttons 1 and 3 swapped; the rest of the map stays.
    virtual void setLeftHanded(bool leftHanded) = 0;
};
