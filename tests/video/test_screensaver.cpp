// Holding off the screen saver against a fake org.freedesktop.ScreenSaver on a private
// session bus: inhibited while the video window is active and a picture plays, released
// when it is hidden, a release before the reply still gives the cookie back, and
// without a bus nothing happens.
#include "app/Startup.h"
#include "playback/PlaybackController.h"
#include "support/FakeMediaGraph.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "system/SystemServices.h"
#include "video/ScreenSaverInhibitor.h"
#include "video/TForm3.h"

#include <QDBusConnection>
#include <QSet>
#include <QtTest>

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QSet<uint> held;
    int inhibits = 0;
    int releases = 0;
public Q_SLOTS:
    uint Inhibit(const QString &application, const QString &reason)
    {
        if (application.isEmpty() || reason.isEmpty())
            return 0;
        ++inhibits;
        held.insert(uint(100 + inhibits));
        return uint(100 + inhibits);
    }
    void UnInhibit(uint cookie)
    {
        ++releases;
        held.remove(cookie);
    }
};

class ScreenSaverTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void inhibitThenRelease();
    void releaseBeforeTheReply();
    void withoutBusNothingHappens();
    void videoWindowHoldsItWhileActiveAndPlaying();

private:
    PrivateBus bus_;
    FakeScreenSaver service_;
};

void ScreenSaverTest::initTestCase()
{
    QVERIFY(bus_.isValid());
    QDBusConnection owner = bus_.connect(QStringLiteral("screensaver-service"));
    QVERIFY(owner.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service_,
                                 QDBusConnection::ExportAllSlots));
    QVERIFY(owner.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
}

void ScreenSaverTest::inhibitThenRelease()
{
    ScreenSaverInhibitor inhibitor(bus_.connect(QStringLiteral("client1")));
    const int before = service_.inhibits;
    inhibitor.setWanted(true);
    inhibitor.setWanted(true);
    QTRY_VERIFY(inhibitor.holding());
    QCOMPARE(service_.inhibits, before + 1);
    QCOMPARE(service_.held.size(), 1);
    inhibitor.setWanted(false);
    QVERIFY(!inhibitor.holding());
    QTRY_VERIFY(service_.held.isEmpty());
}

void ScreenSaverTest::releaseBeforeTheReply()
{
    ScreenSaverInhibitor inhibitor(bus_.connect(QStringLiteral("client2")));
    const int before = service_.inhibits;
    inhibitor.setWanted(true);
    inhibitor.setWanted(false);
    QTRY_COMPARE(service_.inhibits, before + 1);
    QTRY_VERIFY(service_.held.isEmpty());
    QVERIFY(!inhibitor.holding());
}

void ScreenSaverTest::withoutBusNothingHappens()
{
    ScreenSaverInhibitor inhibitor(QDBusConnection(QStringLiteral("never-connected")));
    const int before = service_.inhibits;
    inhibitor.setWanted(true);
    QTest::qWait(100);
    QVERIFY(!inhibitor.holding());
    QCOMPARE(service_.inhibits, before);
}

void ScreenSaverTest::videoWindowHoldsItWhileActiveAndPlaying()
{
    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    FakeMediaGraph graph;
    graph.setHasVideo(true);
    SystemServices services;
    services.screenSaverBus = bus_.connect(QStringLiteral("client3"));
    Startup startup(dir.path(), {QStringLiteral("/v/clip.avi")}, dialogs, graph, services);
    TForm3 *video = startup.form3();
    startup.controller().playRequested(0);
    QVERIFY(graph.isRunning());
    video->show();
    video->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(video));
    QTRY_COMPARE(service_.held.size(), 1);
    video->hide();
    QTRY_VERIFY(service_.held.isEmpty());
    // Shown and active again, but nothing plays.
    graph.stop();
    video->show();
    video->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(video));
    QTest::qWait(1200); // one periodic check
    QVERIFY(service_.held.isEmpty());
}

QTEST_MAIN(ScreenSaverTest)
#include "test_screensaver.moc"
