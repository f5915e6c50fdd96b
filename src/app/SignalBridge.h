#pragma once
// SIGTERM, SIGINT and SIGHUP end the player through the main window's close path,
// so settings and playlist are saved as on a normal exit. The handler only writes
// to a pipe; the GUI thread does the rest.
#include <QObject>

class QSocketNotifier;

class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject *parent = nullptr);
    ~SignalBridge() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *notifier_ = nullptr;
};
