// The per-user guard and the hand-off channel, with a second "instance" on a thread.
#include "app/SingleInstance.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

class SingleInstanceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondGuardIsRefused();
    void handOffWaitsForHandler();
    void releasedGuardCanBeTaken();
    void handOffWaitsForAStartingInstance();
    void openDirectoryIsNotTrusted();
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

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_singleinstance.moc"
