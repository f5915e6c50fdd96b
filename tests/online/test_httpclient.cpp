// The HTTP client of the online services against real peers on 127.0.0.1: the project's
// web server (PHP's built-in server) for what a server sees, and small sockets that
// refuse, never answer, redirect, fail or trickle.
#include "online/CurlHttpClient.h"
#include "support/PhpServer.h"
#include "support/SocketPeer.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// A socket peer answering one fixed text: at once, byte by byte, or never.
class Peer : public QObject {
public:
    enum class Mode { Answer, Trickle, Silent };
    Peer(Mode mode, QByteArray answer)
        : mode_(mode)
        , answer_(std::move(answer))
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server_.nextPendingConnection()) {
                ++connections;
                auto received = std::make_shared<QByteArray>();
                connect(s, &QTcpSocket::readyRead, s, [this, s, received] {
                    *received += s->readAll();
                    request = *received;
                    if (!received->contains("\r\n\r\n") || s->property("answered").toBool())
                        return;
                    s->setProperty("answered", true);
                    if (mode_ == Mode::Answer) {
                        s->write(answer_);
                        s->disconnectFromHost();
                    } else if (mode_ == Mode::Trickle) {
                        // The head at once, then the body byte by byte.
                        const qsizetype head = answer_.indexOf("\r\n\r\n") + 4;
                        s->write(answer_.left(head));
                        auto *timer = new QTimer(s);
                        connect(timer, &QTimer::timeout, s, [this, s, timer, at = head]() mutable {
                            if (at < answer_.size()) {
                                s->write(answer_.mid(at++, 1));
                                return;
                            }
                            timer->stop();
                            s->disconnectFromHost();
                        });
                        timer->start(20);
                    }
                });
            }
        });
    }
    QString url(const char *path = "/x") const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path));
    }
    int connections = 0;
    QByteArray request;

private:
    Mode mode_;
    QByteArray answer_;
    QTcpServer server_;
};

QString refusingUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/tarnel/update.txt").arg(port);
}

const QByteArray echoScript = R"(<?php
setcookie('probe', 'c1');
header('Content-Type: text/plain');
echo $_SERVER['SERVER_PROTOCOL'], "\n", $_SERVER['REQUEST_METHOD'], "\n", $_SERVER['HTTP_USER_AGENT'] ?? '', "\n",
    $_SERVER['HTTP_ACCEPT'] ?? '', "\n", $_SERVER['CONTENT_TYPE'] ?? '', "\n", $_SERVER['HTTP_COOKIE'] ?? '', "\n",
    file_get_contents('php://input');
)";

HttpResult run(HttpClient &client, const HttpRequest &request)
{
    HttpResult out;
    bool done = false;
    if (!client.start(request, [&](const HttpResult &r) {
            out = r;
            done = true;
        })) {
        out.error = QStringLiteral("refused to start");
        return out;
    }
    // Generous: only a broken time-out would take this long.
    (void)QTest::qWaitFor([&] { return done; }, 30000);
    if (!done)
        out.error = QStringLiteral("no end within 30 s");
    return out;
}

CurlHttpClient::Limits shortLimits()
{
    CurlHttpClient::Limits limits;
    limits.connectTimeoutMs = 2000;
    limits.stallSeconds = 1;
    return limits;
}

} // namespace

class TestHttpClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void whatTheServerSees();
    void downloadIntoFileWithProgress();
    void failures_data();
    void failures();
    void tricklingPeerIsNoStall();
    void oneRequestAtATime();
    void networkCheckFailureSkips();
    void boundedAnswers_data();
    void boundedAnswers();
    void cancelEndsARequest();

private:
    std::unique_ptr<PhpServer> php_;
};

void TestHttpClient::initTestCase()
{
    php_ = std::make_unique<PhpServer>();
    php_->writeFile(QStringLiteral("echo.php"), echoScript);
    php_->writeFile(QStringLiteral("tarnel/update.txt"), "Tarnel 0.299\r\n");
    QVERIFY2(php_->start(), qPrintable(php_->errorString()));
}

