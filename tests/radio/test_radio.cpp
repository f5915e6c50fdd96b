// The radio window and its connection against the local ICY server and proxy, playing
// into a PulseAudio null sink: the labels through a normal connection and each failure,
// playlists, the proxy's credentials, titles when they are heard, the refusal while
// connecting, reconnection after a drop or a server restart, and hostile answers.
#include "../playback/PlaybackTestUtil.h"
#include "../visualisation/VisTestSupport.h"
#include "fixtures/media/MediaMaker.h"
#include "radio/RadioErrors.h"
#include "radio/RadioPlayer.h"
#include "radio/TForm6.h"
#include "support/RadioServers.h"
#include "volume/PulseMixer.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTcpServer>
#include <QtTest>

using namespace playback_test;

namespace {

constexpr double kToneHz = 1000;

struct Radio {
    explicit Radio(const RadioStream::Options &options = {})
    {
        player.setStreamOptions(options);
        window = std::make_unique<TForm6>(main, player);
        QObject::connect(&player, &RadioPlayer::radioInfo, [this](int code, quint32 number, const QString &text) {
            codes.append(code);
            log.append(QStringLiteral("%1|%2|%3").arg(code).arg(number).arg(text));
        });
    }
    ~Radio()
    {
        player.shutdown();
        window.reset();
    }
    void start(const QString &address, const QString &proxy = QString())
    {
        window->Edit1->setText(address);
        window->Button2Click();
        window->ListBox1->setCurrentRow(window->ListBox1->count() - 1);
        window->ed_ProxyServer->setText(proxy);
        window->ListBox1DblClick();
    }
    bool saw(int code, const QString &text = QString()) const
    {
        for (const QString &entry : log)
            if (entry.startsWith(QString::number(code) + QLatin1Char('|')) && (text.isNull() || entry.endsWith(QLatin1Char('|') + text)))
                return true;
        return false;
    }

    FakeMainLink main;
    RadioPlayer player;
    std::unique_ptr<TForm6> window;
    QList<int> codes;
    QStringList log;
};

// Our playback streams on the sound server.
int ourStreams()
{
    const QString out = pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")});
    return int(out.count(QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid())));
}

} // namespace

class TestRadio : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void normalConnection();
    void reachesTheStream_data();
    void reachesTheStream();
    void failures_data();
    void failures();
    void refusedWhileConnecting();
    void switchingStopsThePrevious();
    void reconnects();
    void givesUpAfterTheLastTry();
    void stallRecoversLikeADrop();
    void playlistWalksAreBounded_data();
    void playlistWalksAreBounded();
    void hangingEntriesGiveWay();
    void waveVolumeReachesTheStation();
    void cleanupTestCase();

private:
    QTemporaryDir media_;
    std::unique_ptr<PrivateNullSink> sink_;
    std::unique_ptr<LocalIcyServer> server_;
    LocalProxy proxy_;
};

void TestRadio::initTestCase()
{
    QString why;
    if (!pulseAvailable(&why))
        QSKIP(qPrintable(why));
    sink_ = std::make_unique<PrivateNullSink>();
    QVERIFY(sink_->isLoaded());
    LocalIcyServer::Options o;
    o.mp3 = media_.filePath(QStringLiteral("tone.mp3"));
    o.ogg = media_.filePath(QStringLiteral("tone.ogg"));
    o.aac = media_.filePath(QStringLiteral("tone.aac"));
    for (const QString &file : {o.mp3, o.ogg, o.aac})
        QVERIFY2(media_maker::makeStreamTone(file, kToneHz, 8000, 128, &why), qPrintable(why));
    o.titleEverySeconds = 2;
    o.dropAfter = 100000;
    server_ = std::make_unique<LocalIcyServer>(o);
    QVERIFY2(server_->start(), qPrintable(server_->errorString()));
    QVERIFY2(proxy_.start(QStringLiteral("u"), QStringLiteral("p:w")), qPrintable(proxy_.errorString()));
    // Direct connections must not go through the environment's proxy (it refuses them).
    qputenv("http_proxy", proxy_.url(QString()).toUtf8());
}

void TestRadio::cleanupTestCase()
{
    server_.reset();
    sink_.reset();
}

