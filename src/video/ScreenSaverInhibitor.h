#pragma once
// Holds off the desktop's screen saver and monitor power-off through
// org.freedesktop.ScreenSaver Inhibit / UnInhibit on the session bus.
//
// Threads: GUI thread. Every call is asynchronous (Qt D-Bus delivers the replies on the
// GUI thread): a desktop that does not answer never holds up a window. Without a
// connected bus, or when the service is missing, nothing happens and nothing is reported.
#include <QDBusConnection>
#include <QObject>

class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    static constexpr const char *Service = "org.freedesktop.ScreenSaver";
    static constexpr const char *Path = "/org/freedesktop/ScreenSaver";

    explicit ScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    ~ScreenSaverInhibitor() override;

    // Inhibits while wanted, releases as soon as it is not. Repeats are free.
    void setWanted(bool wanted);
    bool wanted() const { return wanted_; }
    // The service granted a cookie that is still held.
    bool holding() const { return cookie_ != 0; }

private:
    void sync();
    void release();

    QDBusConnection bus_;
    bool wanted_ = false;
    bool pending_ = false; // an Inhibit call waits for its reply
    uint cookie_ = 0;
};
