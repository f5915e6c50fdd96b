// Rapid switching through the built player's MPRIS service: after 400 Next calls sent
// 50 a second, the player answers them all, settles playing, its open descriptors and
// resident memory come back near where they were, and it still takes hand-offs.
#include "PlaybackProbe.h"
#include "fixtures/media/MediaMaker.h"
#include "support/PlayerProcess.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace e2e;

namespace {

constexpr int kCalls = 400;
constexpr int kAnswerBoundMs = 10000;
// From the last call sent until all are answered.
constexpr int kBurstBoundMs = 30000;
constexpr int kSettleBoundMs = 30000;
// Memory given back after the switches is given back within a few seconds.
constexpr int kGiveBackBoundMs = 15000;
constexpr int kDescriptorMargin = 8;
constexpr qint64 kRssMarginKiB = 30 * 1024;

} // namespace

class PlaybackRapidTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void manyNextCallsLeaveNothingBehind();
};

void PlaybackRapidTest::manyNextCallsLeaveNothingBehind()
{
    QString why;
    if (!soundAndFfmpeg(&why))
        QSKIP(qPrintable(why));
    PrivateBus bus;
    QVERIFY(bus.isValid());
    QTemporaryDir media;
    const QList<QPair<QString, QStringList>> formats = {
        {QStringLiteral("mp3"), {"-c:a", "libmp3lame"}}, {QStringLiteral("flac"), {"-c:a", "flac"}},
        {QStringLiteral("ogg"), {"-c:a", "libvorbis"}},  {QStringLiteral("m4a"), {"-c:a", "aac"}},
        {QStringLiteral("wav"), {"-c:a", "pcm_s16le"}},  {QStringLiteral("au"), {"-c:a", "pcm_s16be", "-f", "au"}},
    };
    QStringList files;
    for (const auto &[extension, codec] : formats) {
        files.append(media.filePath(QStringLiteral("tone%1.%2").arg(files.size() + 1).arg(extension)));
        QVERIFY(makeTone(files.last(), 300.0 + 200.0 * files.size(), 4000, codec));
    }
    const QString note = media.filePath(QStringLiteral("notes.txt"));
    QVERIFY(media_maker::writeFile(note, "not media\n"));

    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI2]\r\nAktualizace=0\r\n");
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    PlayerProcess player(dir, runtime.path());
    player.setVariable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    MprisClient mpris(bus.address());
    QVERIFY(player.start(files));
    QVERIFY(bus.waitForName(QStringLiteral("org.mpris.MediaPlayer2.tarnel")));

    auto playingUrl = [&](int boundMs) -> QString {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < boundMs) {
            const std::optional<QString> status = mpris.status(kAnswerBoundMs);
            const std::optional<QString> url = mpris.url(kAnswerBoundMs);
            if (!status || !url)
                return QStringLiteral("(no answer)");
            if (*status == QLatin1String("Playing") && !url->isEmpty())
                return *url;
            QTest::qWait(20);
        }
        return QStringLiteral("(not playing)");
    };

    // Once through the list, one entry at a time: every decoder has been loaded once
    // before the starting figures are taken.
    QString before = playingUrl(kSettleBoundMs);
    QVERIFY2(before.startsWith(QLatin1String("file:")), qPrintable(before));
    for (int i = 0; i < files.size(); ++i) {
        QVERIFY2(mpris.call(QStringLiteral("Next"), kAnswerBoundMs), "Next was not answered");
        QElapsedTimer waited;
        waited.start();
        QString now = before;
        while (now == before && waited.elapsed() < kSettleBoundMs) {
            QTest::qWait(20);
            now = playingUrl(kSettleBoundMs);
            QVERIFY2(now.startsWith(QLatin1String("file:")), qPrintable(now));
        }
        QVERIFY2(now != before, "Next did not switch");
        before = now;
    }
    const ProcessUse start = processUse(player.pid());
    QVERIFY(start.descriptors > 0 && start.rssKiB > 0);

    // 50 a second, as a key held down sends them: the player may answer slower than that.
    QElapsedTimer burst;
    burst.start();
    const int answered = mpris.burst(QStringLiteral("Next"), kCalls, 20, kBurstBoundMs);
    const qint64 burstMs = burst.elapsed();
    QVERIFY2(answered == kCalls, qPrintable(QStringLiteral("%1 of %2 Next calls answered, %3 ms after the first")
                                                .arg(answered)
                                                .arg(kCalls)
                                                .arg(burstMs)));

    // Settled: playing again, and what the switches took has been given back.
    const QString settled = playingUrl(kSettleBoundMs);
    QVERIFY2(settled.startsWith(QLatin1String("file:")), qPrintable(QStringLiteral("after the calls: ") + settled));
    ProcessUse now = processUse(player.pid());
    QElapsedTimer settling;
    settling.start();
    while ((now.descriptors > start.descriptors + kDescriptorMargin || now.rssKiB > start.rssKiB + kRssMarginKiB)
           && settling.elapsed() < kGiveBackBoundMs) {
        QTest::qWait(100);
        now = processUse(player.pid());
    }
    const QString figures = QStringLiteral("%1 Next calls answered %2 ms after the first; descriptors %3 -> %4, "
                                           "RSS %5 -> %6 KiB")
                                .arg(kCalls)
                                .arg(burstMs)
                                .arg(start.descriptors)
                                .arg(now.descriptors)
                                .arg(start.rssKiB)
                                .arg(now.rssKiB);
    qInfo("%s", qPrintable(figures));
    QVERIFY2(now.descriptors <= start.descriptors + kDescriptorMargin, qPrintable(figures));
    QVERIFY2(now.rssKiB <= start.rssKiB + kRssMarginKiB, qPrintable(figures));
    QVERIFY2(player.runSecond({note}, nullptr, kAnswerBoundMs) == 0, "the hand-off was not answered in time");
    QCOMPARE(player.terminate(), 0);
}

QTEST_GUILESS_MAIN(PlaybackRapidTest)
#include "test_e2e_playback_rapid.moc"