void TestRadio::normalConnection()
{
    Radio radio;
    MonitorRecorder recorder;
    QVERIFY(recorder.start(sink_->name()));
    radio.start(server_->url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(7, QStringLiteral("Song 1")), 10000);
    // 0, the status line, buffering up to more than 75 %, name, bit rate, title.
    const QList<int> expected{0, 8, 2};
    QCOMPARE(radio.codes.mid(0, 3), expected);
    QCOMPARE(radio.log[1], QStringLiteral("8|0|ICY 200 OK"));
    const qsizetype name = radio.codes.indexOf(3);
    QCOMPARE(radio.codes.mid(name), (QList<int>{3, 4, 7}));
    QVERIFY(radio.log[name - 1].section(QLatin1Char('|'), 1, 1).toInt() > 75);
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("Test Radio"));
    QCOMPARE(radio.window->Label5->text(), QStringLiteral("bitrate: 128"));
    QCOMPARE(radio.window->Label3->text(), QStringLiteral("Song 1"));
    QTRY_VERIFY(!radio.player.connecting());

    // The next title comes when it is heard: the server sent it after a 4 s burst.
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(7, QStringLiteral("Song 2")), 15000);
    const double heardSeconds = double(recorder.framesSoFar()) / 44100;
    QCOMPARE(radio.window->Label3->text(), QStringLiteral("Song 2"));
    const std::vector<double> left = channelOf(recorder.stop(), 2, 0);
    QVERIFY2(heardSeconds > 3.5, qPrintable(QString::number(heardSeconds)));
    const auto [begin, end] = loudRange(left, 1000);
    QVERIFY(end - begin > 44100);
    QVERIFY(tonePower(left, begin, end, kToneHz, 44100) > 10 * tonePower(left, begin, end, 2 * kToneHz, 44100));
    QVERIFY(server_->log().last().value(QStringLiteral("headers")).toObject().contains(QStringLiteral("Icy-MetaData")));
}

void TestRadio::reachesTheStream_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("HTTP status line") << "/http.mp3" << false << " Test Radio HTTP" << "Song 1";
    QTest::newRow("m3u") << "/list.m3u" << false << "Test Radio" << "Song 1";
    QTest::newRow("m3u8 with BOM and CR LF") << "/list.m3u8" << false << "Test Radio" << "Song 1";
    QTest::newRow("pls, first entry dead") << "/list.pls" << false << "Test Radio" << "Song 1";
    QTest::newRow("redirection") << "/redirect" << false << "Test Radio" << "Song 1";
    QTest::newRow("through the proxy") << "/http.mp3" << true << " Test Radio HTTP" << "Song 1";
    QTest::newRow("quotes and semicolons") << "/quotes.mp3" << false << "Test Radio" << "Rock'n'Roll; Part 1";
    QTest::newRow("Windows-1250 title") << "/cp1250.mp3" << false << "Test Radio" << "Příliš žluťoučký kůň 1";
    QTest::newRow("UTF-16 title") << "/utf16.mp3" << false << "Test Radio" << "Příliš žluťoučký kůň 1";
    QTest::newRow("Ogg Vorbis") << "/stream.ogg" << false << "Test Radio" << "Song 1";
    QTest::newRow("AAC") << "/stream.aac" << false << "Test Radio" << "Song 1";
    QTest::newRow("no name, no titles") << "/nometa.mp3" << false << QString() << QString();
    QTest::newRow("largest metadata block") << "/big-meta.mp3" << false << "Test Radio" << QString();
}

