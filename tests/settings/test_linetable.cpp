#include "settings/LineTable.h"
#include "settings/Shortcuts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write test file");
}

QString dataDir()
{
    const QString source = qEnvironmentVariable("TARNEL_SOURCE_DIR");
    return source.isEmpty() ? QString() : source + "/data/";
}

} // namespace

class TestLineTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingAndShortFiles();
    void lineBreaks_data();
    void lineBreaks();
    void windows1250();
    void setLineAndSave();
    void languageCodes_data();
    void languageCodes();
    void loadsTheThreeTables();
    void shippedLanguageFiles_data();
    void shippedLanguageFiles();
    void shippedExtensionAndShortcutFiles();
    void shortcutTexts_data();
    void shortcutTexts();
};

void TestLineTable::missingAndShortFiles()
{
    QTemporaryDir dir;
    LineTable t;
    t.setLine(2, "left over");
    QVERIFY(!t.load(dir.filePath("none.txt")));
    QCOMPARE(t.count(), 0);
    QCOMPARE(t.line(0, "Nastaveni"), QString("Nastaveni"));
    QVERIFY(t.line(0).isNull());

    writeBytes(dir.filePath("short.txt"), "a\r\nb\r\n");
    QVERIFY(t.load(dir.filePath("short.txt")));
    QCOMPARE(t.count(), 2);
    QVERIFY(t.has(1));
    QVERIFY(!t.has(2));
    QVERIFY(!t.has(-1));
    QCOMPARE(t.line(1, "design"), QString("b"));
    QCOMPARE(t.line(2, "design"), QString("design"));
    QCOMPARE(t.line(-1, "design"), QString("design"));

    writeBytes(dir.filePath("empty.txt"), "");
    QVERIFY(t.load(dir.filePath("empty.txt")));
    QCOMPARE(t.count(), 0);
}

void TestLineTable::lineBreaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lone LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\n\nb\r\r\n") << QStringList{"a", "", "", "b", ""};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("spaces kept") << QByteArray(" je mechanika \r\n") << QStringList{" je mechanika "};
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFNastaven\xC3\xAD\r\n") << QStringList{"Nastavení"};
}

void TestLineTable::lineBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    writeBytes(dir.filePath("t.txt"), bytes);
    LineTable t;
    QVERIFY(t.load(dir.filePath("t.txt")));
    QCOMPARE(t.lines(), lines);
}

void TestLineTable::windows1250()
{
    QTemporaryDir dir;
    // "Přehrávání", "Pozastaveno", "Konec" in code page 1250.
    writeBytes(dir.filePath("cs.txt"), "P\xF8\x65hr\xE1v\xE1n\xED\r\nPozastaveno\r\nKonec\r\n");
    LineTable t;
    QVERIFY(t.load(dir.filePath("cs.txt")));
    QCOMPARE(t.line(0), QStringLiteral("Přehrávání"));
    QCOMPARE(t.count(), 3);
}

void TestLineTable::setLineAndSave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("zkratky/zkratky.txt");
    writeBytes(path, "Del\nCtrl+P\nextra line\n");
    LineTable t;
    QVERIFY(t.load(path));
    t.setLine(0, "Shift+Del");
    t.setLine(1, "Ctrl+S");
    QString error;
    QVERIFY(t.save(path, &error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("Shift+Del\r\nCtrl+S\r\nextra line\r\n"));

    // Growing fills with empty lines; a line break cannot shift the later lines.
    LineTable g;
    g.setLine(3, "x\r\ny");
    g.setLine(-1, "ignored");
    QCOMPARE(g.lines(), (QStringList{"", "", "", "x y"}));
    QVERIFY(g.save(dir.filePath("g.txt")));
    LineTable back;
    QVERIFY(back.load(dir.filePath("g.txt")));
    QCOMPARE(back.lines(), g.lines());

    QVERIFY(!g.save(dir.filePath("missing/g.txt"), &error));
    QVERIFY(!error.isEmpty());
}

void TestLineTable::languageCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("file");
    QTest::newRow("cs") << "cs" << "/p/jazyky/cs.txt";
    QTest::newRow("en") << "en" << "/p/jazyky/en.txt";
    QTest::newRow("parent") << "../../etc/passwd" << "/p/jazyky/cs.txt";
    QTest::newRow("dots only") << ".." << "/p/jazyky/cs.txt";
    QTest::newRow("absolute") << "/etc/passwd" << "/p/jazyky/cs.txt";
    QTest::newRow("subfolder") << "a/b" << "/p/jazyky/cs.txt";
    QTest::newRow("backslash") << "..\\x" << "/p/jazyky/cs.txt";
    QTest::newRow("empty") << "" << "/p/jazyky/cs.txt";
    QTest::newRow("single dot is a name") << "x.y" << "/p/jazyky/x.y.txt";
}

