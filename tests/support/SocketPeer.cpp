#include "support/SocketPeer.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

SocketPeer::SocketPeer()
    : SocketPeer(Mode::Silent, {})
{
}

SocketPeer::SocketPeer(Mode mode, QByteArray text, int intervalMs)
    : fallback_{mode, std::move(text), intervalMs}
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = server_.nextPendingConnection()) {
            ++connections;
            auto received = std::make_shared<QByteArray>();
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QTcpSocket::readyRead, s, [this, s, received] {
                *received += s->readAll();
                request = *received;
                if (!received->contains("\r\n\r\n") || s->property("answered").toBool())
                    return;
                s->setProperty("answered", true);
                const QList<QByteArray> first = received->left(received->indexOf("\r\n")).split(' ');
                answer(s, first.value(1));
            });
        }
    });
}

QString SocketPeer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

QString SocketPeer::url(const char *path) const
{
    return base() + QLatin1String(path);
}

QByteArray SocketPeer::ok(const QByteArray &body, const QByteArray &type, bool withLength)
{
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n";
    if (withLength)
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return head + "Connection: close\r\n\r\n" + body;
}

void SocketPeer::answer(QTcpSocket *s, const QByteArray &path)
{
    const Route route = routes_.value(path, fallback_);
    const qsizetype head = route.answer.indexOf("\r\n\r\n") + 4;
    switch (route.mode) {
    case Mode::Answer:
        s->write(route.answer);
        s->disconnectFromHost();
        return;
    case Mode::Silent:
        return;
    case Mode::Trickle: {
        s->write(route.answer.left(head));
        auto *timer = new QTimer(s);
        connect(timer, &QTimer::timeout, s, [s, timer, answer = route.answer, at = head]() mutable {
            if (at < answer.size()) {
                s->write(answer.mid(at++, 1));
                return;
            }
            timer->stop();
            s->disconnectFromHost();
        });
        timer->start(route.intervalMs);
        return;
    }
    case Mode::Endless: {
        s->write(route.answer.left(head));
        const QByteArray body = route.answer.mid(head);
        // More whenever the client has taken what was sent: as fast as it reads.
        const auto more = [s, body] {
            if (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 4 * body.size())
                s->write(body);
        };
        connect(s, &QTcpSocket::bytesWritten, s, more);
        more();
        return;
    }
    }
}