void TestRadio::reachesTheStream()
{
    QFETCH(QString, path);
    QFETCH(bool, viaProxy);
    QFETCH(QString, name);
    QFETCH(QString, title);
    Radio radio;
    MonitorRecorder recorder;
    QVERIFY(recorder.start(sink_->name()));
    const int proxied = int(proxy_.log().size());
    radio.start(server_->url(path), viaProxy ? QStringLiteral("u:p:w@127.0.0.1:%1").arg(proxy_.port()) : QString());
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 10000);
    QVERIFY2(!radio.saw(1), qPrintable(radio.log.join(QLatin1Char('\n'))));
    if (name.isNull()) // the last buffering text stays
        QVERIFY(radio.window->Label4->text().startsWith(QStringLiteral("line 29 ")));
    else
        QCOMPARE(radio.window->Label4->text(), name);
    if (!title.isNull())
        QCOMPARE(radio.window->Label3->text(), title);
    else if (path == QLatin1String("/big-meta.mp3"))
        QCOMPARE(radio.window->Label3->text().size(), 4080 - 29); // all but the field's frame and a NUL
    // Sound arrives: half a second of the tone (AAC's decoder may start it later than
    // the others, so the wait is for the sound, not for a time).
    QVERIFY(QTest::qWaitFor(
        [&] {
            const qint64 frames = recorder.framesSoFar();
            if (frames < 22050)
                return false;
            const std::vector<double> left = channelOf(recorder.samplesSince(frames - 22050), 2, 0);
            return rms(left, 0, left.size()) > 1000;
        },
        10000));
    recorder.stop();
    if (viaProxy) {
        const QList<QJsonObject> seen = proxy_.log().mid(proxied);
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.first().value(QStringLiteral("auth")).toString(), QStringLiteral("u:p:w"));
    }
}

void TestRadio::failures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<int>("error");
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString closedPort = QStringLiteral("http://127.0.0.1:%1/x").arg(closed.serverPort());
    closed.close();
    const QString proxy = QStringLiteral("127.0.0.1:%1").arg(proxy_.port());
    QTest::newRow("empty address") << "" << "" << int(radio_error::BadAddress);
    QTest::newRow("nothing listens") << closedPort << "" << int(radio_error::ConnectionRefused);
    QTest::newRow("404") << server_->url("/404") << "" << int(radio_error::HttpStatus);
    QTest::newRow("web page") << server_->url("/html") << "" << int(radio_error::NotAudio);
    QTest::newRow("binary garbage") << server_->url("/garbage") << "" << int(radio_error::NotAudio);
    QTest::newRow("random bytes, no status line") << server_->url("/noise") << "" << int(radio_error::BadResponse);
    // The ICY server stands in for a proxy: it answers the proxy's request for /noise.
    QTest::newRow("a proxy answering random bytes") << server_->url("/noise") << QStringLiteral("127.0.0.1:%1").arg(server_->port())
                                                    << int(radio_error::ProxyRefused);
    QTest::newRow("status line only") << server_->url("/close-early") << "" << int(radio_error::NotAudio);
    QTest::newRow("playlist naming itself") << server_->url("/self.m3u") << "" << int(radio_error::PlaylistEmpty);
    QTest::newRow("10,000 dead entries") << server_->url("/big.pls") << "" << int(radio_error::HttpStatus);
    QTest::newRow("redirection loop") << server_->url("/redirect-loop") << "" << int(radio_error::TooManyRedirects);
    QTest::newRow("1 MiB header line") << server_->url("/huge-header") << "" << int(radio_error::TooLarge);
    QTest::newRow("endless headers") << server_->url("/endless-headers") << "" << int(radio_error::TooLarge);
    QTest::newRow("proxy without credentials") << server_->url("/http.mp3") << proxy << int(radio_error::ProxyRefused);
    QTest::newRow("proxy, wrong password") << server_->url("/http.mp3") << "u:x@" + proxy << int(radio_error::ProxyRefused);
    QTest::newRow("proxy text no host:port") << server_->url("/http.mp3") << "proxy:port" << int(radio_error::ProxyRefused);
    QTest::newRow("proxy not there") << server_->url("/http.mp3") << closedPort.mid(7, closedPort.size() - 9)
                                     << int(radio_error::ProxyRefused);
}

void TestRadio::failures()
{
    QFETCH(QString, address);
    QFETCH(QString, proxy);
    QFETCH(int, error);
    Radio radio;
    radio.start(address, proxy);
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 20000);
    QCOMPARE(radio.codes.first(), 0);
    QCOMPARE(radio.codes.last(), 1);
    QCOMPARE(radio.log.last(), QStringLiteral("1|%1|").arg(error));
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("line 16"));
    QCOMPARE(radio.main.scripted.messageTexts(), QStringList{QStringLiteral("Can't play the stream\n(error code: %1)").arg(error)});
    QCOMPARE(ourStreams(), 0);
}

