#pragma once
// A web server on 127.0.0.1 that misbehaves on purpose, in the test's own event loop:
// each path answers at once, byte by byte, never, or without end. For what the
// project's server never does (PhpServer is the real one).
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class SocketPeer : public QObject {
public:
    enum class Mode {
        Answer,  // the answer, then the connection closes
        Trickle, // the head at once, then the body a byte every interval, then closes
        Silent,  // takes the request, never answers
        Endless, // the head, then the body repeated for as long as the client reads
    };
    struct Route {
        Mode mode = Mode::Answer;
        QByteArray answer; // status line, headers, blank line and body
        int intervalMs = 20;
    };

    SocketPeer();
    // The same answer for every path.
    SocketPeer(Mode mode, QByteArray text, int intervalMs = 20);
    void route(const QByteArray &path, Route route) { routes_.insert(path, std::move(route)); }

    QString base() const; // http://127.0.0.1:PORT
    QString url(const char *path = "/x") const;
    int connections = 0;
    QByteArray request; // the last request's bytes

    // An answer of status 200 with this body and a Content-Length, or none (unknown length).
    static QByteArray ok(const QByteArray &body, const QByteArray &type = "text/plain", bool withLength = true);

private:
    void answer(class QTcpSocket *socket, const QByteArray &path);

    QTcpServer server_;
    Route fallback_;
    QHash<QByteArray, Route> routes_;
};
