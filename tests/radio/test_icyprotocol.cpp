// The pure parts of reading a radio stream: header lines, the buffering percentage,
// metadata de-interleaving, playlist files and the proxy text.
#include "radio/IcyProtocol.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<QByteArray>)

class TestIcyProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serverInfo_data();
    void serverInfo();
    void bufferingPercent_data();
    void bufferingPercent();
    void demuxerSplitsAtAnyChunkSize_data();
    void demuxerSplitsAtAnyChunkSize();
    void playlists_data();
    void playlists();
    void proxy_data();
    void proxy();
};

void TestIcyProtocol::serverInfo_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QStringList>("expected"); // "code|text"
    QTest::newRow("name and bit rate") << QList<QByteArray>{"ICY 200 OK", "icy-name:Radio X", "icy-br:128"}
                                       << QStringList{"3|Radio X", "4|bitrate: 128"};
    QTest::newRow("capitals are not recognised") << QList<QByteArray>{"ICY-NAME:Loud", "Icy-Br:64"} << QStringList{};
    QTest::newRow("space after the colon stays") << QList<QByteArray>{"icy-name: Spaced"} << QStringList{"3| Spaced"};
    QTest::newRow("two name lines, in order") << QList<QByteArray>{"icy-name:First", "icy-genre:x", "icy-name:Second"}
                                              << QStringList{"3|First", "3|Second"};
    QTest::newRow("Windows-1250 name") << QList<QByteArray>{"icy-name:\xd8\xe1\x64io"} << QStringList{"3|Řádio"};
}

void TestIcyProtocol::serverInfo()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const icy::InfoLine &l : icy::serverInfo(lines))
        got.append(QString::number(l.code) + QLatin1Char('|') + l.text);
    QCOMPARE(got, expected);
}

void TestIcyProtocol::bufferingPercent_data()
{
    QTest::addColumn<quint64>("end");
    QTest::addColumn<quint64>("downloaded");
    QTest::addColumn<quint64>("current");
    QTest::addColumn<quint32>("percent");
    QTest::newRow("empty") << quint64(80000) << quint64(0) << quint64(0) << 0u;
    QTest::newRow("three quarters is not yet over") << quint64(80000) << quint64(60000) << quint64(0) << 75u;
    QTest::newRow("truncated") << quint64(80000) << quint64(60799) << quint64(0) << 75u;
    QTest::newRow("just over") << quint64(80000) << quint64(60800) << quint64(0) << 76u;
    QTest::newRow("minus what was played") << quint64(80000) << quint64(100000) << quint64(40000) << 75u;
    QTest::newRow("full") << quint64(80000) << quint64(80000) << quint64(0) << 100u;
    QTest::newRow("end 0 counts as full") << quint64(0) << quint64(10) << quint64(0) << 100u;
}

void TestIcyProtocol::bufferingPercent()
{
    QFETCH(quint64, end);
    QFETCH(quint64, downloaded);
    QFETCH(quint64, current);
    QFETCH(quint32, percent);
    QCOMPARE(icy::bufferingPercent(end, downloaded, current), percent);
}

void TestIcyProtocol::demuxerSplitsAtAnyChunkSize_data()
{
    QTest::addColumn<int>("chunk");
    for (int chunk : {1, 7, 16, 17, 4097, 1 << 20})
        QTest::addRow("chunks of %d", chunk) << chunk;
}

void TestIcyProtocol::demuxerSplitsAtAnyChunkSize()
{
    QFETCH(int, chunk);
    // metaint 100: a title, an unchanged block (length 0), the largest block there is.
    const int metaint = 100;
    QByteArray audio;
    for (int i = 0; i < 4 * metaint; ++i)
        audio.append(char(i * 7));
    const QByteArray title("StreamTitle='One';");
    QByteArray padded = title;
    padded.append(QByteArray(16 - title.size() % 16, '\0'));
    const QByteArray largest(255 * 16, 'L');
    QByteArray wire = audio.mid(0, 100) + char(padded.size() / 16) + padded + audio.mid(100, 100) + char(0)
        + audio.mid(200, 100) + char(255) + largest + audio.mid(300, 100);

    icy::MetaDemuxer demuxer(metaint);
    QByteArray out;
    std::vector<icy::MetaDemuxer::Block> blocks;
    for (int at = 0; at < wire.size(); at += chunk)
        demuxer.feed(wire.constData() + at, size_t(std::min<qsizetype>(chunk, wire.size() - at)), out, blocks);
    QCOMPARE(out, audio);
    QCOMPARE(demuxer.audioBytes(), quint64(audio.size()));
    QCOMPARE(blocks.size(), size_t(2));
    QCOMPARE(blocks[0].audioOffset, quint64(100));
    QCOMPARE(blocks[0].text, padded);
    QCOMPARE(blocks[1].audioOffset, quint64(300));
    QCOMPARE(blocks[1].text, largest);
}