void TestRadio::refusedWhileConnecting()
{
    // A server that takes the connection and never answers: connecting until the
    // stall limit.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    RadioStream::Options options;
    options.limits.stallSeconds = 2;
    Radio radio(options);
    radio.start(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
    QVERIFY(radio.player.connecting());
    radio.window->ListBox1DblClick();
    radio.window->ListBox1DblClick();
    QCOMPARE(radio.main.scripted.beeps, 2);
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 10000);
    QCOMPARE(radio.codes, (QList<int>{0, 1}));
    QCOMPARE(radio.log.last(), QStringLiteral("1|%1|").arg(int(radio_error::TimedOut)));
    // Once it has ended, the next start connects.
    radio.start(server_->url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(3, QStringLiteral("Test Radio")), 10000);
    QCOMPARE(radio.main.scripted.beeps, 2);

    // At the end, a connection in progress is cancelled and its worker joined.
    QTRY_VERIFY(!radio.player.connecting());
    radio.start(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
    QVERIFY(radio.player.connecting());
    radio.player.shutdown();
    QVERIFY(!radio.player.connecting());
}

void TestRadio::switchingStopsThePrevious()
{
    Radio radio;
    radio.start(server_->url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(7), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ourStreams(), 1, 5000);
    radio.start(server_->url(QStringLiteral("/stream.ogg")));
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting() && radio.codes.count(3) == 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ourStreams(), 1, 5000);
    // A station that does not answer stops the one playing and leaves silence.
    radio.start(server_->url(QStringLiteral("/404")));
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 10000);
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("line 16"));
    QCOMPARE(radio.window->Label3->text(), QString());
    QCOMPARE(ourStreams(), 0);
}

