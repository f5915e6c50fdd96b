#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes, const QString &name = "nastaveni.ini")
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void namesMatchInAnyCase();
    void missingFileSectionAndKey();
    void stringLengthAndQuotes();
    void lineEndings_data();
    void lineEndings();
    void windows1250();
    void rewriteKeepsUnknownLines();
    void newKeysAndSections();
    void valuesWithLineBreaks();
    void saveFailureKeepsOldFile();
    void saveIntoMissingDirectory();
};

void TestIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    // Default for every row is 77.
    QTest::newRow("decimal") << QByteArray("12") << 12;
    QTest::newRow("spaces around") << QByteArray("  12  ") << 12;
    QTest::newRow("tab around") << QByteArray("\t12\t") << 12;
    QTest::newRow("negative") << QByteArray("-3") << -3;
    QTest::newRow("plus") << QByteArray("+5") << 5;
    QTest::newRow("0x upper") << QByteArray("0x1F") << 31;
    QTest::newRow("0X") << QByteArray("0X1f") << 31;
    QTest::newRow("dollar lower") << QByteArray("$1f") << 31;
    QTest::newRow("dollar all bits") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("int max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("int min") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("overflow") << QByteArray("2147483648") << 77;
    QTest::newRow("hex overflow") << QByteArray("$100000000") << 77;
    QTest::newRow("trailing letters") << QByteArray("12abc") << 77;
    QTest::newRow("space inside") << QByteArray("1 2") << 77;
    QTest::newRow("empty") << QByteArray("") << 77;
    QTest::newRow("prefix only") << QByteArray("0x") << 77;
    QTest::newRow("dollar only") << QByteArray("$") << 77;
    QTest::newRow("sign only") << QByteArray("-") << 77;
    QTest::newRow("bad hex digit") << QByteArray("$1G") << 77;
    QTest::newRow("float") << QByteArray("1.5") << 77;
    QTest::newRow("quoted") << QByteArray("\"42\"") << 42;
}

void TestIniFile::readInteger()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[NASTAVENI1]\r\nVolume=" + value + "\r\n");
    QCOMPARE(IniFile(path).readInteger("NASTAVENI1", "Volume", 77), expected);
}

void TestIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("def");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("2 is true") << QByteArray("2") << false << true;
    QTest::newRow("-1 is true") << QByteArray("-1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("hex zero") << QByteArray("$0") << true << false;
    QTest::newRow("x keeps true") << QByteArray("x") << true << true;
    QTest::newRow("x keeps false") << QByteArray("x") << false << false;
    QTest::newRow("word true is no number") << QByteArray("true") << false << false;
    QTest::newRow("empty") << QByteArray("") << true << true;
}

void TestIniFile::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, def);
    QFETCH(bool, expected);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[NASTAVENI2]\nVidet=" + value + "\n");
    QCOMPARE(IniFile(path).readBool("NASTAVENI2", "Videt", def), expected);
}

void TestIniFile::namesMatchInAnyCase()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[nastaveni1]\r\nzleva=5\r\n  ZHORA  =  6  \r\n[ Nastaveni3 ]\r\nSirka=400\r\n");
    const IniFile ini(path);
    QCOMPARE(ini.readInteger("NASTAVENI1", "ZLeva", 0), 5);
    QCOMPARE(ini.readInteger("Nastaveni1", "ZHora", 0), 6);
    QCOMPARE(ini.readInteger("NASTAVENI3", "SIRKA", 0), 400);
    // Keys belong to their own section only.
    QCOMPARE(ini.readInteger("NASTAVENI3", "ZLeva", -1), -1);
    QCOMPARE(ini.readInteger("NASTAVENI1", "Sirka", -1), -1);
}

void TestIniFile::missingFileSectionAndKey()
{
    QTemporaryDir dir;
    const IniFile none(dir.filePath("nastaveni.ini"));
    QCOMPARE(none.readInteger("NASTAVENI1", "Volume", 5000), 5000);
    QCOMPARE(none.readString("NASTAVENI1", "Jazyk", "cs"), QString("cs"));
    QCOMPARE(none.readBool("NASTAVENI2", "Videt", true), true);
    QVERIFY(none.lines().isEmpty());

    const QString path = writeFile(dir, "; comment=1\r\nVolume=9\r\n[NASTAVENI1]\r\nJazyk\r\n;Volume=3\r\n[X]\r\nVolume=4\r\n");
    const IniFile ini(path);
    // Keys before any section, comments and lines without "=" are not keys.
    QCOMPARE(ini.readInteger("NASTAVENI1", "Volume", 5000), 5000);
    QCOMPARE(ini.readString("NASTAVENI1", "Jazyk", "cs"), QString("cs"));
    QCOMPARE(ini.readInteger("NASTAVENI9", "Volume", 1), 1);
    // A present but empty string is the empty string, not the default.
    const QString path2 = writeFile(dir, "[A]\r\nJazyk=\r\n", "b.ini");
    QCOMPARE(IniFile(path2).readString("A", "Jazyk", "cs"), QString(""));
}

