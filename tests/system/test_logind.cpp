// The power and session commands against a fake logind on a private bus: each menu
// item makes its call with its arguments, and the four shut-down commands close the
// program although the fake refuses them all. Without a bus, or with a logind that
// never answers, the close ends in bounded time, lets a new start be the player at
// once, and a termination signal ends it within a second.
#include "app/CloseWait.h"
#include "app/SignalBridge.h"
#include "app/SingleInstance.h"
#include "app/TForm1.h"
#include "playlist/PlaylistModel.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "system/LogindSession.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QDBusInterface>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class LogindTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void commandCallsLogind_data();
    void commandCallsLogind();
    void closeEndsInTime_data();
    void closeEndsInTime();

private:
    QStringList fakeCalls(PrivateBus *bus) const;
    QStringList fakeCalls() const { return fakeCalls(bus_); }

    PrivateBus *bus_ = nullptr;
    QProcess fake_;
    PrivateBus *silentBus_ = nullptr; // its logind never answers a request
    QProcess silentFake_;
};

void LogindTest::initTestCase()
{
    bus_ = new PrivateBus;
    QVERIFY(bus_->isValid());
    fake_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake_.start(QStringLiteral("/usr/bin/python3"),
                {qEnvironmentVariable("TARNEL_SOURCE_DIR") + QStringLiteral("/tests/system/fake_login1.py"),
                 bus_->address()});
    QVERIFY(fake_.waitForStarted(10000));
    QVERIFY(bus_->waitForName(QStringLiteral("org.freedesktop.login1")));

    silentBus_ = new PrivateBus;
    QVERIFY(silentBus_->isValid());
    silentFake_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    silentFake_.start(QStringLiteral("/usr/bin/python3"),
                      {qEnvironmentVariable("TARNEL_SOURCE_DIR") + QStringLiteral("/tests/system/fake_login1.py"),
                       silentBus_->address(), QStringLiteral("silent")});
    QVERIFY(silentFake_.waitForStarted(10000));
    QVERIFY(silentBus_->waitForName(QStringLiteral("org.freedesktop.login1")));
}

void LogindTest::cleanupTestCase()
{
    fake_.terminate();
    fake_.waitForFinished(5000);
    delete bus_;
    silentFake_.terminate();
    silentFake_.waitForFinished(5000);
    delete silentBus_;
}

QStringList LogindTest::fakeCalls(PrivateBus *bus) const
{
    QDBusInterface fake(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.tarnel.Test"), bus->connect(QStringLiteral("observer")));
    const QDBusReply<QStringList> reply = fake.call(QStringLiteral("Calls"));
    return reply.value();
}

void LogindTest::commandCallsLogind_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("closes");
    QTest::newRow("halt") << "Vypnoutwin1" << QStringList{"Halt b true"} << true;
    QTest::newRow("power off") << "Vypnout1" << QStringList{"PowerOff b true"} << true;
    QTest::newRow("reboot") << "Restart1" << QStringList{"Reboot b true"} << true;
    QTest::newRow("log off")
        << "Odhlasit1"
        << QStringList{"GetSession s auto", "Get ss org.freedesktop.login1.Session Id", "TerminateSession s c7"}
        << true;
    QTest::newRow("suspend") << "Uspat1" << QStringList{"Suspend b true"} << false;
}

