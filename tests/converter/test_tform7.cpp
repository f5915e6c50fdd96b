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

#include <sys/stat.h>

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

// What a row's input is made of.
enum class Source { Wav16, Wav24, Mp3, Ogg, Fifo, ShortData, RawPcm, HugeFlac };

// A file in src/ of kind source; the extension is the name's.
bool makeSource(Source source, const QString &path)
{
    switch (source) {
    case Source::Wav16:
        wav(path, 2, 44100, 30000);
        return true;
    case Source::Wav24:
        return conv_test::write(path, conv_test::riff({{"fmt ", conv_test::fmtChunk(2, 48000, 24)},
                                                       {"data", QByteArray(48000 * 6 / 10, '\x11')}}));
    case Source::Mp3:
    case Source::Ogg:
        return conv_test::encodeTone(path, 44100, 2, 700);
    case Source::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case Source::ShortData: {
        // The data chunk claims twice what the file holds: a recording that was cut off.
        const QByteArray pcm = conv_test::sinePcm(20000, 2, 44100, 440);
        QByteArray file = conv_test::riff({{"fmt ", conv_test::fmtChunk(2, 44100, 16)}, {"data", pcm + pcm}});
        file.chop(pcm.size());
        return conv_test::write(path, file);
    }
    case Source::RawPcm:
        return conv_test::write(path, conv_test::sinePcm(30000, 2, 44100, 440));
    case Source::HugeFlac:
        return conv_test::encodeTone(path, 44100, 2, 300) && conv_test::claimFlacFrames(path, 1200000000ll);
    }
    return false;
}

QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
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
    void neverReplacesAFile_data();
    void neverReplacesAFile();
    void stopsARun_data();
    void stopsARun();
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
    } // closing the program during the run
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// No input, folder choice or existing file makes a run replace a file: the input
// itself (also through links) is refused by name, a file in the way keeps its bytes
// and the output takes a free name, a file without a WAV header is not taken for raw
// PCM, a FIFO is refused without waiting on it, and 4 GB of audio is refused before
// anything is written. Layout: src/ holds the input, out/ is another folder, lnk is a
// link to src/.
void TestTForm7::neverReplacesAFile_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("made");     // in src/
    QTest::addColumn<QString>("input");    // as listed
    QTest::addColumn<QString>("folder");   // output folder
    QTest::addColumn<QString>("inTheWay"); // a file already in out/
    QTest::addColumn<QStringList>("src");  // src/ afterwards
    QTest::addColumn<QStringList>("out");  // out/ afterwards
    QTest::addColumn<QString>("message");  // "" none; else a part of it, %d the test's folder
    const int toWav = 0, flac = 3, toMp3 = 4;
    const auto row = [](const char *name) { return &QTest::newRow(name); };
    *row("24-bit master into its own folder") << toWav << int(Source::Wav24) << "master.wav" << "src/master.wav" << "src"
        << "" << QStringList{"master.wav"} << QStringList{}
        << "Výstup by přepsal vstupní soubor, soubor nebyl převeden: %d/src/master.wav";
    *row("the same file through a linked folder") << toWav << int(Source::Wav24) << "master.wav" << "src/master.wav"
        << "lnk" << "" << QStringList{"master.wav"} << QStringList{} << "přepsal vstupní soubor, soubor nebyl převeden: %d/lnk/master.wav";
    *row("input named through a linked folder") << toWav << int(Source::Wav24) << "master.wav" << "lnk/master.wav"
        << "src" << "" << QStringList{"master.wav"} << QStringList{} << "soubor nebyl převeden: %d/src/master.wav";
    *row("input named by a link to it") << toWav << int(Source::Wav24) << "master.wav" << "src/alias.wav"
        << "src" << "" << QStringList{"alias.wav", "master.wav"} << QStringList{} << "soubor nebyl převeden: %d/src/alias.wav";
    *row("WAV to MP3 given a real MP3") << toMp3 << int(Source::Mp3) << "song.mp3" << "src/song.mp3" << "src" << ""
        << QStringList{"song.mp3"} << QStringList{} << "%d/src/song.mp3: není soubor WAV (chybí hlavička RIFF/WAVE)";
    *row("WAV to MP3 given an MP3 elsewhere") << toMp3 << int(Source::Mp3) << "song.mp3" << "src/song.mp3" << "out" << ""
        << QStringList{"song.mp3"} << QStringList{} << "není soubor WAV";
    *row("an MP3 already there") << toMp3 << int(Source::Wav16) << "a.wav" << "src/a.wav" << "out" << "a.mp3"
        << QStringList{"a.wav"} << QStringList{"a (1).mp3", "a.mp3"}
        << "Soubor %d/out/a.mp3 už existuje, výstup je uložen jako %d/out/a (1).mp3";
    *row("a WAV already there") << toWav << int(Source::Ogg) << "tone.ogg" << "src/tone.ogg" << "out" << "tone.wav"
        << QStringList{"tone.ogg"} << QStringList{"tone (1).wav", "tone.wav"} << "už existuje";
    *row("FIFO to WAV") << toWav << int(Source::Fifo) << "pipe.mp3" << "src/pipe.mp3" << "out" << ""
        << QStringList{"pipe.mp3"} << QStringList{} << "%d/src/pipe.mp3 (není obyčejný soubor";
    *row("FIFO to MP3") << toMp3 << int(Source::Fifo) << "pipe.wav" << "src/pipe.wav" << "out" << ""
        << QStringList{"pipe.wav"} << QStringList{} << "%d/src/pipe.wav: není obyčejný soubor";
    *row("short data chunk encoded") << toMp3 << int(Source::ShortData) << "cut.wav" << "src/cut.wav" << "out" << ""
        << QStringList{"cut.wav"} << QStringList{"cut.mp3"} << "";
    *row("raw PCM named .pcm") << toMp3 << int(Source::RawPcm) << "take.pcm" << "src/take.pcm" << "out" << ""
        << QStringList{"take.pcm"} << QStringList{"take.mp3"} << "";
    *row("over 4 GB known in advance") << flac << int(Source::HugeFlac) << "long.flac" << "src/long.flac" << "out" << ""
        << QStringList{"long.flac"} << QStringList{} << "Více než 4 GB zvuku se do souboru WAV nevejde";
}

