// The built player's MPRIS service on a private session bus, as MPRIS 2 clients
// expect it: SetPosition outside the track does nothing, Seek past the end
// goes to the next entry and offsets at the int64 limits do not wrap, and OpenUri
// takes only regular files of this host that the player can open (a FIFO, another
// host's file, a path longer than any path are refused with an error), keeping the
// bytes of a name that is not UTF-8.
#include "PlaybackProbe.h"
#include "fixtures/media/MediaMaker.h"
#include "common/TextCodec.h"
#include "storage/ListStore.h"
#include "support/PlayerProcess.h"
#include "support/PrivateBus.h"
#include "support/ProgramDirFixture.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;

namespace {

constexpr int kAnswerMs = 10000;
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.tarnel");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

QDBusMessage callPlayer(QDBusConnection &bus, const QString &method, const QVariantList &args)
{
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kPlayer, method);
    m.setArguments(args);
    return bus.call(m, QDBus::Block, kAnswerMs);
}

} // namespace

class MprisEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void followsTheSpecification();
};

void MprisEndToEndTest::followsTheSpecification()
{
    QString why;
    if (!soundAndFfmpeg(&why))
        QSKIP(qPrintable(why));
    PrivateBus bus;
    QVERIFY(bus.isValid());
    QTemporaryDir media;
    const QString one = media.filePath(QStringLiteral("one.wav"));
    const QString two = media.filePath(QStringLiteral("two.wav"));
    QVERIFY(makeTone(one, 500, 8000, {"-c:a", "pcm_s16le"}));
    QVERIFY(makeTone(two, 900, 8000, {"-c:a", "pcm_s16le"}));
    const QString fine = media.filePath(QStringLiteral("fine.mp3"));
    QVERIFY(media_maker::writeFile(fine, "an MP3 by its name"));
    const QByteArray latin = QFile::encodeName(media.path()) + "/p\xedse\xf2.mp3"; // not UTF-8
    const int made = ::open(latin.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(made >= 0);
    ::close(made);
    const QString fifo = media.filePath(QStringLiteral("pipe.mp3"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI2]\r\nAktualizace=0\r\n");
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    PlayerProcess player(dir, runtime.path());
    player.setVariable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    MprisClient mpris(bus.address());
    QDBusConnection caller = QDBusConnection::connectToBus(bus.address(), QStringLiteral("e2e-mpris-caller"));
    QVERIFY(player.start({one, two}));
    QVERIFY(bus.waitForName(kService));
    const QString oneUrl = QUrl::fromLocalFile(one).toString(QUrl::FullyEncoded);
    const QString twoUrl = QUrl::fromLocalFile(two).toString(QUrl::FullyEncoded);
    QTRY_COMPARE_WITH_TIMEOUT(mpris.status(kAnswerMs).value_or(QString()), QStringLiteral("Playing"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(mpris.property(QStringLiteral("CanSeek")).toBool(), 30000);
    QCOMPARE(mpris.url(kAnswerMs).value_or(QString()), oneUrl);
    const QVariant metadata = mpris.property(QStringLiteral("Metadata"));
    const QVariant track = qdbus_cast<QVariantMap>(metadata.value<QDBusArgument>()).value(QStringLiteral("mpris:trackid"));
    QVERIFY(track.value<QDBusObjectPath>().path().startsWith(QStringLiteral("/org/mpris/MediaPlayer2/tarnel/track/")));

    // SetPosition past the end: nothing (the entry stays, and so does the position).
    QVERIFY(callPlayer(caller, QStringLiteral("SetPosition"), {track, qlonglong(3600) * 1000000}).type()
            == QDBusMessage::ReplyMessage);
    // Seek back by the most there is: the start of the same entry, not a wrap.
    QVERIFY(callPlayer(caller, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::min()}).type()
            == QDBusMessage::ReplyMessage);
    QCOMPARE(mpris.url(kAnswerMs).value_or(QString()), oneUrl);
    QVERIFY(mpris.property(QStringLiteral("Position")).toLongLong() < 4000000);
    // Seek forward by the most there is: past the end, so the next entry.
    QVERIFY(callPlayer(caller, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::max()}).type()
            == QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(mpris.url(kAnswerMs).value_or(QString()), twoUrl, 20000);

    struct Uri {
        const char *what;
        QString uri;
        bool accepted;
    };
    const QList<Uri> uris = {
        {"a FIFO", QUrl::fromLocalFile(fifo).toString(QUrl::FullyEncoded), false},
        {"another host's file", QStringLiteral("file://otherhost") + QUrl::fromLocalFile(fine).path(), false},
        {"a path of a megabyte", QStringLiteral("file:///") + QString(1 << 20, QLatin1Char('a')) + QStringLiteral(".mp3"),
         false},
        {"a missing file", QUrl::fromLocalFile(media.filePath(QStringLiteral("gone.mp3"))).toString(), false},
        {"a type the player does not open", QUrl::fromLocalFile(media.path()).toString(), false},
        {"http", QStringLiteral("http://127.0.0.1/x.mp3"), false},
        {"a regular file", QUrl::fromLocalFile(fine).toString(QUrl::FullyEncoded), true},
        {"localhost, a name that is not UTF-8",
         QStringLiteral("file://localhost") + QString::fromLatin1(latin.toPercentEncoding("/")), true},
    };
    for (const Uri &u : uris) {
        const QDBusMessage reply = callPlayer(caller, QStringLiteral("OpenUri"), {u.uri});
        QVERIFY2((reply.type() == QDBusMessage::ReplyMessage) == u.accepted, u.what);
        if (!u.accepted)
            QVERIFY2(reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"),
                     qPrintable(QString::fromLatin1(u.what) + QLatin1Char(' ') + reply.errorName() + QLatin1Char(' ') + reply.errorMessage()));
    }
    QCOMPARE(player.terminate(), 0);
    QCOMPARE(ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false).entries,
             (QStringList{one, two, fine, text_codec::decodeFileName(latin)}));
    ::unlink(latin.constData()); // QTemporaryDir cannot name it
}

QTEST_MAIN(MprisEndToEndTest)
#include "test_e2e_mpris.moc"
