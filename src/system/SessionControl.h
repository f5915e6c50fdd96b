#pragma once
// Power and session commands of the computer-control menu. The real one asks
// systemd-logind (LogindSession); without one the commands do nothing.
class SessionControl {
public:
    virtual ~SessionControl() = default;
    virtual void halt() = 0;
    virtual void powerOff() = 0;
    virtual void reboot() = 0;
    // Ends the session this program runs in.
    virtual void terminateSession() = 0;
    virtual void suspend() = 0;
};
