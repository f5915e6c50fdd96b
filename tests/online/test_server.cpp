// The project's web server (server/, PHP's built-in server, SQLite in a temporary
// folder) as the player's client meets it: what a report becomes in the database, the
// board's text, the rate limit.
#include "online/CurlHttpClient.h"
#include "online/OnlineRules.h"
#include "support/PhpServer.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

HttpResult post(const PhpServer &server, const char *path, const QByteArray &body)
{
    CookieJar cookies;
    CurlHttpClient client(cookies, CurlHttpClient::Limits(), [] { return true; });
    HttpRequest request;
    request.method = HttpRequest::Method::PostForm;
    request.url = server.base() + QLatin1String(path);
    request.body = body;
    HttpResult out;
    bool done = false;
    client.start(request, [&](const HttpResult &r) {
        out = r;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 30000))
        out.error = QStringLiteral("no answer");
    return out;
}

QStringList stored(const PhpServer &server)
{
    const QByteArray rows = server.query(QStringLiteral(
        "foreach ($db->query('SELECT name, message, address FROM reports ORDER BY id') as $r)"
        " echo $r['name'], '|', $r['message'], '|', $r['address'], \"\\n\";"));
    QStringList out = QString::fromUtf8(rows).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return out;
}

} // namespace

class TestServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storageRules_data();
    void storageRules();
    void rateLimit();
};

void TestServer::storageRules_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("row"); // name|message as stored; empty: nothing stored (HTTP 400)
    const auto form = [](const QString &name, const QString &message) {
        return online::encodeForm({QStringLiteral("jmeno=") + name, QStringLiteral("zprava=") + message});
    };
    QTest::newRow("Windows-1250 from the player") << form(QStringLiteral("Jiří"), QStringLiteral("Příliš žluťoučký kůň"))
                                                  << QStringLiteral("Jiří|Příliš žluťoučký kůň");
    QTest::newRow("UTF-8 from a browser") << QByteArray("jmeno=Ji%C5%99%C3%AD&zprava=P%C5%99%C3%ADli%C5%A1")
                                          << QStringLiteral("Jiří|Příliš");
    QTest::newRow("cut at 50 and 500 characters")
        << form(QString(60, QChar(0x159)), QString(600, QChar(0x17E))) << QString(50, QChar(0x159)) + '|' + QString(500, QChar(0x17E));
    QTest::newRow("separator removed, also when rejoined")
        << form(QStringLiteral("a;D7;b"), QStringLiteral("x;D;D7;7;y")) << QStringLiteral("ab|xy");
    QTest::newRow("line breaks become spaces") << form(QStringLiteral("n"), QStringLiteral("one\r\ntwo")) << QStringLiteral("n|one two");
    QTest::newRow("empty message not stored") << form(QStringLiteral("n"), QString()) << QString();
    QTest::newRow("only a separator is empty") << form(QStringLiteral("n"), QStringLiteral(";D7;")) << QString();
}

void TestServer::storageRules()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, row);
    PhpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const HttpResult r = post(server, "/problemy2.php", body);
    const QStringList rows = stored(server);
    if (row.isEmpty()) {
        // Nothing stored, and the answer says so.
        QCOMPARE(int(r.outcome), int(HttpResult::Outcome::Failed));
        QCOMPARE(r.status, 400);
        QCOMPARE(rows, QStringList());
        return;
    }
    QVERIFY2(r.outcome == HttpResult::Outcome::Done, qPrintable(r.error));
    QCOMPARE(rows, QStringList{row + QStringLiteral("|127.0.0.1")});
    // The board: "<date> <name>: <message>" and the separator.
    const HttpResult board = post(server, "/problemy.php", QByteArray());
    const QString text = QString::fromUtf8(board.body);
    const QStringList pieces = online::splitBoard(text);
    QCOMPARE(pieces.size(), 1);
    const QString name = row.section(QLatin1Char('|'), 0, 0), message = row.section(QLatin1Char('|'), 1);
    QVERIFY2(pieces[0].endsWith(QLatin1Char(' ') + name + QStringLiteral(": ") + message), qPrintable(pieces[0]));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d ")).match(pieces[0]).hasMatch());
}

void TestServer::rateLimit()
{
    PhpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    for (int i = 1; i <= 5; ++i) {
        const HttpResult r = post(server, "/problemy2.php", online::encodeForm({"jmeno=n", QStringLiteral("zprava=%1").arg(i)}));
        QVERIFY2(r.outcome == HttpResult::Outcome::Done, qPrintable(r.error));
    }
    const HttpResult sixth = post(server, "/problemy2.php", online::encodeForm({"jmeno=n", "zprava=6"}));
    QCOMPARE(int(sixth.outcome), int(HttpResult::Outcome::Failed));
    QCOMPARE(sixth.status, 429);
    QVERIFY(sixth.error.contains(QLatin1String("429")));
    QCOMPARE(stored(server).size(), 5);
    // The board, newest first.
    const QStringList board = online::splitBoard(QString::fromUtf8(post(server, "/problemy.php", {}).body));
    QCOMPARE(board.size(), 5);
    QVERIFY(board.first().endsWith(QLatin1String("n: 5")) && board.last().endsWith(QLatin1String("n: 1")));
}

QTEST_MAIN(TestServer)
#include "test_server.moc"
