#pragma once
// HttpClient on libcurl. Each request runs on a thread of its own; the server sees
// what the player always sent: User-Agent "Mozilla/3.0 (compatible; Indy Library)",
// Accept "text/html, */*", GET as HTTP/1.1, form posts as HTTP/1.0 on a fresh
// connection, cookies of this run sent back, no proxy. A redirect is not followed: it
// is an error, as is any status from 300 up. A request that cannot connect in time or
// receives nothing for too long fails, so a hanging server never holds a service.
#include "online/HttpClient.h"

#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The cookies of one run, shared by the clients of the three services. Any thread.
class CookieJar {
public:
    QList<QByteArray> lines() const;             // libcurl's cookie lines
    void setLines(const QList<QByteArray> &lines);

private:
    mutable std::mutex mutex_;
    QList<QByteArray> lines_;
};

class CurlHttpClient : public HttpClient {
    Q_OBJECT
public:
    struct Limits {
        int connectTimeoutMs = 10000;
        int stallSeconds = 30;                  // nothing received this long: the server hangs
        int deadlineSeconds = 60;               // a whole request, unless it names its own
        qint64 maxMemoryBody = 4 * 1024 * 1024; // answers, unless a request names its own cap
    };
    // networkCheck runs on the request's thread; null takes GetIPFromHost.
    explicit CurlHttpClient(CookieJar &cookies, Limits limits, std::function<bool()> networkCheck = {},
                            QObject *parent = nullptr);
    explicit CurlHttpClient(CookieJar &cookies, QObject *parent = nullptr);
    // Cancels a running request and waits for its thread; its finished never runs.
    ~CurlHttpClient() override;

    bool start(const HttpRequest &request, Finished finished) override;
    bool busy() const override { return busy_; }
    void cancel() override { cancel_ = true; }

    struct Transfer; // one request's state, on its thread

private:
    HttpResult perform(const HttpRequest &request); // on the request's thread
    void join();

    CookieJar &cookies_;
    Limits limits_;
    std::function<bool()> networkCheck_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    bool busy_ = false; // GUI thread only
};