void TestIniFile::stringLengthAndQuotes()
{
    QTemporaryDir dir;
    const QByteArray exact(2047, 'a');
    const QByteArray longer = QByteArray(2047, 'b') + "cdef";
    const QString path = writeFile(dir, "[S]\r\nexact=" + exact + "\r\nlong=" + longer
                                            + "\r\nq=\" spaced \"\r\nsq='x'\r\nhalf=\"x\r\neq=a=b\r\n");
    const IniFile ini(path);
    QCOMPARE(ini.readString("S", "exact", ""), QString(exact));
    QCOMPARE(ini.readString("S", "long", "").size(), 2047);
    QCOMPARE(ini.readString("S", "long", ""), QString(QByteArray(2047, 'b')));
    QCOMPARE(ini.readString("S", "q", ""), QString(" spaced "));
    QCOMPARE(ini.readString("S", "sq", ""), QString("x"));
    QCOMPARE(ini.readString("S", "half", ""), QString("\"x"));
    QCOMPARE(ini.readString("S", "eq", ""), QString("a=b"));
    QCOMPARE(ini.readString("S", "missing", QString(3000, 'd')).size(), 2047);
}

void TestIniFile::lineEndings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("CR LF") << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("LF") << QByteArray("[A]\nx=1\ny=2\n");
    QTest::newRow("CR") << QByteArray("[A]\rx=1\ry=2\r");
    QTest::newRow("mixed, no final break") << QByteArray("[A]\rx=1\r\ny=2");
}

void TestIniFile::lineEndings()
{
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, text));
    QCOMPARE(ini.readInteger("A", "x", 0), 1);
    QCOMPARE(ini.readInteger("A", "y", 0), 2);
    ini.writeInteger("A", "y", 3);
    QVERIFY(ini.save());
    QCOMPARE(readFile(ini.path()), QByteArray("[A]\r\nx=1\r\ny=3\r\n"));
}

void TestIniFile::windows1250()
{
    QTemporaryDir dir;
    // "Žluťoučký kůň" in code page 1250, as files written on Windows hold it.
    const QByteArray cp1250("[NASTAVENI1]\r\nFTyp=\x8Elu\x9Do\x75\xE8k\xFD k\xF9\xF2\r\n");
    IniFile ini(writeFile(dir, cp1250));
    const QString expected = QStringLiteral("Žluťoučký kůň");
    QCOMPARE(ini.readString("NASTAVENI1", "FTyp", ""), expected);
    QVERIFY(ini.save());
    // Written back as UTF-8, and read back the same.
    QVERIFY(readFile(ini.path()).contains(expected.toUtf8()));
    QCOMPARE(IniFile(ini.path()).readString("NASTAVENI1", "FTyp", ""), expected);
    // UTF-8 with a byte order mark from an editor.
    const QString bom = writeFile(dir, "\xEF\xBB\xBF[NASTAVENI1]\r\nFTyp=" + expected.toUtf8() + "\r\n", "bom.ini");
    QCOMPARE(IniFile(bom).readString("NASTAVENI1", "FTyp", ""), expected);
}

void TestIniFile::rewriteKeepsUnknownLines()
{
    QTemporaryDir dir;
    const QByteArray original =
        "; written by hand\r\n"
        "\r\n"
        "[NASTAVENI1]\r\n"
        "Sirka=217\r\n"
        "Unknown = keep me \r\n"
        "  zleva = 10\r\n"
        "garbage line\r\n"
        "\r\n"
        "[MOJE]\r\n"
        "Volume=1\r\n"
        "; trailing comment\r\n";
    IniFile ini(writeFile(dir, original));
    ini.writeInteger("NASTAVENI1", "Sirka", 300);
    ini.writeInteger("NASTAVENI1", "ZLeva", -20);
    ini.writeString("NASTAVENI1", "Jazyk", "en");
    QVERIFY(ini.save());
    QCOMPARE(readFile(ini.path()),
             QByteArray("; written by hand\r\n"
                        "\r\n"
                        "[NASTAVENI1]\r\n"
                        "Sirka=300\r\n"
                        "Unknown = keep me \r\n"
                        "  zleva =-20\r\n"
                        "Jazyk=en\r\n"
                        "garbage line\r\n"
                        "\r\n"
                        "[MOJE]\r\n"
                        "Volume=1\r\n"
                        "; trailing comment\r\n"));
    // A second load and write of nothing changes nothing.
    IniFile again(ini.path());
    QVERIFY(again.save());
    QCOMPARE(IniFile(ini.path()).lines(), ini.lines());
}

