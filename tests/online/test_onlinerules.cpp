// The plain rules of the online services: form bytes on the wire, the board split, the
// release comparison, the download's checksum line, the server addresses.
#include "online/OnlineRules.h"
#include "settings/IniFile.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

class TestOnlineRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formEncoding_data();
    void formEncoding();
    void boardSplit_data();
    void boardSplit();
    void boardRows();
    void releaseComparison_data();
    void releaseComparison();
    void checksumRule_data();
    void checksumRule();
    void servers();
};

void TestOnlineRules::formEncoding_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("report") << QStringList{"jmeno=abc", "zprava=a b"} << QByteArray("jmeno=abc&zprava=a+b&");
    QTest::newRow("empty message") << QStringList{"jmeno=abc", "zprava="} << QByteArray("jmeno=abc&zprava=&");
    QTest::newRow("empty form of the board") << QStringList{} << QByteArray();
    QTest::newRow("one line has no &") << QStringList{"jmeno=a b"} << QByteArray("jmeno=a+b");
    QTest::newRow("diacritics as cp1250 bytes") << QStringList{QStringLiteral("zprava=Příliš žluťoučký")}
                                                << QByteArray("zprava=P%F8%EDli%9A+%9Elu%9Dou%E8k%FD");
    QTest::newRow("reserved characters") << QStringList{"a=x&y=z+%/~.-_"} << QByteArray("a=x%26y%3Dz%2B%25%2F%7E%2E%2D%5F");
    QTest::newRow("only the value is encoded") << QStringList{"a b=c d", "e"} << QByteArray("a b=c+d&e&");
    QTest::newRow("outside the code page") << QStringList{QStringLiteral("z=€日")} << QByteArray("z=%80%3F");
    QTest::newRow("ends trimmed") << QStringList{QStringLiteral(" x= ")} << QByteArray("x=+");
    QTest::newRow("line breaks encoded") << QStringList{"z=a\r\nb"} << QByteArray("z=a%0D%0Ab");
}

void TestOnlineRules::formEncoding()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, body);
    QCOMPARE(online::encodeForm(lines), body);
}

void TestOnlineRules::boardSplit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("two ended") << "a;D7;b;D7;" << QStringList{"a", "b"};
    QTest::newRow("last piece dropped") << "a;D7;b" << QStringList{"a"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("no separator") << "Error 500" << QStringList{};
    QTest::newRow("empty report") << ";D7;" << QStringList{""};
    QTest::newRow("near misses stay") << "a;D7b;d7;;D7;" << QStringList{"a;D7b;d7;"};
}

void TestOnlineRules::boardSplit()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QCOMPARE(online::splitBoard(text), rows);
}

void TestOnlineRules::boardRows()
{
    // The same rows as the split, decoded one by one, bounded in number and length.
    QCOMPARE(online::boardRows("a;D7;b;D7;c"), (QStringList{"a", "b"}));
    QCOMPARE(online::boardRows("zpr\xc3\xa1va;D7;zpr\xe1va;D7;"), (QStringList{QStringLiteral("zpráva"), QStringLiteral("zpráva")}));
    QByteArray many;
    for (int i = 0; i < 10; ++i)
        many += QByteArray::number(i) + ";D7;";
    QCOMPARE(online::boardRows(many, 3).size(), 3);
    // A long row is cut, not inside a character: "é" is two bytes of UTF-8.
    const QStringList cut = online::boardRows(QByteArray(10, 'x') + QByteArray(50, '\0').replace('\0', "\xc3\xa9") + ";D7;", 10, 12);
    QCOMPARE(cut, QStringList{QStringLiteral("xxxxxxxxxxé…")});
}

