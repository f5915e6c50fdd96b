// The built player plays a list that mixes its audio formats (1 s tones, one frequency
// per entry) on a stock PulseAudio null sink, which renders ahead and starts new
// streams late: what the sink plays is recorded, and every entry is heard whole, in
// order, and the first comes again after the last. The test waits for the sound
// itself, not for a time: only what was heard is judged.
#include "PlaybackProbe.h"
#include "support/PlayerProcess.h"
#include "support/ProgramDirFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace e2e;

namespace {

constexpr int kToneMs = 1000;

struct Entry {
    const char *file;
    double frequency;
    QStringList codec;
};

// The first entry again after the last, heard for a while: the list wrapped.
bool wrapped(const QList<ToneRun> &runs, int entries)
{
    for (int i = 1; i < runs.size(); ++i) {
        if (runs[i - 1].tone == entries - 1 && runs[i].tone == 0 && runs[i].heardMs() >= 300)
            return true;
    }
    return false;
}

} // namespace

class PlaybackTonesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mixedFormatsHeardWholeInOrderAndWrap();
};

void PlaybackTonesTest::mixedFormatsHeardWholeInOrderAndWrap()
{
    QString why;
    if (!soundAndFfmpeg(&why))
        QSKIP(qPrintable(why));
    const QList<Entry> entries = {
        {"tone1.mp3", 400, {"-c:a", "libmp3lame", "-b:a", "192k"}},
        {"tone2.flac", 630, {"-c:a", "flac"}},
        {"tone3.ogg", 1000, {"-c:a", "libvorbis"}},
        {"tone4.m4a", 1600, {"-c:a", "aac", "-b:a", "160k"}},
        {"tone5.wav", 2500, {"-c:a", "pcm_s16le"}},
        {"tone6.au", 4000, {"-c:a", "pcm_s16be", "-f", "au"}},
    };
    QTemporaryDir media;
    QStringList files;
    QList<double> frequencies;
    for (const Entry &e : entries) {
        files.append(media.filePath(QLatin1String(e.file)));
        frequencies.append(e.frequency);
        QVERIFY2(makeTone(files.last(), e.frequency, kToneMs, e.codec), e.file);
    }

    OwnSink sink(/*stock=*/true);
    QVERIFY(sink.isLoaded());
    MonitorRecording recording;
    QVERIFY(recording.start(sink.name()));

    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI2]\r\nAktualizace=0\r\n");
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    PlayerProcess player(dir, runtime.path());
    player.setVariable(QStringLiteral("PULSE_SINK"), sink.name());
    QVERIFY(player.start(files));

    // Until the first entry has come back after the last; a player that goes silent or
    // stops early fails at the bound.
    QList<ToneRun> runs;
    QElapsedTimer waited;
    waited.start();
    while (!wrapped(runs, int(entries.size())) && waited.elapsed() < 45000 && player.running()) {
        QTest::qWait(250);
        runs = toneRuns(recording.samples(), frequencies);
    }
    QVERIFY2(player.running(), qPrintable(QStringLiteral("the player ended; heard:") + describe(runs)));
    QCOMPARE(player.terminate(), 0);
    recording.stop();
    runs = toneRuns(recording.samples(), frequencies);
    QVERIFY2(wrapped(runs, int(entries.size())),
             qPrintable(QStringLiteral("the list did not come round to its first entry; heard:") + describe(runs)));

    // From the first entry's start: every entry in its place, then the first again.
    qsizetype first = 0;
    while (first < runs.size() && runs[first].tone != 0)
        ++first;
    for (int k = 0; k <= int(entries.size()); ++k) {
        const qsizetype at = first + k;
        QVERIFY2(at < runs.size() && runs[at].tone == k % int(entries.size()),
                 qPrintable(QStringLiteral("entry %1 (%2) not heard in its place; heard:")
                                .arg(k % entries.size() + 1)
                                .arg(QLatin1String(entries[k % entries.size()].file))
                            + describe(runs)));
        if (k < int(entries.size())) {
            QVERIFY2(runs[at].heardMs() >= 0.9 * kToneMs,
                     qPrintable(QStringLiteral("%1 heard for %2 ms of %3; heard:")
                                    .arg(QLatin1String(entries[k].file))
                                    .arg(runs[at].heardMs(), 0, 'f', 0)
                                    .arg(kToneMs)
                                + describe(runs)));
        }
    }
    qInfo("heard:%s", qPrintable(describe(runs)));
}

QTEST_GUILESS_MAIN(PlaybackTonesTest)
#include "test_e2e_playback_tones.moc"
