// The built player plays a list of three short MP4 videos round twice, and after every
// switch of entry a second start of the program hands it a file and is answered. The
// switches are seen from outside, through the player's MPRIS service on a private
// session bus; every MPRIS answer and every hand-off needs the GUI thread, so a GUI
// thread that waits on the media engine fails the test at a bound instead of hanging.
#include "PlaybackProbe.h"
#include "fixtures/media/MediaMaker.h"
#include "support/PlayerProcess.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

using namespace e2e;

namespace {

constexpr int kClipMs = 1500;
// Generous: an entry lasts 1.5 s and a hand-off takes a fraction of a second.
constexpr int kSwitchBoundMs = 15000;
constexpr int kHandOffBoundMs = 10000;
constexpr int kAnswerBoundMs = 10000;

QString urlOf(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

} // namespace

class PlaybackVideoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void videoListWrapsTwiceAndHandOffsAreAnswered();
};

void PlaybackVideoTest::videoListWrapsTwiceAndHandOffsAreAnswered()
{
    QString why;
    if (!soundAndFfmpeg(&why))
        QSKIP(qPrintable(why));
    PrivateBus bus;
    QVERIFY(bus.isValid());
    QTemporaryDir media;
    QStringList clips;
    const double tones[] = {500, 1000, 2000};
    for (int i = 0; i < 3; ++i) {
        clips.append(media.filePath(QStringLiteral("clip%1.mp4").arg(i + 1)));
        QVERIFY(makeClip(clips.last(), tones[i], kClipMs));
    }
    // Handed over after each switch: a file the list does not take, so the list stays
    // as it is while the hand-off still goes through the GUI thread and is answered.
    const QString note = media.filePath(QStringLiteral("notes.txt"));
    QVERIFY(media_maker::writeFile(note, "not media\n"));

    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI2]\r\nAktualizace=0\r\n");
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    PlayerProcess player(dir, runtime.path());
    player.setVariable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    MprisClient mpris(bus.address());
    QVERIFY(player.start(clips));
    QVERIFY(bus.waitForName(QStringLiteral("org.mpris.MediaPlayer2.tarnel")));

    // clip1 plays first; six switches take the list round twice, back to clip1. The
    // order is the one announced (PropertiesChanged): no switch is missed while a
    // hand-off runs. Meanwhile the GUI thread has to answer every ask within the bound.
    const QStringList expected = {urlOf(clips[0]), urlOf(clips[1]), urlOf(clips[2]), urlOf(clips[0]),
                                  urlOf(clips[1]), urlOf(clips[2]), urlOf(clips[0])};
    // The first entry may have started before the service was up: it is known by asking.
    QString first;
    QElapsedTimer asking;
    asking.start();
    while (first.isEmpty() && asking.elapsed() < kSwitchBoundMs) {
        const std::optional<QString> now = mpris.url(kAnswerBoundMs);
        QVERIFY2(now, "the player did not answer MPRIS");
        first = *now;
        QTest::qWait(20);
    }
    // An entry without a file between two (stopped for a moment) is not a switch.
    auto announced = [&mpris, &first] {
        QStringList urls;
        for (const QString &u : mpris.announcedUrls()) {
            if (!u.isEmpty() && (urls.isEmpty() || urls.last() != u))
                urls.append(u);
        }
        if (urls.isEmpty() || urls.first() != first)
            urls.prepend(first);
        return urls;
    };
    for (int k = 0; k < expected.size(); ++k) {
        QElapsedTimer waited;
        waited.start();
        while (announced().size() <= k && waited.elapsed() < kSwitchBoundMs) {
            QVERIFY2(mpris.url(kAnswerBoundMs).has_value(),
                     qPrintable(QStringLiteral("the player did not answer MPRIS within %1 ms while on its way to "
                                               "entry %2 (seen: %3)")
                                    .arg(kAnswerBoundMs)
                                    .arg(k + 1)
                                    .arg(announced().join(QLatin1Char(' ')))));
            QTest::qWait(20);
        }
        const QStringList seen = announced();
        QVERIFY2(seen.size() > k, qPrintable(QStringLiteral("entry %1 did not start within %2 ms (seen: %3)")
                                                 .arg(k + 1)
                                                 .arg(kSwitchBoundMs)
                                                 .arg(seen.join(QLatin1Char(' ')))));
        QCOMPARE(seen[k], expected[k]);
        if (k == 0)
            continue;
        QVERIFY2(player.runSecond({note}, nullptr, kHandOffBoundMs) == 0,
                 qPrintable(QStringLiteral("the hand-off after switch %1 was not answered within %2 ms")
                                .arg(k)
                                .arg(kHandOffBoundMs)));
    }
    // The last hand-off may land while the next video loads (stopped for a moment).
    QString status;
    QElapsedTimer waited;
    waited.start();
    do {
        status = mpris.status(kAnswerBoundMs).value_or(QStringLiteral("(no answer)"));
    } while (status != QLatin1String("Playing") && waited.elapsed() < kSwitchBoundMs && (QTest::qWait(20), true));
    QCOMPARE(status, QStringLiteral("Playing"));
    QCOMPARE(player.terminate(), 0);
}

QTEST_GUILESS_MAIN(PlaybackVideoTest)
#include "test_e2e_playback_video.moc"
