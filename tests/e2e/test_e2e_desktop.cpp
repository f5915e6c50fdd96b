// The built player as the desktop meets it: the start writes the associations into
// the user's folders, the player appears to playerctl on the session bus, and
// `xdg-open` of a media file whose path has spaces hands the file to the running player.
#include "fixtures/media/MediaMaker.h"
#include "storage/ListStore.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

class DesktopEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void xdgOpenHandsTheFileOver();
};

void DesktopEndToEndTest::xdgOpenHandsTheFileOver()
{
    ProgramDirFixture dir;
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    const QString program = dir.installProgram();
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {"/stored/first.wav"}, &error));

    PrivateBus sessionBus;
    QVERIFY(sessionBus.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus.address());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    // GStreamer's registry stays where it was built: every start is not a first start.
    if (!env.contains(QStringLiteral("XDG_CACHE_HOME")))
        env.insert(QStringLiteral("XDG_CACHE_HOME"), QDir::homePath() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char *desktop : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
        env.remove(QString::fromLatin1(desktop));

    QProcess player;
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(program, {});
    QVERIFY(player.waitForStarted(10000));
    const QString entry = home.filePath(QStringLiteral("data/applications/tarnel.desktop"));
    const QString mimeCache = home.filePath(QStringLiteral("data/mime/mime.cache"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime + QStringLiteral("/Quillon")) && QFile::exists(entry)
                                 && QFile::exists(mimeCache),
                             60000);

    QVERIFY(sessionBus.waitForName(QStringLiteral("org.mpris.MediaPlayer2.tarnel")));
    int code = -1;
    const QByteArray players = runWithEventLoop(QStringLiteral("playerctl"), {"-l"}, env, &code);
    QCOMPARE(code, 0);
    QVERIFY(players.split('\n').contains("tarnel"));

    const QString song = home.filePath(QStringLiteral("my music/první song.mp3"));
    QVERIFY(QDir().mkpath(QFileInfo(song).absolutePath()));
    QVERIFY(media_maker::makeSample(song, 300));
    // xdg-open of Debian 12 looks up the default application only where a display is.
    QProcessEnvironment openEnv = env;
    openEnv.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("tarnel-test-no-display"));
    QProcess open;
    open.setProcessEnvironment(openEnv);
    open.setProcessChannelMode(QProcess::ForwardedChannels);
    open.start(QStringLiteral("xdg-open"), {song});
    QVERIFY(open.waitForFinished(60000));
    QCOMPARE(open.exitCode(), 0);

    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    QVERIFY(player.waitForFinished(30000));
    QCOMPARE(ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false).entries,
             (QStringList{"/stored/first.wav", song}));
}

QTEST_GUILESS_MAIN(DesktopEndToEndTest)
#include "test_e2e_desktop.moc"