void TestLineTable::languageCodes()
{
    QFETCH(QString, code);
    QFETCH(QString, file);
    QCOMPARE(LanguageTables::languageFilePath("/p/", code), file);
}

void TestLineTable::loadsTheThreeTables()
{
    QTemporaryDir dir;
    const QString prog = dir.path() + "/";
    writeBytes(prog + "jazyky/cs.txt", "Nastaven\xC3\xAD\r\n");
    writeBytes(prog + "jazyky/en.txt", "Settings\r\n");
    writeBytes(prog + "koncovky/koncovky1.txt", "*.deb\r\n*.mp3;*.wav\r\n");
    writeBytes(prog + "zkratky/zkratky.txt", "Del\r\nCtrl+P\r\n");
    // A secret beside the program directory that a crafted code must not reach.
    writeBytes(dir.path() + "/secret.txt", "secret\r\n");

    LanguageTables tables;
    tables.load(prog, "en");
    QCOMPARE(tables.language.line(0), QString("Settings"));
    QCOMPARE(tables.extensions.line(1), QString("*.mp3;*.wav"));
    QCOMPARE(tables.shortcuts.line(0), QString("Del"));

    tables.load(prog, "../secret");
    QCOMPARE(tables.language.line(0), QString("Nastavení"));

    // A missing language file leaves the captions of the design.
    tables.load(prog, "de");
    QCOMPARE(tables.language.count(), 0);
    QCOMPARE(tables.language.line(71, "Konec"), QString("Konec"));
    QCOMPARE(tables.shortcuts.count(), 2);
}

void TestLineTable::shippedLanguageFiles_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("cs") << "cs";
    QTest::newRow("en") << "en";
}

void TestLineTable::shippedLanguageFiles()
{
    QFETCH(QString, code);
    if (dataDir().isEmpty())
        QSKIP("TARNEL_SOURCE_DIR not set");
    LineTable codes;
    QVERIFY(codes.load(dataDir() + "jazyky/jazyky.txt"));
    QVERIFY(codes.lines().contains(code));

    LineTable t;
    QVERIFY(t.load(LanguageTables::languageFilePath(dataDir(), code)));
    QCOMPARE(t.count(), 92);
    for (int i = 0; i < t.count(); ++i) {
        if (i != 17 && i != 23)
            QVERIFY2(!t.line(i).trimmed().isEmpty(), qPrintable(QString::number(i)));
    }
    // Texts the program tells apart by comparing them must differ.
    QCOMPARE(QSet<QString>({t.line(14), t.line(15), t.line(16)}).size(), 3);
    QCOMPARE(QSet<QString>({t.line(37), t.line(38), t.line(40), t.line(42), t.line(44)}).size(), 5);
    // The drive query puts the letter before line 50/51 and the serial after it.
    QVERIFY(t.line(50).startsWith(' ') && t.line(51).startsWith(' '));
    QVERIFY(t.line(50) != t.line(51));
    // Written as UTF-8 with CR LF.
    QFile f(LanguageTables::languageFilePath(dataDir(), code));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.count("\r\n"), 92);
    QCOMPARE(bytes.count('\n'), 92);
    if (code == "cs") {
        QCOMPARE(t.line(0), QStringLiteral("Nastavení"));
        QCOMPARE(t.line(14), QStringLiteral("Přehrávání"));
        QCOMPARE(t.line(71), QStringLiteral("Konec"));
    }
}