void TestHttpClient::whatTheServerSees()
{
    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return true; });
    HttpRequest get;
    get.url = php_->base() + QStringLiteral("/echo.php");
    const HttpResult got = run(client, get);
    QCOMPARE(int(got.outcome), int(HttpResult::Outcome::Done));
    QCOMPARE(got.status, 200);
    QCOMPARE(got.body.split('\n'), (QList<QByteArray>{"HTTP/1.1", "GET", "Mozilla/3.0 (compatible; Indy Library)",
                                                      "text/html, */*", "", "", ""}));

    // A second client of the same run sends the cookie back; the post is HTTP/1.0.
    CurlHttpClient other(cookies, shortLimits(), [] { return true; });
    HttpRequest post;
    post.method = HttpRequest::Method::PostForm;
    post.url = get.url;
    post.body = "jmeno=abc&zprava=a+b&";
    const HttpResult posted = run(other, post);
    QCOMPARE(int(posted.outcome), int(HttpResult::Outcome::Done));
    QCOMPARE(posted.body.split('\n'),
             (QList<QByteArray>{"HTTP/1.0", "POST", "Mozilla/3.0 (compatible; Indy Library)", "text/html, */*",
                                "application/x-www-form-urlencoded", "probe=c1", "jmeno=abc&zprava=a+b&"}));

    // An empty form (the board's) is a post with no body.
    post.body.clear();
    QVERIFY(run(other, post).body.endsWith("probe=c1\n"));
}

void TestHttpClient::downloadIntoFileWithProgress()
{
    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return true; });
    QSignalSpy begin(&client, &HttpClient::workBegin);
    QSignalSpy work(&client, &HttpClient::work);
    QTemporaryDir dir;
    HttpRequest get;
    get.url = php_->base() + QStringLiteral("/tarnel/update.txt");
    get.saveTo = dir.filePath(QStringLiteral("update.txt"));
    const HttpResult r = run(client, get);
    QCOMPARE(int(r.outcome), int(HttpResult::Outcome::Done));
    QFile f(get.saveTo);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("Tarnel 0.299\r\n"));
    QVERIFY(!begin.isEmpty() && !work.isEmpty());
    QCOMPARE(begin.last().at(0).toLongLong(), 14);
    QCOMPARE(work.last().at(0).toLongLong(), 14);
}

void TestHttpClient::failures_data()
{
    QTest::addColumn<int>("peer"); // -1 refusing port, -2 the PHP server, else a Peer::Mode
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("connection refused") << -1 << QByteArray() << QString() << "onnect";
    QTest::newRow("accepts, never answers") << int(Peer::Mode::Silent) << QByteArray() << QString() << "";
    QTest::newRow("redirect not followed")
        << int(Peer::Mode::Answer) << QByteArray("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n")
        << QString() << "302";
    QTest::newRow("error status from the server") << -2 << QByteArray() << "/tarnel/missing.txt" << "404";
    QTest::newRow("server error with a body")
        << int(Peer::Mode::Answer) << QByteArray("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\noops")
        << QString() << "500";
    QTest::newRow("cut short")
        << int(Peer::Mode::Answer) << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nTarnel") << QString() << "";
}

void TestHttpClient::failures()
{
    QFETCH(int, peer);
    QFETCH(QByteArray, answer);
    QFETCH(QString, path);
    QFETCH(QString, errorPart);
    std::unique_ptr<Peer> socketPeer;
    QString url;
    if (peer == -1) {
        url = refusingUrl();
    } else if (peer == -2) {
        url = php_->base() + path;
    } else {
        socketPeer = std::make_unique<Peer>(Peer::Mode(peer), answer);
        url = socketPeer->url();
    }
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("update.txt"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier copy");
    old.close();

    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return true; });
    for (const QString &saveTo : {QString(), target}) {
        HttpRequest get;
        get.url = url;
        get.saveTo = saveTo;
        const HttpResult r = run(client, get);
        QCOMPARE(int(r.outcome), int(HttpResult::Outcome::Failed));
        QVERIFY2(!r.error.isEmpty() && r.error.contains(errorPart), qPrintable(r.error));
        QVERIFY(r.error != QLatin1String("no end within 30 s"));
    }
    // A failed download leaves the earlier file as it was.
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("earlier copy"));
}

void TestHttpClient::tricklingPeerIsNoStall()
{
    // 100 bytes, one each 20 ms: two seconds in all, never a second without data.
    const QByteArray body(100, 'x');
    Peer peer(Peer::Mode::Trickle, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + body);
    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return true; });
    HttpRequest get;
    get.url = peer.url();
    const HttpResult r = run(client, get);
    QVERIFY2(r.outcome == HttpResult::Outcome::Done, qPrintable(r.error));
    QCOMPARE(r.body, body);
}

