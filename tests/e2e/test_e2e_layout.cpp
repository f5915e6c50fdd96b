// The built player's first start on X servers of two sizes without a window manager:
// the windows it shows do not cover each other, lie on the screen, and are stored
// where they were seen.
#include "fixtures/media/MediaMaker.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "support/ProgramDirFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xlib.h>

#include <csignal>
#include <sys/stat.h>

namespace {

// The top-level windows the server shows, in root coordinates.
QList<QRect> viewableWindows(Display *display)
{
    QList<QRect> rects;
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return rects;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable)
            rects.append(QRect(a.x, a.y, a.width, a.height));
    }
    if (children)
        XFree(children);
    return rects;
}

bool overlapFree(const QList<QRect> &rects)
{
    for (qsizetype i = 0; i < rects.size(); ++i)
        for (qsizetype j = i + 1; j < rects.size(); ++j)
            if (rects.at(i).intersects(rects.at(j)))
                return false;
    return true;
}

} // namespace

class LayoutEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartCoversNothing_data();
    void firstStartCoversNothing();
};

void LayoutEndToEndTest::firstStartCoversNothing_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("atLeast"); // windows shown, the main one included
    QTest::newRow("1024x768") << QSize(1024, 768) << 4;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 7;
}

void LayoutEndToEndTest::firstStartCoversNothing()
{
    QFETCH(QSize, screen);
    QFETCH(int, atLeast);
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
                                        QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height())});
    QVERIFY(xvfb.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine() || xvfb.state() != QProcess::Running, 30000);
    const QByteArray displayName = ':' + xvfb.readLine().trimmed();
    Display *display = XOpenDisplay(displayName.constData());
    QVERIFY(display);
    const auto closeDisplay = qScopeGuard([&] {
        XCloseDisplay(display);
        xvfb.terminate();
        xvfb.waitForFinished(10000);
    });

    ProgramDirFixture dir;
    QTemporaryDir home;
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    const QString program = dir.installProgram();
    // Something to play, so that the start does not open the file dialog.
    const QString song = home.filePath(QStringLiteral("song.wav"));
    QVERIFY(media_maker::makeSample(song, 20000));
    QString error;
    QVERIFY2(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {song}, &error), qPrintable(error));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(displayName));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    if (!env.contains(QStringLiteral("XDG_CACHE_HOME")))
        env.insert(QStringLiteral("XDG_CACHE_HOME"), QDir::homePath() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

    QProcess player;
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(program, {});
    QVERIFY(player.waitForStarted(10000));
    // Listening for a second start: every window is made and placed.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime + QStringLiteral("/Quillon")), 60000);
    QList<QRect> seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen = viewableWindows(display)).size() >= atLeast, 30000);
    qInfo() << "shown:" << seen;
    QVERIFY2(overlapFree(seen), qPrintable(QDebug::toString(seen)));
    for (const QRect &r : std::as_const(seen))
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(r), qPrintable(QDebug::toString(r)));

    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    QVERIFY(player.waitForFinished(30000));
    QCOMPARE(player.exitCode(), 0);

    // What was stored is what was seen: the shown windows at their places.
    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QList<QPoint> seenCorners;
    for (const QRect &r : std::as_const(seen))
        seenCorners.append(r.topLeft());
    int stored = 1;
    QVERIFY(seenCorners.contains(QPoint(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("ZLeva"), -1),
                                        ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("ZHora"), -1))));
    for (int n : {2, 3, 4, 6, 7, 8, 9}) {
        const QString section = QStringLiteral("NASTAVENI%1").arg(n);
        if (!ini.readBool(section, QStringLiteral("Videt"), false))
            continue;
        ++stored;
        const QPoint corner(ini.readInteger(section, QStringLiteral("ZLeva"), -1),
                            ini.readInteger(section, QStringLiteral("ZHora"), -1));
        QVERIFY2(seenCorners.contains(corner), qPrintable(section));
    }
    QCOMPARE(stored, seen.size());
}

QTEST_MAIN(LayoutEndToEndTest)
#include "test_e2e_layout.moc"
