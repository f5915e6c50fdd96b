// The built player in a temporary program directory: second instance, signals, damaged
// list, a first start that builds GStreamer's registry.
#include "fixtures/media/MediaMaker.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "support/PlayerProcess.h"
#include "support/ProgramDirFixture.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

QString makeRuntimeDir(QTemporaryDir &tmp)
{
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0700);
    return tmp.path();
}

QStringList storedPlaylist(const ProgramDirFixture &dir)
{
    return ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false).entries;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondInstanceHandsOverAndEnds();
    void signalsSaveSettingsAndPlaylist_data();
    void signalsSaveSettingsAndPlaylist();
    void damagedPlaylistSurvives();
    void firstStartWithNewRegistryPlays();
};

void EndToEndTest::secondInstanceHandsOverAndEnds()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {"/stored/first.wav"}, &error));
    PlayerProcess player(dir, makeRuntimeDir(runtime));
    QVERIFY(player.start());
    const QByteArray iniBefore = dir.readFile(QStringLiteral("nastaveni.ini"));

    QCOMPARE(player.runSecond({"/music/Píseň.Mp3", "/music/second-is-lost.mp3"}), 0);
    QCOMPARE(player.runSecond({"/video/clip.vob"}), 0);
    QCOMPARE(player.runSecond({"/docs/readme.txt"}), 0);
    QCOMPARE(player.runSecond({}), 0);
    // A second instance never touches the settings.
    QCOMPARE(dir.readFile(QStringLiteral("nastaveni.ini")), iniBefore);

    QCOMPARE(player.terminate(), 0);
    QCOMPARE(storedPlaylist(dir), (QStringList{"/stored/first.wav", "/music/Píseň.Mp3"}));
}

void EndToEndTest::signalsSaveSettingsAndPlaylist_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void EndToEndTest::signalsSaveSettingsAndPlaylist()
{
    QFETCH(int, signalNumber);
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "; kept comment\r\n[NASTAVENI1]\r\nZLeva=33\r\nVolume=777\r\n"
                                                   "Unknown=stays\r\n[NASTAVENI4]\r\nVidet=0\r\n");
    PlayerProcess player(dir, makeRuntimeDir(runtime));
    QVERIFY(player.start({"/a/one.mp3", "/a/two.txt"}));
    QCOMPARE(player.terminate(signalNumber), 0);

    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("ZLeva"), -1), 33);
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("Volume"), -1), 777);
    QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI4"), QStringLiteral("Videt"), true), false);
    QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI9"), QStringLiteral("Videt"), false), true);
    QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Unknown"), QString()), QStringLiteral("stays"));
    QVERIFY(dir.readFile(QStringLiteral("nastaveni.ini")).startsWith("; kept comment"));
    QCOMPARE(storedPlaylist(dir), (QStringList{"/a/one.mp3", "/a/two.txt"}));
}

void EndToEndTest::damagedPlaylistSurvives()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    const QByteArray damaged = QByteArray::fromHex("78da0badbeef00112233");
    dir.writeFile(QStringLiteral("playlist.st3"), damaged);
    PlayerProcess player(dir, makeRuntimeDir(runtime));
    QVERIFY(player.start());
    // The message about it is open when the signal comes; the player still ends cleanly.
    QCOMPARE(player.terminate(), 0);
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("playlist.st3.damaged-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(dir.readFile(aside.first()), damaged);
    QCOMPARE(dir.readFile(QStringLiteral("playlist.st3")), QByteArray::fromHex("78da030000000001"));
}

void EndToEndTest::firstStartWithNewRegistryPlays()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    QTemporaryDir gst;
    const QString tone = gst.filePath(QStringLiteral("tone.wav"));
    QVERIFY(media_maker::writeToneWav(tone, 440.0, 20000));
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI2]\r\nAktualizace=0\r\n");
    // A registry that does not exist yet: GStreamer builds it while the windows come up,
    // and the first entry waits for it.
    const QString registry = gst.filePath(QStringLiteral("registry.bin"));
    PlayerProcess player(dir, makeRuntimeDir(runtime));
    player.setVariable(QStringLiteral("GST_REGISTRY"), registry);
    QVERIFY(player.start({tone}));
    QTRY_VERIFY_WITH_TIMEOUT(player.playsOnSoundServer(), 30000);
    QVERIFY(QFile::exists(registry));
    QCOMPARE(player.terminate(), 0);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_e2e_program.moc"
