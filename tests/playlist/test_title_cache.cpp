// Tag titles read off the GUI thread: what each kind of file answers, a changed file
// read again and an unchanged one not, the bounded newest-first queue behind a read
// that hangs, and a cache that goes while its worker is stuck.
#include "playlist/TitleCache.h"

#include <QDir>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <mutex>
#include <sys/stat.h>

Q_DECLARE_METATYPE(TagTitle::State)

namespace {

constexpr int kWaitMs = 20000;

QByteArray trailer(const QByteArray &title)
{
    QByteArray t(128, '\0');
    t.replace(0, 3, "TAG");
    t.replace(3, 30, QByteArray(30, ' '));
    t.replace(3, title.size(), title);
    return t;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The worker's reads, with one path held in its read until the test opens the gate:
// a file on a mount that does not answer.
struct Gate {
    QString held;
    QSemaphore entered;
    QSemaphore open;
    QSemaphore left;
    std::mutex mutex;
    QHash<QString, int> reads;

    int readsOf(const QString &path)
    {
        std::lock_guard lock(mutex);
        return reads.value(path);
    }
};

TitleCache::Reader gatedReader(const std::shared_ptr<Gate> &gate)
{
    return [gate](const QString &path) {
        {
            std::lock_guard lock(gate->mutex);
            ++gate->reads[path];
        }
        const bool held = path == gate->held;
        if (held) {
            gate->entered.release();
            gate->open.acquire();
        }
        const TagTitle title = TitleCache::readTag(path);
        if (held)
            gate->left.release();
        return title;
    };
}

QString answeredPath(const QSignalSpy &spy, int i)
{
    return spy.at(i).at(0).toString();
}

} // namespace

class TitleCacheTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
    void changedFileReadAgain();
    void newestFirstAndBounded();
    void stuckWorkerLeftBehind();
};

void TitleCacheTest::answers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<TagTitle::State>("state");
    QTest::addColumn<QString>("title");
    QTest::newRow("tagged") << "tagged" << TagTitle::State::Tagged << "Hymna";
    QTest::newRow("blank title") << "blank" << TagTitle::State::Tagged << "";
    QTest::newRow("no tag") << "plain" << TagTitle::State::NoTag << "";
    QTest::newRow("shorter than a tag") << "short" << TagTitle::State::Unreadable << "";
    QTest::newRow("missing") << "missing" << TagTitle::State::Unreadable << "";
    QTest::newRow("folder") << "folder" << TagTitle::State::Unreadable << "";
    // Nobody writes to it: a blocking open would hang the worker for good.
    QTest::newRow("fifo") << "fifo" << TagTitle::State::Unreadable << "";
}

void TitleCacheTest::answers()
{
    QFETCH(QString, kind);
    QFETCH(TagTitle::State, state);
    QFETCH(QString, title);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mp3"));
    if (kind == QLatin1String("tagged"))
        QVERIFY(write(path, QByteArray(300, 'x') + trailer("Hymna")));
    else if (kind == QLatin1String("blank"))
        QVERIFY(write(path, QByteArray(300, 'x') + trailer("")));
    else if (kind == QLatin1String("plain"))
        QVERIFY(write(path, QByteArray(300, 'x')));
    else if (kind == QLatin1String("short"))
        QVERIFY(write(path, QByteArray(100, 'x')));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.mp3")));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    TitleCache cache;
    QSignalSpy known(&cache, &TitleSource::titleKnown);
    QCOMPARE(cache.tagTitle(path).state, TagTitle::State::Pending);
    QVERIFY(known.wait(kWaitMs));
    QCOMPARE(known.size(), 1);
    QCOMPARE(answeredPath(known, 0), path);
    const TagTitle answer = cache.tagTitle(path);
    QCOMPARE(answer.state, state);
    QCOMPARE(answer.title, title);
}