void TestIniFile::newKeysAndSections()
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath("nastaveni.ini"));
    ini.writeInteger("NASTAVENI1", "Volume", 5000);
    ini.writeBool("NASTAVENI2", "Videt", false);
    ini.writeBool("NASTAVENI2", "Aktualizace", true);
    ini.writeColour("NASTAVENI1", "FBarva", 0x0000FF);
    ini.writeString("NASTAVENI1", "FTyp", "DejaVu Sans");
    // The same section written again in another case is the same section.
    ini.writeInteger("nastaveni2", "zleva", 7);
    QVERIFY(ini.save());
    QCOMPARE(readFile(ini.path()),
             QByteArray("[NASTAVENI1]\r\nVolume=5000\r\nFBarva=clRed\r\nFTyp=DejaVu Sans\r\n"
                        "[NASTAVENI2]\r\nVidet=0\r\nAktualizace=1\r\nzleva=7\r\n"));
    const IniFile back(ini.path());
    QCOMPARE(back.readInteger("NASTAVENI1", "Volume", 0), 5000);
    QCOMPARE(back.readBool("NASTAVENI2", "Videt", true), false);
    QCOMPARE(back.readColour("NASTAVENI1", "FBarva", 0), quint32(0x0000FF));
}

void TestIniFile::valuesWithLineBreaks()
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath("a.ini"));
    ini.writeString("A", "k", "one\r\ntwo\nthree");
    ini.writeInteger("A", "after", 1);
    QVERIFY(ini.save());
    const IniFile back(ini.path());
    QCOMPARE(back.readString("A", "k", ""), QString("one two three"));
    QCOMPARE(back.readInteger("A", "after", 0), 1);
    QCOMPARE(back.lines().size(), 3);
}

void TestIniFile::saveFailureKeepsOldFile()
{
    // A write that runs out of room part-way must leave the old file as it was.
    // The file size limit stands in for a full disk; it also binds root.
    QTemporaryDir dir;
    const QByteArray old("[NASTAVENI1]\r\nVolume=1\r\n");
    const QString path = writeFile(dir, old);
    IniFile ini(path);
    ini.writeString("NASTAVENI1", "FTyp", QString(1500, 'x'));

    struct rlimit saved {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    QString error;
    const bool ok = ini.save(&error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"nastaveni.ini"});
    QCOMPARE(IniFile::unableToWriteMessage(path), "Unable to write to " + path);

    // Without the limit the same save completes, whole.
    QVERIFY(ini.save(&error));
    QCOMPARE(IniFile(path).readString("NASTAVENI1", "FTyp", "").size(), 1500);
    QCOMPARE(readFile(path), ini.serialized());
}

void TestIniFile::saveIntoMissingDirectory()
{
    QTemporaryDir dir;
    QString error;
    IniFile missing(dir.filePath("no/such/dir/nastaveni.ini"));
    missing.writeInteger("A", "b", 1);
    QVERIFY(!missing.save(&error));
    QVERIFY(!error.isEmpty());

    // A path whose "directory" is a file.
    const QString file = writeFile(dir, "x", "plain");
    IniFile underFile(file + "/nastaveni.ini");
    underFile.writeInteger("A", "b", 1);
    error.clear();
    QVERIFY(!underFile.save(&error));
    QVERIFY(!error.isEmpty());

    // A read-only directory refuses everyone but root.
    if (::geteuid() != 0) {
        const QString ro = dir.filePath("ro");
        QVERIFY(QDir().mkdir(ro));
        const QByteArray old("[A]\r\nb=0\r\n");
        const QString path = writeFile(dir, old, "ro/nastaveni.ini");
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        IniFile ini(path);
        ini.writeInteger("A", "b", 1);
        error.clear();
        QVERIFY(!ini.save(&error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(path), old);
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
