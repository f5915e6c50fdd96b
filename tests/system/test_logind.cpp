// The power and session commands against a fake logind on a private bus: each menu
// item makes its call with its arguments, and the four shut-down commands close the
// program although the fake refuses them all.
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
#include <QtTest>

class LogindTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void commandCallsLogind_data();
    void commandCallsLogind();

private:
    QStringList fakeCalls() const;

    PrivateBus *bus_ = nullptr;
    QProcess fake_;
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
}

void LogindTest::cleanupTestCase()
{
    fake_.terminate();
    fake_.waitForFinished(5000);
    delete bus_;
}

QStringList LogindTest::fakeCalls() const
{
    QDBusInterface fake(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.tarnel.Test"), bus_->connect(QStringLiteral("observer")));
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

QTEST_MAIN(LogindTest)
#include "test_logind.moc"
