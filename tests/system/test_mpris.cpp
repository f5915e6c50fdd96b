// MPRIS as the desktop uses it: playerctl and dbus-send on a private session bus drive
// the player built by start-up (on a fake media graph) through every method and
// property the desktop's media keys and controls use.
#include "app/Startup.h"
#include "app/TForm1.h"
#include "playback/PlaybackController.h"
#include "playlist/PlaylistModel.h"
#include "support/FakeMediaGraph.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "system/Mpris.h"
#include "ui/ClickDragBar.h"

#include <QDBusMessage>
#include <QLabel>
#include <QtTest>

namespace {

// Collects the player's signals as a desktop's media applet would see them.
class Listener : public QObject {
    Q_OBJECT
public:
    QStringList changedProperties;
    QList<qlonglong> seeked;
public Q_SLOTS:
    void propertiesChanged(const QString &, const QVariantMap &changed, const QStringList &)
    {
        changedProperties += changed.keys();
    }
    void onSeeked(qlonglong position) { seeked.append(position); }
};

} // namespace

class MprisTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void transportThroughPlayerctl();
    void propertiesAndSeeking();
    void dvdStatusFromTheGraph();
    void raiseAndQuit();

private:
    QString ctl(const QStringList &args);
    QByteArray send(const QStringList &args, int *code = nullptr);
    PlaybackController &controller() { return startup_->controller(); }

    PrivateBus bus_;
    ProgramDirFixture dir_;
    ScriptedDialogs dialogs_;
    FakeMediaGraph graph_;
    std::unique_ptr<Startup> startup_;
    Listener listener_;
};

QString MprisTest::ctl(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    int code = 0;
    const QByteArray out = runWithEventLoop(QStringLiteral("playerctl"), QStringList{"-p", "tarnel"} + args, env, &code);
    return code == 0 ? QString::fromUtf8(out).trimmed() : QStringLiteral("<failed %1>").arg(code);
}

QByteArray MprisTest::send(const QStringList &args, int *code)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    return runWithEventLoop(QStringLiteral("dbus-send"),
                            QStringList{"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.tarnel",
                                        "/org/mpris/MediaPlayer2"} + args,
                            env, code);
}

void MprisTest::initTestCase()
{
    QVERIFY(bus_.isValid());
    SystemServices services;
    services.drives = QVector<DriveEntry>{};
    services.mprisBus = bus_.connect(QStringLiteral("player"));
    startup_ = std::make_unique<Startup>(dir_.path(), QStringList{"/m/one.wav", "/m/two.wav"}, dialogs_, graph_,
                                         services);
    QVERIFY(bus_.waitForName(MprisService::serviceName()));
    QTRY_COMPARE(controller().status(), PlaybackController::Status::Playing); // start-up's own play

    QDBusConnection observer = bus_.connect(QStringLiteral("observer"));
    QVERIFY(observer.connect(MprisService::serviceName(), "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                             "PropertiesChanged", &listener_, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    QVERIFY(observer.connect(MprisService::serviceName(), "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player",
                             "Seeked", &listener_, SLOT(onSeeked(qlonglong))));
}

void MprisTest::cleanupTestCase()
{
    startup_.reset();
}

void MprisTest::transportThroughPlayerctl()
{
    QCOMPARE(ctl({"status"}), QStringLiteral("Playing"));
    QCOMPARE(ctl({"pause"}), QString());
    QCOMPARE(controller().status(), PlaybackController::Status::Paused);
    QCOMPARE(ctl({"status"}), QStringLiteral("Paused"));
    QTRY_VERIFY(listener_.changedProperties.contains(QStringLiteral("PlaybackStatus")));
    ctl({"play-pause"});
    QCOMPARE(controller().status(), PlaybackController::Status::Playing);
    ctl({"play"}); // already playing: stays
    QCOMPARE(controller().status(), PlaybackController::Status::Playing);
    QCOMPARE(controller().CurrentIndex(), 0);
    ctl({"next"});
    QCOMPARE(controller().CurrentIndex(), 1);
    ctl({"previous"});
    QCOMPARE(controller().CurrentIndex(), 0);

    // Stop holds the entry at its start; play goes on with the same entry.
    graph_.setPosition(12000);
    ctl({"stop"});
    QCOMPARE(ctl({"status"}), QStringLiteral("Stopped"));
    QCOMPARE(graph_.positionMs(), 0u);
    QCOMPARE(startup_->form1()->Label1->text(), QStringLiteral("0:00:00"));
    ctl({"play"});
    QCOMPARE(controller().status(), PlaybackController::Status::Playing);
    QCOMPARE(controller().CurrentIndex(), 0);
}