void TestHttpClient::oneRequestAtATime()
{
    Peer silent(Peer::Mode::Silent, {});
    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return true; });
    HttpRequest get;
    get.url = silent.url();
    bool firstDone = false;
    QVERIFY(client.start(get, [&](const HttpResult &) { firstDone = true; }));
    QVERIFY(client.busy());
    bool secondRan = false;
    QVERIFY(!client.start(get, [&](const HttpResult &) { secondRan = true; }));
    QVERIFY(QTest::qWaitFor([&] { return firstDone; }, 30000));
    QVERIFY(!secondRan);
    QVERIFY(!client.busy());
    QCOMPARE(silent.connections, 1);

    // Destroying a client while its request runs cancels it; its end never arrives.
    bool lateEnd = false;
    {
        CurlHttpClient leaving(cookies, CurlHttpClient::Limits(), [] { return true; });
        QVERIFY(leaving.start(get, [&](const HttpResult &) { lateEnd = true; }));
        QVERIFY(QTest::qWaitFor([&] { return silent.connections == 2; }, 10000));
    }
    QTest::qWait(50);
    QVERIFY(!lateEnd);
}

void TestHttpClient::networkCheckFailureSkips()
{
    Peer peer(Peer::Mode::Answer, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    CookieJar cookies;
    CurlHttpClient client(cookies, shortLimits(), [] { return false; });
    HttpRequest get;
    get.url = peer.url();
    get.checkNetwork = true;
    QCOMPARE(int(run(client, get).outcome), int(HttpResult::Outcome::Skipped));
    QCOMPARE(peer.connections, 0);
    get.checkNetwork = false;
    QCOMPARE(int(run(client, get).outcome), int(HttpResult::Outcome::Done));
}

void TestHttpClient::boundedAnswers_data()
{
    QTest::addColumn<int>("mode"); // SocketPeer::Mode
    QTest::addColumn<bool>("withLength");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QString>("errorPart");
    // A 64 KiB cap, whatever comes.
    QTest::newRow("endless answer") << int(SocketPeer::Mode::Endless) << false << false << false << "too long";
    QTest::newRow("announced beyond the cap") << int(SocketPeer::Mode::Answer) << true << false << false << "too long";
    QTest::newRow("endless answer, cut at the cap") << int(SocketPeer::Mode::Endless) << false << true << true << "";
    // A byte every 50 ms is never a stall; the 2 s deadline ends it.
    QTest::newRow("dripping answer") << int(SocketPeer::Mode::Trickle) << false << false << false << "imed out";
}

void TestHttpClient::boundedAnswers()
{
    QFETCH(int, mode);
    QFETCH(bool, withLength);
    QFETCH(bool, cut);
    QFETCH(bool, done);
    QFETCH(QString, errorPart);
    const qint64 cap = 64 * 1024;
    const QByteArray body = mode == int(SocketPeer::Mode::Answer) ? QByteArray(cap + 1, 'x') : QByteArray(10000, 'x');
    SocketPeer peer(SocketPeer::Mode(mode), SocketPeer::ok(body, "text/plain", withLength), 50);
    CookieJar cookies;
    CurlHttpClient::Limits limits = shortLimits();
    limits.deadlineSeconds = 2;
    CurlHttpClient client(cookies, limits, [] { return true; });
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("update.txt"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier copy");
    old.close();
    for (const QString &saveTo : {QString(), target}) {
        HttpRequest get;
        get.url = peer.url();
        get.saveTo = saveTo;
        get.maxBytes = cap;
        get.cutAtLimit = cut;
        qint64 digested = -1;
        get.digest = [&digested](const QByteArray &answer, QString *) {
            digested = answer.size();
            return QStringList();
        };
        const HttpResult r = run(client, get);
        QVERIFY2((r.outcome == HttpResult::Outcome::Done) == done, qPrintable(r.error));
        QVERIFY2(r.error.contains(errorPart), qPrintable(r.error));
        if (done) {
            QVERIFY(r.cut);
            QCOMPARE(digested, cap);
        }
    }
    // Nothing beside the file is left behind, and a refused answer keeps the old one.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("update.txt")});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.size(), done ? cap : qint64(12));
}

void TestHttpClient::cancelEndsARequest()
{
    SocketPeer peer(SocketPeer::Mode::Trickle, SocketPeer::ok(QByteArray(100000, 's')), 50);
    CookieJar cookies;
    CurlHttpClient client(cookies, CurlHttpClient::Limits(), [] { return true; });
    QTemporaryDir dir;
    HttpRequest get;
    get.url = peer.url();
    get.saveTo = dir.filePath(QStringLiteral("setup"));
    QSignalSpy work(&client, &HttpClient::work);
    HttpResult result;
    bool ended = false;
    QVERIFY(client.start(get, [&](const HttpResult &r) {
        result = r;
        ended = true;
    }));
    QVERIFY(work.wait(10000)); // bytes are coming
    client.cancel();
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 10000));
    QCOMPARE(int(result.outcome), int(HttpResult::Outcome::Cancelled));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

QTEST_MAIN(TestHttpClient)
#include "test_httpclient.moc"