void TestOnlineRules::releaseComparison_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<int>("result");
    const int same = int(online::Release::Same), different = int(online::Release::Different);
    const int notARelease = int(online::Release::NotARelease);
    QTest::newRow("equal") << QStringList{"Tarnel 0.298"} << same;
    QTest::newRow("equal, more lines") << QStringList{"Tarnel 0.298", "sha256 x"} << same;
    QTest::newRow("trailing space") << QStringList{"Tarnel 0.298 "} << different;
    QTest::newRow("letter case") << QStringList{"tarnel 0.298"} << different;
    QTest::newRow("older version") << QStringList{"Tarnel 0.297"} << different;
    QTest::newRow("newer, with a suffix") << QStringList{"Tarnel 0.300-rc1"} << different;
    // What is no release caption at all offers nothing.
    QTest::newRow("empty first line") << QStringList{""} << notARelease;
    QTest::newRow("captive portal") << QStringList{"<!DOCTYPE html>", "<html>"} << notARelease;
    QTest::newRow("random bytes") << QStringList{QString::fromLatin1("\x8f\x03Z\xe1q")} << notARelease;
    QTest::newRow("product name only") << QStringList{"Tarnel"} << notARelease;
    QTest::newRow("no version") << QStringList{"Tarnel beta"} << notARelease;
    QTest::newRow("another product") << QStringList{"Tarnelx 0.300"} << notARelease;
    QTest::newRow("text after the version") << QStringList{"Tarnel 0.300 is out, download now"} << notARelease;
    QTest::newRow("very long") << QStringList{"Tarnel 0." + QString(100, QLatin1Char('9'))} << notARelease;
    QTest::newRow("no line") << QStringList{} << int(online::Release::Unreadable);
}

void TestOnlineRules::releaseComparison()
{
    QFETCH(QStringList, file);
    QFETCH(int, result);
    QCOMPARE(int(online::compareRelease(QStringLiteral("Tarnel 0.298"), file)), result);
}

void TestOnlineRules::checksumRule_data()
{
    const QByteArray content("setup program bytes");
    const QByteArray digest = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("matches");
    QTest::newRow("matching") << QStringList{"T", "sha256 " + QString::fromLatin1(digest)} << digest << true;
    QTest::newRow("upper case digits") << QStringList{"T", "sha256 " + QString::fromLatin1(digest.toUpper())} << digest << true;
    QByteArray other = digest;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    QTest::newRow("wrong digest") << QStringList{"T", "sha256 " + QString::fromLatin1(other)} << other << false;
    QTest::newRow("no line") << QStringList{"T"} << QByteArray() << false;
    QTest::newRow("short digest") << QStringList{"T", "sha256 abc"} << QByteArray() << false;
    QTest::newRow("not hex") << QStringList{"T", "sha256 " + QString(64, QLatin1Char('g'))} << QByteArray() << false;
    QTest::newRow("other word") << QStringList{"T", "md5 " + QString::fromLatin1(digest)} << QByteArray() << false;
}

void TestOnlineRules::checksumRule()
{
    QFETCH(QStringList, file);
    QFETCH(QByteArray, expected);
    QFETCH(bool, matches);
    QCOMPARE(online::expectedSha256(file), expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setup"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("setup program bytes");
    f.close();
    QCOMPARE(online::fileHasSha256(path, online::expectedSha256(file)), matches);
    QVERIFY(!online::fileHasSha256(dir.filePath(QStringLiteral("missing")), expected));
}

void TestOnlineRules::servers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nastaveni.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[NASTAVENI2]\r\nUpdateServer=http://127.0.0.1:8080/\r\nReportServer= https://127.0.0.1 \r\n");
    f.close();
    const online::Servers s = online::Servers::fromSettings(IniFile(path));
    QCOMPARE(online::serviceUrl(s.update, QStringLiteral("/tarnel/update.txt")),
             QStringLiteral("http://127.0.0.1:8080/tarnel/update.txt"));
    QCOMPARE(online::serviceUrl(s.report, QStringLiteral("/problemy2.php")), QStringLiteral("https://127.0.0.1/problemy2.php"));
}

QTEST_GUILESS_MAIN(TestOnlineRules)
#include "test_onlinerules.moc"