void TestIcyProtocol::playlists_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("entries");
    const QString base = QStringLiteral("http://127.0.0.1:8000/dir/list");
    const int m3u = int(icy::PlaylistKind::M3u), pls = int(icy::PlaylistKind::Pls), none = int(icy::PlaylistKind::None);
    QTest::newRow("extended m3u by type") << QByteArray("audio/x-mpegurl") << base
                                          << QByteArray("#EXTM3U\n#EXTINF:-1,A\nhttp://h/a.mp3\n\n#x\nhttp://h/b\n")
                                          << m3u << QStringList{"http://h/a.mp3", "http://h/b"};
    QTest::newRow("m3u8 with BOM, CR LF, relative entry")
        << QByteArray("application/octet-stream") << base + ".m3u8" << QByteArray("\xEF\xBB\xBF#EXTM3U\r\nstream.mp3\r\n")
        << m3u << QStringList{"http://127.0.0.1:8000/dir/stream.mp3"};
    QTest::newRow("pls by its first line, other schemes skipped")
        << QByteArray("text/plain") << base
        << QByteArray("[playlist]\nNumberOfEntries=3\nFile1=ftp://h/x\nTitle1=t\nFile2=http://h:1/s\nfile3=https://h/t\nLength2=-1\n")
        << pls << QStringList{"http://h:1/s", "https://h/t"};
    QTest::newRow("pls by extension") << QByteArray() << base + ".PLS" << QByteArray("File1=http://h/a\n") << pls
                                      << QStringList{"http://h/a"};
    QTest::newRow("bare addresses as text") << QByteArray("text/plain; charset=utf-8") << base
                                            << QByteArray("http://h/a\n") << m3u << QStringList{"http://h/a"};
    QTest::newRow("live-streaming segment list has no streams")
        << QByteArray("application/vnd.apple.mpegurl") << base
        << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n") << m3u << QStringList{};
    QByteArray many = "[playlist]\n";
    for (int i = 1; i <= 10000; ++i)
        many += "File" + QByteArray::number(i) + "=http://h/" + QByteArray::number(i) + "\n";
    QStringList first16;
    for (int i = 1; i <= 16; ++i)
        first16.append(QStringLiteral("http://h/%1").arg(i));
    QTest::newRow("10,000 entries: the first 16") << QByteArray("audio/x-scpls") << base << many << pls << first16;
    QTest::newRow("audio is no playlist") << QByteArray("audio/mpeg") << base + ".mp3" << QByteArray("\xff\xfb\x90")
                                          << none << QStringList{};
}

void TestIcyProtocol::playlists()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QString, url);
    QFETCH(QByteArray, body);
    QFETCH(int, kind);
    QFETCH(QStringList, entries);
    const icy::PlaylistKind found = icy::playlistKind(contentType, QUrl(url), body.left(512));
    QCOMPARE(int(found), kind);
    if (found != icy::PlaylistKind::None)
        QCOMPARE(icy::playlistEntries(found, body, QUrl(url), 16), entries);
}

void TestIcyProtocol::proxy_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("empty is direct") << "" << true << true << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("host:port") << "proxy.lan:3128" << true << false << QByteArray("http://proxy.lan:3128")
                               << QByteArray() << QByteArray();
    QTest::newRow("with credentials") << " user:secret@10.0.0.1:8080 " << true << false
                                      << QByteArray("http://10.0.0.1:8080") << QByteArray("user") << QByteArray("secret");
    QTest::newRow("password with : and @") << "u:p:a@ss@h:1" << true << false << QByteArray("http://h:1")
                                           << QByteArray("u") << QByteArray("p:a@ss");
    QTest::newRow("scheme and slash") << "http://h:81/" << true << false << QByteArray("http://h:81") << QByteArray()
                                      << QByteArray();
    for (const char *bad : {"host:", "host:port", ":80", "h:70000", "user:pw@", "a b:80"})
        QTest::newRow(bad) << QString::fromLatin1(bad) << false << false << QByteArray() << QByteArray() << QByteArray();
}

void TestIcyProtocol::proxy()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const icy::Proxy p = icy::parseProxy(text);
    QCOMPARE(p.valid, valid);
    if (!valid)
        return;
    QTEST(p.direct, "direct");
    QTEST(p.address, "address");
    QTEST(p.user, "user");
    QTEST(p.password, "password");
}

QTEST_APPLESS_MAIN(TestIcyProtocol)
#include "test_icyprotocol.moc"
