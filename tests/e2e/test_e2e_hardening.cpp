// The built player against files, folders and peers that once froze it, killed it or lost
// what the user had: each case runs the program on the very thing and checks that it
// stays up, within bounded memory, and that nothing stored is lost.
#include "common/TextCodec.h"
#include "fixtures/media/MediaMaker.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "support/PlayerProcess.h"
#include "support/ProgramDirFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

QString privateDir(QTemporaryDir &tmp)
{
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0700);
    return tmp.path();
}

// zlib stream of `size` copies of `fill`, made in pieces (a bomb is never held whole).
QByteArray deflated(qsizetype size, char fill)
{
    z_stream z {};
    deflateInit(&z, 9);
    const QByteArray chunk(1 << 20, fill);
    QByteArray out;
    char buffer[1 << 16];
    for (qsizetype left = size; left >= 0;) {
        const qsizetype n = std::min<qsizetype>(left, chunk.size());
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData()));
        z.avail_in = static_cast<uInt>(n);
        left -= n;
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&z);
    return out;
}

QStringList storedList(const QString &path)
{
    return ListStore::loadList(path, false).entries;
}

// A system-wide install as a normal user sees it: program directory owned by root, the
// user's runtime directory and home their own.
struct OtherUser {
    uid_t uid = 0;
    gid_t gid = 0;
    QTemporaryDir runtime;
    QString home() const { return runtime.path() + QStringLiteral("/home"); }

    explicit OtherUser(const ProgramDirFixture &dir)
    {
        const passwd *pw = ::getpwnam("nobody");
        uid = pw ? pw->pw_uid : 65534;
        gid = pw ? pw->pw_gid : 65534;
        QDir().mkpath(home() + QStringLiteral("/.cache"));
        for (const QString &p : {runtime.path(), home(), home() + QStringLiteral("/.cache")}) {
            ::chown(QFile::encodeName(p).constData(), uid, gid);
            ::chmod(QFile::encodeName(p).constData(), 0700);
        }
        // Everyone may read and run the installation; only root may change it.
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    }

    void prepare(PlayerProcess &player, const ProgramDirFixture &dir)
    {
        ::chmod(QFile::encodeName(dir.file(QStringLiteral("tarnel"))).constData(), 0755);
        player.setUser(QStringLiteral("nobody"));
        player.setVariable(QStringLiteral("XDG_CACHE_HOME"), home() + QStringLiteral("/.cache"));
        // Sound is not needed here; the root user's sound server is not this user's.
        player.setVariable(QStringLiteral("PULSE_SERVER"), QString());
    }
};

} // namespace

class HardeningTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void unwritableProgramDirectoryKeepsChanges();
    void pipeInTheListDoesNotFreeze();
    void nameWithLineBreakIsRefused();
    void handOffNobodyTakesFails();
    void runtimeFolderTakenByAnotherUser();
    void nameThatIsNotUtf8PlaysAndIsKept();
    void hostileListsAndSettingsStayBounded_data();
    void hostileListsAndSettingsStayBounded();
};

void HardeningTest::initTestCase()
{
    if (::getuid() != 0)
        QSKIP("these cases switch users and need root");
}

void HardeningTest::unwritableProgramDirectoryKeepsChanges()
{
    ProgramDirFixture dir;
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {"/stored/first.wav"}, &error));
    const QByteArray shipped = dir.readFile(QStringLiteral("playlist.st3"));
    OtherUser user(dir);
    const QString config = user.home() + QStringLiteral("/.config/tarnel/");
    {
        PlayerProcess player(dir, user.runtime.path());
        user.prepare(player, dir);
        QVERIFY(player.start({"/a/new.mp3"}));
        QCOMPARE(player.terminate(), 0);
    }
    // The changes live in the user's folder, first filled from the installation's copy.
    QCOMPARE(storedList(config + QStringLiteral("playlist.st3")), (QStringList{"/stored/first.wav", "/a/new.mp3"}));
    QVERIFY(QFile::exists(config + QStringLiteral("nastaveni.ini")));
    QCOMPARE(QFileInfo(config).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
    QCOMPARE(dir.readFile(QStringLiteral("playlist.st3")), shipped);

    // When even that folder cannot be written, the close says so and the exit status fails.
    ::chmod(QFile::encodeName(config).constData(), 0500);
    PlayerProcess player(dir, user.runtime.path());
    user.prepare(player, dir);
    QVERIFY(player.start({"/a/lost.mp3"}));
    QCOMPARE(player.terminate(), 1);
    QVERIFY2(player.standardError().contains("Unable to write"), player.standardError().constData());
    QCOMPARE(storedList(config + QStringLiteral("playlist.st3")), (QStringList{"/stored/first.wav", "/a/new.mp3"}));
}

void HardeningTest::pipeInTheListDoesNotFreeze()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    const QString fifo = dir.file(QStringLiteral("x.mp3"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {fifo, "/a/b.mp3"}, &error));
    PlayerProcess player(dir, privateDir(runtime));
    QVERIFY(player.start());
    // It plays the pipe first; the window still takes a hand-off and ends on a signal.
    QCOMPARE(player.runSecond({"/a/handed.mp3"}), 0);
    QCOMPARE(player.terminate(), 0);
    QCOMPARE(storedList(dir.file(QStringLiteral("playlist.st3"))), (QStringList{fifo, "/a/b.mp3", "/a/handed.mp3"}));
}

void HardeningTest::nameWithLineBreakIsRefused()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    PlayerProcess player(dir, privateDir(runtime));
    QVERIFY(player.start({"/a/two\nlines.mp3"}));
    QCOMPARE(player.runSecond({"/a/also\rbroken.mp3"}), 0);
    QCOMPARE(player.runSecond({"/a/fine.mp3"}), 0);
    QCOMPARE(player.terminate(), 0);
    QCOMPARE(storedList(dir.file(QStringLiteral("playlist.st3"))), QStringList{"/a/fine.mp3"});
}