void MprisTest::propertiesAndSeeking()
{
    ctl({"next"});
    QCOMPARE(ctl({"metadata", "xesam:title"}), QStringLiteral("two.wav"));
    QCOMPARE(ctl({"metadata", "xesam:url"}), QStringLiteral("file:///m/two.wav"));
    QCOMPARE(ctl({"metadata", "mpris:length"}), QStringLiteral("60000000"));
    QCOMPARE(ctl({"metadata", "mpris:trackid"}), QStringLiteral("'/org/mpris/MediaPlayer2/tarnel/track/1'")); // printed as a GVariant path
    QVERIFY(listener_.changedProperties.contains(QStringLiteral("Metadata")));

    graph_.setPosition(5000);
    // Asked directly: playerctl adds the time since its last reading while playing.
    const QByteArray position = send(
        {"org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2.Player", "string:Position"});
    QVERIFY2(position.contains("int64 5000000"), position.constData());
    listener_.seeked.clear();
    ctl({"position", "20"}); // SetPosition for the track playing
    QCOMPARE(graph_.positionMs(), 20000u);
    ctl({"position", "5+"}); // Seek
    QCOMPARE(graph_.positionMs(), 25000u);
    QTRY_COMPARE(listener_.seeked, (QList<qlonglong>{20000000, 25000000}));

    ctl({"volume", "0.25"});
    QCOMPARE(startup_->form1()->ProgressBar1->value(), 2500);
    QCOMPARE(graph_.volume(), 2500);
    QCOMPARE(ctl({"volume"}).toDouble(), 0.25);
    QTRY_VERIFY(listener_.changedProperties.contains(QStringLiteral("Volume")));
}

// Opening a DVD leaves the controller's status where it was (stopped here): the status
// follows the graph while a DVD is open.
void MprisTest::dvdStatusFromTheGraph()
{
    ctl({"stop"});
    QCOMPARE(ctl({"status"}), QStringLiteral("Stopped"));
    listener_.changedProperties.clear();
    graph_.dvdResult = 0u;
    startup_->playlist().append(QStringLiteral("/m/disc/VIDEO_TS/VIDEO_TS.IFO"));
    controller().playRequested(startup_->playlist().count() - 1);
    QTRY_VERIFY(controller().dvdButtonsVisible());
    QCOMPARE(controller().status(), PlaybackController::Status::Stopped);
    QCOMPARE(ctl({"status"}), QStringLiteral("Playing"));
    QTRY_VERIFY(listener_.changedProperties.contains(QStringLiteral("PlaybackStatus")));
    graph_.pause(); // the video window's DVD pause button
    QCOMPARE(ctl({"status"}), QStringLiteral("Paused"));
    graph_.run();
    QCOMPARE(ctl({"status"}), QStringLiteral("Playing"));
}

void MprisTest::raiseAndQuit()
{
    TForm1 *main = startup_->form1();
    main->hide();
    int code = -1;
    send({"org.mpris.MediaPlayer2.Raise"}, &code);
    QCOMPARE(code, 0);
    QVERIFY(main->isVisible());
    QSignalSpy closed(main, &TForm1::closed);
    send({"org.mpris.MediaPlayer2.Quit"}, &code);
    QCOMPARE(code, 0);
    QCOMPARE(closed.size(), 1);
    QVERIFY(QFile::exists(dir_.file(QStringLiteral("nastaveni.ini")))); // the normal close path
}

QTEST_MAIN(MprisTest)
#include "test_mpris.moc"