void TestRadio::reconnects()
{
    RadioStream::Options options;
    options.firstPauseMs = 200;
    options.limits.stallSeconds = 2;
    Radio radio(options);
    MonitorRecorder recorder;
    QVERIFY(recorder.start(sink_->name()));
    // Dropped twice by the server, then streaming: back each time.
    radio.start(server_->url(QStringLiteral("/drop.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.codes.count(10) == 2, 20000);
    QCOMPARE(radio.codes.count(9), 2);
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("Test Radio"));
    // The plug pulled and put back.
    server_->stop();
    QTRY_VERIFY_WITH_TIMEOUT(radio.codes.count(9) == 3, 15000);
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("line 28"));
    QVERIFY(server_->restart());
    QTRY_VERIFY_WITH_TIMEOUT(radio.codes.count(10) == 3, 15000);
    // The station's name comes with the next message after the connection: waited for.
    QTRY_COMPARE_WITH_TIMEOUT(radio.window->Label4->text(), QStringLiteral("Test Radio"), 10000);
    const qint64 before = recorder.framesSoFar();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSoFar() > before + 44100, 10000);
    const std::vector<double> left = channelOf(recorder.stop(), 2, 0);
    QVERIFY(rms(left, left.size() - 22050, left.size()) > 1000);
    QVERIFY(!radio.saw(1));

    // A server that stops sending but keeps the connection: found out, connected again.
    radio.start(server_->url(QStringLiteral("/stall.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(10), 20000);
}

void TestRadio::givesUpAfterTheLastTry()
{
    LocalIcyServer server(server_->options());
    QVERIFY(server.start());
    RadioStream::Options options;
    options.firstPauseMs = 100;
    options.reconnectTries = 3;
    Radio radio(options);
    radio.start(server.url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(7), 10000);
    server.stop();
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(1), 15000);
    QCOMPARE(radio.codes.count(9), 3);
    QCOMPARE(radio.log.last(), QStringLiteral("1|%1|").arg(int(radio_error::ConnectionRefused)));
    QCOMPARE(radio.window->Label4->text(), QStringLiteral("line 16"));
    QCOMPARE(radio.main.scripted.messageTexts().size(), 1);
}

void TestRadio::waveVolumeReachesTheStation()
{
    // Set before the station starts: its stream, opened later, takes the levels.
    PulseMixer mixer;
    mixer.SetWaveVolume(65535, 0);
    Radio radio;
    radio.start(server_->url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting() && radio.saw(7), 10000);
    const auto percentages = [this] {
        QList<int> out;
        const QString line = sink_->streamVolumes().value(0);
        for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("(\\d+)%")).globalMatch(line))
            out.append(m.captured(1).toInt());
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(percentages(), (QList<int>{100, 0}), 5000);
}

void TestRadio::stallRecoversLikeADrop()
{
    // The first connection sends 8 s of audio at once and then nothing, keeping the
    // socket open. Found out only after the 5 s buffer has run dry (8 s without data),
    // so playback starves before the second connection streams: sound must come back
    // all the same, as it does after a drop.
    RadioStream::Options options;
    options.firstPauseMs = 200;
    options.limits.stallSeconds = 8;
    Radio radio(options);
    MonitorRecorder recorder;
    QVERIFY(recorder.start(sink_->name()));
    radio.start(server_->url(QStringLiteral("/stall-once.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(7), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(10), 30000);
    const qint64 mark = recorder.framesSoFar();
    const auto loudSinceMark = [&] {
        const std::vector<double> left = channelOf(recorder.samplesSince(mark), 2, 0);
        const auto [begin, end] = loudRange(left, 1000);
        return end > begin + 44100;
    };
    QVERIFY(QTest::qWaitFor(loudSinceMark, 15000));
    const std::vector<double> left = channelOf(recorder.stop(), 2, 0);
    QVERIFY(rms(left, left.size() - 22050, left.size()) > 1000);
    QVERIFY(!radio.saw(1));
}

void TestRadio::playlistWalksAreBounded_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("maxRequests");
    QTest::newRow("names itself") << "/self.m3u" << int(radio_error::PlaylistEmpty) << 1;
    QTest::newRow("names itself 16 times") << "/self16.m3u" << int(radio_error::PlaylistEmpty) << 1;
    // Every entry a new playlist of 16 more: only the total of entries tried ends it.
    QTest::newRow("endless tree of playlists") << "/tree.m3u" << int(radio_error::PlaylistEmpty)
                                               << 1 + StreamConnection::Limits().maxPlaylistTotal;
}

void TestRadio::playlistWalksAreBounded()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    QFETCH(int, maxRequests);
    const qsizetype before = server_->log().size();
    Radio radio;
    radio.start(server_->url(path));
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 20000);
    QCOMPARE(radio.log.last(), QStringLiteral("1|%1|").arg(error));
    const QList<QJsonObject> seen = server_->log().mid(before);
    QVERIFY2(seen.size() <= maxRequests, qPrintable(QString::number(seen.size())));
    // Another station plays at once afterwards.
    radio.start(server_->url(QStringLiteral("/icy.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(3, QStringLiteral("Test Radio")), 10000);
}

void TestRadio::hangingEntriesGiveWay()
{
    // Every entry of the playlist takes the connection and never answers.
    RadioStream::Options options;
    options.limits.attemptSeconds = 3;
    Radio radio(options);
    TForm6 &w = *radio.window;
    w.ListBox1->clear();
    w.ListBox1->addItems({server_->url(QStringLiteral("/hang.pls")), server_->url(QStringLiteral("/icy.mp3"))});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto doubleClick = [&](int row) {
        const QRect r = w.ListBox1->visualItemRect(w.ListBox1->item(row));
        QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
    };

    // The attempt as a whole has a deadline, however many entries hang.
    QElapsedTimer clock;
    clock.start();
    doubleClick(0);
    QVERIFY(radio.player.connecting());
    doubleClick(0); // the same station again: a beep
    QCOMPARE(radio.main.scripted.beeps, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!radio.player.connecting(), 15000);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(radio.log.last(), QStringLiteral("1|%1|").arg(int(radio_error::TimedOut)));
    QCOMPARE(radio.main.scripted.messageTexts().size(), 1);

    // Another station picked while one connects replaces it, without a beep or an error.
    radio.log.clear();
    doubleClick(0);
    QVERIFY(radio.player.connecting());
    doubleClick(1);
    QTRY_VERIFY_WITH_TIMEOUT(radio.saw(3, QStringLiteral("Test Radio")), 10000);
    QVERIFY2(clock.elapsed() < 16000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!radio.saw(1));
    QCOMPARE(radio.main.scripted.beeps, 1);
    QCOMPARE(radio.main.scripted.messageTexts().size(), 1);
    QCOMPARE(w.Label4->text(), QStringLiteral("Test Radio"));
}

QTEST_MAIN(TestRadio)
#include "test_radio.moc"
