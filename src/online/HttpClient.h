#pragma once
// What the online services ask of HTTP: one request at a time per client, done off the
// GUI thread, progress and the end reported on it. CurlHttpClient is the real one.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct HttpRequest {
    enum class Method { Get, PostForm };
    Method method = Method::Get;
    QString url;
    QByteArray body;           // the encoded form of a post
    QString saveTo;            // a GET into this file, replaced only when complete; empty: into memory
    bool checkNetwork = false; // the network check first; when it fails the request is skipped
    // The most the answer may hold; 0 takes the client's limit. Beyond it the request
    // fails, unless cutAtLimit: then what came up to the limit is the answer.
    qint64 maxBytes = 0;
    bool cutAtLimit = false;
    int deadlineSeconds = 0; // the whole request, however slowly data comes; 0 takes the client's
    // Runs on the request's thread with the complete answer, before a file is replaced:
    // the rows the window shows (HttpResult::rows), so that no large text is split on the
    // GUI thread. Setting *refusal fails the request with that text and keeps the old file.
    std::function<QStringList(const QByteArray &body, QString *refusal)> digest;
};

struct HttpResult {
    enum class Outcome { Done, Failed, Skipped, Cancelled };
    Outcome outcome = Outcome::Failed;
    QString error;   // Failed: why, for the user
    int status = 0;  // the HTTP status, 0 when none came
    QByteArray body; // what the server sent (into memory only), also after a failure
    QStringList rows; // what the request's digest made of the answer
    bool cut = false; // the answer was cut at the request's limit
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
    // Ends the running request soon; its finished then says Cancelled. Never waits.
    virtual void cancel() = 0;

Q_SIGNALS:
    // Progress of the running transfer, in either direction: the expected byte count when
    // known, then the count so far.
    void workBegin(qint64 expected);
    void work(qint64 count);
};
