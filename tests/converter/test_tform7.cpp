// The converter window with the real worker: the types and their dialog filters, the
// job list and output folder, runs that go on past a bad input, the MP3 branch, the
// tracks of a BIN/CUE image (read off the GUI thread), a second Start refused, and a
// run cancelled by closing.
#include "../visualisation/VisTestSupport.h"
#include "ConverterTestUtil.h"
#include "converter/TForm7.h"
#include "platform/CdTracks.h"
#include "support/ProgramDirFixture.h"
#include "support/StalledFifo.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

void loadTables(FakeMainLink &main)
{
    QVERIFY(main.language.load(ProgramDirFixture::sourceDir() + QStringLiteral("/data/jazyky/cs.txt")));
    QVERIFY(main.extensions.load(ProgramDirFixture::sourceDir() + QStringLiteral("/data/koncovky/koncovky1.txt")));
}

QStringList jobs(const TForm7 &w)
{
    QStringList list;
    for (int i = 0; i < w.ListBox1->count(); ++i)
        list.append(w.ListBox1->item(i)->text());
    return list;
}

bool startAndWait(TForm7 &w)
{
    QSignalSpy done(&w, &TForm7::runFinished);
    w.Button2->click();
    return done.wait(60000);
}

QString wav(const QString &path, int channels, int rate, int frames)
{
    conv_test::write(path, conv_test::riff({{"fmt ", conv_test::fmtChunk(channels, rate, 16)},
                                            {"data", conv_test::sinePcm(frames, channels, rate, 500)}}));
    return path;
}

} // namespace

class TestTForm7 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typesFiltersAndList_data();
    void typesFiltersAndList();
    void decodeRunGoesOnPastBadInput();
    void mp3Run();
    void cdImageTracks();
    void cdTablesReadOffTheGuiThread();
    void refusedAndCancelled();
};

void TestTForm7::typesFiltersAndList_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("filter");
    QTest::newRow("audio") << 0 << "Zvukové soubory|*.mp3;*.wav;*.wave;*.ogg;*.aif;*.snd;*.au;*.mid;*.midi;*.wma;*.flac;*.aac;*.m4a;*.m4b";
    QTest::newRow("wma") << 1 << "Soubory WMA|*.wma";
    QTest::newRow("flac") << 3 << "Soubory FLAC|*.flac";
    QTest::newRow("mp3") << 4 << "Soubory WAV|*.wav;*.wave";
}

void TestTForm7::typesFiltersAndList()
{
    QFETCH(int, entry);
    QFETCH(QString, filter);
    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    QCOMPARE(w.ComboBox1->count(), 5);
    QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("Audio soubor do WAV"));
    QCOMPARE(w.ComboBox1->itemText(4), QStringLiteral("WAV do MP3"));
    QVERIFY(w.Button1->isEnabled() && w.Button2->isEnabled());
    w.ComboBox1->setCurrentIndex(entry);
    main.scripted.queueOpenFiles({"/a/one.x", "/a/two.x"});
    main.scripted.queueOpenFiles({"/b/c/three.x"});
    w.Button1->click();
    w.Button1->click();
    QCOMPARE(main.scripted.openFilters, (QStringList{filter, filter}));
    QCOMPARE(jobs(w), (QStringList{"/a/one.x", "/a/two.x", "/b/c/three.x"}));
    QCOMPARE(w.Edit1->text(), QStringLiteral("/b/c/"));
    w.Button1->click(); // cancelled
    QCOMPARE(jobs(w).size(), 3);
    w.ComboBox1->setCurrentIndex((entry + 1) % 5);
    QVERIFY(jobs(w).isEmpty());
    QCOMPARE(w.Edit1->text(), QStringLiteral("/b/c/"));
    // Start with nothing to do; then with a text that names no type.
    QVERIFY(startAndWait(w));
    QCOMPARE(w.Gauge2->value(), 0);
    w.ComboBox1->setEditText(QStringLiteral("Audio soubor do wav"));
    QVERIFY(!w.currentType());
    w.Button2->click();
    QVERIFY(!w.isRunning());
    QCOMPARE(main.scripted.messageTexts(),
             QStringList{QStringLiteral("Typ převodu „Audio soubor do wav“ neznám, nic nebylo převedeno.")});
}

void TestTForm7::decodeRunGoesOnPastBadInput()
{
    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString bad = in.filePath(QStringLiteral("bad.mp3"));
    conv_test::write(bad, "not audio");
    const QString ogg = in.filePath(QStringLiteral("tone.ogg"));
    QVERIFY(conv_test::encodeTone(ogg, 48000, 2, 800));
    main.scripted.queueOpenFiles({wav(in.filePath(QStringLiteral("mono.wav")), 1, 22050, 22050), bad, ogg});
    w.Button1->click();
    w.Edit1->setText(out.path()); // no trailing separator: still that folder
    QVERIFY(startAndWait(w));
    QCOMPARE(w.Gauge2->maximum(), 3);
    QCOMPARE(w.Gauge2->value(), 3);
    QCOMPARE(w.Gauge1->value(), 100);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), (QStringList{"mono.wav", "tone.wav"}));
    QCOMPARE(conv_test::read(out.filePath(QStringLiteral("mono.wav"))).size(), 44 + 22050 * 2);
    QCOMPARE(main.scripted.messages.size(), 1);
    QVERIFY(main.scripted.messages[0].text.contains(bad));
}