void TestTForm7::neverReplacesAFile()
{
    QFETCH(int, entry);
    QFETCH(int, source);
    QFETCH(QString, made);
    QFETCH(QString, input);
    QFETCH(QString, folder);
    QFETCH(QString, inTheWay);
    QFETCH(QStringList, src);
    QFETCH(QStringList, out);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("src")) && QDir(dir.path()).mkpath(QStringLiteral("out")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("src")), dir.filePath(QStringLiteral("lnk"))));
    QVERIFY(makeSource(Source(source), dir.filePath(QStringLiteral("src/") + made)));
    const QByteArray before = Source(source) == Source::Fifo ? QByteArray() : conv_test::read(dir.filePath("src/" + made));
    const QByteArray kept("a file of the user's own");
    if (!inTheWay.isEmpty())
        QVERIFY(conv_test::write(dir.filePath(QStringLiteral("out/") + inTheWay), kept));
    if (input.endsWith(QStringLiteral("alias.wav")))
        QVERIFY(QFile::link(made, dir.filePath(input)));

    FakeMainLink main;
    loadTables(main);
    TForm7 w(main);
    w.ComboBox1->setCurrentIndex(entry);
    main.scripted.queueOpenFiles({dir.filePath(input)});
    w.Button1->click();
    w.Edit1->setText(dir.filePath(folder));
    QVERIFY(startAndWait(w));

    QCOMPARE(listing(dir.filePath(QStringLiteral("src"))), src);
    QCOMPARE(listing(dir.filePath(QStringLiteral("out"))), out);
    if (!before.isEmpty())
        QCOMPARE(conv_test::read(dir.filePath("src/" + made)), before);
    if (!inTheWay.isEmpty())
        QCOMPARE(conv_test::read(dir.filePath(QStringLiteral("out/") + inTheWay)), kept);
    if (message.isEmpty()) {
        QCOMPARE(main.scripted.messageTexts(), QStringList());
    } else {
        QCOMPARE(main.scripted.messages.size(), 1);
        const QString text = main.scripted.messages[0].text;
        QVERIFY2(text.contains(QString(message).replace(QStringLiteral("%d"), dir.path())), qPrintable(text));
    }
}

// A run stops at once by the Start button (it reads "Zastavit" meanwhile) or by Escape,
// and leaves no part of its output.
void TestTForm7::stopsARun_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("button") << false;
    QTest::newRow("Escape") << true;
}

void TestTForm7::stopsARun()
{
    QFETCH(bool, byEscape);
    FakeMainLink main;
    loadTables(main);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString flac = in.filePath(QStringLiteral("long.flac"));
    QVERIFY(conv_test::encodeTone(flac, 44100, 2, 120000));
    TForm7 w(main);
    w.ComboBox1->setCurrentIndex(3);
    main.scripted.queueOpenFiles({flac, flac, flac});
    w.Button1->click();
    w.Edit1->setText(out.path());
    const QString start = w.Button2->text();
    QCOMPARE(start, main.language.line(36));
    QSignalSpy done(&w, &TForm7::runFinished);
    w.Button2->click();
    QVERIFY(w.isRunning());
    QCOMPARE(w.Button2->text(), QStringLiteral("Zastavit"));
    QTRY_VERIFY_WITH_TIMEOUT(w.Gauge1->value() > 0, 20000);
    if (byEscape) {
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
    } else {
        QTest::mouseClick(w.Button2, Qt::LeftButton);
    }
    QVERIFY(done.wait(20000));
    QVERIFY(!w.isRunning());
    QVERIFY(w.Gauge2->value() < 3);
    QCOMPARE(w.Button2->text(), start);
    QCOMPARE(listing(out.path()), QStringList());
    QCOMPARE(main.scripted.beeps, 0);
}

QTEST_MAIN(TestTForm7)
#include "test_tform7.moc"