void TitleCacheTest::changedFileReadAgain()
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.mp3"));
    const QString gatePath = dir.filePath(QStringLiteral("gate.mp3"));
    const QString last = dir.filePath(QStringLiteral("last.mp3"));
    QVERIFY(write(song, QByteArray(400, 'x') + trailer("Stara")));
    QVERIFY(write(gatePath, QByteArray(400, 'x')));
    auto gate = std::make_shared<Gate>();
    gate->held = gatePath;
    TitleCache cache(gatedReader(gate));
    QSignalSpy known(&cache, &TitleSource::titleKnown);

    QCOMPARE(cache.tagTitle(song).state, TagTitle::State::Pending);
    QVERIFY(known.wait(kWaitMs));
    QCOMPARE(cache.tagTitle(song).title, QStringLiteral("Stara"));
    QCOMPARE(gate->readsOf(song), 1);

    // Asked again with the file unchanged: checked on the worker, not read. The held read
    // keeps the worker busy while the check and a later read queue behind it; the check,
    // asked for last, goes first.
    cache.tagTitle(gatePath);
    QVERIFY(gate->entered.tryAcquire(1, kWaitMs));
    cache.tagTitle(last);
    QCOMPARE(cache.tagTitle(song).title, QStringLiteral("Stara"));
    QCOMPARE(cache.queuedReads(), 2);
    gate->open.release();
    QTRY_VERIFY_WITH_TIMEOUT(known.size() == 3 && answeredPath(known, 2) == last, kWaitMs);
    QCOMPARE(gate->readsOf(song), 1);

    // Changed: the kept title is handed out while the file is read again.
    QVERIFY(write(song, QByteArray(500, 'x') + trailer("Nova")));
    QCOMPARE(cache.tagTitle(song).title, QStringLiteral("Stara"));
    QVERIFY(known.wait(kWaitMs));
    QCOMPARE(answeredPath(known, 3), song);
    QCOMPARE(cache.tagTitle(song).title, QStringLiteral("Nova"));
    QCOMPARE(gate->readsOf(song), 2);

    // Gone: unreadable, and told.
    QVERIFY(QFile::remove(song));
    cache.tagTitle(song);
    QVERIFY(known.wait(kWaitMs));
    QCOMPARE(cache.tagTitle(song).state, TagTitle::State::Unreadable);
}

void TitleCacheTest::newestFirstAndBounded()
{
    QTemporaryDir dir;
    const QString gatePath = dir.filePath(QStringLiteral("gate.mp3"));
    QVERIFY(write(gatePath, QByteArray(400, 'x') + trailer("Brana")));
    auto gate = std::make_shared<Gate>();
    gate->held = gatePath;
    TitleCache cache(gatedReader(gate));
    QSignalSpy known(&cache, &TitleSource::titleKnown);
    cache.tagTitle(gatePath);
    QVERIFY(gate->entered.tryAcquire(1, kWaitMs));

    // A long list scrolled through while the worker hangs: every ask answers at once,
    // and only the newest MaxQueued wait.
    const int asked = TitleCache::MaxQueued + 50;
    auto entry = [&dir](int i) { return dir.filePath(QStringLiteral("row%1.mp3").arg(i)); };
    for (int i = 0; i < asked; ++i)
        QCOMPARE(cache.tagTitle(entry(i)).state, TagTitle::State::Pending);
    QCOMPARE(cache.queuedReads(), TitleCache::MaxQueued);
    // A row painted again moves to the front.
    cache.tagTitle(entry(100));

    gate->open.release();
    QTRY_COMPARE_WITH_TIMEOUT(known.size(), 1 + TitleCache::MaxQueued, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(cache.queuedReads(), 0, kWaitMs);
    QCOMPARE(answeredPath(known, 0), gatePath);
    QCOMPARE(answeredPath(known, 1), entry(100));
    QCOMPARE(answeredPath(known, 2), entry(asked - 1));
    QCOMPARE(answeredPath(known, 3), entry(asked - 2));
    QStringList answered;
    for (int i = 0; i < known.size(); ++i)
        answered.append(answeredPath(known, i));
    QVERIFY(!answered.contains(entry(0)) && !answered.contains(entry(49)));
    QVERIFY(answered.contains(entry(50)));
    QCOMPARE(cache.tagTitle(gatePath).title, QStringLiteral("Brana"));

    // A forgotten request is made again when asked for again.
    QCOMPARE(cache.tagTitle(entry(0)).state, TagTitle::State::Pending);
    QVERIFY(known.wait(kWaitMs));
    QCOMPARE(answeredPath(known, known.size() - 1), entry(0));
    QCOMPARE(cache.tagTitle(entry(0)).state, TagTitle::State::Unreadable);
}

void TitleCacheTest::stuckWorkerLeftBehind()
{
    QTemporaryDir dir;
    const QString gatePath = dir.filePath(QStringLiteral("gate.mp3"));
    QVERIFY(write(gatePath, QByteArray(400, 'x') + trailer("Brana")));
    auto gate = std::make_shared<Gate>();
    gate->held = gatePath;
    {
        TitleCache cache(gatedReader(gate));
        cache.tagTitle(gatePath);
        QVERIFY(gate->entered.tryAcquire(1, kWaitMs));
        QCOMPARE(cache.tagTitle(gatePath).state, TagTitle::State::Pending);
    } // the read still hangs: the cache goes all the same
    gate->open.release();
    // The worker left behind ends once its read does, delivering nothing.
    QVERIFY(gate->left.tryAcquire(1, kWaitMs));
}

QTEST_GUILESS_MAIN(TitleCacheTest)
#include "test_title_cache.moc"