void LogindTest::commandCallsLogind()
{
    QFETCH(QString, item);
    QFETCH(QStringList, calls);
    QFETCH(bool, closes);

    const int before = int(fakeCalls().size());
    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    ImageList images;
    PlaylistModel playlist;
    LogindSession session(bus_->connect(QStringLiteral("system")));
    SystemServices services;
    services.session = &session;
    services.drives = QVector<DriveEntry>{};
    TForm1 form(dir.path(), dialogs, images, playlist, services);
    form.show();
    QSignalSpy closed(&form, &TForm1::closed);

    QAction *action = form.menuItem(item);
    QVERIFY(action && action->isEnabled());
    action->trigger();
    QCOMPARE(closed.size(), closes ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(session.pendingCount(), 0, 30000);
    QCOMPARE(fakeCalls().mid(before), calls);
    // Nothing is reported: a refusal is the system's to show.
    QVERIFY(dialogs.messages.isEmpty());
    if (closes)
        QVERIFY(QFile::exists(dir.file(QStringLiteral("nastaveni.ini")))); // the normal close path ran
}

void LogindTest::closeEndsInTime_data()
{
    QTest::addColumn<bool>("withBus");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("signal"); // SIGTERM: closes after the clicks, or comes during the wait
    QTest::addColumn<int>("limitMs"); // from the close (or the signal) to the end of the wait
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("power off without a bus") << false << "Vypnout1" << 1 << false << 1000 << QStringList{};
    QTest::newRow("power off, logind silent") << true << "Vypnout1" << 1 << false << LogindSession::CloseWaitMs + 2000
                                              << QStringList{"PowerOff b true"};
    QTest::newRow("power off, logind silent, SIGTERM while waiting")
        << true << "Vypnout1" << 1 << true << 1000 << QStringList{"PowerOff b true"};
    QTest::newRow("suspend five times, logind silent, then SIGTERM")
        << true << "Uspat1" << 5 << true << 1000 << QStringList{"Suspend b true"};
}

void LogindTest::closeEndsInTime()
{
    QFETCH(bool, withBus);
    QFETCH(QString, item);
    QFETCH(int, clicks);
    QFETCH(bool, signal);
    QFETCH(int, limitMs);
    QFETCH(QStringList, calls);

    const int before = int(fakeCalls(silentBus_).size());
    QTemporaryDir runtime;
    SingleInstance guard(runtime.path());
    QVERIFY(guard.acquire());
    QVERIFY(guard.listen([](const QByteArray &) {}));
    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    ImageList images;
    PlaylistModel playlist;
    LogindSession session(withBus ? silentBus_->connect(QStringLiteral("system"))
                                  : QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                                  QStringLiteral("no system bus")));
    SystemServices services;
    services.session = &session;
    services.drives = QVector<DriveEntry>{};
    TForm1 form(dir.path(), dialogs, images, playlist, services);
    form.show();
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::terminationRequested, &form, &TForm1::closeForSignal);
    QObject::connect(&form, &TForm1::closing, &guard, &SingleInstance::refuseHandOffs);
    QSignalSpy closed(&form, &TForm1::closed);

    QAction *action = form.menuItem(item);
    QVERIFY(action);
    for (int i = 0; i < clicks; ++i)
        action->trigger();
    if (withBus)
        QTRY_COMPARE_WITH_TIMEOUT(fakeCalls(silentBus_).mid(before), calls, 20000);
    QElapsedTimer since;
    if (closed.isEmpty()) {
        // Still open (suspend): a signal closes it.
        std::raise(SIGTERM);
        QVERIFY(closed.wait(5000));
    }
    since.start();
    QCOMPARE(session.pendingCount(), withBus ? 1 : 0);

    // While the process waits, a new start takes the guard and is the player.
    bool newStartIsFirst = false;
    QTimer::singleShot(0, [&] {
        SingleInstance newStart(runtime.path());
        newStartIsFirst = newStart.acquire();
    });
    if (signal && !form.closedForSignal())
        QTimer::singleShot(100, [&] {
            since.restart();
            std::raise(SIGTERM);
        });
    waitAfterClose(guard, session, bridge, form.closedForSignal());
    QVERIFY2(since.elapsed() < limitMs, qPrintable(QString::number(since.elapsed())));
    QCoreApplication::processEvents();
    QVERIFY(newStartIsFirst);
    QCOMPARE(fakeCalls(silentBus_).mid(before), calls);
}

QTEST_MAIN(LogindTest)
#include "test_logind.moc"
