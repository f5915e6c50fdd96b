#pragma once
// SessionControl through systemd-logind (org.freedesktop.login1) on a D-Bus
// connection given by the caller: the system bus in the program, a private bus in
// tests. Every call is asynchronous and asks with interactive = true, so the desktop's
// authorisation agent may ask for a password. Results are not reported.
//
// A request must outlive the main window: the shut-down commands close it at once,
// and an authorisation is void once its caller has left the bus. The program waits
// for a pending request (waitForPending) a few seconds before it ends. One request is
// in flight at a time: a command given while one waits for logind is dropped. Without
// a connected bus nothing is asked and nothing waits.
#include "system/SessionControl.h"

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCall;

class LogindSession : public QObject, public SessionControl {
    Q_OBJECT
public:
    explicit LogindSession(const QDBusConnection &bus, QObject *parent = nullptr);

    void halt() override { managerCall(QStringLiteral("Halt")); }
    void powerOff() override { managerCall(QStringLiteral("PowerOff")); }
    void reboot() override { managerCall(QStringLiteral("Reboot")); }
    void suspend() override { managerCall(QStringLiteral("Suspend")); }
    void terminateSession() override;

    // How long the program, its windows closed, waits for logind's answer.
    static constexpr int CloseWaitMs = 4000;

    int pendingCount() const { return pending_; }
    // Runs the event loop until no request is pending, timeoutMs has passed or
    // stopWaiting is called.
    void waitForPending(int timeoutMs);
    void stopWaiting() { Q_EMIT waitStopped(); }

Q_SIGNALS:
    void allFinished();
    void waitStopped();

private:
    bool canAsk() const;
    void managerCall(const QString &method);
    // Tracks the call; then() runs with its reply on the GUI thread.
    template <typename F>
    void track(const QDBusPendingCall &call, F then);
    void finishOne();

    QDBusConnection bus_;
    int pending_ = 0;
};