void TestLineTable::shippedExtensionAndShortcutFiles()
{
    if (dataDir().isEmpty())
        QSKIP("TARNEL_SOURCE_DIR not set");
    LineTable ext;
    QVERIFY(ext.load(LanguageTables::extensionFilePath(dataDir())));
    QCOMPARE(ext.count(), 7);
    const QStringList media = ext.line(1).split(';');
    const QStringList expected = {"mp3", "wav", "wave", "ifo", "vob", "mid", "midi", "asf", "aif",
                                  "snd", "au", "wma", "mpg", "mpeg", "wmv", "avi", "ogg", "ogm",
                                  "cda", "mp4", "flac", "flv", "mkv", "aac", "m4a", "m4b"};
    QCOMPARE(media.size(), 26);
    for (const QString &e : expected)
        QVERIFY2(media.contains("*." + e), qPrintable(e));
    for (int i = 0; i < 7; ++i) {
        for (const QString &p : ext.line(i).split(';'))
            QVERIFY2(p.startsWith("*") && !p.contains(' '), qPrintable(p));
    }
    QCOMPARE(ext.line(3), QString("*.wma"));
    QCOMPARE(ext.line(5), QString("*.flac"));
    QVERIFY(ext.line(6).split(';').contains("*.wav"));

    LineTable keys;
    QVERIFY(keys.load(LanguageTables::shortcutFilePath(dataDir())));
    QCOMPARE(keys.lines(), (QStringList{"Del", "Ctrl+P"}));
    QCOMPARE(shortcutFromText(keys.line(0)), QKeySequence(Qt::Key_Delete));
    QCOMPARE(shortcutFromText(keys.line(1)), QKeySequence(Qt::CTRL | Qt::Key_P));
}

void TestLineTable::shortcutTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("sequence");
    QTest::addColumn<QString>("written");
    QTest::newRow("Del") << "Del" << QKeySequence(Qt::Key_Delete) << "Del";
    QTest::newRow("Ctrl+P") << "Ctrl+P" << QKeySequence(Qt::CTRL | Qt::Key_P) << "Ctrl+P";
    QTest::newRow("lower case") << "ctrl+p" << QKeySequence(Qt::CTRL | Qt::Key_P) << "Ctrl+P";
    QTest::newRow("Shift+Del") << "Shift+Del" << QKeySequence(Qt::SHIFT | Qt::Key_Delete) << "Shift+Del";
    QTest::newRow("modifier order") << "Ctrl+Shift+A" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A) << "Shift+Ctrl+A";
    QTest::newRow("Alt+F4") << "Alt+F4" << QKeySequence(Qt::ALT | Qt::Key_F4) << "Alt+F4";
    QTest::newRow("Ins") << "Ins" << QKeySequence(Qt::Key_Insert) << "Ins";
    QTest::newRow("Esc") << "Esc" << QKeySequence(Qt::Key_Escape) << "Esc";
    QTest::newRow("BkSp") << "BkSp" << QKeySequence(Qt::Key_Backspace) << "BkSp";
    QTest::newRow("PgUp") << "PgUp" << QKeySequence(Qt::Key_PageUp) << "PgUp";
    QTest::newRow("PgDn") << "PgDn" << QKeySequence(Qt::Key_PageDown) << "PgDn";
    QTest::newRow("Enter is the main key") << "Enter" << QKeySequence(Qt::Key_Return) << "Enter";
    QTest::newRow("Space") << "Ctrl+Space" << QKeySequence(Qt::CTRL | Qt::Key_Space) << "Ctrl+Space";
    QTest::newRow("Qt name Delete") << "Delete" << QKeySequence(Qt::Key_Delete) << "Del";
    QTest::newRow("digit") << "Ctrl+1" << QKeySequence(Qt::CTRL | Qt::Key_1) << "Ctrl+1";
    QTest::newRow("plus key") << "Ctrl++" << QKeySequence(Qt::CTRL | Qt::Key_Plus) << "Ctrl++";
    QTest::newRow("trailing space") << "Del " << QKeySequence(Qt::Key_Delete) << "Del";
    QTest::newRow("empty") << "" << QKeySequence() << "";
    QTest::newRow("unknown key") << "Ctrl+Blah" << QKeySequence() << "";
    QTest::newRow("modifier only") << "Ctrl+" << QKeySequence() << "";
    QTest::newRow("bare modifier") << "Ctrl" << QKeySequence() << "";
    QTest::newRow("two keys") << "A, B" << QKeySequence() << "";
    QTest::newRow("two plain keys") << "A+B" << QKeySequence() << "";
}

void TestLineTable::shortcutTexts()
{
    QFETCH(QString, text);
    QFETCH(QKeySequence, sequence);
    QFETCH(QString, written);
    const QKeySequence got = shortcutFromText(text);
    QCOMPARE(got, sequence);
    QCOMPARE(shortcutToText(got), written);
    if (!written.isEmpty())
        QCOMPARE(shortcutFromText(written), sequence);
}

QTEST_GUILESS_MAIN(TestLineTable)
#include "test_linetable.moc"
