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

    enum class Outcome {
        Delivered,   // the running instance took it
        BecameFirst, // no instance runs (any more): this process now holds the guard
        NoAnswer,    // an instance holds the guard but did not answer in time
    };
    // A start's hand-off: to the running instance, or, when that one is closing (it
    // refuses, or goes away before it answers) or gone, this process becomes the first
    // instance as soon as the guard is free, so the file is never dropped.
    Outcome handOffOrBecomeFirst(const QByteArray &path, int timeoutMs = 30000);

    // Closing: from now on a hand-off is refused (the sender then starts its own
    // instance) instead of being taken into a playlist that has been saved already.
    void refuseHandOffs() { refusing_ = true; }
    // Lets a fresh copy of the program become the first instance (language change
    // restart, or the windows have closed and only a shut-down request is awaited).
    void release();

    QString socketPath() const;
    QString lockPath() const;
    // XDG_RUNTIME_DIR when it is private; else /tmp/tarnel-<uid>, or, when another user
    // holds that name, $XDG_CACHE_HOME/tarnel-runtime.
    static QString defaultRuntimeDir();
    static constexpr int RelistenIntervalMs = 1000;

Q_SIGNALS:
    // A hand-off was refused (the instance is closing).
    void handOffRefused();

private:
    enum class Reply { Ack, Refused, None };
    Reply send(const QByteArray &path, int timeoutMs, bool *becameFirst);
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void keepListening();

    QString dir_;
    int lockFd_ = -1;
    QLocalServer *server_ = nullptr;
    QTimer *watchdog_ = nullptr;
    std::function<void(const QByteArray &)> handler_;
    bool refusing_ = false;
};