void TestTForm7::mp3Run()
{
    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    QTemporaryDir in;
    QTemporaryDir out;
    w.ComboBox1->setCurrentIndex(4);
    const QString missing = in.filePath(QStringLiteral("gone.wav"));
    main.scripted.queueOpenFiles({wav(in.filePath(QStringLiteral("a.b.wav")), 1, 22050, 30000), missing,
                                  wav(in.filePath(QStringLiteral("st")), 2, 44100, 50000)});
    w.Button1->click();
    w.Edit1->setText(out.path() + QLatin1Char('/'));
    QVERIFY(startAndWait(w));
    QCOMPARE(w.Gauge2->value(), 3);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), (QStringList{"a.b.mp3", "st.mp3"}));
    QCOMPARE(conv_test::probe(out.filePath(QStringLiteral("a.b.mp3"))), qMakePair(1, 22050));
    QCOMPARE(main.scripted.messages.size(), 1);
    QVERIFY(main.scripted.messages[0].text.contains(missing));
}

void TestTForm7::cdImageTracks()
{
    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    QTemporaryDir dir;
    QByteArray bin(300 * cd_tracks::kSectorBytes, Qt::Uninitialized);
    QRandomGenerator(4).fillRange(reinterpret_cast<quint32 *>(bin.data()), bin.size() / 4);
    conv_test::write(dir.filePath(QStringLiteral("disc.bin")), bin);
    const QString cue = dir.filePath(QStringLiteral("disc.cue"));
    conv_test::write(cue, "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n  TRACK 03 AUDIO\n    INDEX 01 00:02:00\n");
    w.ComboBox1->setCurrentIndex(2);
    main.scripted.queueOpenFiles({cue});
    main.scripted.chooseAnswers.enqueue({0, 2});
    w.Button1->click();
    QCOMPARE(main.scripted.openFilters, QStringList{"Stopy audio CD|*.cda;*.cue;*.bin"});
    QTRY_COMPARE_WITH_TIMEOUT(jobs(w), (QStringList{cue + "/Track01.cda", cue + "/Track03.cda"}), 20000);
    QCOMPARE(main.scripted.chooserRows.size(), 1);
    QCOMPARE(main.scripted.chooserRows[0].size(), 3);
    QVERIFY(main.scripted.chooserRows[0][1].contains(QStringLiteral("Track 02   0:01")));
    QCOMPARE(w.Edit1->text(), dir.path() + QLatin1Char('/'));
    QVERIFY(startAndWait(w));
    QCOMPARE(conv_test::read(dir.filePath(QStringLiteral("Track03.wav"))).mid(44), bin.mid(150 * cd_tracks::kSectorBytes));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Track01.wav"))));
    QVERIFY(main.scripted.messages.isEmpty());
}

void TestTForm7::cdTablesReadOffTheGuiThread()
{
    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    QTemporaryDir dir;
    conv_test::write(dir.filePath(QStringLiteral("disc.bin")), QByteArray(300 * cd_tracks::kSectorBytes, '\0'));
    // A cue sheet that does not answer, as on a hung mount, and a track name chosen as it is.
    const StalledFifo sheet(dir.filePath(QStringLiteral("disc.cue")));
    QVERIFY(sheet.isValid());
    const QString named = dir.filePath(QStringLiteral("Track09.cda"));
    w.ComboBox1->setCurrentIndex(2);
    main.scripted.queueOpenFiles({named, sheet.path()});
    main.scripted.chooseAnswers.enqueue({1});
    w.Button1->click();
    QVERIFY(jobs(w).isEmpty());
    // The window answers meanwhile; another look for tracks is refused before its dialog.
    w.Button1->click();
    QCOMPARE(main.scripted.beeps, 1);
    QCOMPARE(main.scripted.openFilters.size(), 1);
    w.Edit1->setText(QStringLiteral("/out"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("/out"));

    // The sheet answers (libcdio opens it more than once): the chooser, then the list.
    QTRY_VERIFY_WITH_TIMEOUT((sheet.serveOnce("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n"),
                              !jobs(w).isEmpty()),
                             20000);
    QCOMPARE(main.scripted.chooserRows.size(), 1);
    QCOMPARE(main.scripted.chooserRows[0].size(), 2);
    QCOMPARE(jobs(w), (QStringList{named, sheet.path() + "/Track02.cda"}));
    QVERIFY(main.scripted.messages.isEmpty());
}

void TestTForm7::refusedAndCancelled()
{
    FakeMainLink main;
    loadTables(main);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString flac = in.filePath(QStringLiteral("long.flac"));
    QVERIFY(conv_test::encodeTone(flac, 44100, 2, 120000));
    {
        TForm7 w(main);
        w.ComboBox1->setCurrentIndex(3);
        main.scripted.queueOpenFiles({flac, flac});
        w.Button1->click();
        w.Edit1->clear();
        w.Button2->click(); // no output folder
        QVERIFY(!w.isRunning());
        QCOMPARE(main.scripted.messageTexts(),
                 QStringList{QStringLiteral("Není zadána výstupní složka, nic nebylo převedeno.")});
        w.Edit1->setText(out.path());
        w.Button2->click();
        QVERIFY(w.isRunning());
        w.Button2->click();
        QCOMPARE(main.scripted.beeps, 1);
    } // closing the program during the run
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(TestTForm7)
#include "test_tform7.moc"
