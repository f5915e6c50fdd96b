#pragma once
// One running player per user. A lock file in the user's runtime directory guards the
// instance; a local socket there ("Quillon", reachable by this user only) carries the
// first argument of a second start to the running one, which answers after handling it.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;
class QTimer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeDir: where the lock and the socket live; empty takes the user's runtime directory.
    explicit SingleInstance(const QString &runtimeDir = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // true: this process is the first instance and now holds the guard.
    bool acquire();
    // The running instance's side: start taking hand-offs. handler runs on the GUI thread,
    // once per hand-off, before the sender is answered.
    bool listen(std::function<void(const QByteArray &)> handler);
    // The second instance's side: hands over the bytes (a zero byte is appended) and waits
    // until the running instance has handled them. false when nobody answered.
    bool handOff(const QByteArray &path, int timeoutMs = 30000);
    // Lets a fresh copy of the program become the first instance (language change restart).
    void release();

    QString socketPath() const;
    QString lockPath() const;
    // XDG_RUNTIME_DIR when it is private; else /tmp/tarnel-<uid>, or, when another user
    // holds that name, $XDG_CACHE_HOME/tarnel-runtime.
    static QString defaultRuntimeDir();
    static constexpr int RelistenIntervalMs = 1000;

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void keepListening();

    QString dir_;
    int lockFd_ = -1;
    QLocalServer *server_ = nullptr;
    QTimer *watchdog_ = nullptr;
    std::function<void(const QByteArray &)> handler_;
};