void HardeningTest::handOffNobodyTakesFails()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    PlayerProcess player(dir, privateDir(runtime));
    // An instance that holds the guard but never takes anything (hung, or still starting).
    const int lock = ::open(QFile::encodeName(runtime.filePath(QStringLiteral("Quillon.lock"))).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0);
    QCOMPARE(::flock(lock, LOCK_EX), 0);
    QByteArray stderrText;
    QCOMPARE(player.runSecond({"/a/file.mp3"}, &stderrText), 1);
    QVERIFY2(stderrText.contains("/a/file.mp3"), stderrText.constData());
    ::close(lock);
}

void HardeningTest::runtimeFolderTakenByAnotherUser()
{
    ProgramDirFixture dir;
    OtherUser user(dir);
    // Without XDG_RUNTIME_DIR, another user made the folder the player would pick first.
    const QByteArray taken = "/tmp/tarnel-" + QByteArray::number(user.uid);
    const QByteArray kept = taken + ".kept-by-test";
    const bool existed = ::rename(taken.constData(), kept.constData()) == 0;
    QCOMPARE(::mkdir(taken.constData(), 0777), 0);
    ::chmod(taken.constData(), 0777);
    const QString socket = user.home() + QStringLiteral("/.cache/tarnel-runtime/Quillon");
    {
        PlayerProcess player(dir, user.runtime.path());
        user.prepare(player, dir);
        player.setVariable(QStringLiteral("XDG_RUNTIME_DIR"), QString());
        QVERIFY(player.start({}, socket));
        // One instance per user still holds: the second start hands over.
        QCOMPARE(player.runSecond({"/a/handed.mp3"}), 0);
        QCOMPARE(player.terminate(), 0);
    }
    QVERIFY(QDir(QFile::decodeName(taken)).isEmpty());
    ::rmdir(taken.constData());
    if (existed)
        ::rename(kept.constData(), taken.constData());
    QCOMPARE(storedList(user.home() + QStringLiteral("/.config/tarnel/playlist.st3")), QStringList{"/a/handed.mp3"});
}

void HardeningTest::nameThatIsNotUtf8PlaysAndIsKept()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    QTemporaryDir media;
    const QByteArray name = QFile::encodeName(media.path()) + "/caf\xe9 \xff.wav";
    QVERIFY(media_maker::writeToneWav(media.filePath(QStringLiteral("tone.wav")), 440.0, 20000));
    QCOMPARE(::rename(QFile::encodeName(media.filePath(QStringLiteral("tone.wav"))).constData(), name.constData()), 0);
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {text_codec::decodeFileName(name)}, &error));
    PlayerProcess player(dir, privateDir(runtime));
    QVERIFY(player.start());
    // The stored name reached the engine as the file's own bytes: it plays.
    QTRY_VERIFY_WITH_TIMEOUT(player.playsOnSoundServer(), 20000);
    const QByteArray handed = QFile::encodeName(media.path()) + "/\xc8" "esk\xe1.mp3";
    QCOMPARE(player.runSecondWithBytes(handed), 0);
    QCOMPARE(player.terminate(), 0);
    const QStringList stored = storedList(dir.file(QStringLiteral("playlist.st3")));
    QCOMPARE(stored.size(), 2);
    QCOMPARE(text_codec::encodeFileName(stored.at(0)), name);
    QCOMPARE(text_codec::encodeFileName(stored.at(1)), handed);
}

void HardeningTest::hostileListsAndSettingsStayBounded_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("keptAside");
    QTest::newRow("inflates to 1 GiB") << deflated(qsizetype(1) << 30, 'a') << QByteArray() << true;
    QTest::newRow("inflates to 256 MiB of zeros") << deflated(qsizetype(256) << 20, '\0') << QByteArray() << true;
    // qCompress puts the length before the zlib stream.
    QTest::newRow("entries after a zero byte")
        << qCompress(QByteArray("/a/one.mp3\r\n\0/a/two.mp3\r\n", 25)).mid(4) << QByteArray() << true;
    QTest::newRow("huge sizes, positions and font") << QByteArray()
        << QByteArray("[NASTAVENI1]\r\nZLeva=2147483647\r\nZHora=-2147483648\r\nFVelikost=99999999\r\n"
                      "[NASTAVENI4]\r\nSirka=99999999\r\nVyska=99999999\r\n"
                      "[NASTAVENI9]\r\nSirka=99999999\r\nVyska=99999999\r\nZLeva=-99999999\r\n")
        << false;
}

void HardeningTest::hostileListsAndSettingsStayBounded()
{
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, settings);
    QFETCH(bool, keptAside);
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    if (!list.isEmpty())
        dir.writeFile(QStringLiteral("playlist.st3"), list);
    if (!settings.isEmpty())
        dir.writeFile(QStringLiteral("nastaveni.ini"), settings);
    PlayerProcess player(dir, privateDir(runtime));
    QVERIFY(player.start());
    QTest::qWait(1500); // windows laid out, timers run
    const qint64 peak = player.peakRssKiB();
    QCOMPARE(player.terminate(), 0);
    QVERIFY2(peak > 0 && peak < 400 * 1024, QByteArray::number(peak).constData());
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("playlist.st3.damaged-*")});
    QCOMPARE(aside.size(), keptAside ? 1 : 0);
    if (keptAside)
        QCOMPARE(dir.readFile(aside.first()), list);
}

QTEST_GUILESS_MAIN(HardeningTest)
#include "test_e2e_hardening.moc"
