#pragma once
// Starting a station: the connection worker (one at a time) and the messages it and
// the stream's threads send to the radio window. A message is delivered on the GUI
// thread and its sender waits until the window has handled it (message boxes
// included), so every label change happens in order, on the GUI thread. At the end
// (shutdown, or the destructor) waiting senders are released, the connection is
// cancelled and the worker joined.
//
// Message codes (radioInfo): 0 connecting; 1 could not play (number = the
// radio_error::Code); 2 buffering (number = percent); 3 station name (text); 4 bit rate
// (text); 7 title (text); 8 the server's status line (text); 9 the stream dropped and
// is being connected again; 10 it is back.
#include "radio/RadioStream.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class RadioPlayer : public QObject {
    Q_OBJECT
public:
    explicit RadioPlayer(QObject *parent = nullptr);
    ~RadioPlayer() override;

    // GUI thread. Starts the connection worker for address through the proxy text
    // (empty: direct). While a connection is being made, another address replaces it
    // (the attempt is cancelled without a message, and the worker goes on with the new
    // one); the same address again is refused: false, with nothing done.
    bool start(const QString &address, const QString &proxyText);
    bool connecting() const { return connecting_; } // the worker runs
    void shutdown();

    // Limits and pauses for the streams started from now on (tests shorten them).
    void setStreamOptions(const RadioStream::Options &options) { base_ = options; }

Q_SIGNALS:
    void radioInfo(int code, quint32 number, const QString &text);

private:
    void OpenStation(const QString &address, const icy::Proxy &proxy);
    void ShowStreamTitle(const QByteArray &meta); // any thread
    void OnStreamMeta(const QByteArray &meta);     // the stream's notifier thread
    void OnStreamStatus(const QByteArray &statusLine); // the stream's download thread
    void send(int code, quint32 number = 0, const QString &text = QString());
    void sendServerInfo(const QList<QByteArray> &lines);
    void freeStream();
    void run(QString address, QString proxyText); // the worker's loop

    RadioStream::Options base_;
    std::atomic<bool> connecting_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> replaced_{false}; // the attempt under way gives way to pending_
    std::thread worker_;

    std::mutex m_; // guards stream_ and the waits of send()
    std::condition_variable delivered_;
    std::shared_ptr<RadioStream> stream_;
    QString target_; // the address being connected, or the one waiting to be
    std::optional<std::pair<QString, QString>> pending_; // address and proxy text
};
