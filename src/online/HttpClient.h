#pragma once
// What the online services ask of HTTP: one request at a time per client, done off the
// GUI thread, progress and the end reported on it. CurlHttpClient is the real one.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

struct HttpRequest {
    enum class Method { Get, PostForm };
    Method method = Method::Get;
    QString url;
    QByteArray body;           // the encoded form of a post
    QString saveTo;            // a GET into this file, replaced only when complete; empty: into memory
    bool checkNetwork = false; // the network check first; when it fails the request is skipped
};

struct HttpResult {
    enum class Outcome { Done, Failed, Skipped };
    Outcome outcome = Outcome::Failed;
    QString error;   // Failed: why, for the user
    int status = 0;  // the HTTP status, 0 when none came
    QByteArray body; // what the server sent (into memory only), also after a failure
};

class HttpClient : public QObject {
    Q_OBJECT
public:
    using Finished = std::function<void(const HttpResult &)>;
    using QObject::QObject;

    // Starts the request; finished runs later on the GUI thread. false, and nothing
    // starts, while a request of this client still runs.
    virtual bool start(const HttpRequest &request, Finished finished) = 0;
    virtual bool busy() const = 0;

Q_SIGNALS:
    // Progress of the running transfer, in either direction: the expected byte count when
    // known, then the count so far.
    void workBegin(qint64 expected);
    void work(qint64 count);
};
