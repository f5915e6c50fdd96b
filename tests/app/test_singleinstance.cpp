// The per-user guard and the hand-off channel, with a second "instance" on a thread.
#include "app/SingleInstance.h"

#include <QTemporaryDir>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <QDir>
#include <QLocalSocket>

#include <atomic>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

class SingleInstanceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondGuardIsRefused();
    void handOffWaitsForHandler();
    void releasedGuardCanBeTaken();
    void handOffWaitsForAStartingInstance();
    void openDirectoryIsNotTrusted();
    void handOffSurvivesRunningOutOfDescriptors();
    void closingInstanceRefusesAndSenderBecomesFirst_data();
    void closingInstanceRefusesAndSenderBecomesFirst();
};

namespace {
QString privateDir(QTemporaryDir &tmp)
{
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0700);
    return tmp.path();
}
} // namespace

void SingleInstanceTest::secondGuardIsRefused()
{
    QTemporaryDir tmp;
    SingleInstance first(privateDir(tmp));
    QVERIFY(first.acquire());
    SingleInstance second(tmp.path());
    QVERIFY(!second.acquire());
}

void SingleInstanceTest::handOffWaitsForHandler()
{
    QTemporaryDir tmp;
    SingleInstance first(privateDir(tmp));
    QVERIFY(first.acquire());
    QByteArrayList received;
    QVERIFY(first.listen([&](const QByteArray &path) { received.append(path); }));

    bool answered = false;
    QByteArrayList seenWhenAnswered;
    QThread *sender = QThread::create([&] {
        SingleInstance second(tmp.path());
        answered = second.handOff(QByteArray("/m\xc3\xa1/song.Mp3"), 10000);
        // The running side has handled the file before the answer arrives.
        seenWhenAnswered = received;
    });
    sender->start();
    QTRY_VERIFY_WITH_TIMEOUT(sender->isFinished(), 15000);
    delete sender;
    QVERIFY(answered);
    QCOMPARE(received, QByteArrayList{QByteArray("/m\xc3\xa1/song.Mp3")});
    QCOMPARE(seenWhenAnswered, received);
}

void SingleInstanceTest::releasedGuardCanBeTaken()
{
    QTemporaryDir tmp;
    SingleInstance first(privateDir(tmp));
    QVERIFY(first.acquire());
    first.release();
    SingleInstance again(tmp.path());
    QVERIFY(again.acquire());
    // Nobody listens now: a hand-off reports it instead of waiting forever.
    SingleInstance third(tmp.path());
    QVERIFY(!third.handOff("/x.mp3", 500));
}

void SingleInstanceTest::handOffWaitsForAStartingInstance()
{
    QTemporaryDir tmp;
    SingleInstance first(privateDir(tmp));
    QVERIFY(first.acquire());
    bool answered = false;
    QThread *sender = QThread::create([&] {
        SingleInstance second(tmp.path());
        answered = second.handOff("/late.mp3", 10000);
    });
    sender->start();
    // The running instance is still creating its windows for a moment.
    QTest::qWait(300);
    QByteArrayList received;
    QVERIFY(first.listen([&](const QByteArray &path) { received.append(path); }));
    QTRY_VERIFY_WITH_TIMEOUT(sender->isFinished(), 15000);
    delete sender;
    QVERIFY(answered);
    QCOMPARE(received, QByteArrayList{QByteArray("/late.mp3")});
}

// A start whose hand-off meets a closing player (it refuses, or its guard has already
// gone) is never acknowledged and dropped: it becomes the player once the guard is free.
void SingleInstanceTest::closingInstanceRefusesAndSenderBecomesFirst_data()
{
    QTest::addColumn<bool>("refusing"); // false: the old player has released everything
    QTest::newRow("refused while closing") << true;
    QTest::newRow("guard already gone") << false;
}

void SingleInstanceTest::closingInstanceRefusesAndSenderBecomesFirst()
{
    QFETCH(bool, refusing);
    QTemporaryDir tmp;
    auto first = std::make_unique<SingleInstance>(privateDir(tmp));
    QVERIFY(first->acquire());
    QByteArrayList received;
    QVERIFY(first->listen([&](const QByteArray &path) { received.append(path); }));
    if (refusing)
        first->refuseHandOffs();
    else
        first->release();
    SingleInstance::Outcome outcome = SingleInstance::Outcome::Delivered;
    std::atomic<bool> sent{false};
    SingleInstance second(tmp.path());
    QThread *sender = QThread::create([&] {
        outcome = second.handOffOrBecomeFirst("/new.mp3", 10000);
        sent = true;
    });
    sender->start();
    if (refusing) {
        // Refused, the sender waits for the guard, and the closing player lets it go.
        QSignalSpy refused(first.get(), &SingleInstance::handOffRefused);
        QVERIFY(refused.wait(10000));
        QVERIFY(!sent);
        first.reset();
    }
    QTRY_VERIFY_WITH_TIMEOUT(sender->isFinished(), 15000);
    delete sender;
    QCOMPARE(outcome, SingleInstance::Outcome::BecameFirst);
    QVERIFY(received.isEmpty());
    // The new player holds the guard now.
    SingleInstance third(tmp.path());
    QVERIFY(!third.acquire());
}

void SingleInstanceTest::openDirectoryIsNotTrusted()
{
    QTemporaryDir tmp;
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0777);
    SingleInstance first(tmp.path());
    QVERIFY(first.acquire());
    // A socket others could reach is never opened there.
    QVERIFY(!first.listen([](const QByteArray &) {}));
    QVERIFY(!QFile::exists(tmp.path() + QStringLiteral("/Quillon")));
}

void SingleInstanceTest::handOffSurvivesRunningOutOfDescriptors()
{
    QTemporaryDir tmp;
    SingleInstance first(privateDir(tmp));
    QVERIFY(first.acquire());
    QByteArrayList received;
    QVERIFY(first.listen([&](const QByteArray &path) { received.append(path); }));

    // Leave room for a few clients only: the server's accept then fails for want of a
    // descriptor, which makes QLocalServer stop listening.
    rlimit saved {};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const auto open = static_cast<rlim_t>(QDir(QStringLiteral("/proc/self/fd")).count());
    rlimit tight = saved;
    tight.rlim_cur = open + 4;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<QLocalSocket>());
        clients.back()->connectToServer(first.socketPath());
    }
    QTest::qWait(200);
    clients.clear();
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    bool answered = false;
    QThread *sender = QThread::create([&] {
        SingleInstance second(tmp.path());
        answered = second.handOff(QByteArray("/after.mp3"), 10000);
    });
    sender->start();
    QTRY_VERIFY_WITH_TIMEOUT(sender->isFinished(), 15000);
    delete sender;
    QVERIFY(answered);
    QVERIFY(received.contains(QByteArray("/after.mp3")));
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_singleinstance.moc"
