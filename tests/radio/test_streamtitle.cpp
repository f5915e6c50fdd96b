// Titles out of stream metadata blocks, as radio servers send them.
#include "radio/StreamTitle.h"

#include <QtTest>

class TestStreamTitle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestStreamTitle::parse_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("title");
    QTest::newRow("usual") << QByteArray("StreamTitle='Artist - Song';StreamUrl='';") << true << "Artist - Song";
    QTest::newRow("empty title") << QByteArray("StreamTitle='';") << true << "";
    QTest::newRow("semicolon inside") << QByteArray("StreamTitle='A;B';") << true << "A;B";
    QTest::newRow("quotes inside") << QByteArray("StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='x';") << true
                                   << "Guns N' Roses - Don't Cry";
    QTest::newRow("another field first") << QByteArray("StreamUrl='http://x/';StreamTitle='T';") << true << "T";
    QTest::newRow("name inside another field") << QByteArray("StreamUrl='StreamTitle=no';StreamTitle='yes';")
                                               << true << "yes";
    QTest::newRow("NUL padding") << QByteArray("StreamTitle='X';\0\0\0\0\0", 21) << true << "X";
    QTest::newRow("closing quote ends the block") << QByteArray("StreamTitle='X'") << true << "X";
    QTest::newRow("cut off") << QByteArray("StreamTitle='Half") << true << "Half";
    QTest::newRow("unquoted") << QByteArray("StreamTitle=Plain;") << true << "Plain";
    QTest::newRow("UTF-8") << QByteArray("StreamTitle='P\xc5\x99\xc3\xadli\xc5\xa1';") << true
                           << QString::fromUtf8("P\xc5\x99\xc3\xadli\xc5\xa1");
    QTest::newRow("Windows-1250") << QByteArray("StreamTitle='P\xf8\xedli\x9a';") << true
                                  << QString::fromUtf8("P\xc5\x99\xc3\xadli\xc5\xa1");
    const QString czech = QString::fromUtf8("P\xc5\x99\xc3\xadli\xc5\xa1 'A;B'");
    const auto utf16 = [&](bool little, const QByteArray &after) {
        QByteArray bytes("StreamTitle='");
        bytes += little ? "\xff\xfe" : "\xfe\xff";
        for (const QChar c : czech + QStringLiteral("';")) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            bytes.append(little ? lo : hi);
            bytes.append(little ? hi : lo);
        }
        return bytes + after;
    };
    QTest::newRow("UTF-16 LE with its mark") << utf16(true, QByteArray("\0\0\0", 3)) << true << czech;
    QTest::newRow("UTF-16 BE with its mark") << utf16(false, "") << true << czech;
    QByteArray asciiEnd = utf16(true, "StreamUrl='';");
    asciiEnd.chop(13 + 4);
    asciiEnd += "';StreamUrl='';";
    QTest::newRow("UTF-16, the field closed in ASCII") << asciiEnd << true << czech;
    QByteArray cut = utf16(true, "");
    cut.chop(8);
    QTest::newRow("UTF-16 cut off") << cut << true << czech.chopped(2);
    QTest::newRow("no title field") << QByteArray("StreamUrl='';") << false << "";
    QTest::newRow("empty block") << QByteArray() << false << "";
}

void TestStreamTitle::parse()
{
    QFETCH(QByteArray, metadata);
    QFETCH(bool, found);
    QFETCH(QString, title);
    const std::optional<QString> parsed = stream_title::parse(metadata);
    QCOMPARE(parsed.has_value(), found);
    if (found)
        QCOMPARE(*parsed, title);
}

QTEST_GUILESS_MAIN(TestStreamTitle)
#include "test_streamtitle.moc"
